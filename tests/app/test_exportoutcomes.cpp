#include "exportsheetfixture.h"

#include "kit/controls/chromebutton.h"
#include "kit/controls/segmentedpicker.h"
#include "render/export.h"
#include "render/worker/decodeworkers.h"

#include <QComboBox>
#include <QFileInfo>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <functional>
#include <string>
#include <vector>

using namespace ExportSheetTests;

// Through a hidden named temporary, as on file systems without unnamed ones, and for the pages of
// a card through either kind: a finished export writes exactly what the exporter makes in memory;
// a failed or cancelled one leaves the folder exactly as it was, every earlier file of the names
// included, even when the pages before were complete; also when Cancel comes while a PDF's or a
// sheet's picture decodes (the stand-in worker asleep for an hour: only Cancel ends it).
TEST_F(ExportTest, ThroughANamedTemporary)
{
    enum class End { done, fault, cancel, cancelDecoding };
    LWDocument sleeping = card();
    sleeping.pages[0].elements = {harbourView(Qt::darkGreen, "LWTEST sleep 600000")};
    LWDocument sided = card();
    sided.pages[1].background = LWFill::solid(LWColor::hex(0x3060C0));
    const LWDocument letter = flyer(); // 2550 x 3300 px at 300 DPI: many bands
    struct Case {
        std::string name;
        LWDocument doc;
        Fmt format;
        int side; // -1 for every page
        End end;
        std::function<QByteArray()> expected = {};
        qint64 from = 1; // the fault or the click comes at the first write from this offset on
        int file = 0;    // in this file (from 0)
        bool named = true;
        bool earlier = true; // earlier files of the names are there
    };
    std::vector<Case> cases = {
        {"PDF", sided, Fmt::pdf, -1, End::done, [&] { return timeless(*LWExport::pdfData(sided, {0, 1}, true)); }},
        {"card sheet", sided, Fmt::sheet, -1, End::done, [&] { return timeless(*LWExport::sheetPDF(sided, {0, 1})); }},
        {"JPEG", sided, Fmt::jpeg, 1, End::done,
         [&] { return *LWExport::rasterData(sided, 1, 300, true, LWExport::RasterType::jpeg, 0.92); }},
        {"PNG", letter, Fmt::png, 0, End::done,
         [&] { return *LWExport::rasterData(letter, 0, 300, true, LWExport::RasterType::png); }},
        {"PDF, the disk full", sided, Fmt::pdf, -1, End::fault, {}, 0},
        {"PNG, the disk full midway", letter, Fmt::png, 0, End::fault},
        {"PNG, cancelled midway", letter, Fmt::png, 0, End::cancel},
        {"PDF, cancelled while its picture decodes", sleeping, Fmt::pdf, -1, End::cancelDecoding},
        {"card sheet, cancelled while its picture decodes", sleeping, Fmt::sheet, -1, End::cancelDecoding},
    };
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    // Both sides of the card: the front is complete when the back fails or the user cancels.
    for (Fmt format : {Fmt::png, Fmt::jpeg})
        for (End end : {End::fault, End::cancel})
            for (bool named : {false, true})
                for (bool earlier : {false, true})
                    cases.push_back({ExportSheet::rawValue(format).toStdString() + ", both sides, " +
                                         (end == End::fault ? "the disk full" : "cancelled") + " at the back" +
                                         (named ? ", named temporaries" : ", unnamed temporaries") +
                                         (earlier ? ", over earlier files" : ""),
                                     sided, format, -1, end, {}, 0, 1, named, earlier});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &f : files(out()))
            QFile::remove(out(f));
        const QString ext = c.format == Fmt::jpeg ? QStringLiteral("jpg") : c.format == Fmt::png ? QStringLiteral("png")
                                                                                                 : QStringLiteral("pdf");
        const QString target = out(QStringLiteral("Out.") + ext);
        const bool pages = c.side < 0 && (c.format == Fmt::jpeg || c.format == Fmt::png);
        const QStringList names = pages ? QStringList{"Out - front." + ext, "Out - back." + ext} : QStringList{"Out." + ext};
        for (const QString &name : names) {
            QFile old(out(name));
            ASSERT_TRUE(!c.earlier || (old.open(QIODevice::WriteOnly) && old.write("old " + name.toUtf8()) > 0));
        }
        const QStringList before = files(out());
        app.setNotice(std::nullopt);

        ExportSheet sheet(app, openNew(c.doc));
        sheet.formatPicker()->segment(int(c.format))->click();
        if (c.side >= 0)
            sheet.sidesPicker()->segment(c.side + 1)->click();
        std::atomic<bool> cancelAsked = false;
        int file = -1;
        LWFileAccess::ReplaceProbe probe;
        probe.namedTemporary = c.named;
        probe.writeFault = [&](qint64 offset) {
            file += offset == 0 ? 1 : 0;
            if (file < c.file || offset < c.from || c.end == End::done)
                return 0;
            if (c.end == End::fault)
                return ENOSPC;
            // The user's click, on the interface thread, while the file is half written.
            if (!cancelAsked.exchange(true))
                QMetaObject::invokeMethod(sheet.cancelButton(), "click", Qt::BlockingQueuedConnection);
            return 0;
        };
        LWExportJob::setProbe(probe);
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(target))};
        if (pages && c.earlier)
            prompts->script.append(ScriptedPrompts::confirmStep(true));
        if (c.end == End::fault)
            prompts->script.append(ScriptedPrompts::alertStep());
        if (c.end == End::cancelDecoding)
            LWDecodeWorkers::setForTests(QFileInfo(self).absolutePath() + QStringLiteral("/lw-misbehaving-decoder"), 60,
                                         3600000);
        sheet.runExport();
        if (c.end == End::cancelDecoding) {
            // The click once a worker decodes; bounded, then the worker is ended.
            QElapsedTimer clock;
            clock.start();
            while (LWDecodeWorkers::stats().busy == 0 && clock.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            cancelAsked = LWDecodeWorkers::stats().busy > 0;
            QTest::mouseClick(sheet.cancelButton(), Qt::LeftButton);
            clock.restart();
            while ((sheet.exporting() || LWExportJob::anyEnding()) && clock.elapsed() < 30000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            EXPECT_FALSE(sheet.exporting() || LWExportJob::anyEnding()) << "Cancel was not heard while the picture decodes";
            LWDecodeWorkers::endAll(); // the sheet's print check may decode it too
            LWDecodeWorkers::setForTests({}, 0, 0);
        }
        finish(sheet);
        LWExportJob::setProbe({});
        EXPECT_TRUE(prompts->script.isEmpty());
        if (c.end == End::done) {
            EXPECT_EQ(files(out()), QStringList{QStringLiteral("Out.") + ext});
            const QByteArray written = bytes(target);
            EXPECT_EQ(c.format == Fmt::pdf || c.format == Fmt::sheet ? timeless(written) : written, c.expected());
            EXPECT_EQ(app.notice().value_or(QString()), QStringLiteral("Exported Out.") + ext);
            continue;
        }
        EXPECT_EQ(files(out()), before);
        for (const QString &name : names)
            EXPECT_EQ(bytes(out(name)), c.earlier ? "old " + name.toUtf8() : QByteArray());
        EXPECT_FALSE(app.notice());
        EXPECT_FALSE(sheet.exportedFile());
        if (c.end == End::cancel || c.end == End::cancelDecoding) {
            EXPECT_TRUE(cancelAsked);
            EXPECT_EQ(prompts->calls.size(), qsizetype(pages && c.earlier ? 2 : 1)); // no alert
        } else {
            EXPECT_EQ(prompts->calls.constLast().value(2),
                      QStringLiteral("The file \"%1\" couldn't be saved: No space left on device").arg(names.value(c.file)) +
                          (names.size() > 1 ? QStringLiteral("\n\nNo file was changed.") : QString()) +
                          QStringLiteral("\n\nTry another folder, or check that the disk has free space."));
        }
    }
}

