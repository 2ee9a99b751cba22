#include "app/app.h"

#include "app/cupsbackend.h"
#include "app/sheets/exportjob.h"
#include "app/sheets/exportsheet.h"
#include "app/sheets/printpanel.h"
#include "editor/imagepicker.h"
#include "model/file/documentio.h"
#include "model/file/fileaccess.h"
#include "model/file/folders.h"
#include "model/info.h"
#include "model/testflags.h"
#include "render/export.h"
#include "render/pdf/pdffile.h"
#include "render/sheet.h"
#include "templates/template.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPageRanges>
#include <QPdfDocument>
#include <QPrinter>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTimer>
#include <array>
#include <cstdio>

namespace {

const QString discardDetail = QStringLiteral("Your changes will be lost if you don't save them.");
const QString overwriteDetail =
    QStringLiteral("Another program changed the file after you opened or saved it. Saving replaces those changes with "
                   "this design.");
const QString saveFailedTitle = QStringLiteral("Couldn't save the design");
const QString saveFailedAdvice =
    QStringLiteral("\n\nYour design is still open; try saving to another folder (File \u2192 Save As\u2026).");
const QString savePanelMessage = QStringLiteral("Save your design. Everything (pictures too) is kept in this one file.");
const QString untitled = QStringLiteral("Untitled");
const QString nothingToPrint = QStringLiteral("Nothing to print");
const QString printFailedTitle = QStringLiteral("Couldn't print the design");
const QString notPrepared = QStringLiteral("The design couldn't be prepared for printing.");
const QString cardsOnly = QStringLiteral("The 10-up sheet is for business cards.");
const QString lateTitle = QStringLiteral("Couldn't cancel printing");

// Why a page range the print dialog took names nothing to print.
QString noPagesNamed(const QPrinter &printer, int pageCount, bool sheet10up)
{
    const QPageRanges ranges = printer.pageRanges();
    const bool one = ranges.toRangeList().size() == 1 && ranges.firstPage() == ranges.lastPage();
    const QString what = sheet10up ? QStringLiteral("the card sheet") : QStringLiteral("this design");
    const QString pages =
        pageCount == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pageCount);
    return (one ? QStringLiteral("Page %1 isn't in %2: it has %3.")
                : QStringLiteral("Pages %1 aren't in %2: it has %3."))
        .arg(ranges.toString(), what, pages);
}

// Print to File's proposal: the name the export sheet proposes for the same pages.
QString printFileName(const LWDocument &doc, bool sheet10up)
{
    QString base = ExportSheet::cleanName(doc.name);
    if (base.isEmpty())
        base = QStringLiteral("Design");
    return base + (sheet10up ? QStringLiteral(" - print sheet.pdf") : QStringLiteral(".pdf"));
}

const std::array<QLatin1StringView, 4> sheetTexts = {QLatin1StringView("export"), QLatin1StringView("preflight"),
                                                     QLatin1StringView("size"), QLatin1StringView("newCustom")};

} // namespace

LWApp &LWApp::shared()
{
    static QPointer<LWApp> app;
    if (!app)
        app = new LWApp(qApp);
    return *app;
}

LWApp::LWApp(QObject *parent)
    : QObject(parent), m_prompts(std::make_shared<LWQtPrompts>()), m_printBackend(std::make_shared<LWCupsBackend>())
{
    setDefer({});
    setConsole({});
    // A picture whose design was closed while it was read: said here, no editor is left to say it.
    LWImagePicker::setClosedNotice([app = QPointer<LWApp>(this)](const QString &text) {
        if (app)
            app->flash(text);
    });
}

LWApp::~LWApp() = default;

QString LWApp::rawValue(Sheet sheet) { return sheetTexts[size_t(sheet)]; }

std::optional<LWApp::Sheet> LWApp::sheetFrom(QStringView raw)
{
    for (size_t i = 0; i < sheetTexts.size(); ++i)
        if (raw == sheetTexts[i])
            return Sheet(i);
    return std::nullopt;
}

QString LWApp::fileType() { return LWInfo::fileTypeName + QStringLiteral(" (*.") + LWInfo::fileExtension + u')'; }

QString LWApp::proposedName(const QString &name)
{
    if (name.isEmpty())
        return untitled;
    QString out = name;
    for (QChar &c : out)
        if (c == u'/' || c == QChar(0))
            c = u'-';
    return out;
}

void LWApp::setPrompts(std::shared_ptr<LWPrompts> prompts)
{
    m_prompts = prompts ? std::move(prompts) : std::make_shared<LWQtPrompts>();
}

void LWApp::setPrintBackend(std::shared_ptr<LWPrintBackend> backend)
{
    m_printBackend = backend ? std::move(backend) : std::make_shared<LWCupsBackend>();
}

