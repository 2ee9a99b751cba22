#include "app/prompts.h"

#include "app/app.h"
#include "model/info.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <memory>

LWQtPrompts::LWQtPrompts(QWidget *mainWindow) : m_window(mainWindow) {}

QMessageBox *LWQtPrompts::makeAlert(QWidget *parent, const QString &title, const QString &message)
{
    auto *box = new QMessageBox(parent);
    box->setText(title);
    box->setInformativeText(message);
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

QMessageBox *LWQtPrompts::makeQuestion(QWidget *parent, const QString &question, const QString &detail)
{
    auto *box = new QMessageBox(parent);
    box->setText(question);
    box->setInformativeText(detail);
    QPushButton *save = box->addButton(QStringLiteral("Save\u2026"), QMessageBox::AcceptRole);
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->addButton(QStringLiteral("Don't Save"), QMessageBox::DestructiveRole);
    box->setDefaultButton(save);
    box->setEscapeButton(cancel);
    return box;
}

QMessageBox *LWQtPrompts::makeOverwriteQuestion(QWidget *parent, const QString &question, const QString &detail)
{
    auto *box = new QMessageBox(parent);
    box->setText(question);
    box->setInformativeText(detail);
    box->addButton(QStringLiteral("Save Anyway"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

QFileDialog *LWQtPrompts::makeFileDialog(QWidget *parent, const QString &message, bool saving)
{
    auto *dialog = new QFileDialog(parent, message);
    dialog->setNameFilter(LWApp::fileType());
    dialog->setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (saving)
        dialog->setDefaultSuffix(LWInfo::fileExtension);
    return dialog;
}

QFileDialog *LWQtPrompts::makeExportDialog(QWidget *parent, const QString &proposedName, const QString &nameFilter,
                                           const QString &suffix)
{
    auto *dialog = new QFileDialog(parent, QStringLiteral("Export"));
    dialog->setNameFilter(nameFilter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(suffix);
    dialog->selectFile(proposedName);
    return dialog;
}

QMessageBox *LWQtPrompts::makeConfirm(QWidget *parent, const QString &question, const QString &detail,
                                      const QString &action)
{
    auto *box = new QMessageBox(parent);
    box->setText(question);
    box->setInformativeText(detail);
    box->addButton(action, QMessageBox::DestructiveRole);
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

QString LWQtPrompts::withExtension(const QString &path)
{
    const QString suffix = u'.' + LWInfo::fileExtension;
    return path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix;
}

void LWQtPrompts::alert(const QString &title, const QString &message)
{
    std::unique_ptr<QMessageBox> box(makeAlert(m_window, title, message));
    box->exec();
}

LWPrompts::Answer LWQtPrompts::askToSave(const QString &question, const QString &detail)
{
    std::unique_ptr<QMessageBox> box(makeQuestion(m_window, question, detail));
    box->exec();
    switch (box->buttonRole(box->clickedButton())) {
    case QMessageBox::AcceptRole:
        return Answer::save;
    case QMessageBox::DestructiveRole:
        return Answer::dontSave;
    default:
        return Answer::cancel;
    }
}

bool LWQtPrompts::askToOverwrite(const QString &question, const QString &detail)
{
    std::unique_ptr<QMessageBox> box(makeOverwriteQuestion(m_window, question, detail));
    box->exec();
    return box->buttonRole(box->clickedButton()) == QMessageBox::DestructiveRole;
}

bool LWQtPrompts::confirm(const QString &question, const QString &detail, const QString &action)
{
    std::unique_ptr<QMessageBox> box(makeConfirm(m_window, question, detail, action));
    box->exec();
    return box->buttonRole(box->clickedButton()) == QMessageBox::DestructiveRole;
}

std::optional<QUrl> LWQtPrompts::chooseExport(const QString &proposedName, const QString &nameFilter,
                                              const QString &suffix)
{
    std::unique_ptr<QFileDialog> dialog(makeExportDialog(m_window, proposedName, nameFilter, suffix));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(dialog->selectedFiles().constFirst());
}

std::optional<QUrl> LWQtPrompts::chooseOpen(const QString &message)
{
    std::unique_ptr<QFileDialog> dialog(makeFileDialog(m_window, message, false));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedUrls().isEmpty())
        return std::nullopt;
    return dialog->selectedUrls().constFirst();
}

std::optional<QUrl> LWQtPrompts::chooseSave(const QString &proposedName, const QString &message)
{
    std::unique_ptr<QFileDialog> dialog(makeFileDialog(m_window, message, true));
    dialog->selectFile(proposedName);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog->selectedFiles().constFirst();
    const QString path = withExtension(chosen);
    // The dialog asked about the name it returned, not about the one with the extension added.
    if (path != chosen && QFileInfo::exists(path)) {
        const auto answer = QMessageBox::question(
            m_window, message,
            QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()));
        if (answer != QMessageBox::Yes)
            return std::nullopt;
    }
    return QUrl::fromLocalFile(path);
}

bool LWQtPrompts::choosePrinter(QPrinter &printer, int pageCount)
{
    QPrintDialog dialog(&printer, m_window);
    dialog.setMinMax(1, pageCount);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageCount > 1);
    return dialog.exec() == QDialog::Accepted;
}
