#include "app/sheets/sheetpresenter.h"

#include "app/sheets/exportsheet.h"
#include "app/newcustomdialog.h"
#include "app/sheets/preflightsheet.h"
#include "app/sheets/sizesheet.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>
#include <QShortcut>
#include <QWindow>

namespace {

// A sheet opened from the keyboard is the active window at once. Until the window system hands
// it the keyboard, it still sends keys to the window beneath, which the sheet blocks, where Qt
// drops them: until the sheet's own window first hears a key or a click, the keys that work a
// sheet's controls are taken from the shortcut map (which sees keys whatever window they go to)
// and given to the sheet's focus widget. So keys typed at once with the one that opened the sheet
// reach it, and none reaches the window beneath.
class EarlyKeys final : public QObject {
public:
    explicit EarlyKeys(QDialog *dialog) : QObject(dialog), dialog_(dialog)
    {
        static const QKeyCombination keys[] = {
            Qt::Key_Left,     Qt::Key_Right, Qt::Key_Up,     Qt::Key_Down,  Qt::Key_Home,
            Qt::Key_End,      Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Space, Qt::Key_Return,
            Qt::Key_Enter,    Qt::Key_Escape, Qt::Key_Tab,    Qt::SHIFT | Qt::Key_Tab};
        for (const QKeyCombination key : keys) {
            auto *shortcut = new QShortcut(QKeySequence(key), dialog);
            connect(shortcut, &QShortcut::activated, this, [this, key] { forward(key); });
            shortcuts_.append(shortcut);
        }
        dialog->windowHandle()->installEventFilter(this);
    }
    ~EarlyKeys() override { qDeleteAll(shortcuts_); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress || type == QEvent::MouseButtonPress)
            delete this; // before the shortcut map looks: the sheet's own window hears the keys now
        return false;
    }

private:
    void forward(QKeyCombination key)
    {
        QWidget *to = dialog_->focusWidget() ? dialog_->focusWidget() : dialog_.data();
        const QString text = key.key() == Qt::Key_Space ? QStringLiteral(" ") : QString();
        // A key sent to a widget passes the shortcut map again.
        for (QShortcut *shortcut : shortcuts_)
            shortcut->setEnabled(false);
        const QPointer<QObject> self(this);
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
        QCoreApplication::sendEvent(to, &press);
        // Its release too: the system sends it where it sent the press.
        QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers(), text);
        if (self && dialog_->focusWidget() == to)
            QCoreApplication::sendEvent(to, &release);
        if (self)
            for (QShortcut *shortcut : shortcuts_)
                shortcut->setEnabled(true);
    }

    QPointer<QDialog> dialog_;
    QList<QShortcut *> shortcuts_;
};

} // namespace

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
    if (window_ && QApplication::activeWindow() == window_->window()) {
        QApplication::setActiveWindow(dialog);
        new EarlyKeys(dialog);
    }
}

void LWSheetPresenter::editorReplaced()
{
    if (!dialog_ || shown_ == LWAppSheet::newCustom || editor_ == app_.editor())
        return;
    dismiss();
    app_.setSheet(std::nullopt);
}
