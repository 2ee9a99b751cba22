// Cancel's delay: a card exported as a PNG whose one picture is being decoded when Cancel is
// pressed (300 ms after the export starts): the time from Cancel to the export's return, with
// the stand-in worker's decoder asleep, or busy for 600 ms of CPU and then asleep (each with
// the wall clock a picture of its size gets), and with the program's own worker decoding a
// 96-megapixel JPEG at its full size. Also in the export's other waits: while it plans the
// picture and the header read sleeps, and while it waits for the one worker place, which the
// page view's decode of a picture that sleeps holds.
#include "model/document.h"
#include "render/export.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/worker/decodeworkers.h"
#include "support/bigphotos.h"
#include "support/testpictures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <benchmark/benchmark.h>
#include <thread>

namespace {

constexpr qint64 cancelAtMs = 300;

// The photo fills a card; `dpi` makes the export ask for its full size or less.
void cancelled(benchmark::State &state, const QString &worker, const std::function<QByteArray(int)> &picture,
               double dpi, int viewsWorkers = 0)
{
    if (viewsWorkers == 0)
        LWDecodeWorkers::setForTests(worker, 0, 0);
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("card.png"));
    int n = 0;
    for (auto _ : state) {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement photo = LWElement::makePhoto({0, 0, doc.width, doc.height});
        photo.image->data = picture(n++); // new bytes each time: nothing known of them
        doc.pages[0].elements = {photo};
        QElapsedTimer since;
        std::atomic<qint64> pressed{-1};
        LWExport::RasterWriteHooks hooks;
        hooks.cancelled = [&] {
            if (since.elapsed() < cancelAtMs)
                return false;
            qint64 none = -1;
            pressed.compare_exchange_strong(none, since.nsecsElapsed());
            return true;
        };
        since.start();
        const QString why =
            LWExport::writeRaster(doc, 0, dpi, false, LWExport::RasterType::png, 0.92, png, hooks);
        const qint64 end = since.nsecsElapsed();
        if (why != QStringLiteral("the export was cancelled") || pressed < 0 || QFile::exists(png) ||
            LWDecodeBudget::holds() != 0 || LWDecodeWorkers::stats().running != viewsWorkers) {
            state.SkipWithError(qPrintable(QStringLiteral("not cancelled cleanly: ") + why));
            break;
        }
        // From the press, not from the first question after it: the time the waits take to ask
        // is part of the delay.
        state.SetIterationTime(double(end - cancelAtMs * 1'000'000) / 1e9);
    }
    if (viewsWorkers == 0)
        LWDecodeWorkers::setForTests({}, 0, 0);
}

QString standIn()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/lw-misbehaving-decoder");
}

QByteArray asking(int n, const char *words)
{
    const QColor colour = QColor::fromHsv(n * 37 % 360, 200, 200);
    return LWTestPictures::encode(LWTestPictures::plain(64, 64, colour), "png") + "LWTEST " + words;
}

void BM_CancelSleepingDecode(benchmark::State &state)
{
    cancelled(state, standIn(), [](int n) { return asking(n, "sleep 600000"); }, 72);
}
void BM_CancelSpinningThenSleepingDecode(benchmark::State &state)
{
    cancelled(state, standIn(), [](int n) { return asking(n, "spinsleep 600"); }, 72);
}
void BM_CancelPlanningWithAStalledHeader(benchmark::State &state)
{
    cancelled(state, standIn(), [](int n) { return asking(n, "headersleep 600000"); }, 72);
}
void BM_CancelWaitingForAWorkerPlace(benchmark::State &state)
{
    // One place, held by the view's decode of a picture that sleeps: the export's header read
    // waits for it.
    LWDecodeWorkers::setForTests(standIn(), 0, 0);
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    LWImage sleeper;
    sleeper.data = asking(1000, "sleep 600000");
    (void)LWPictureDecoder::check(*sleeper.data, {});
    std::thread view([&] { (void)LWImageCache::image(sleeper, true); });
    while (LWDecodeWorkers::stats().busy == 0)
        QThread::msleep(5);
    cancelled(state, standIn(), [](int n) { return asking(n, "headersleep 0"); }, 72, 1);
    LWDecodeWorkers::endAll();
    view.join();
    QThreadPool::globalInstance()->setMaxThreadCount(threads);
    LWDecodeWorkers::setForTests({}, 0, 0);
}
void BM_CancelLargeDecode(benchmark::State &state)
{
    static const QByteArray photo = LWBigPhotos::jpeg(12000, 8000, true);
    // Bytes after the picture's end make it new; 3500 DPI asks for its full size.
    cancelled(state, {}, [](int n) { return photo + QByteArray::number(n); }, 3500);
}

} // namespace

BENCHMARK(BM_CancelSleepingDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelSpinningThenSleepingDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelPlanningWithAStalledHeader)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelWaitingForAWorkerPlace)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelLargeDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
