#include "model/file/documentio.h"
#include "model/file/prefs.h"
#include "twophotos.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QUrl>
#include <benchmark/benchmark.h>

namespace {

// A flyer with `count` elements: shapes with strokes, texts and small paths in turn.
LWDocument manyElements(int count)
{
    LWDocument d = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Busy / flyer"));
    auto &elements = d.pages[0].elements;
    elements.reserve(count);
    for (int i = 0; i < count; ++i) {
        const LWRect frame(i % 50 * 12.25, i / 50 * 9.5, 40.125, 18.75);
        switch (i % 3) {
        case 0:
            elements.append(LWElement::makeShape(LWShapeKind::rectangle, frame, LWFill::solid(LWColor::hex(0x336699)),
                                                 LWStroke(LWColor::black, 0.75, 2), 3));
            break;
        case 1:
            elements.append(LWElement::makeText(LWText(QStringLiteral("Item %1 \u2013 caf\u00e9").arg(i),
                                                       QStringLiteral("Lato-Regular"), 9.5, LWColor::hex(0x222222)),
                                                frame));
            break;
        default:
            elements.append(LWElement::makePath({{0, 0}, {1, 0.3}, {0.6, 1}, {0.1, 0.8}}, frame,
                                                LWFill::linear(LWColor::white, LWColor::black), true, QList<qint64>{1}));
        }
    }
    return d;
}

// A card holding one photo of `size` bytes.
LWDocument withPicture(qsizetype size)
{
    LWDocument d = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    LWElement photo = LWElement::makePhoto({0, 0, 252, 144});
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(3);
    for (char &c : bytes)
        c = char(rng.bounded(256));
    photo.image->data = bytes;
    d.pages[0].elements.append(photo);
    return d;
}

void encodeBench(benchmark::State &state, const LWDocument &d)
{
    qint64 size = 0;
    for (auto _ : state) {
        auto r = LWDocumentIO::encode(d);
        size = r.value().size();
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void decodeBench(benchmark::State &state, const LWDocument &d)
{
    const QByteArray bytes = LWDocumentIO::encode(d).value();
    for (auto _ : state) {
        auto r = LWDocumentIO::decode(bytes);
        if (!r)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

static void BM_EncodeManyElements(benchmark::State &state) { encodeBench(state, manyElements(int(state.range(0)))); }
static void BM_DecodeManyElements(benchmark::State &state) { decodeBench(state, manyElements(int(state.range(0)))); }
static void BM_EncodePicture(benchmark::State &state) { encodeBench(state, withPicture(state.range(0) << 20)); }
static void BM_DecodePicture(benchmark::State &state) { decodeBench(state, withPicture(state.range(0) << 20)); }
BENCHMARK(BM_EncodeManyElements)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeManyElements)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePicture)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePicture)->Arg(8)->Unit(benchmark::kMillisecond);

// Opening the saved two-photo flyer (26 MB) from its file, as the Open command does.
static void BM_OpenTwoPhotoFlyer(benchmark::State &state)
{
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini")))); // the recent list
    const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("flyer.velkfolio")));
    if (!LWDocumentIO::save(LWBenchPhotos::twoPhotoFlyer(), url)) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        auto r = LWDocumentIO::open(url);
        if (!r)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(r);
    }
    state.counters["file_MB"] = double(QFileInfo(url.toLocalFile()).size()) / 1e6;
}
BENCHMARK(BM_OpenTwoPhotoFlyer)->Unit(benchmark::kMillisecond);

static void BM_SaveTwoPhotoFlyer(benchmark::State &state)
{
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("flyer.velkfolio")));
    const LWDocument doc = LWBenchPhotos::twoPhotoFlyer();
    for (auto _ : state)
        if (!LWDocumentIO::save(doc, url))
            state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveTwoPhotoFlyer)->Unit(benchmark::kMillisecond);
