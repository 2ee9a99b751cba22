// Cancel's delay: a card exported as a PNG whose one picture is being decoded when Cancel is
// pressed (300 ms after the export starts): the time from Cancel to the export's return, with
// the stand-in worker's decoder asleep, or busy for 600 ms of CPU and then asleep (each with
// the wall clock a picture of its size gets), and with the program's own worker decoding a
// 96-megapixel JPEG at its full size. Also in the export's other waits: while it plans the
// picture and the header read sleeps, and while it waits for the one worker place, which the
// page view's decode of a picture that sleeps holds. And after the decode: a card's 24-megapixel
// PNG exported as a PDF or as its 10-up sheet, Cancel pressed a moment after the worker's answer
// (while the picture is made ready and compressed).
#include "model/document.h"
#include "render/export.h"
#include "render/raster/pngwriter.h"
#include "render/sheet.h"
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

// A 24-megapixel photo-like PNG (grain everywhere, as a camera's noise): about 68 MB.
const QByteArray &bigPng()
{
    static const QByteArray bytes = [] {
        QImage image(6000, 4000, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < image.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int g = int(seed >> 26);
                row[x] = qRgb(120 + g + x / 100, 90 + g + y / 100, 60 + g);
            }
        }
        return LWPngWriter::encode(image, 11811).value_or(QByteArray());
    }();
    return bytes;
}

// Cancel pressed `afterMs` after the worker answered, as the export sheet's job hears it.
void cancelledAfterDecode(benchmark::State &state, bool sheet, int afterMs)
{
    LWDecodeWorkers::setForTests({}, 0, 0);
    int n = 0;
    for (auto _ : state) {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement photo = LWElement::makePhoto({0, 0, doc.width, doc.height});
        photo.image->data = bigPng() + QByteArray::number(n++); // new bytes: nothing known of them
        doc.pages[0].elements = {photo};
        (void)LWPictureDecoder::check(*photo.image->data, {}); // its header read: the next answer is the decode
        const qint64 decodes = LWDecodeWorkers::stats().decodes;
        QElapsedTimer since;
        since.start();
        std::atomic<bool> stop{false}, done{false};
        std::atomic<qint64> pressed{-1};
        std::thread user([&] {
            while (!done && LWDecodeWorkers::stats().decodes == decodes)
                QThread::msleep(1);
            QThread::msleep(afterMs);
            pressed = since.nsecsElapsed();
            stop = true;
        });
        std::optional<QByteArray> bytes;
        {
            const LWDecodeWorkers::Cancellable listening([&] { return stop.load(); });
            const LWExport::PageDone pageDone = [&](int) { return !stop; };
            bytes = sheet ? LWExport::sheetPDF(doc, {0}, pageDone) : LWExport::pdfExport(doc, {0}, false, pageDone).bytes;
        }
        const qint64 end = since.nsecsElapsed();
        done = true;
        user.join();
        if (bytes || pressed < 0 || end < pressed || LWDecodeBudget::holds() != 0 ||
            LWDecodeWorkers::stats().busy != 0) {
            state.SkipWithError("not cancelled cleanly after the decode");
            break;
        }
        state.SetIterationTime(double(end - pressed) / 1e9);
    }
}

void BM_CancelPdfAfterDecode(benchmark::State &state) { cancelledAfterDecode(state, false, int(state.range(0))); }
void BM_CancelSheetAfterDecode(benchmark::State &state) { cancelledAfterDecode(state, true, int(state.range(0))); }

} // namespace

BENCHMARK(BM_CancelPdfAfterDecode)->Arg(50)->Arg(500)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CancelSheetAfterDecode)->Arg(50)->Arg(500)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CancelSleepingDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelSpinningThenSleepingDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelPlanningWithAStalledHeader)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelWaitingForAWorkerPlace)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CancelLargeDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