TEST_F(ExportTest, APictureLeftAsThePlaceholderIsNamedAfterTheExport)
{
    // The picture decoder missing while the design exports: each format's file is kept, and
    // instead of "Exported" the sheet names the decoder and the picture drawn as the placeholder.
    // With the decoder back, the next export draws it and says done.
    const struct {
        Fmt format;
        const char *file;
    } rows[] = {{Fmt::pdf, "Card.pdf"}, {Fmt::jpeg, "Card.jpg"}, {Fmt::png, "Card.png"}, {Fmt::sheet, "Sheet.pdf"}};
    int hue = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.file);
        LWDocument doc = card();
        doc.pages[0].elements = {harbourView(QColor::fromHsv(hue += 40, 200, 200))}; // new bytes each time
        ExportSheet sheet(app, openNew(doc));
        sheet.setFormat(row.format);
        const auto exportTo = [&](const QString &name, bool alerted) {
            prompts->calls.clear();
            prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(name)))};
            if (alerted)
                prompts->script.append(ScriptedPrompts::alertStep());
            app.setNotice(std::nullopt);
            QTest::keyClick(&sheet, Qt::Key_Return);
            finish(sheet);
        };
        LWDecodeWorkers::setForTests(path(QStringLiteral("no-such-worker")), 0, 0);
        exportTo(QString::fromLatin1(row.file), true);
        LWDecodeWorkers::setForTests({}, 0, 0);
        const QStringList alert = prompts->calls.value(1);
        ASSERT_EQ(alert.value(0), QStringLiteral("alert"));
        EXPECT_EQ(alert.value(1), ExportSheet::undrawnTitle);
        EXPECT_TRUE(alert.value(2).contains(QStringLiteral("picture decoder is missing or can't start, so a placeholder is "
                                                           "in the place of \"Harbour view\"")))
            << alert.value(2).toStdString();
        EXPECT_FALSE(app.notice());
        EXPECT_TRUE(sheet.exportedFile());
        EXPECT_FALSE(files(out()).isEmpty());

        exportTo(QStringLiteral("Again ") + QString::fromLatin1(row.file), false);
        EXPECT_EQ(prompts->calls.size(), 1); // the chooser, no alert
        EXPECT_TRUE(app.notice().value_or(QString()).startsWith(QStringLiteral("Exported")));
        for (const QString &f : files(out()))
            QFile::remove(out(f));
    }
}