void LWApp::setDefer(Defer defer)
{
    if (!defer)
        defer = [this](int ms, std::function<void()> task) { QTimer::singleShot(ms, this, std::move(task)); };
    m_defer = std::move(defer);
}

void LWApp::setConsole(Console console)
{
    if (!console)
        console = [](const QString &line) {
            std::fputs(qPrintable(line + u'\n'), stdout);
            std::fflush(stdout);
        };
    m_console = std::move(console);
}

void LWApp::setScreen(Screen screen)
{
    m_screen = screen;
    Q_EMIT screenChanged();
}

void LWApp::setEditor(LWEditor *editor)
{
    QPointer<LWEditor> old = m_editor;
    if (editor)
        editor->setParent(this);
    m_editor = editor;
    Q_EMIT editorChanged();
    if (old && old != editor)
        old->deleteLater();
}

void LWApp::setSheet(std::optional<Sheet> sheet)
{
    m_sheet = sheet;
    Q_EMIT sheetChanged();
}

void LWApp::setNotice(std::optional<QString> notice)
{
    m_notice = std::move(notice);
    Q_EMIT noticeChanged();
}

bool LWApp::confirmDiscard()
{
    if (!m_editor || !m_editor->dirty())
        return true;
    const QString question = QStringLiteral("Save changes to \"%1\"?").arg(m_editor->doc().name);
    LWPrompts::Answer answer = LWPrompts::Answer::dontSave;
    if (VELKTestFlags::running)
        m_console(QStringLiteral("ALERT: ") + question + QStringLiteral(" \u2014 ") + discardDetail);
    else
        answer = m_prompts->askToSave(question, discardDetail);
    switch (answer) {
    case LWPrompts::Answer::save:
        return save();
    case LWPrompts::Answer::dontSave:
        return true;
    case LWPrompts::Answer::cancel:
        break;
    }
    return false;
}

void LWApp::newDocument(LWDocument doc)
{
    if (!confirmDiscard())
        return;
    setEditor(new LWEditor(std::move(doc)));
    setScreen(Screen::editor);
}

void LWApp::newFromTemplate(const LWTemplate &t) { newDocument(t.make()); }

void LWApp::open(const QUrl &url)
{
    if (!confirmDiscard())
        return;
    // Taken before reading: a change made while it is read is noticed at the next save.
    const std::optional<LWFileAccess::FileIdentity> before = LWFileAccess::identity(url.toLocalFile());
    LWDocumentIO::Result<LWDocument> read = LWDocumentIO::open(url);
    if (!read) {
        alert(QStringLiteral("Couldn't open ") + url.fileName(), read.errorDescription());
        return;
    }
    auto *editor = new LWEditor(std::move(read).value(), url);
    setEditor(editor);
    remember(editor, url, before);
    setScreen(Screen::editor);
}

void LWApp::openPanel()
{
    const QString message = QStringLiteral("Choose an VELK Leafwrighter design (.") + LWInfo::fileExtension + u')';
    if (VELKTestFlags::running) {
        m_console(QStringLiteral("PANEL: ") + message);
        return;
    }
    const std::optional<QUrl> url = m_prompts->chooseOpen(message);
    if (!url)
        return;
    open(*url);
    // The panel's folder counts once the design was read.
    if (m_editor && m_editor->fileURL() == *url && url->isLocalFile())
        LWFolders::remember(LWFolders::Purpose::designs, url->toLocalFile());
}

bool LWApp::save()
{
    if (!m_editor)
        return false;
    if (!m_editor->fileURL())
        return saveAs();
    const QUrl url = *m_editor->fileURL();
    return mayOverwrite(*m_editor, url) && write(*m_editor, url);
}

bool LWApp::saveAs()
{
    if (!m_editor)
        return false;
    if (VELKTestFlags::running) {
        m_console(QStringLiteral("PANEL: ") + savePanelMessage);
        return false;
    }
    // The panel runs an event loop in which the editor may be replaced.
    const QPointer<LWEditor> editor = m_editor;
    // A design with a file is saved anew beside it.
    QString proposed = proposedName(editor->doc().name);
    if (editor->fileURL() && editor->fileURL()->isLocalFile())
        proposed = QFileInfo(editor->fileURL()->toLocalFile()).absoluteDir().filePath(proposed);
    const std::optional<QUrl> url = m_prompts->chooseSave(proposed, savePanelMessage);
    if (!url || !editor || !write(*editor, *url))
        return false;
    // The panel's folder counts once the design was written there.
    LWFolders::remember(LWFolders::Purpose::designs, url->toLocalFile());
    return true;
}

