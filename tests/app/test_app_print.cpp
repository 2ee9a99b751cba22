#include "app_fixture.h"
#include "modalanswerer.h"

#include "app/cupsbackend.h"
#include "app/printing.h"
#include "app/sheets/printpanel.h"
#include "model/element.h"
#include "render/export.h"
#include "render/pdf/pdffile.h"
#include "render/sheet.h"
#include "render/worker/decodeworkers.h"
#include "support/pngbytes.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPdfDocument>
#include <QTest>
#include <QLabel>
#include <QTimer>
#include <thread>

namespace {

const QList<int> bothSides = {0, 1};

// A two-sided US card, black on both sides, so that its trim shows on paper.
LWDocument blackCard()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    for (LWPage &page : doc.pages)
        page.background = LWFill::solid(LWColor::black);
    return doc;
}

struct ReadBack {
    QByteArray bytes;
    QBuffer buffer{&bytes};
    QPdfDocument pdf;
    int dark = 0; // pixels counted by the last ink()
    explicit ReadBack(QByteArray data) : bytes(std::move(data))
    {
        buffer.open(QIODevice::ReadOnly);
        pdf.load(&buffer);
    }
    // Where the page is dark, in points (read at one pixel per point).
    QRect ink(int page)
    {
        const QSizeF size = pdf.pagePointSize(page);
        const QImage image = pdf.render(page, size.toSize());
        QRect box;
        dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb px = image.pixel(x, y);
                if (qAlpha(px) > 128 && qGray(px) < 128) {
                    box |= QRect(x, y, 1, 1);
                    ++dark;
                }
            }
        return box;
    }
};

void expectNear(const QRect &got, const QRect &want)
{
    EXPECT_LE(std::abs(got.left() - want.left()), 1) << got.left();
    EXPECT_LE(std::abs(got.top() - want.top()), 1) << got.top();
    EXPECT_LE(std::abs(got.width() - want.width()), 1) << got.width();
    EXPECT_LE(std::abs(got.height() - want.height()), 1) << got.height();
}

} // namespace

// Printing prepares its pages beside the window: while a picture's decode is out (a stand-in
// worker that answers only after 8 s), the panel shows and the event loop turns, a timer firing
// on; Escape then ends the preparation at once: no dialog, nothing printed, no worker left busy.
TEST_F(AppTest, PrintPreparesItsPagesBesideTheWindowAndEscapeEndsIt)
{
    LWDecodeWorkers::setForTests(QCoreApplication::applicationDirPath() + QStringLiteral("/lw-misbehaving-decoder"), 60,
                                 60000);
    for (const bool sheet : {false, true}) {
        SCOPED_TRACE(sheet ? "card sheet" : "pages");
        LWDocument doc = blackCard();
        doc.pages[0].elements = {LWElement::makePhoto(LWRect(20, 20, 40, 40))};
        doc.pages[0].elements[0].image->data = lwPngBytes(32, 32, sheet ? Qt::red : Qt::blue) + "LWTEST sleep 8000";
        app.newDocument(doc);
        prompts->calls.clear();
        int ticksWhileDecoding = 0;
        LWPrintPanel *panel = nullptr;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (LWDecodeWorkers::stats().busy > 0 && ++ticksWhileDecoding == 5 &&
                (panel = qobject_cast<LWPrintPanel *>(QApplication::activeModalWidget())))
                QTest::keyClick(panel, Qt::Key_Escape);
        });
        tick.start(10);
        app.print(sheet);
        EXPECT_GE(ticksWhileDecoding, 5);
        EXPECT_NE(panel, nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(prompts->calls, QList<QStringList>()); // no dialog, no alert
        EXPECT_TRUE(backend->jobs.isEmpty());
        EXPECT_EQ(LWDecodeWorkers::stats().busy, 0);
    }
    LWDecodeWorkers::setForTests({}, 0, 0);
}

TEST_F(AppTest, PrintingToAFileWritesTheExportItself)
{
    LWDocument doc = blackCard();
    doc.pages[1].background = LWFill::solid(LWColor(0.8, 0.1, 0.1)); // a back that tells
    for (bool sheet : {false, true})
        for (bool secondOnly : {false, true}) {
            SCOPED_TRACE(testing::Message() << sheet << secondOnly);
            app.newDocument(doc);
            const QString out = path(QStringLiteral("out.pdf"));
            prompts->script = {ScriptedPrompts::printStep([&](QPrinter &p) {
                p.setOutputFormat(QPrinter::PdfFormat);
                p.setOutputFileName(out);
                if (secondOnly) {
                    p.setPrintRange(QPrinter::PageRange);
                    p.setFromTo(2, 2);
                }
                return true;
            })};
            app.print(sheet);
            const QList<int> pages = secondOnly ? QList<int>{1} : bothSides;
            const std::optional<QByteArray> expected =
                sheet ? LWExport::sheetPDF(doc, pages) : LWExport::pdfData(doc, pages, false);
            ASSERT_TRUE(expected);
            const QByteArray written = bytes(out);
            if (secondOnly) { // the chosen page of the PDF made for printing, drawn and boxed as its export
                const auto boxes = [](const QByteArray &pdf) {
                    const LWPdfFile::StoredBoxes b = LWPdfFile::pageBoxes(pdf).value(0);
                    return QList{b.media, b.bleed, b.trim};
                };
                EXPECT_EQ(drawnPages(written).size(), 1);
                EXPECT_EQ(drawnPages(written), drawnPages(*expected));
                EXPECT_EQ(boxes(written), boxes(*expected));
            } else {
                EXPECT_EQ(timeless(written), timeless(*expected));
            }
            // Print to File proposes what Export proposes for the same pages.
            EXPECT_EQ(prompts->calls.constLast(),
                      QStringList({QStringLiteral("print"), QStringLiteral("2"),
                                   sheet ? QStringLiteral("Card - print sheet.pdf") : QStringLiteral("Card.pdf")}));
        }
    EXPECT_TRUE(backend->jobs.isEmpty());

    // A file that cannot be written is reported.
    prompts->script = {ScriptedPrompts::printStep([&](QPrinter &p) {
                           p.setOutputFormat(QPrinter::PdfFormat);
                           p.setOutputFileName(path(QStringLiteral("missing/out.pdf")));
                           return true;
                       }),
                       ScriptedPrompts::alertStep()};
    app.print(false);
    EXPECT_EQ(prompts->calls.constLast().value(1), QStringLiteral("Couldn't print the design"));
    EXPECT_TRUE(prompts->calls.constLast().value(2).startsWith(QStringLiteral("The file \"out.pdf\" couldn't be saved: ")));
}

TEST(CupsBackend, UnknownQueueIsNoQueue)
{
    LWCupsBackend cups;
    EXPECT_EQ(cups.hasQueue(QString(), {}), false);
    EXPECT_EQ(cups.hasQueue(QStringLiteral("leafwrighter-no-such-queue"), {}), false);
}

TEST_F(AppTest, PrintQueueReceivesTheExportBytes)
{
    const LWDocument doc = blackCard();
    app.newDocument(doc);
    prompts->script = {ScriptedPrompts::printStep([](QPrinter &p) {
                           p.setCopyCount(3);
                           p.setPrintRange(QPrinter::PageRange);
                           p.setFromTo(2, 2);
                           return true;
                       }),
                       ScriptedPrompts::printStep([](QPrinter &) { return true; }), ScriptedPrompts::alertStep()};
    app.print(false);
    ASSERT_EQ(backend->jobs.size(), 1);
    const LWPrintJob job = backend->jobs[0];
    EXPECT_EQ(timeless(job.pdf), timeless(*LWExport::pdfData(doc, bothSides, false)));
    EXPECT_EQ(job.title, QStringLiteral("Card"));
    EXPECT_EQ(job.copies, 3);
    EXPECT_EQ(job.pageRanges, QStringLiteral("2"));
    EXPECT_EQ(job.options, (LWPrintOptions{{"multiple-document-handling", "separate-documents-collated-copies"}}));

    // A refusal reaches the user.
    backend->refusal = QStringLiteral("The printer refused the job: Not Found");
    app.print(false);
    EXPECT_EQ(backend->jobs.constLast().pageRanges, QString());
    EXPECT_EQ(backend->jobs.constLast().options, LWPrintOptions()); // nothing chosen
    EXPECT_EQ(prompts->calls.constLast(), QStringList({QStringLiteral("alert"), QStringLiteral("Couldn't print the design"),
                                                       backend->refusal}));
}

// Whether the printing system answers is asked beside the window before the printer is made
// (which asks it on the interface thread): one that does not is told and no dialog opens; Escape
// while it is asked says nothing. After Escape, a job that could not be removed is told as such.
TEST_F(AppTest, ThePrintingSystemIsAskedBeforeTheDialogAndACancelThatFailedIsTold)
{
    const QString mute = QStringLiteral("The printing system isn't answering.");
    const QString stranded = QStringLiteral("Printing was cancelled. The job may still be in the printer\u2019s queue.");
    using Answer = std::function<std::optional<QString>(const LWPrintSteps &)>;
    // Waits for the panel's Escape (a few seconds at most), then answers `then`.
    std::atomic<bool> waiting{false};
    const auto untilEscape = [&waiting](std::optional<QString> then) -> Answer {
        return [then, &waiting](const LWPrintSteps &steps) -> std::optional<QString> {
            waiting = true;
            for (int ms = 0; !steps.stopped() && ms < 5000; ++ms)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return steps.stopped() ? then : QStringLiteral("(no Escape came)");
        };
    };
    const struct {
        const char *name;
        Answer answering, submitting;
        QString escapeAt; // the panel's text when Escape is pressed; empty: never
        bool dialog;
        QStringList said;
    } rows[] = {
        {"not answering", [mute](const LWPrintSteps &) { return std::optional(mute); }, {}, {}, false,
         {"alert", "Couldn't print the design", mute}},
        {"Escape while it is asked", untilEscape(std::nullopt), {}, "Looking for the printing system\u2026", false, {}},
        {"answering", {}, {}, {}, true, {}},
        {"Escape, and a job that could not be removed", {}, untilEscape(stranded),
         "Sending the pages to the printer\u2026", true, {"alert", "Couldn't cancel printing", stranded}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        app.newDocument(blackCard());
        backend->answering = row.answering, backend->submitting = row.submitting;
        backend->printersMade = 0;
        backend->jobs.clear();
        prompts->calls.clear();
        QList<QStringList> want;
        if (row.dialog) {
            prompts->script.append(ScriptedPrompts::printStep([](QPrinter &) { return true; }));
            want.append({"print", "2", "Card.pdf"});
        }
        if (!row.said.isEmpty()) {
            prompts->script.append(ScriptedPrompts::alertStep());
            want.append(row.said);
        }
        bool escaped = false;
        waiting = false;
        const ModalAnswerer user([&](QWidget *modal) {
            auto *panel = qobject_cast<LWPrintPanel *>(modal);
            if (!escaped && waiting && panel && panel->text()->text() == row.escapeAt)
                escaped = true, QTest::keyClick(panel, Qt::Key_Escape);
        });
        app.print(false);
        EXPECT_EQ(escaped, !row.escapeAt.isEmpty());
        const auto told = [](const QList<QStringList> &calls) {
            QStringList lines;
            for (const QStringList &call : calls)
                lines.append(call.join(u" | "));
            return lines.join(u'\n').toStdString();
        };
        EXPECT_EQ(told(prompts->calls), told(want));
        EXPECT_EQ(backend->printersMade, row.dialog ? 1 : 0);
        EXPECT_EQ(backend->jobs.size(), row.dialog ? 1 : 0);
    }
}

TEST(PrintOptions, EachDialogChoiceIsItsCupsOption)
{
    using S = LWPrinting::Settings;
    const QString sides = QStringLiteral("sides"), media = QStringLiteral("media"),
                  colour = QStringLiteral("print-color-mode"), order = QStringLiteral("outputorder"),
                  copies = QStringLiteral("multiple-document-handling");
    // The printer before the dialog: A4, one-sided, colour, in order, one copy.
    S before;
    before.printer = QStringLiteral("desk");
    before.paper = QPageSize(QPageSize::A4);
    const auto chosen = [&](const std::function<void(S &)> &change) {
        S s = before;
        change(s);
        return s;
    };
    const struct {
        const char *name;
        S now;
        LWPrintOptions want;
    } cases[] = {
        {"nothing chosen", before, {}},
        {"long edge", chosen([](S &s) { s.duplex = QPrinter::DuplexLongSide; }), {{sides, "two-sided-long-edge"}}},
        {"short edge", chosen([](S &s) { s.duplex = QPrinter::DuplexShortSide; }), {{sides, "two-sided-short-edge"}}},
        {"automatic, upright", chosen([](S &s) { s.duplex = QPrinter::DuplexAuto; }), {{sides, "two-sided-long-edge"}}},
        {"automatic, turned", chosen([](S &s) {
             s.duplex = QPrinter::DuplexAuto;
             s.orientation = QPageLayout::Landscape;
         }),
         {{sides, "two-sided-short-edge"}}},
        {"Letter", chosen([](S &s) { s.paper = QPageSize(QPageSize::Letter); }), {{media, "Letter"}}},
        {"grey-scale", chosen([](S &s) { s.color = QPrinter::GrayScale; }), {{colour, "monochrome"}}},
        {"reverse", chosen([](S &s) { s.order = QPrinter::LastPageFirst; }), {{order, "reverse"}}},
        {"collated", chosen([](S &s) { s.copies = 2; }), {{copies, "separate-documents-collated-copies"}}},
        {"not collated", chosen([](S &s) {
             s.copies = 2;
             s.collate = false;
         }),
         {{copies, "separate-documents-uncollated-copies"}}},
        {"collation of one copy", chosen([](S &s) { s.collate = false; }), {}},
        {"the dialog's own CUPS options", chosen([](S &s) { s.cupsOptions = {"page-set", "odd", "number-up", "2"}; }),
         {{"page-set", "odd"}, {"number-up", "2"}}},
        // Its Pages field: the job's range carries them, and rasterised pages are picked already.
        {"the dialog's page range", chosen([](S &s) { s.cupsOptions = {"page-ranges", "2", "number-up", "2"}; }),
         {{"number-up", "2"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LWPrinting::jobOptions(c.now, before), c.want);
    }
    // Undoing a printer's own settings is a choice too: one-sided, A4 and in order on a
    // two-sided Letter printer that prints in reverse.
    const S turned = chosen([](S &s) {
        s.duplex = QPrinter::DuplexLongSide;
        s.paper = QPageSize(QPageSize::Letter);
        s.order = QPrinter::LastPageFirst;
    });
    EXPECT_EQ(LWPrinting::jobOptions(before, turned),
              (LWPrintOptions{{sides, "one-sided"}, {media, "A4"}, {order, "normal"}}));
}

TEST_F(AppTest, DialogChoicesReachTheQueueAndThePrinter)
{
    app.newDocument(blackCard());
    backend->defaults = [](QPrinter &p) { p.setPageSize(QPageSize(QPageSize::Letter)); };
    const LWPrintOptions want = {{"media", "A4"},
                                 {"print-color-mode", "monochrome"},
                                 {"outputorder", "reverse"},
                                 {"multiple-document-handling", "separate-documents-uncollated-copies"}};
    for (const bool queued : {true, false}) {
        SCOPED_TRACE(queued);
        backend->queued = queued;
        prompts->script = {ScriptedPrompts::printStep([](QPrinter &p) {
            p.setPageSize(QPageSize(QPageSize::A4));
            p.setColorMode(QPrinter::GrayScale);
            p.setPageOrder(QPrinter::LastPageFirst);
            p.setCopyCount(2);
            p.setCollateCopies(false);
            return true;
        })};
        app.print(false);
    }
    ASSERT_EQ(backend->jobs.size(), 1);
    EXPECT_EQ(backend->jobs[0].options, want);
    EXPECT_EQ(backend->rasterOptions, QList<LWPrintOptions>{want});
}

TEST_F(AppTest, APageTooLargeForThePrinterFailsAtOnce)
{
    app.newDocument(LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 30000, 30000, 9,
                                      QStringLiteral("Wall")));
    backend->queued = false;
    prompts->script = {ScriptedPrompts::printStep([](QPrinter &) { return true; }), ScriptedPrompts::alertStep()};
    app.print(false);
    EXPECT_EQ(prompts->calls.constLast(),
              QStringList({QStringLiteral("alert"), QStringLiteral("Couldn't print the design"),
                           QStringLiteral("Page 1 is too large to print on this printer: at 600 dpi it would take "
                                          "62500 million pixels, and at most 500 million fit.")}));
    EXPECT_FALSE(QFile::exists(backend->paperFile));
}

TEST_F(AppTest, CardSheetIsForBusinessCardsOnly)
{
    const LWDocument designs[] = {LWDocument::blank(LWSizePreset::letter, std::nullopt),
                                  LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 200, 120, 9,
                                                    QStringLiteral("Tag"))};
    for (const LWDocument &doc : designs) {
        SCOPED_TRACE(doc.sizeID.toStdString());
        app.newDocument(doc);
        prompts->script = {ScriptedPrompts::alertStep()};
        app.print(true);
        EXPECT_EQ(prompts->calls.constLast(), QStringList({QStringLiteral("alert"), QStringLiteral("Nothing to print"),
                                                           QStringLiteral("The 10-up sheet is for business cards.")}));
    }
}

TEST_F(AppTest, NothingPrintsWithoutEditorOrChoice)
{
    app.print(false);
    app.print(true);
    EXPECT_TRUE(prompts->calls.isEmpty());

    app.newDocument(blackCard());
    prompts->script = {ScriptedPrompts::printStep([](QPrinter &) { return false; })};
    app.print(false);
    EXPECT_TRUE(backend->jobs.isEmpty());

    // Without a queue the pages go to the printer itself; here it refuses them.
    backend->queued = false;
    backend->rasterRefusal = QStringLiteral("The printer couldn't be started.");
    prompts->script = {ScriptedPrompts::printStep([](QPrinter &) { return true; }), ScriptedPrompts::alertStep()};
    app.print(false);
    EXPECT_EQ(prompts->calls.constLast(), QStringList({QStringLiteral("alert"), QStringLiteral("Couldn't print the design"),
                                                       backend->rasterRefusal}));
    EXPECT_TRUE(backend->jobs.isEmpty());
    EXPECT_FALSE(QFile::exists(backend->paperFile));
}

TEST_F(AppTest, WithoutAQueueTheChosenPagesPrintAsPictures)
{
    app.newDocument(blackCard());
    backend->queued = false;
    prompts->script = {ScriptedPrompts::printStep([](QPrinter &p) {
        p.setPageSize(QPageSize(QPageSize::A4));
        p.setPageOrientation(QPageLayout::Portrait);
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(2, 2);
        return true;
    })};
    app.print(false);
    EXPECT_TRUE(backend->jobs.isEmpty());
    EXPECT_EQ(backend->rasterised, QList<QList<int>>{{1}});
    ReadBack paper(bytes(backend->paperFile));
    ASSERT_EQ(paper.pdf.pageCount(), 1);
    EXPECT_EQ(paper.pdf.pagePointSize(0).toSize(), QSize(595, 842));
    expectNear(paper.ink(0), QRect(226, 295, 144, 252)); // turned and centred, not scaled
}

TEST_F(AppTest, RasterisedPagesKeepTheirSize)
{
    LWDocument tabloid = LWDocument::blank(LWSizePreset::tabloid, std::nullopt);
    tabloid.pages[0].elements = {LWElement::makeShape(LWShapeKind::rectangle, LWRect(360, 576, 72, 72),
                                                      LWFill::solid(LWColor::black), std::nullopt, 0, QStringLiteral("sq"))};
    const struct {
        const char *name;
        LWDocument doc;
        qint64 bandBytes;
        QRect ink; // on Letter portrait, in points
    } cases[] = {
        {"card turned and centred", blackCard(), LWPrinting::maxBandBytes, QRect(234, 270, 144, 252)},
        {"card in narrow bands", blackCard(), 504 * 4 * 7, QRect(234, 270, 144, 252)},
        {"tabloid not shrunk", tabloid, LWPrinting::maxBandBytes, QRect(270, 360, 72, 72)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QList<int> pages;
        for (int i = 0; i < c.doc.pages.size(); ++i)
            pages.append(i);
        const std::shared_ptr<QPdfDocument> source = LWPrinting::openPdf(*LWExport::pdfData(c.doc, pages, false));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path(QStringLiteral("raster.pdf")));
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setResolution(144);
        ASSERT_EQ(LWPrinting::rasterise(source, pages, printer, c.bandBytes), QString());

        ReadBack paper(bytes(path(QStringLiteral("raster.pdf"))));
        ASSERT_EQ(paper.pdf.pageCount(), pages.size());
        for (int i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(paper.pdf.pagePointSize(i).toSize(), QSize(612, 792));
            expectNear(paper.ink(i), c.ink);
            EXPECT_GE(paper.dark, (c.ink.width() - 2) * (c.ink.height() - 2)); // no gaps between bands
        }
    }
}

// What the Pages field names prints, to a queue and to a file alike; a range naming no page of
// the design is refused before anything is sent.
TEST_F(AppTest, ThePagesNamedAreThePagesPrinted)
{
    const LWDocument doc = blackCard();
    const struct {
        const char *range;
        QList<int> pages; // 0-based; none: refused, saying `said`
        QString queued;   // the queue's range
        const char *said;
    } cases[] = {
        {"3", {}, "none", "Page 3 isn't in this design: it has 2 pages."},
        {"3-5,7", {}, "none", "Pages 3-5,7 aren't in this design: it has 2 pages."},
        {"2-5", {1}, "2", nullptr},
        {"1-9", bothSides, "", nullptr},
    };
    for (const auto &c : cases)
        for (const bool toFile : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.range << (toFile ? " to a file" : " to a queue"));
            app.newDocument(doc);
            backend->jobs.clear();
            const QString out = path(toFile ? QStringLiteral("pages.pdf") : QStringLiteral("unused.pdf"));
            prompts->script = {ScriptedPrompts::printStep([&](QPrinter &p) {
                if (toFile)
                    p.setOutputFileName(out);
                p.setPrintRange(QPrinter::PageRange);
                p.setPageRanges(QPageRanges::fromString(QString::fromLatin1(c.range)));
                return true;
            })};
            if (c.said)
                prompts->script.append(ScriptedPrompts::alertStep());
            app.print(false);
            EXPECT_EQ(prompts->calls.constLast(), c.said ? QStringList({"alert", "Nothing to print", c.said})
                                                         : QStringList({"print", "2", "Card.pdf"}));
            EXPECT_EQ(drawnPages(bytes(out)), toFile && !c.said ? drawnPages(*LWExport::pdfData(doc, c.pages, false))
                                                                : QList<QImage>());
            EXPECT_EQ(backend->jobs.isEmpty() ? "none" : backend->jobs[0].pageRanges, toFile ? "none" : c.queued);
            QFile::remove(out);
        }
}
