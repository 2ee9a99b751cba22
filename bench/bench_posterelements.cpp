#include "model/document.h"
#include "render/export.h"
#include "support/samplepages.h"
#include "twophotos.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

// One large element on the 36 x 24 in poster, with its outline or without: what each kind of
// element costs a PNG export in bands. Compare each outlined case with the one before it.
struct PosterCase {
    const char *label;
    QList<LWElement> elements;
};

QList<PosterCase> posterCases()
{
    using LWSamplePages::posterShape;
    using K = LWShapeKind;
    static const QByteArray photo = LWBenchPhotos::photo(7); // 12 megapixels
    LWElement framed = LWElement::makePhoto(LWRect(516, 279, 1560, 1170));
    framed.image->data = photo;
    framed.rotation = 3;
    LWElement bordered = framed;
    bordered.stroke = LWStroke(); // the inspector's border: 1 pt
    LWElement ellipse = posterShape(K::ellipse, 0, false, 3);
    ellipse.frame = LWRect(540, 297, 1512, 1134); // 21 x 15.75 in
    LWElement outlinedEllipse = ellipse;
    outlinedEllipse.stroke = LWStroke(LWColor::hex(0x1F3A5F), 6);
    return {
        {"photo 21.67 in turned 3", {framed}},
        {"photo 21.67 in turned 3, 1-pt outline", {bordered}},
        {"rectangle 9 in", {posterShape(K::rectangle, 0)}},
        {"star 9 in", {posterShape(K::star, 0)}},
        {"star 9 in, 6-pt outline", {posterShape(K::star, 6)}},
        {"triangle 9 in", {posterShape(K::triangle, 0)}},
        {"triangle 9 in, 6-pt outline", {posterShape(K::triangle, 6)}},
        {"hexagon 9 in", {posterShape(K::polygon, 0)}},
        {"hexagon 9 in, 6-pt outline", {posterShape(K::polygon, 6)}},
        {"rectangle 21.67 in turned 3", {posterShape(K::rectangle, 0, true, 3)}},
        {"rectangle 21.67 in turned 3, 6-pt outline", {posterShape(K::rectangle, 6, true, 3)}},
        {"three stars 9 in",
         {posterShape(K::star, 0, false, 0, 216), posterShape(K::star, 0),
          posterShape(K::star, 0, false, 0, 1728)}},
        {"three stars 9 in, 6-pt outline",
         {posterShape(K::star, 6, false, 0, 216), posterShape(K::star, 6),
          posterShape(K::star, 6, false, 0, 1728)}},
        {"ellipse 21 in turned 3", {ellipse}},
        {"ellipse 21 in turned 3, 6-pt outline", {outlinedEllipse}},
    };
}

// Args: the case, dpi. Run it under taskset for one core: the export uses the cores it is given.
void BM_PosterElement(benchmark::State &state)
{
    const PosterCase c = posterCases().at(state.range(0));
    state.SetLabel(c.label);
    const LWDocument doc = LWSamplePages::posterOf(c.elements);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("poster.png"));
    const double dpi = double(state.range(1));
    for (auto _ : state)
        if (!LWExport::writeRaster(doc, 0, dpi, true, LWExport::RasterType::png, 0.92, file).isEmpty())
            state.SkipWithError("not written");
}
BENCHMARK(BM_PosterElement)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 14, 1), {600}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
