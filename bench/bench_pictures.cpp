// Picture-heavy designs exported: time, decodes and the process's peak resident memory.
// Run one benchmark per process (--benchmark_filter) for a fair peak: Linux resets the peak
// (VmHWM) on request, but the allocator may keep memory of an earlier run.
#include "model/document.h"
#include "render/export.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturedecoder.h"
#include "support/picturepages.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <benchmark/benchmark.h>
#include <random>

namespace {

using namespace LWPicturePages;

QByteArray encoded(const QImage &img, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90); // PNG: a fast zlib level
    writer.write(img);
    return bytes;
}

// A photo-like picture: smooth light with grain, so that decoding costs what a photo costs.
QImage photoPixels(int w, int h, unsigned seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int g = int(rng() & 31) - 16;
            row[x] = qRgb(std::clamp(x * 255 / w + g, 0, 255), std::clamp(y * 255 / h + g, 0, 255),
                          std::clamp(int(seed * 40 % 256) + g, 0, 255));
        }
    }
    return img;
}

template <typename Export>
void run(benchmark::State &state, const LWDocument &doc, Export exportOnce)
{
    qint64 bytes = 0;
    const qint64 decodes = LWImageCache::stats().decodes;
    resetPeak();
    const qint64 before = statusKB("VmRSS:");
    for (auto _ : state)
        bytes = exportOnce(doc);
    state.counters["peak_MB"] = double(statusKB("VmHWM:") - before) / 1024;
    state.counters["decodes"] = double(LWImageCache::stats().decodes - decodes) / double(state.iterations());
    state.counters["out_MB"] = double(bytes) / 1e6;
}

const QList<QByteArray> &photos24MP()
{
    static const QList<QByteArray> made = variants(encoded(photoPixels(6000, 4000, 1), "jpeg"), 24);
    return made;
}

void BM_CollagePng300(benchmark::State &state)
{
    const int count = int(state.range(0));
    const LWDocument doc = grid(photos24MP().first(count), count == 6 ? 6 : 4, count == 6 ? 1 : 6);
    run(state, doc, [](const LWDocument &d) {
        return LWExport::rasterData(d, 0, 300, false, LWExport::RasterType::png).value_or(QByteArray()).size();
    });
}
BENCHMARK(BM_CollagePng300)->Arg(6)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_FortyPhotosPdf(benchmark::State &state)
{
    static const QList<QByteArray> photos = variants(encoded(photoPixels(4000, 3000, 2), "png"), 40);
    const LWDocument doc = grid(photos, 5, 8);
    run(state, doc, [](const LWDocument &d) { return LWExport::pdfData(d, {0}, true).value_or(QByteArray()).size(); });
}
BENCHMARK(BM_FortyPhotosPdf)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_SmallPicturesPdf(benchmark::State &state)
{
    const int count = int(state.range(0));
    QList<QByteArray> pictures;
    for (int i = 0; i < count; ++i) {
        QImage img(8, 8, QImage::Format_RGB32);
        img.fill(qRgb(i % 256, (i / 256) % 256, 77));
        pictures.append(encoded(img, "png"));
    }
    const LWDocument doc = grid(pictures, 50, (count + 49) / 50);
    run(state, doc, [](const LWDocument &d) { return LWExport::pdfData(d, {0}, true).value_or(QByteArray()).size(); });
}
BENCHMARK(BM_SmallPicturesPdf)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A 24 x 36 in poster of 1,000 distinct 1-megapixel PNG pictures (arg 0: exported as PNG at
// 300 DPI, 1: the print PDF): many small decodes, where a cost per decode shows.
LWDocument poster(double width, double height)
{
    return LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), width * 72, height * 72, 18,
                             QStringLiteral("Poster"));
}

void BM_ThousandPictures(benchmark::State &state)
{
    static const QList<QByteArray> pictures = variants(encoded(photoPixels(1200, 850, 3), "png"), 1000);
    LWDocument doc = poster(24, 36);
    for (int i = 0; i < 1000; ++i) {
        LWElement e = LWElement::makePhoto(LWRect((i % 25) * 0.96 * 72, (i / 25) * 0.9 * 72, 0.96 * 72, 0.9 * 72));
        e.image->data = pictures[i];
        doc.pages[0].elements.append(e);
    }
    run(state, doc, [png = state.range(0) == 0](const LWDocument &d) {
        if (png)
            return LWExport::rasterData(d, 0, 300, false, LWExport::RasterType::png).value_or(QByteArray()).size();
        return LWExport::pdfData(d, {0}, true).value_or(QByteArray()).size();
    });
}
BENCHMARK(BM_ThousandPictures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A 36 x 24 in poster of twelve 24-megapixel photos exported as PNG at 600 DPI: few large decodes.
void BM_PosterTwelvePhotos600(benchmark::State &state)
{
    LWDocument doc = poster(36, 24);
    const QList<QByteArray> &photos = photos24MP();
    for (int i = 0; i < 12; ++i) {
        LWElement e = LWElement::makePhoto(LWRect((i % 4) * 9 * 72, (i / 4) * 8 * 72, 9 * 72, 8 * 72));
        e.image->data = photos[i];
        doc.pages[0].elements.append(e);
    }
    run(state, doc, [](const LWDocument &d) {
        return LWExport::rasterData(d, 0, 600, false, LWExport::RasterType::png).value_or(QByteArray()).size();
    });
}
BENCHMARK(BM_PosterTwelvePhotos600)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One picture decoded (arg 0: 1 MP, 1: 12 MP PNG; arg 1: 0 in this process, 1 in a decode worker,
// started before the timing): what a worker adds to each decode.
void BM_DecodeOnePicture(benchmark::State &state)
{
    const bool large = state.range(0) == 1;
    static const QByteArray small = encoded(photoPixels(1200, 850, 4), "png");
    static const QByteArray big = encoded(photoPixels(4000, 3000, 5), "png");
    const QByteArray &bytes = large ? big : small;
    const auto once = [&] {
        return state.range(1) == 1 ? LWPictureDecoder::decode(bytes, 0) : LWPictureDecoder::decodeHere(bytes, {});
    };
    if (!once().image)
        state.SkipWithError("no image");
    for (auto _ : state)
        benchmark::DoNotOptimize(once());
}
BENCHMARK(BM_DecodeOnePicture)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace
