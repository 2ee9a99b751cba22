// The largest photos a phone makes, placed (read, previewed, sized) and exported on a card as a
// 600-DPI PNG and as a PDF, against a plain decode of the same file by Pillow or ImageMagick
// (x_magick: our time over theirs). The comparison is left out when neither decodes it here (a
// script standing in for ImageMagick does not count).
#include "model/document.h"
#include "render/export.h"
#include "render/pictures/imagecache.h"
#include "support/bigphotos.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const QByteArray &jpeg200()
{
    static const QByteArray made = LWBigPhotos::jpeg(16320, 12240, true);
    return made;
}
const QByteArray &heic48()
{
    static const QByteArray made = LWBigPhotos::heicGrid(8000, 6000, 512);
    return made;
}

QStringList onPath(const QString &name)
{
    QStringList out;
    for (const QString &dir : qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts))
        if (QFileInfo(dir + u'/' + name).isExecutable())
            out.append(dir + u'/' + name);
    return out;
}

bool runs(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A plain decode of `file`: Pillow where a Python has it, else ImageMagick's convert as a
// program of its own (an ELF file; its default policy refuses pictures past 128 megapixels).
// Empty when neither decodes it.
QStringList decoderFor(const QString &file)
{
    const QString script = QStringLiteral("import sys\nfrom PIL import Image\nImage.MAX_IMAGE_PIXELS = None\n"
                                          "Image.open(sys.argv[1]).load()\n");
    for (const QString &python : onPath(QStringLiteral("python3")))
        if (runs(python, {QStringLiteral("-c"), script, file}))
            return {python, QStringLiteral("-c"), script, file};
    for (const QString &convert : onPath(QStringLiteral("convert"))) {
        QFile f(convert);
        if (f.open(QIODevice::ReadOnly) && f.read(4) == "\x7f" "ELF" && runs(convert, {file, QStringLiteral("null:")}))
            return {convert, file, QStringLiteral("null:")};
    }
    return {};
}

// Seconds a plain decode of the bytes takes (best of two), or none.
std::optional<double> plainDecode(const QByteArray &bytes, const char *suffix)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("photo.") + QLatin1String(suffix));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return std::nullopt;
    f.close();
    const QStringList decoder = decoderFor(file);
    if (decoder.isEmpty())
        return std::nullopt;
    double best = 1e9;
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!runs(decoder.first(), decoder.mid(1)))
            return std::nullopt;
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

LWDocument cardOf(const QByteArray &bytes)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    LWElement e = LWElement::makePhoto(LWRect(0, 0, doc.width, doc.height));
    e.image->data = bytes;
    e.image->assetID = QStringLiteral("photo");
    doc.pages[0].elements = {e};
    return doc;
}

// What placing a picture does: its size for the frame and its preview for the page view.
void place(const LWImage &picture)
{
    benchmark::DoNotOptimize(LWImageCache::pixelSize(picture));
    benchmark::DoNotOptimize(LWImageCache::image(picture, true));
}

enum class Step { place, png600, pdf };

void bigPhoto(benchmark::State &state, const QByteArray &bytes, const char *suffix)
{
    const auto step = Step(state.range(0));
    const LWDocument doc = cardOf(bytes);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        LWImageCache::setBudget(LWImageCache::setBudget({0, 0})); // nothing decoded before
        const LWDocument &round = doc;
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        switch (step) {
        case Step::place:
            place(*round.pages[0].elements[0].image);
            break;
        case Step::png600:
            benchmark::DoNotOptimize(LWExport::rasterData(round, 0, 600, false, LWExport::RasterType::png));
            break;
        case Step::pdf:
            benchmark::DoNotOptimize(LWExport::pdfData(round, {0}, true));
            break;
        }
        seconds += timer.nsecsElapsed() / 1e9;
    }
    static QHash<QByteArray, std::optional<double>> plain;
    if (!plain.contains(suffix))
        plain.insert(suffix, plainDecode(bytes, suffix));
    if (const std::optional<double> s = plain.value(suffix)) {
        state.counters["magick_s"] = *s;
        state.counters["x_magick"] = seconds / double(state.iterations()) / *s;
    }
}

void BM_Jpeg200MP(benchmark::State &state) { bigPhoto(state, jpeg200(), "jpg"); }
void BM_Heic48MP(benchmark::State &state) { bigPhoto(state, heic48(), "heic"); }
BENCHMARK(BM_Jpeg200MP)->ArgName("place_png600_pdf")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Heic48MP)->ArgName("place_png600_pdf")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace
