// Decode workers ended at many moments while the program waits on them.
#include "exportsheetfixture.h"

#include "app/sheets/preflightsheet.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturequeue.h"
#include "render/preflight.h"
#include "render/worker/decodeworkers.h"
#include "render/worker/sanitizers.h"

#include <QThreadPool>
#include <future>

#include "../support/picturepages.h"
#include "../support/pngbytes.h"
#include "../support/workerkiller.h"

namespace {

// A user who goes on: reads every alert, cancels the print dialog, exports where told.
class GoingOn final : public LWPrompts {
public:
    QStringList told;
    bool printAsked = false;
    QUrl exportTo;

    void alert(const QString &title, const QString &message) override { told.append(title + QStringLiteral(": ") + message); }
    Answer askToSave(const QString &, const QString &) override { return Answer::cancel; }
    bool askToOverwrite(const QString &, const QString &) override { return true; }
    std::optional<QUrl> chooseOpen(const QString &) override { return std::nullopt; }
    std::optional<QUrl> chooseSave(const QString &, const QString &) override { return std::nullopt; }
    bool choosePrinter(QPrinter &, int, const QString &) override { return (printAsked = true), false; }
    std::optional<QUrl> chooseExport(const QString &, const QString &, const QString &) override { return exportTo; }
    bool confirm(const QString &, const QString &, const QString &) override { return true; }
};

enum class Waiter { printCheck, printPreparation, pdfExport, pngExport, pageView };

} // namespace

// Whoever waits on a decode worker hears its end (SIGKILL, before its hello, while it decodes,
// while idle; its channel still held elsewhere): the print check, the print preparation, the
// exports and the page view's previews of a page of pictures all end, though every worker may
// take an hour, and the next decode, once workers are left alone, draws every picture. A wait not
// ended within seconds fails its row: the channels held are then let go, which ends it.
TEST_F(ExportTest, EveryWaitOnADecodeWorkerEndsWhileWorkersAreKilled)
{
    const auto going = std::make_shared<GoingOn>();
    app.setPrompts(going);
    LWDecodeWorkers::setForTests({}, 0, 3'600'000, 3'600'000);
    // One worker place, as on one core: the waits for a place are waits on a worker too.
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    const struct {
        const char *name;
        Waiter waiter;
    } rows[] = {{"print check", Waiter::printCheck},
                {"print preparation", Waiter::printPreparation},
                {"PDF export", Waiter::pdfExport},
                {"PNG export", Waiter::pngExport},
                {"page view", Waiter::pageView}};
    // Microseconds from a worker's first sight to its end.
    const std::vector<int> moments = {0, 200, 700, 2000, 5000, 12000, 30000, 80000};
    const auto most = std::chrono::seconds(LWSanitizers::address ? 60 : 20); // ample on two loaded cores
    int row = 0, killed = 0;
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        // Runs the wait on a page of pictures of new bytes; what it told, or that it found a
        // picture it could not check or draw.
        const auto wait = [&](const QByteArray &tag) {
            const LWDocument doc = LWPicturePages::grid(
                LWPicturePages::variants(lwPngBytes(48, 48, QColor::fromHsv(row * 50, 200, 200)) + tag, 4), 2, 2);
            LWEditor *editor = openNew(doc);
            going->told.clear();
            going->printAsked = false;
            QStringList told;
            const auto turnUntil = [most](const std::function<bool()> &done) {
                QElapsedTimer clock;
                clock.start();
                while (!done() && clock.elapsed() < std::chrono::milliseconds(most).count())
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                EXPECT_TRUE(done());
            };
            switch (r.waiter) {
            case Waiter::printCheck: {
                PreflightSheet sheet(editor);
                turnUntil([&] { return !LWExport::checking(sheet.issues()); });
                for (const LWExport::Issue &i : sheet.issues())
                    if (i.message.contains(u"placeholder"))
                        told.append(i.message);
                break;
            }
            case Waiter::printPreparation:
                app.print(false);
                if (!going->printAsked)
                    told.append(QStringLiteral("no print dialog"));
                break;
            case Waiter::pdfExport:
            case Waiter::pngExport: {
                ExportSheet sheet(app, editor);
                sheet.setFormat(r.waiter == Waiter::pdfExport ? ExportSheet::Fmt::pdf : ExportSheet::Fmt::png);
                going->exportTo = QUrl::fromLocalFile(out(QStringLiteral("Out %1.").arg(QString::fromLatin1(tag)) +
                                                          QString::fromLatin1(r.waiter == Waiter::pdfExport ? "pdf" : "png")));
                sheet.runExport();
                finish(sheet);
                if (!QFile::exists(going->exportTo.toLocalFile()))
                    told.append(QStringLiteral("no file"));
                break;
            }
            case Waiter::pageView: {
                for (const LWElement &e : doc.pages[0].elements)
                    (void)LWImageCache::previewSoon(*e.image, 1);
                turnUntil([] { return LWPictureQueue::shared().busy() == 0; });
                for (const LWElement &e : doc.pages[0].elements)
                    if (!LWImageCache::previewSoon(*e.image, 1).image)
                        told.append(QStringLiteral("no preview"));
                break;
            }
            }
            // The checks the sheets started beside end too.
            turnUntil([] { return LWPictureQueue::shared().busy() == 0; });
            EXPECT_EQ(LWDecodeWorkers::stats().busy, 0);
            return told + going->told;
        };
        std::vector<int> at = moments;
        std::rotate(at.begin(), at.begin() + row % int(at.size()), at.end());
        at.insert(at.begin(), 0); // the worker left from before, at once
        {
            LWWorkerKiller killer(at, 8);
            std::promise<void> ended;
            std::atomic<bool> stuck = false;
            std::thread guard([&, ends = ended.get_future()] {
                if (ends.wait_for(most) == std::future_status::timeout)
                    stuck = true, killer.stop();
            });
            (void)wait("killed");
            ended.set_value();
            guard.join();
            EXPECT_FALSE(stuck) << "a wait on a killed worker went on until its channel was let go";
            killer.stop();
            killed += killer.killed(); // a wait may end before its killer looks, on a loaded machine
        }
        EXPECT_EQ(wait("left alone"), QStringList());
        ++row;
    }
    EXPECT_GT(killed, 0);
    QThreadPool::globalInstance()->setMaxThreadCount(threads);
    LWDecodeWorkers::setForTests({}, 0, 0);
}
