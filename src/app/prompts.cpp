#include "app/prompts.h"

#include "app/app.h"
#include "editor/imagepicker.h"
#include "model/file/folders.h"
#include "model/info.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSpacerItem>
#include <QPageRanges>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

LWQtPrompts::LWQtPrompts(QWidget *mainWindow) : m_window(mainWindow) {}

QWidget *LWQtPrompts::owner() const
{
    // The top of the modal stack, when it is a window over the main window: a sheet, or a
    // dialog the sheet opened. Its child goes back to it when it closes.
    QWidget *top = QApplication::activeModalWidget();
    for (const QWidget *w = top; w && m_window; w = w->parentWidget())
        if (w == m_window)
            return top;
    return m_window;
}

namespace {

// Room the window manager takes beside a title: its icon and buttons, margins.
constexpr int titleChrome = 160;

// Widens a message box, as it shows, to its window title's width. QMessageBox keeps its own size
// rules and builds its grid anew as its texts are set: a spacer in the grid as shown holds it.
class TitleRoom : public QObject {
public:
    explicit TitleRoom(QMessageBox *box) : QObject(box), box_(box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        auto *grid = qobject_cast<QGridLayout *>(box_->layout());
        if (event->type() == QEvent::Show && grid && grid != widened_) {
            widened_ = grid;
            grid->addItem(new QSpacerItem(LWQtPrompts::titleWidth(*box_), 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                          grid->rowCount(), 0, 1, grid->columnCount());
        }
        return false;
    }

private:
    QMessageBox *box_;
    QPointer<QGridLayout> widened_;
};

// A message box as wide as its window title needs, so the window manager shows the whole title
// (the application's name when none is set) instead of cutting it short.
QMessageBox *titled(QMessageBox *box)
{
    new TitleRoom(box);
    return box;
}

} // namespace

int LWQtPrompts::titleWidth(const QMessageBox &box)
{
    const QString title = box.windowTitle().isEmpty() ? QGuiApplication::applicationDisplayName() : box.windowTitle();
    QFont font = box.font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + titleChrome;
}

QMessageBox *LWQtPrompts::makeAlert(QWidget *parent, const QString &title, const QString &message)
{
    auto *box = titled(new QMessageBox(parent));
    box->setText(title);
    box->setInformativeText(message);
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

QMessageBox *LWQtPrompts::makeQuestion(QWidget *parent, const QString &question, const QString &detail)
{
    auto *box = titled(new QMessageBox(parent));
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
    auto *box = titled(new QMessageBox(parent));
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
    if (saving) {
        dialog->setDefaultSuffix(LWInfo::fileExtension);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    }
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

namespace {

// Extensions the rule replaces: the design file's, PDF and every picture format the program reads.
bool knownExtension(const QString &ext)
{
    return ext == LWInfo::fileExtension || ext == u"pdf" || LWImagePicker::patterns().contains(QStringLiteral("*.") + ext);
}

// The lower-case extension of a file name, or empty.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

// The name without a known extension.
QString stemOf(QString name)
{
    if (knownExtension(extensionOf(name)))
        name.truncate(name.lastIndexOf(u'.'));
    return name;
}

QString withoutTrailingDotsAndBlanks(QString name)
{
    while (!name.isEmpty() && (name.back() == u'.' || name.back().isSpace()))
        name.chop(1);
    return name;
}

// The extensions a dialog's filter names ("JPEG image (*.jpg *.jpeg)" -> jpg, jpeg), lower case.
QStringList filterExtensions(const QString &nameFilter)
{
    static const QRegularExpression patterns(QStringLiteral("\\*\\.([^\\s)]+)"));
    QStringList out;
    for (auto m = patterns.globalMatch(nameFilter); m.hasNext();)
        out.append(m.next().captured(1).toLower());
    return out;
}

const QString pdfExtension = QStringLiteral("pdf");

// A dialog run here and deleted afterwards, unless its parent (a sheet closed meanwhile, from
// inside the dialog's own event loop) has taken it along; exec() then answers Rejected.
template <class Dialog> class Held {
public:
    explicit Held(Dialog *dialog) : m_dialog(dialog) {}
    ~Held() { delete m_dialog.data(); }
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;
    Dialog *operator->() const { return m_dialog.data(); }
    Dialog &operator*() const { return *m_dialog; }
    Dialog *get() const { return m_dialog.data(); }
    // Whether the dialog ran to a confirmation and is still there to be read.
    bool accepted() { return m_dialog->exec() == QDialog::Accepted && m_dialog; }

private:
    QPointer<Dialog> m_dialog;
};

// Which kind of button the user left a message box with; none when it went away.
QMessageBox::ButtonRole answered(Held<QMessageBox> &box)
{
    box->exec();
    return box.get() ? box->buttonRole(box->clickedButton()) : QMessageBox::InvalidRole;
}

// The file as the user typed it into a save dialog: without the default suffix Qt adds to a name
// without a dot ("name  " comes back "name  .pdf"), so that the name rule sees its trailing
// blanks. A name typed with that extension loses nothing: the rule puts it back.
QString typedFile(const QFileDialog &dialog)
{
    QString file = dialog.selectedFiles().constFirst();
    const QString tail = u'.' + dialog.defaultSuffix();
    const QString name = file.mid(file.lastIndexOf(u'/') + 1);
    if (tail.size() > 1 && name.endsWith(tail) && !name.chopped(tail.size()).contains(u'.'))
        file.chop(tail.size());
    return file;
}

// What Print to File writes for the text of its file field: relative to home, as Qt's dialog
// takes it, and through the name rule.
QString printFile(const QString &typed, const QString &proposed)
{
    return LWQtPrompts::finalName(QDir(QDir::homePath()).absoluteFilePath(typed), {pdfExtension}, proposed);
}

// Qt turns its Pages field off for a file, since its CUPS does the picking there; the print
// flows pick the pages of a file themselves, so the field stays on.
class PrintDialog final : public QPrintDialog {
public:
    PrintDialog(QPrinter &printer, QWidget *parent) : QPrintDialog(&printer, parent)
    {
        if (auto *printers = findChild<QComboBox *>(QStringLiteral("printers")))
            connect(printers, &QComboBox::currentIndexChanged, this, &PrintDialog::keepPagesField);
        // Qt refuses the field's text unless the printer already holds a range when it checks
        // it: keep the printer's range in step with the text, so that the check is of the text.
        if (auto *pages = findChild<QLineEdit *>(QStringLiteral("pagesLineEdit")))
            connect(pages, &QLineEdit::textChanged, this,
                    [&printer](const QString &text) { printer.setPageRanges(QPageRanges::fromString(text)); });
    }

    void setVisible(bool visible) override
    {
        QPrintDialog::setVisible(visible);
        if (visible)
            keepPagesField();
    }

private:
    void keepPagesField()
    {
        if (auto *radio = findChild<QRadioButton *>(QStringLiteral("pagesRadioButton")))
            radio->setEnabled(true);
    }
};

} // namespace

QString LWQtPrompts::finalName(const QString &path, const QStringList &extensions, const QString &proposed)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    QString name = withoutTrailingDotsAndBlanks(path.mid(slash + 1));
    if (name.isEmpty() || (name.lastIndexOf(u'.') == 0 && knownExtension(extensionOf(name))))
        name.prepend(stemOf(withoutTrailingDotsAndBlanks(proposed.mid(proposed.lastIndexOf(u'/') + 1))));
    // "poster.pdf.png" for a PDF is "poster.pdf", not "poster.pdf.pdf".
    for (QString ext = extensionOf(name); !extensions.contains(ext, Qt::CaseInsensitive); ext = extensionOf(name)) {
        if (!knownExtension(ext) || name.lastIndexOf(u'.') <= 0)
            return path.left(slash + 1) + name + u'.' + extensions.value(0);
        name.truncate(name.lastIndexOf(u'.'));
    }
    return path.left(slash + 1) + name;
}

QPrintDialog *LWQtPrompts::makePrintDialog(QWidget *parent, QPrinter &printer, int pageCount,
                                           const QString &proposedFile)
{
    auto *dialog = new PrintDialog(printer, parent);
    dialog->setMinMax(1, pageCount);
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, pageCount > 1);
    if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("filename"))) {
        field->setText(QDir(LWFolders::start(LWFolders::Purpose::exports)).filePath(proposedFile));
        // Shown as it will be written, so that Qt's own replace question names that file.
        QObject::connect(field, &QLineEdit::editingFinished, field, [field, proposedFile] {
            if (!field->text().trimmed().isEmpty())
                field->setText(printFile(field->text(), proposedFile));
        });
    }
    return dialog;
}