TEST_F(ExportTest, WantOfMemoryAdvisesWhatMakesRoom)
{
    // The decode worker killed by the system for memory: the export stops, saying so with advice
    // that fits the format, never the disk's.
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    LWDecodeWorkers::setForTests(QFileInfo(self).absolutePath() + QStringLiteral("/lw-misbehaving-decoder"), 1, 3000);
    const struct {
        Fmt format;
        int dpi;
        const char *file;
        bool lowerDpi;
    } rows[] = {{Fmt::png, 600, "Card.png", true}, {Fmt::pdf, 300, "Card.pdf", false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.file);
        LWDocument doc = card();
        // Words only the stand-in worker reads: it ends as the memory killer would end it.
        doc.pages[0].elements = {harbourView(row.lowerDpi ? Qt::darkCyan : Qt::darkMagenta, "LWTEST killed")};
        ExportSheet sheet(app, openNew(doc));
        sheet.setFormat(row.format);
        if (row.dpi == 600) {
            sheet.resolutionBox()->setCurrentIndex(1);
            Q_EMIT sheet.resolutionBox()->activated(1);
        }
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QString::fromLatin1(row.file)))),
                           ScriptedPrompts::alertStep()};
        QTest::keyClick(&sheet, Qt::Key_Return);
        finish(sheet);
        const QString message = prompts->calls.value(1).value(2);
        EXPECT_TRUE(message.startsWith(LWExport::notEnoughMemory)) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("Close other designs")));
        EXPECT_EQ(message.contains(QStringLiteral("export at 300 DPI")), row.lowerDpi);
        EXPECT_FALSE(message.contains(QStringLiteral("disk")));
        EXPECT_EQ(files(out()), QStringList());
    }
    LWDecodeWorkers::setForTests({}, 0, 0);
}

TEST_F(ExportTest, PrintingNamesAPictureItCannotDrawBeforeThePrinterIsChosen)
{
    LWDocument doc = card();
    doc.pages[0].elements = {harbourView(Qt::darkYellow)};
    openNew(doc);
    prompts->calls.clear();
    prompts->script = {ScriptedPrompts::alertStep(), ScriptedPrompts::printStep([](QPrinter &) { return false; })};
    LWDecodeWorkers::setForTests(path(QStringLiteral("no-such-worker")), 0, 0);
    app.print(false);
    LWDecodeWorkers::setForTests({}, 0, 0);
    ASSERT_EQ(prompts->calls.value(0).value(0), QStringLiteral("alert"));
    EXPECT_TRUE(prompts->calls.value(0).value(2).contains(QStringLiteral("\"Harbour view\"")));
    EXPECT_EQ(prompts->calls.value(1).value(0), QStringLiteral("print"));
}
