#include "app/app_fixture.h"
#include "app/sheets/exportjob.h"
#include "app/sheets/exportsheet.h"
#include "app/sheets/sheetpresenter.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/progressbar.h"
#include "kit/controls/segmentedpicker.h"
#include "shell/shellwindow.h"
#include "support/samplepages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImageReader>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <zlib.h>

#include <condition_variable>
#include <mutex>

namespace {

LWDocument poster() { return LWSamplePages::shapePoster(); }

QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Walks the PNG's chunks: every length in the file, every checksum right, IEND the last.
bool wholePNG(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    if (!bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return false;
    qsizetype at = 8;
    while (at + 12 <= bytes.size()) {
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at);
        if (at + 12 + qsizetype(length) > bytes.size())
            return false;
        const auto *type = reinterpret_cast<const Bytef *>(bytes.constData() + at + 4);
        const quint32 crc = qFromBigEndian<quint32>(bytes.constData() + at + 8 + length);
        if (crc32(crc32(0, type, 4), type + 4, length) != crc)
            return false;
        at += 12 + length;
        if (QByteArrayView(type, 4) == "IEND")
            return at == bytes.size();
    }
    return false;
}

// The export's thread, before each write into its file, posts an event to the interface thread
// and goes on only once it was served: the export ends only if the interface thread kept turning
// all along. Opened (no more waiting) before the test ends the export itself.
struct Turns {
    std::mutex lock;
    std::condition_variable served;
    int posted = 0, answered = 0, answeredRunning = 0;
    bool open = false, unanswered = false;

    static LWFileAccess::ReplaceProbe probe(const std::shared_ptr<Turns> &turns,
                                            const std::function<bool()> &running)
    {
        LWFileAccess::ReplaceProbe probe;
        probe.writeFault = [turns, running](qint64) {
            std::unique_lock<std::mutex> locked(turns->lock);
            if (turns->open)
                return 0;
            const int k = ++turns->posted;
            QMetaObject::invokeMethod(qApp, [turns, running, k] {
                const bool stillRunning = running();
                std::lock_guard<std::mutex> guard(turns->lock);
                turns->answered = k;
                turns->answeredRunning += stillRunning ? 1 : 0;
                turns->served.notify_all();
            }, Qt::QueuedConnection);
            // Only against a deadlock: a turn is never timed.
            if (!turns->served.wait_for(locked, std::chrono::minutes(5),
                                        [&] { return turns->answered >= k || turns->open; }))
                turns->unanswered = turns->open = true;
            return 0;
        };
        return probe;
    }
    void release()
    {
        std::lock_guard<std::mutex> guard(lock);
        open = true;
        served.notify_all();
    }
};

} // namespace

class LongExportTest : public AppTest {};

// A 600-DPI PNG of the poster, started by a click on the sheet in the window: the interface
// thread serves every event the export posts while it runs, its progress shows, and it ends as
// the row says.
TEST_F(LongExportTest, PosterAt600DPIKeepsTheWindowAlive)
{
    enum class End { runs, cancel, closeDesign, quit };
    const struct {
        const char *name;
        End end;
    } rows[] = {
        {"runs to the end", End::runs},
        {"Cancel midway", End::cancel},
        {"closing the design midway", End::closeDesign},
        {"quitting midway", End::quit},
    };
    const QString out = path(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    const QString file = out + QStringLiteral("/Poster.png");
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(file);
        if (row.end != End::runs) { // an earlier file of the name stays as it was
            QFile old(file);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        const QStringList before = listing(out);
        app.setNotice(std::nullopt);
        LWPrefs::store().setValue(LWPrefs::exportDPIKey, 600);
        LWPrefs::store().setValue(LWPrefs::exportBleedKey, true);
        LWShellWindow window(app);
        int quits = 0;
        window.setQuit([&quits] { ++quits; });
        window.show();
        openNew(poster());
        app.setSheet(LWAppSheet::exportSheet);
        QPointer<ExportSheet> sheet = qobject_cast<ExportSheet *>(window.sheets()->dialog());
        ASSERT_TRUE(sheet);
        QTest::mouseClick(sheet->formatPicker()->segment(int(ExportSheet::Fmt::png)), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        const auto turns = std::make_shared<Turns>();
        LWExportJob::setProbe(Turns::probe(turns, [sheet] { return sheet && sheet->exporting(); }));
        const auto noProbe = qScopeGuard([] { LWExportJob::setProbe({}); });
        prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(file))};
        QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        ASSERT_TRUE(sheet->exporting());
        EXPECT_TRUE(sheet->progressBar()->isVisible());
        EXPECT_TRUE(sheet->cancelButton()->isVisible());
        EXPECT_FALSE(sheet->exportButton()->isEnabled());

        QElapsedTimer clock;
        clock.start();
        double first = -1, last = 0;
        bool stopped = false, moved = false;
        QEventLoop loop;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            // After a close or a quit the export ends on its own thread; the window keeps turning.
            if ((!sheet || !sheet->exporting()) && !LWExportJob::anyEnding())
                return loop.quit();
            if (clock.elapsed() > 300000)
                return loop.quit();
            if (stopped)
                return;
            const double value = sheet->progressBar()->value();
            if (first < 0)
                first = value;
            moved = moved || (value > first && value < 1);
            last = value;
            if (row.end == End::runs || stopped || !moved)
                return;
            stopped = true;
            turns->release(); // the export may now end without the interface thread
            if (row.end == End::cancel) {
                QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
                return;
            }
            if (row.end == End::closeDesign)
                app.close();
            else
                window.close();
            EXPECT_EQ(listing(out), before);
        });
        tick.start(10);
        loop.exec();
        turns->release();
        {
            std::lock_guard<std::mutex> guard(turns->lock);
            EXPECT_FALSE(turns->unanswered) << "the interface thread stopped serving events";
            EXPECT_GE(turns->posted, row.end == End::runs ? 10 : 1);
            // Stopped by the test, the export no longer waits for the last event it posted.
            EXPECT_GE(turns->answeredRunning, turns->posted - (row.end == End::runs ? 0 : 1))
                << "each served while the export ran";
        }
        EXPECT_TRUE(moved) << last;
        EXPECT_FALSE(sheet && sheet->exporting());
        EXPECT_EQ(quits, row.end == End::quit ? 1 : 0);
        if (row.end == End::runs) {
            EXPECT_EQ(QImageReader(file).size(), QSize(21750, 14550));
            EXPECT_TRUE(wholePNG(file));
            EXPECT_EQ(app.notice().value_or(QString()), QStringLiteral("Exported Poster.png"));
        } else {
            EXPECT_EQ(listing(out), before);
            EXPECT_EQ(bytes(file), QByteArray("old"));
            EXPECT_FALSE(app.notice());
        }
        prompts->calls.clear(); // no alert came (an unscripted one fails)
        if (app.editor())
            app.editor()->setDirty(false);
        runPosted();
    }
}
