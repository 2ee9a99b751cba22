#include "model/document.h"
#include "render/export.h"
#include "render/renderer.h"
#include "support/samplepages.h"
#include "twophotos.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

LWDocument twoPageCard()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Harbour Bakery"));
    doc.pages[0].background = LWFill::linear(LWColor::hex(0x1F3A5F), LWColor::hex(0x3C6E91), 90);
    doc.pages[0].elements.append(LWElement::makeText(
        LWText(QStringLiteral("Harbour Bakery"), QStringLiteral("HelveticaNeue"), 20, LWColor::white),
        LWRect(18, 30, 216, 30)));
    doc.pages[0].elements.append(
        LWElement::makeText(LWText(QStringLiteral("Anna Lindqvist \u00B7 Head Baker"),
                                   QStringLiteral("HelveticaNeue"), 9, LWColor::white),
                            LWRect(18, 64, 216, 14)));
    doc.pages[1].elements.append(LWElement::makeShape(LWShapeKind::ellipse, LWRect(180, 20, 50, 50),
                                                      LWFill::solid(LWColor::hex(0xE8A33D)), std::nullopt));
    doc.pages[1].elements.append(LWElement::makeText(
        LWText(QStringLiteral("12 Quay Street\nPort Ellis\n+1 555 0134\nhello@harbour.example"),
               QStringLiteral("HelveticaNeue"), 8, LWColor::black),
        LWRect(18, 20, 150, 80)));
    return doc;
}

// A Letter flyer carrying several hundred words in a dozen boxes over a gradient.
LWDocument textHeavyFlyer()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Spring Fair"));
    doc.pages[0].background = LWFill::linear(LWColor::hex(0xFFF6E5), LWColor::hex(0xF3D9B1), 90);
    doc.pages[0].elements.append(
        LWElement::makeText(LWText(QStringLiteral("Spring Fair on the Green"), QStringLiteral("Georgia-Bold"),
                                   40, LWColor::hex(0x5A2A0C)),
                            LWRect(36, 36, 540, 60)));
    const QString para = QStringLiteral("Stalls open at nine with bread, cheese and early vegetables from "
                                        "the valley farms. The brass band plays "
                                        "from eleven, the children's races start at two, and the raffle is "
                                        "drawn at four. Bring a basket, bring a "
                                        "friend, and stay for the evening lanterns along the river path. ");
    for (int i = 0; i < 12; ++i) {
        const double x = 36 + (i % 2) * 276, y = 120 + (i / 2) * 104;
        doc.pages[0].elements.append(LWElement::makeText(
            LWText(para, QStringLiteral("HelveticaNeue"), 9.5, LWColor::hex(0x2B2B2B), 0, 1.15),
            LWRect(x, y, 264, 96)));
    }
    return doc;
}

void BM_PdfTwoPageCard(benchmark::State &state)
{
    const LWDocument doc = twoPageCard();
    qint64 bytes = 0;
    for (auto _ : state) {
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0, 1}, true);
        bytes = pdf ? pdf->size() : 0;
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_PdfTwoPageCard)->Unit(benchmark::kMillisecond);

void exportFirstPage(benchmark::State &state, const LWDocument &doc)
{
    qint64 bytes = 0;
    for (auto _ : state) {
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0}, true);
        bytes = pdf ? pdf->size() : 0;
    }
    state.counters["bytes"] = double(bytes);
}

void BM_PdfTextHeavyFlyer(benchmark::State &state) { exportFirstPage(state, textHeavyFlyer()); }
BENCHMARK(BM_PdfTextHeavyFlyer)->Unit(benchmark::kMillisecond);

// The same with a background fading out: the finishing pass reads the page's content to place
// the gradient's soft mask.
void BM_PdfTextHeavyFlyerFading(benchmark::State &state)
{
    LWDocument doc = textHeavyFlyer();
    doc.pages[0].background.color2.a = 0.4;
    exportFirstPage(state, doc);
}
BENCHMARK(BM_PdfTextHeavyFlyerFading)->Unit(benchmark::kMillisecond);