bool LWApp::write(LWEditor &editor, const QUrl &url)
{
    LWDocument copy = editor.doc();
    if (copy.name == untitled) {
        const QString base = QFileInfo(url.toLocalFile()).completeBaseName();
        if (!base.isEmpty())
            copy.name = base;
    }
    const LWDocumentIO::Result<std::monostate> saved = LWDocumentIO::save(copy, url);
    if (!saved) {
        alert(saveFailedTitle, saved.errorDescription() + saveFailedAdvice);
        return false;
    }
    if (copy.name != editor.doc().name)
        editor.setDoc(std::move(copy));
    editor.markSaved(url);
    remember(&editor, url, LWFileAccess::identity(url.toLocalFile()));
    flash(QStringLiteral("Saved ") + url.fileName());
    return true;
}

void LWApp::remember(LWEditor *editor, const QUrl &url, std::optional<LWFileAccess::FileIdentity> identity)
{
    m_onDisk.reset();
    if (identity)
        m_onDisk = OnDisk{editor, url, *identity};
}

bool LWApp::mayOverwrite(const LWEditor &editor, const QUrl &url)
{
    // Designs this state did not read or write itself, and files gone since, are not asked about.
    if (!m_onDisk || m_onDisk->editor != &editor || m_onDisk->url != url)
        return true;
    const std::optional<LWFileAccess::FileIdentity> now = LWFileAccess::identity(url.toLocalFile());
    if (!now || *now == m_onDisk->identity)
        return true;
    const QString question = QStringLiteral("\"%1\" has changed on disk.").arg(url.fileName());
    if (VELKTestFlags::running) {
        alert(question, overwriteDetail); // a console line
        return true;
    }
    return m_prompts->askToOverwrite(question, overwriteDetail);
}

void LWApp::close()
{
    if (!confirmDiscard())
        return;
    setEditor(nullptr);
    setScreen(Screen::start);
}

void LWApp::print(bool sheet10up)
{
    if (!m_editor || m_printing)
        return;
    const QScopedValueRollback<bool> printing(m_printing, true);
    const LWDocument doc = m_editor->doc();
    QList<int> pages;
    for (int i = 0; i < doc.pages.size(); ++i)
        pages.append(i);
    if (sheet10up && !LWExport::SheetLayout::make(doc)) {
        alert(nothingToPrint, cardsOnly);
        return;
    }
    // The pages first, off this thread, then the dialog: what cannot be drawn is told before
    // the printer is chosen, and the dialog offers the pages as made.
    const QPointer<LWPrintPanel> panel = new LWPrintPanel(m_prompts->window());
    const auto closing = qScopeGuard([&panel] { delete panel.data(); });
    LWExportJob job({doc, sheet10up ? LWExportJob::Kind::sheet : LWExportJob::Kind::pdf, pages, {}, 300, false});
    const QString preparing =
        sheet10up ? QStringLiteral("Preparing the card sheet for printing\u2026")
                  : QStringLiteral("Preparing %1 for printing\u2026")
                        .arg(pages.size() == 1 ? QStringLiteral("the page") : QStringLiteral("%1 pages").arg(pages.size()));
    const std::optional<LWExportJob::Result> made = panel->prepare(job, preparing);
    if (!made)
        return; // cancelled: nothing printed, nothing said
    if (made->pdf.isEmpty() || made->pageCount < 1) {
        alert(nothingToPrint, notPrepared);
        return;
    }
    // Told before the printer is chosen, where printing can still be cancelled.
    if (!made->undrawn.isEmpty())
        alert(QStringLiteral("Not every picture can be printed"), LWPictureTally::describe(made->undrawn));
    if (VELKTestFlags::running) {
        m_console(QStringLiteral("PRINT: skipped during a test run (%1 pages)").arg(made->pageCount));
        return;
    }
    // Making the printer asks the printing system on this thread, unheard by Cancel: whether it
    // answers at all is asked first, beside the window.
    const QString looking = QStringLiteral("Looking for the printing system\u2026");
    const LWPrintPanel::Handed heard = panel->hand(
        [backend = m_printBackend](const LWPrintSteps &steps) { return backend->answers(steps); }, looking, looking);
    if (!panel || !heard.answer || heard.cancelled)
        return; // stopped: nothing said, no dialog
    if (!heard.answer->isEmpty()) {
        alert(printFailedTitle, *heard.answer);
        return;
    }
    // Shared with the hand-over, which may outlive this call (a printer without a queue).
    const std::shared_ptr<QPrinter> printer = m_printBackend->makePrinter();
    printer->setDocName(doc.name);
    printer->setFullPage(true);
    const LWPrinting::Settings before = LWPrinting::settings(*printer);
    if (!m_prompts->choosePrinter(*printer, made->pageCount, printFileName(doc, sheet10up)) || !panel)
        return;
    // Qt's dialog takes any number: a range past the last page is refused before anything is sent.
    const QList<int> chosen = LWPrinting::chosenPages(*printer, made->pageCount);
    if (chosen.isEmpty()) {
        alert(nothingToPrint, noPagesNamed(*printer, made->pageCount, sheet10up));
        return;
    }
    deliver(*panel, doc.name, made->pdf, chosen, made->pageCount, printer, before);
}

