#include "app/prompts.h"

#include "app/app.h"
#include "editor/imagepicker.h"
#include "model/file/folders.h"
#include "model/info.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
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
    // The name may still change its extension: the question is asked about the final one.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setDirectory(LWFolders::start(LWFolders::Purpose::exports));
    dialog->selectFile(proposedName);
    return dialog;
}

QString LWQtPrompts::exportName(const QString &path, const QString &nameFilter, const QString &suffix)
{
    const auto pattern = [](const QString &ext) { return QStringLiteral("*.") + ext; };
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= slash + 1) // no extension, or a name that only starts with a dot
        return path + u'.' + suffix;
    const QString ext = path.mid(dot + 1).toLower();
    static const QRegularExpression patterns(QStringLiteral("\\*\\.([^\\s)]+)"));
    for (auto m = patterns.globalMatch(nameFilter); m.hasNext();)
        if (m.next().captured(1).toLower() == ext)
            return path;
    // Another picture or document format's extension is replaced; any other dot belongs to the name.
    const bool format = ext == u"pdf" || LWImagePicker::patterns().contains(pattern(ext));
    return (format ? path.left(dot) : path) + u'.' + suffix;
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

bool LWQtPrompts::mayReplace(const QString &title, const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    const auto answer = QMessageBox::question(
        m_window, title, QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()));
    return answer == QMessageBox::Yes;
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
    const QString path = exportName(dialog->selectedFiles().constFirst(), nameFilter, suffix);
    if (!mayReplace(dialog->windowTitle(), path))
        return std::nullopt;
    LWFolders::remember(LWFolders::Purpose::exports, path);
    return QUrl::fromLocalFile(path);
}

std::optional<QUrl> LWQtPrompts::chooseOpen(const QString &message)
{
    std::unique_ptr<QFileDialog> dialog(makeFileDialog(m_window, message, false));
    dialog->setDirectory(LWFolders::start(LWFolders::Purpose::designs));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedUrls().isEmpty())
        return std::nullopt;
    const QUrl url = dialog->selectedUrls().constFirst();
    if (url.isLocalFile())
        LWFolders::remember(LWFolders::Purpose::designs, url.toLocalFile());
    return url;
}

std::optional<QUrl> LWQtPrompts::chooseSave(const QString &proposedName, const QString &message)
{
    std::unique_ptr<QFileDialog> dialog(makeFileDialog(m_window, message, true));
    const QFileInfo proposed(proposedName);
    dialog->setDirectory(proposed.isAbsolute() ? proposed.absolutePath()
                                               : LWFolders::start(LWFolders::Purpose::designs));
    dialog->selectFile(proposed.isAbsolute() ? proposed.fileName() : proposedName);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog->selectedFiles().constFirst();
    const QString path = withExtension(chosen);
    // The dialog asked about the name it returned, not about the one with the extension added.
    if (path != chosen && !mayReplace(message, path))
        return std::nullopt;
    LWFolders::remember(LWFolders::Purpose::designs, path);
    return QUrl::fromLocalFile(path);
}

bool LWQtPrompts::choosePrinter(QPrinter &printer, int pageCount)
{
    QPrintDialog dialog(&printer, m_window);
    dialog.setMinMax(1, pageCount);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageCount > 1);
    return dialog.exec() == QDialog::Accepted;
}