// The print PDF of a flyer with two 4000 x 3000 camera JPEGs (arg 1: the same as PNGs); the
// counters give the PDF's size and how much larger it is than the photos themselves.
void BM_PdfTwoPhotoFlyer(benchmark::State &state)
{
    const LWDocument doc = LWBenchPhotos::twoPhotoFlyer(state.range(0) == 1);
    qint64 photos = 0;
    for (const LWElement &e : doc.pages[0].elements)
        photos += e.image->data->size();
    qint64 bytes = 0;
    for (auto _ : state) {
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0}, true);
        bytes = pdf ? pdf->size() : 0;
    }
    state.counters["pdf_MB"] = double(bytes) / 1e6;
    state.counters["photos_MB"] = double(photos) / 1e6;
    state.counters["over_photos_MB"] = double(bytes - photos) / 1e6;
}
BENCHMARK(BM_PdfTwoPhotoFlyer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole page bitmap drawn at once, as previews are (arg: dpi).
void BM_RenderFlyer(benchmark::State &state)
{
    const LWDocument doc = textHeavyFlyer();
    for (auto _ : state)
        benchmark::DoNotOptimize(LWRenderer::bitmap(doc, 0, LWRenderer::DPI{double(state.range(0))}, true));
}
BENCHMARK(BM_RenderFlyer)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

// Encoding alone, of the opaque page bitmap held whole (args: dpi, 1 = PNG).
void BM_EncodeFlyer(benchmark::State &state)
{
    const double dpi = double(state.range(0));
    const LWExport::RasterType type = state.range(1) ? LWExport::RasterType::png : LWExport::RasterType::jpeg;
    std::optional<QImage> page = LWRenderer::bitmap(textHeavyFlyer(), 0, LWRenderer::DPI{dpi}, true);
    if (!page) {
        state.SkipWithError("no bitmap");
        return;
    }
    page->reinterpretAsFormat(QImage::Format_RGB32);
    // Already at the target density, encode's copy stays shared: only encoding is timed.
    page->setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    page->setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    qint64 bytes = 0;
    for (auto _ : state) {
        const std::optional<QByteArray> data = LWExport::encode(*page, type, dpi);
        bytes = data ? data->size() : 0;
    }
    state.counters["bytes"] = double(bytes);
}
// The raster export as the sheet runs it: bands drawn, encoded and written to a file in turn
// (args: dpi, 1 = PNG).
void BM_WriteRasterFlyer(benchmark::State &state)
{
    const LWDocument doc = textHeavyFlyer();
    const double dpi = double(state.range(0));
    const LWExport::RasterType type = state.range(1) ? LWExport::RasterType::png : LWExport::RasterType::jpeg;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("flyer.") + LWExport::ext(type));
    for (auto _ : state)
        if (!LWExport::writeRaster(doc, 0, dpi, true, type, 0.92, file).isEmpty())
            state.SkipWithError("not written");
    state.counters["bytes"] = double(QFileInfo(file).size());
}
BENCHMARK(BM_WriteRasterFlyer)
    ->Args({300, 0})
    ->Args({300, 1})
    ->Args({600, 0})
    ->Args({600, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_EncodeFlyer)
    ->Args({300, 0})
    ->Args({300, 1})
    ->Args({600, 0})
    ->Args({600, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// Page drawing split into bands on all cores (args: dpi, bands; 1 band is one pass).
void BM_RenderFlyerBands(benchmark::State &state)
{
    const LWDocument doc = textHeavyFlyer();
    const double dpi = double(state.range(0));
    const LWRect area = doc.bleedRect();
    const int w = int(std::lround(area.width() * dpi / 72)), h = int(std::lround(area.height() * dpi / 72));
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        LWRenderer::paintBands(image, int(state.range(1)), true, [&](QPainter &p) {
            p.scale(w / area.width(), h / area.height());
            p.translate(-area.minX(), -area.minY());
            LWRenderer::draw(doc.pages[0], doc, p);
        });
}
BENCHMARK(BM_RenderFlyerBands)
    ->ArgsProduct({{300, 600}, {1, 8, 16, 32}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// A 12-megapixel phone photo (4000 x 3000) turned by its frame, exported as the sheet writes it:
// on the 36 x 24 in poster in a 21.67 x 16.25 in frame, or on a Letter flyer in a 6 x 4.5 in one
// (args: 1 = poster, dpi, degrees, 1 = PNG, 1 = an ellipse at 70 %). Run it under taskset for one
// core: the export uses the cores it is given.
void BM_TurnedPhoto(benchmark::State &state)
{
    static const QByteArray photo = LWBenchPhotos::photo(7);
    const bool poster = state.range(0) != 0;
    LWDocument doc = poster ? LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 2592, 1728, 9,
                                                QStringLiteral("Poster"))
                            : LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Flyer"));
    LWElement e = LWElement::makePhoto(poster ? LWRect(516, 279, 1560, 1170) : LWRect(90, 180, 432, 324));
    e.image->data = photo;
    e.rotation = double(state.range(2));
    if (state.range(4)) {
        e.image->mask = LWMask::ellipse;
        e.opacity = 0.7;
    }
    doc.pages[0].elements.append(e);
    const LWExport::RasterType type = state.range(3) ? LWExport::RasterType::png : LWExport::RasterType::jpeg;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("turned.") + LWExport::ext(type));
    for (auto _ : state)
        if (!LWExport::writeRaster(doc, 0, double(state.range(1)), true, type, 0.92, file).isEmpty())
            state.SkipWithError("not written");
}
BENCHMARK(BM_TurnedPhoto)
    ->ArgsProduct({{1}, {300, 600}, {0, 3, 45}, {0}, {0}})
    ->ArgsProduct({{0}, {600}, {0, 3, 45}, {1}, {0}})
    ->ArgsProduct({{1}, {600}, {0, 3}, {1}, {1}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// One 12-megapixel photo in many small frames of a Letter flyer, each turned a little (args:
// frames, degrees), exported as a PNG at 300 DPI: what planning a picture's copies costs.
void BM_OnePhotoManyFrames(benchmark::State &state)
{
    static const QByteArray photo = LWBenchPhotos::photo(7);
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Frames"));
    const int frames = int(state.range(0)), across = int(std::ceil(std::sqrt(double(frames))));
    for (int i = 0; i < frames; ++i) {
        const double w = 612.0 / across, h = 792.0 / across;
        LWElement e = LWElement::makePhoto({(i % across) * w, (i / across) * h, w * 0.8, h * 0.8});
        e.image->data = photo;
        e.rotation = double(state.range(1)) * (i % 3 - 1);
        doc.pages[0].elements.append(e);
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("frames.png"));
    for (auto _ : state)
        if (!LWExport::writeRaster(doc, 0, 300, true, LWExport::RasterType::png, 0.92, file).isEmpty())
            state.SkipWithError("not written");
}
BENCHMARK(BM_OnePhotoManyFrames)
    ->ArgsProduct({{100, 1000, 4000}, {0, 3}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// A design file's outline far wider than the inspector makes (on a Letter flyer: a triangle, or a
// star of 1000 points), exported as a PNG at 300 DPI (arg: the case); the 24-pt rows are what the
// same shapes cost with an ordinary outline. Run each case in a process of its own, under taskset
// for one core and /usr/bin/time for its peak memory.
struct WideCase {
    const char *label;
    double width;
    int points;
    double dash;
};
const WideCase wideCases[] = {
    {"triangle, 1e14-pt dashed outline", 1e14, 0, 9},
    {"triangle, 1e12-pt dashed outline", 1e12, 0, 9},
    {"triangle, 1e14-pt outline", 1e14, 0, 0},
    {"1000-point star, 1e8-pt dashed outline", 1e8, 1000, 9},
    {"1000-point star, 1e8-pt outline", 1e8, 1000, 0},
    {"triangle, 24-pt dashed outline", 24, 0, 9},
    {"1000-point star, 24-pt dashed outline", 24, 1000, 9},
};

void BM_WideOutline(benchmark::State &state)
{
    const WideCase &c = wideCases[state.range(0)];
    state.SetLabel(c.label);
    const LWDocument doc = LWSamplePages::wideOutline(c.width, c.points, c.dash);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("wide.png"));
    for (auto _ : state)
        if (!LWExport::writeRaster(doc, 0, 300, true, LWExport::RasterType::png, 0.92, file).isEmpty())
            state.SkipWithError("not written");
}
BENCHMARK(BM_WideOutline)
    ->DenseRange(0, int(std::size(wideCases)) - 1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Shapes whose dashed outlines are far wider than the page, each beside the same shape with a
// 24-pt outline of the same dash (args: the case, DPI, 1 = the wide outline), exported as Letter
// PNGs. Run under taskset for one core; LW_WIDE_KEEP=DIR keeps each drawing there.
struct WideShapeCase {
    const char *label;
    LWSamplePages::WideShape kind;
    double width, dash;
    bool corner;
};
const WideShapeCase wideShapeCases[] = {
    {"triangle 5000 pt", LWSamplePages::WideShape::triangle, 5000, 9, false},
    {"triangle 10000 pt", LWSamplePages::WideShape::triangle, 10000, 9, false},
    {"triangle 30000 pt", LWSamplePages::WideShape::triangle, 30000, 9, false},
    {"triangle 10000 pt at the corner", LWSamplePages::WideShape::triangle, 10000, 9, true},
    {"7-point star 50000 pt, dash 40", LWSamplePages::WideShape::star, 50000, 40, false},
    {"ellipse 300 pt", LWSamplePages::WideShape::ellipse, 300, 9, false},
    {"ellipse 1000 pt", LWSamplePages::WideShape::ellipse, 1000, 9, false},
    {"ellipse 2000 pt", LWSamplePages::WideShape::ellipse, 2000, 9, false},
    {"ellipse 5000 pt", LWSamplePages::WideShape::ellipse, 5000, 9, false},
    {"ellipse 8000 pt, dash 300", LWSamplePages::WideShape::ellipse, 8000, 300, false},
    {"rounded rectangle 3000 pt", LWSamplePages::WideShape::rounded, 3000, 9, false},
    {"smooth path 1e6 pt", LWSamplePages::WideShape::smooth, 1e6, 9, false},
};

void BM_WideOutlineShapes(benchmark::State &state)
{
    const WideShapeCase &c = wideShapeCases[state.range(0)];
    const bool wide = state.range(2) != 0;
    state.SetLabel(QStringLiteral("%1%2").arg(QLatin1String(c.label), wide ? QString() : QStringLiteral(", as 24 pt")).toStdString());
    const LWDocument doc = LWSamplePages::wideShape(c.kind, wide ? c.width : 24, c.dash, c.corner);
    QTemporaryDir dir;
    const QString keep = qEnvironmentVariable("LW_WIDE_KEEP");
    const QString file = keep.isEmpty() ? dir.filePath(QStringLiteral("wide.png"))
                                        : QStringLiteral("%1/%2-%3-%4.png")
                                              .arg(keep)
                                              .arg(state.range(0))
                                              .arg(state.range(1))
                                              .arg(state.range(2));
    for (auto _ : state)
        if (!LWExport::writeRaster(doc, 0, double(state.range(1)), true, LWExport::RasterType::png, 0.92, file)
                 .isEmpty())
            state.SkipWithError("not written");
}
BENCHMARK(BM_WideOutlineShapes)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(std::size(wideShapeCases)) - 1, 1), {300, 600}, {1, 0}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
