#include "app/sheets/sheetpresenter.h"

#include "app/sheets/exportsheet.h"
#include "app/newcustomdialog.h"
#include "app/sheets/preflightsheet.h"
#include "app/sheets/sizesheet.h"

#include <QDialog>

LWSheetPresenter::LWSheetPresenter(LWApp &app, QWidget *window) : QObject(window), app_(app), window_(window)
{
    connect(&app_, &LWApp::sheetChanged, this, &LWSheetPresenter::sync);
    connect(&app_, &LWApp::editorChanged, this, &LWSheetPresenter::editorReplaced);
    sync();
}

// Still wanted by the state as the window goes: the window was lost, not closed by the user, and
// a running export goes on over the next one.
LWSheetPresenter::~LWSheetPresenter() { dismiss(dialog_ && app_.sheet() == shown_ && app_.editor() == editor_); }

void LWSheetPresenter::handOver()
{
    disconnect(&app_, nullptr, this, nullptr);
    dismiss(true);
}

QDialog *LWSheetPresenter::make(LWAppSheet sheet, LWEditor *editor)
{
    switch (sheet) {
    case LWAppSheet::exportSheet:
        return new ExportSheet(app_, editor, window_);
    case LWAppSheet::newCustom:
        return new NewCustomDialog(app_, window_);
    case LWAppSheet::preflight:
        return new PreflightSheet(editor, window_);
    case LWAppSheet::size:
        break;
    }
    return new SizeSheet(editor, window_);
}

void LWSheetPresenter::dismiss(bool windowLost)
{
    if (!dialog_)
        return;
    // An export may still sit in its save dialog's event loop: delete later, unheard.
    QDialog *old = dialog_;
    dialog_ = nullptr;
    shown_.reset();
    editor_ = nullptr;
    disconnect(old, &QDialog::finished, this, nullptr);
    // A design closed or replaced, or the window closing, ends the sheet's export at once.
    if (auto *exporting = qobject_cast<ExportSheet *>(old))
        windowLost ? exporting->parkExport() : exporting->endExport();
    old->hide();
    old->deleteLater();
}

void LWSheetPresenter::sync()
{
    const std::optional<LWAppSheet> wanted = app_.sheet();
    if (dialog_ && wanted == shown_)
        return;
    dismiss();
    if (!wanted)
        return;
    LWEditor *editor = app_.editor();
    if (!editor && *wanted != LWAppSheet::newCustom) {
        app_.setSheet(std::nullopt);
        return;
    }
    QDialog *dialog = make(*wanted, editor);
    dialog_ = dialog;
    shown_ = wanted;
    editor_ = editor;
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        const bool current = dialog_ == dialog && app_.sheet() == shown_;
        dismiss();
        if (current)
            app_.setSheet(std::nullopt);
    });
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void LWSheetPresenter::editorReplaced()
{
    if (!dialog_ || shown_ == LWAppSheet::newCustom || editor_ == app_.editor())
        return;
    dismiss();
    app_.setSheet(std::nullopt);
}