QMessageBox *LWQtPrompts::makeConfirm(QWidget *parent, const QString &question, const QString &detail,
                                      const QString &action)
{
    auto *box = titled(new QMessageBox(parent));
    box->setText(question);
    box->setInformativeText(detail);
    box->addButton(action, QMessageBox::DestructiveRole);
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

bool LWQtPrompts::mayReplace(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    // A short title: the sentence goes in the body, where nothing cuts it.
    Held<QMessageBox> box(titled(new QMessageBox(
        QMessageBox::Question, replaceTitle,
        QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()),
        QMessageBox::Yes | QMessageBox::No, owner())));
    box->setDefaultButton(QMessageBox::No); // Return keeps the file, as the file dialog's own question did
    return box->exec() == QMessageBox::Yes;
}

void LWQtPrompts::alert(const QString &title, const QString &message)
{
    Held<QMessageBox> box(makeAlert(owner(), title, message));
    box->exec();
}

LWPrompts::Answer LWQtPrompts::askToSave(const QString &question, const QString &detail)
{
    Held<QMessageBox> box(makeQuestion(owner(), question, detail));
    switch (answered(box)) {
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
    Held<QMessageBox> box(makeOverwriteQuestion(owner(), question, detail));
    return answered(box) == QMessageBox::DestructiveRole;
}

bool LWQtPrompts::confirm(const QString &question, const QString &detail, const QString &action)
{
    Held<QMessageBox> box(makeConfirm(owner(), question, detail, action));
    return answered(box) == QMessageBox::DestructiveRole;
}

std::optional<QUrl> LWQtPrompts::chooseExport(const QString &proposedName, const QString &nameFilter,
                                              const QString &suffix)
{
    Held<QFileDialog> dialog(makeExportDialog(owner(), proposedName, nameFilter, suffix));
    if (!dialog.accepted() || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    const QString path =
        finalName(typedFile(*dialog), QStringList{suffix.toLower()} + filterExtensions(nameFilter), proposedName);
    if (!mayReplace(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

std::optional<QUrl> LWQtPrompts::chooseOpen(const QString &message)
{
    Held<QFileDialog> dialog(makeFileDialog(owner(), message, false));
    dialog->setDirectory(LWFolders::start(LWFolders::Purpose::designs));
    if (!dialog.accepted() || dialog->selectedUrls().isEmpty())
        return std::nullopt;
    return dialog->selectedUrls().constFirst();
}

std::optional<QUrl> LWQtPrompts::chooseSave(const QString &proposedName, const QString &message)
{
    Held<QFileDialog> dialog(makeFileDialog(owner(), message, true));
    const QFileInfo proposed(proposedName);
    dialog->setDirectory(proposed.isAbsolute() ? proposed.absolutePath()
                                               : LWFolders::start(LWFolders::Purpose::designs));
    dialog->selectFile(proposed.isAbsolute() ? proposed.fileName() : proposedName);
    if (!dialog.accepted() || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = finalName(typedFile(*dialog), {LWInfo::fileExtension}, proposedName);
    // The dialog asks nothing (its question would carry its sentence as a title): asked here.
    if (!mayReplace(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

bool LWQtPrompts::choosePrinter(QPrinter &printer, int pageCount, const QString &proposedFile)
{
    Held<QPrintDialog> dialog(makePrintDialog(owner(), printer, pageCount, proposedFile));
    if (!dialog.accepted())
        return false;
    if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty())
        return true;
    // Text the field never passed on (its browse button fills it in) has not met the rule yet.
    const QString typed = printer.outputFileName();
    const QString path = printFile(typed, proposedFile);
    if (path == typed)
        return true;
    if (!mayReplace(path))
        return false;
    printer.setOutputFileName(path);
    return true;
}