void LWApp::deliver(LWPrintPanel &panel, const QString &title, const QByteArray &data,
                    const QList<int> &chosen, int pageCount, const std::shared_ptr<QPrinter> &shared,
                    const LWPrinting::Settings &before)
{
    QPrinter &printer = *shared;
    LWPrintPanel::Work work;
    QString doing = QStringLiteral("Sending the pages to the printer\u2026");
    QString gone = QStringLiteral("The pages have gone to the printer.");
    QString late = QStringLiteral("The pages had already gone to the printer.");
    // A file gets the chosen pages of the PDF made, as an export of them would have them.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        const QString file = printer.outputFileName();
        const QString name = QFileInfo(file).fileName();
        doing = QStringLiteral("Saving \u201c%1\u201d\u2026").arg(name);
        gone = QStringLiteral("\u201c%1\u201d is being saved.").arg(name);
        late = QStringLiteral("\u201c%1\u201d had already been saved.").arg(name);
        work = [data, chosen, pageCount, file, name](const LWPrintSteps &steps) -> std::optional<QString> {
            QByteArray bytes = data;
            if (chosen.size() != pageCount) {
                const std::optional<QByteArray> part = LWPdfFile::selectPages(data, chosen);
                if (!part)
                    return notPrepared;
                bytes = *part;
            }
            // Written in pieces, each after a look at Cancel; only the last step, putting the
            // file in place, cannot be stopped.
            const QString stopped = QStringLiteral("stopped");
            LWFileAccess::Replacement replacement;
            const QString reason = replacement.prepare(file, [&](const LWFileAccess::Append &append) {
                constexpr qsizetype piece = qsizetype(1) << 20;
                for (qsizetype at = 0; at < bytes.size(); at += piece) {
                    if (steps.stopped())
                        return stopped;
                    const qsizetype length = std::min(piece, bytes.size() - at);
                    if (const int error = append(bytes.constData() + at, length))
                        return LWFileAccess::systemReason(error);
                    steps.advance(double(at + length) / double(bytes.size()));
                }
                return steps.stopped() ? stopped : QString();
            });
            if (steps.stopped())
                return std::nullopt;
            if (reason.isEmpty() && steps.gone)
                steps.gone();
            const QString failure = reason.isEmpty() ? replacement.commit() : reason;
            return failure.isEmpty()
                       ? QString()
                       : QStringLiteral("The file \"%1\" couldn't be saved: %2").arg(name, failure);
        };
    } else {
        const LWPrintOptions options = LWPrinting::jobOptions(printer, before);
        const LWPrintJob job{printer.printerName(),
                             title,
                             data,
                             printer.copyCount(),
                             LWPrinting::pageRanges(chosen, pageCount),
                             options};
        work = [job, options, chosen, shared, backend = m_printBackend](const LWPrintSteps &steps) -> std::optional<QString> {
            if (steps.stopped())
                return std::nullopt;
            const std::optional<bool> queued = backend->hasQueue(job.printer, steps);
            if (!queued)
                return std::nullopt;
            if (*queued)
                return backend->submit(job, steps);
            return backend->printRaster(job.pdf, chosen, *shared, options, steps);
        };
    }
    const LWPrintPanel::Handed handed = panel.hand(work, doing, gone);
    if (!handed.answer)
        return; // stopped: nothing printed, nothing said
    // After Cancel, a failure is the job that could not be removed.
    if (!handed.answer->isEmpty())
        alert(handed.cancelled ? lateTitle : printFailedTitle, *handed.answer);
    else if (handed.cancelled)
        alert(lateTitle, late);
}

void LWApp::alert(const QString &title, const QString &message)
{
    if (VELKTestFlags::running) {
        m_console(QStringLiteral("ALERT: ") + title + QStringLiteral(" \u2014 ") + message);
        return;
    }
    m_prompts->alert(title, message);
}

std::optional<QUrl> LWApp::chooseExport(const QString &proposedName, const QString &nameFilter, const QString &suffix)
{
    if (VELKTestFlags::running) {
        m_console(QStringLiteral("PANEL: Export ") + proposedName);
        return std::nullopt;
    }
    return m_prompts->chooseExport(proposedName, nameFilter, suffix);
}

bool LWApp::confirm(const QString &question, const QString &detail, const QString &action)
{
    if (VELKTestFlags::running) {
        m_console(QStringLiteral("PANEL: ") + question);
        return false;
    }
    return m_prompts->confirm(question, detail, action);
}

void LWApp::flash(const QString &text)
{
    setNotice(text);
    m_defer(noticeMs, [self = QPointer<LWApp>(this), text] {
        if (self && self->m_notice && *self->m_notice == text)
            self->setNotice(std::nullopt);
    });
}
