// Exports keep each picture's detail: pictures of one-pixel checks drawn one picture pixel to one
// device pixel, written as a 600-DPI PNG and as a PDF (drawn back by MuPDF at 600 DPI), match
// the page drawn in one pass from the whole pictures, frame by frame. A picture the budget cannot
// hold whole, decoded anew for each run of bands, matches the page exported from one decode of it
// row for row: no seam where two runs meet, turned or not. A turned picture, a fill or an outline
// exported in thin bands matches the page drawn in one pass, each band asking Qt to cover only
// what it shows.
#include "render/export.h"
#include "render/exportpictures.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/raster/rastercut.h"
#include "support/drawnwhole.h"
#include "support/imagediff.h"
#include "support/samplepages.h"
#include "support/testpictures.h"
#include "pdfprobe.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// One-pixel checks of black and a colour that changes across the picture, so that both a blur
// and a shift show.
QImage checks(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = (x + y) & 1 ? qRgb(0, 0, 0) : qRgb(255 * x / w, 255 - 255 * y / h, 200);
    }
    return img;
}

// A photo frame showing `crop` (left, top, right, bottom cut away) of the picture at `frame`.
LWElement frameOf(const QByteArray &bytes, LWRect frame, std::array<double, 4> crop = {0, 0, 0, 0})
{
    LWElement e = LWElement::makePhoto(frame);
    e.image->data = bytes;
    e.image->cropL = crop[0], e.image->cropT = crop[1], e.image->cropR = crop[2], e.image->cropB = crop[3];
    return e;
}

// Mean difference of the channels over the frames' pixels (a pixel in from each edge).
double meanDifference(const QImage &a, const QImage &b, const QList<QRect> &areas)
{
    double sum = 0;
    qint64 count = 0;
    for (const QRect &r : areas)
        for (int y = r.top() + 1; y < r.bottom(); ++y)
            for (int x = r.left() + 1; x < r.right(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
                count += 3;
            }
    return count ? sum / double(count) : 1e9;
}

// Stripes across, of a period no run's rows divide, shading along them: a row drawn from other
// rows of the picture than its neighbours shows.
QImage stripes(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const int v = int(128 + 110 * std::sin(y * 2 * M_PI / 5.3));
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(v, 255 * x / w, 255 - v));
    }
    return img;
}

// The picture as a JPEG stored a quarter turned, as a phone stores a portrait, with its EXIF turn.
QByteArray storedTurned(const QImage &upright)
{
    return LWTestPictures::oriented(LWTestPictures::encode(upright.transformed(QTransform().rotate(-90)), "jpeg", 95), 6);
}

// The largest mean difference of one row of a frame (its edge rows left out).
double worstRow(const QImage &a, const QImage &b, const QList<QRect> &areas)
{
    double worst = 0;
    for (const QRect &r : areas)
        for (int y = r.top() + 1; y < r.bottom(); ++y) // the middle row of three
            worst = std::max(worst, meanDifference(a, b, {QRect(r.left(), y - 1, r.width(), 3)}));
    return worst;
}

// The largest mean difference of a 16 x 16 block, one every 8 pixels: a corner drawn wrongly is few
// pixels but a block far off.
double worstBlock(const QImage &a, const QImage &b)
{
    double worst = 0;
    for (int y = 0; y + 18 <= a.height(); y += 8)
        for (int x = 0; x + 18 <= a.width(); x += 8)
            worst = std::max(worst, meanDifference(a, b, {QRect(x, y, 18, 18)}));
    return worst;
}

// MuPDF's drawing of the first page at `dpi` (poppler smooths a picture drawn at its own size).
QImage mupdf(const QByteArray &pdf, const QTemporaryDir &dir, int dpi = 600)
{
    const QString in = pdfprobe::writeTemp(dir, pdf), out = dir.filePath(QStringLiteral("printed.ppm"));
    QFile::remove(out);
    pdfprobe::run(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-r"),
                                             QString::number(dpi), QStringLiteral("-o"), out, in,
                                             QStringLiteral("1")});
    return QImage(out);
}

// A drawing of the page's PDF of its own: MuPDF's at three times `dpi`, averaged down, so that its
// edges lie within a few levels of the true ones (at `dpi` its curves stray by a quarter pixel).
QImage reference(const LWDocument &doc, const QTemporaryDir &dir, int dpi)
{
    const QImage large = mupdf(LWExport::pdfData(doc, {0}, false).value_or(QByteArray()), dir, 3 * dpi);
    return large.scaled(large.size() / 3, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

TEST(ExportDetail, ExportsKeepEachPicturesDetail)
{
    using LWTestPictures::encode;
    // At 600 DPI a point is 25/3 pixels: frames on multiples of 0.12 pt lie on whole pixels.
    const QByteArray png = encode(checks(2400, 1600), "png");
    const QByteArray jpeg = encode(checks(2400, 1600), "jpeg", 100);
    const QByteArray tiff = encode(checks(1800, 1200), "tiff");
    // Upright 2000 x 1500, drawn at 0.5, 0.86 and 0.97 of that (a pixel is 0.12 pt at 600 DPI):
    // decoded by the DCT at 1/2, at 7/8 then scaled, and at full size scaled as it is drawn.
    const QImage striped = stripes(2000, 1500);
    const QByteArray upright = encode(striped, "jpeg", 95), turned = storedTurned(striped);
    const auto scaledTo = [](double k, double x = 12, double y = 12) { return LWRect(x, y, 240 * k, 180 * k); };
    const auto turnedBy = [](LWElement e, double degrees) {
        e.rotation = degrees;
        return e;
    };
    struct Case {
        std::string name;
        QList<LWElement> frames;
        int ownSize; // the first frames, which show the picture at its own size
        int byRunsMB = 0; // a budget that decodes the picture anew for each run of bands
        int bandRows = 0; // exported at 300 DPI in bands this high, against the page drawn in one pass
        bool referenced = false; // and against a drawing of its PDF of its own
        int pixelsOff = 25; // pixels that may differ from that drawing by more than 48 levels
    };
    std::vector<Case> cases = {
        {"a PNG drawn at its own size", {frameOf(png, {12, 12, 288, 192})}, 1},
        {"a JPEG drawn at its own size", {frameOf(jpeg, {12, 12, 288, 192})}, 1},
        {"the same bytes at two sizes", {frameOf(png, {12, 12, 288, 192}), frameOf(png, {312, 12, 96, 64})}, 1},
        {"the same bytes with two crops",
         {frameOf(png, {12, 12, 144, 192}, {0, 0, 0.5, 0}), frameOf(png, {180, 48, 144, 192}, {0.5, 0, 0, 0})}, 2},
        {"a JPEG cropped to its middle", {frameOf(jpeg, {24, 24, 144, 96}, {0.25, 0.25, 0.25, 0.25})}, 1},
        {"a JPEG turned a quarter by its tag, cropped off its middle",
         {frameOf(LWTestPictures::turnedQuarter(jpeg), {24, 24, 96, 120}, {0.1, 0.45, 0.4, 0.05})}, 1},
        {"a TIFF cropped to its middle", {frameOf(tiff, {24, 24, 108, 72}, {0.25, 0.25, 0.25, 0.25})}, 1},
        {"stripes at half their size, by runs", {frameOf(upright, scaledTo(0.5))}, 0, 6},
        {"stripes at 0.86, by runs", {frameOf(upright, scaledTo(0.86))}, 0, 6},
        {"stripes at 0.97, by runs", {frameOf(upright, scaledTo(0.97))}, 0, 6},
        {"stripes stored turned, at half their size, by runs", {frameOf(turned, scaledTo(0.5))}, 0, 6},
        {"stripes stored turned, at 0.86, by runs", {frameOf(turned, scaledTo(0.86))}, 0, 6},
        {"stripes stored turned, at 0.97, by runs", {frameOf(turned, scaledTo(0.97))}, 0, 6},
        {"stripes as a PNG at 0.86, cut by runs from its whole", {frameOf(encode(striped, "png"), scaledTo(0.86))}, 0, 20},
        {"stripes in two frames, by runs", {frameOf(upright, scaledTo(0.5)), frameOf(upright, scaledTo(0.5, 200, 150))}, 0, 6},
        {"stripes turned 3 degrees, by runs", {turnedBy(frameOf(upright, scaledTo(0.5, 100, 60)), 3)}, 0, 6},
        {"stripes turned -7 degrees and stored turned, by runs", {turnedBy(frameOf(turned, scaledTo(0.5, 100, 60)), -7)}, 0, 6},
        {"stripes turned a quarter in one frame, upright in another, by runs",
         {turnedBy(frameOf(upright, scaledTo(0.5, 40, 50)), 90), frameOf(upright, scaledTo(0.5, 200, 180))}, 0, 6},
    };
    for (const double degrees : {3.0, 45.0, 90.0, 180.0, -7.0}) {
        const LWElement plain = turnedBy(frameOf(upright, {110, 66, 212, 156}), degrees);
        LWElement ellipse = plain, cropped = turnedBy(frameOf(upright, {110, 66, 212, 156}, {0.2, 0.1, 0.1, 0.25}), degrees);
        ellipse.image->mask = LWMask::ellipse;
        ellipse.opacity = 0.5;
        const std::string turn = std::to_string(int(degrees)) + " degrees";
        cases.push_back({"turned " + turn + ", in bands", {plain}, 0, 0, 32});
        cases.push_back({"an ellipse at half opacity turned " + turn + ", in bands", {ellipse}, 0, 0, 16});
        cases.push_back({"cropped, turned " + turn + ", in bands", {cropped}, 0, 0, 48});
    }
    // A turned crop (at its own size) fitted into a wider frame leaves the bars beside it empty,
    // as the PDF, clipped apart from the bitmap's clip, shows.
    LWElement fitted = turnedBy(frameOf(upright, {110, 90, 212, 117}, {0.2, 0.1, 0.1, 0.25}), 30);
    fitted.image->fit = LWImageFit::fit;
    cases.push_back({"cropped, fitted into a wider frame, turned 30 degrees", {fitted}, 0});
    // Turned fills far taller than a band are cut to it too: a gradient star and an empty frame's
    // stand-in.
    LWElement star = LWElement::makeShape(LWShapeKind::star, {60, -40, 320, 360},
                                          LWFill::linear(LWColor::hex(0xE8A33D), LWColor::hex(0x1F3A5F), 30), std::nullopt);
    cases.push_back({"a gradient star and an empty frame turned 30 degrees, in bands",
                     {turnedBy(frameOf(upright, {20, 20, 120, 90}), 30), turnedBy(star, 30),
                      turnedBy(LWElement::makePhoto({250, 40, 160, 220}), 30)},
                     0, 0, 16});
    // Outlines and fills far taller than a band, upright or turned, and a picture a hair past a
    // quarter turn, whose edge Qt would cut at each band's.
    const LWStroke thick(LWColor::hex(0x1F3A5F), 6), dashed(LWColor::hex(0xC0392B), 4, 9);
    const auto shape = [](LWShapeKind kind, LWRect frame, std::optional<LWStroke> stroke) {
        return LWElement::makeShape(kind, frame, LWFill::solid(LWColor::hex(0xE8A33D)), stroke);
    };
    LWElement outlined = turnedBy(frameOf(upright, {40, 30, 260, 195}), 3), ellipse = shape(LWShapeKind::ellipse, {30, 20, 370, 250}, thick);
    outlined.stroke = LWStroke(LWColor::black, 1);
    LWElement hexagon = shape(LWShapeKind::polygon, {250, 20, 160, 240}, thick);
    cases.push_back({"a turned photo with an outline, and a star with a dashed one, in bands",
                     {outlined, shape(LWShapeKind::star, {300, 10, 120, 260}, dashed)}, 0, 0, 16});
    cases.push_back({"a triangle, a hexagon and a line with thick outlines, upright, in bands",
                     {shape(LWShapeKind::triangle, {20, 20, 200, 250}, thick), hexagon,
                      LWElement::makeLine({30, 270}, {400, 30}, thick)}, 0, 0, 16, true});
    cases.push_back({"the same turned 20 degrees, and an ellipse turned 7, in bands",
                     {turnedBy(ellipse, 7), turnedBy(shape(LWShapeKind::triangle, {20, 20, 200, 250}, thick), 20),
                      turnedBy(hexagon, 20)}, 0, 0, 16, true});
    // Against a drawing of its own, a smooth picture (any filter draws its middle alike): a photo of
    // full size turned with an outline, masked ones turned, a turned empty frame; dashes, turned fills.
    const QByteArray full = encode(LWSamplePages::smooth(1800, 1200), "png");
    LWElement big = turnedBy(frameOf(full, {30, 24, 150, 100}), 3);
    LWElement oval = turnedBy(frameOf(full, {200, 20, 200, 130}), 45);
    LWElement rounded = turnedBy(frameOf(full, {40, 150, 170, 110}, {0.1, 0.2, 0.15, 0}), -7);
    LWElement empty = turnedBy(LWElement::makePhoto({250, 160, 150, 100}), 12);
    big.stroke = LWStroke(LWColor::black, 1), empty.stroke = thick, oval.image->mask = LWMask::ellipse;
    oval.opacity = 0.5, rounded.image->mask = LWMask::rounded, rounded.cornerRadius = 20;
    cases.push_back({"turned pictures, one outlined, and an empty frame, in bands",
                     {big, oval, rounded, empty}, 0, 0, 16, true});
    LWElement dashedOval = turnedBy(shape(LWShapeKind::ellipse, {230, 30, 180, 230}, dashed), 25);
    dashedOval.fill = LWFill::radial(LWColor::hex(0xFFE9B0), LWColor::hex(0x8A5A44));
    const LWElement dashedLine = LWElement::makeLine({20, 270}, {420, 200}, dashed);
    cases.push_back({"turned gradient fills with dashed outlines, and a dashed line, in bands",
                     {turnedBy(star, 30), dashedOval, dashedLine}, 0, 0, 16, true});
    // Thick dashed outlines: a dash passing a corner joins it round, a gap at a corner leaves it
    // open, a closed outline's last dash stops where it starts (MuPDF leaves faint seams where a
    // thick star's dashes cross in its sharp corners).
    const auto outline = [&](LWShapeKind kind, int sides, LWRect frame, double width, double dash, double turn) {
        const LWStroke stroke(LWColor::hex(0x1F3A5F), width, dash);
        LWElement e = turnedBy(LWElement::makeShape(kind, frame, LWFill::none(), stroke), turn);
        e.sides = sides;
        return e;
    };
    cases.push_back({"dashed stars with thick outlines, upright and turned, in bands",
                     {outline(LWShapeKind::star, 12, {30, 30, 130, 130}, 12, 5, 0),
                      outline(LWShapeKind::star, 5, {200, 20, 200, 130}, 14, 10, 15),
                      outline(LWShapeKind::star, 24, {40, 170, 140, 100}, 5, 8, -30)}, 0, 0, 16, true, 60});
    cases.push_back({"dashed polygons, a triangle and a rectangle with thick outlines, in bands",
                     {outline(LWShapeKind::polygon, 5, {30, 30, 130, 120}, 10, 3, 0),
                      outline(LWShapeKind::polygon, 6, {220, 30, 150, 110}, 12, 7, 20),
                      outline(LWShapeKind::triangle, 3, {40, 175, 120, 90}, 16, 9, -10),
                      outline(LWShapeKind::rectangle, 4, {250, 180, 100, 60}, 20, 30, 0)}, 0, 0, 16, true});
    cases.push_back({"a picture turned 90.05 degrees, in bands", {turnedBy(frameOf(upright, {110, 66, 212, 156}), 90.05)},
                     0, 0, 16});
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 432, 288, 9, QStringLiteral("Detail"));
        doc.pages[0].elements = c.frames;
        QList<QRect> areas;
        for (const LWElement &e : c.frames)
            areas.append(QRectF(e.frame.x * 600 / 72, e.frame.y * 600 / 72, e.frame.w * 600 / 72, e.frame.h * 600 / 72)
                             .toAlignedRect());
        // Pictures drawn smaller are reduced by each program's own filter: the PDF's only roughly.
        const QList<QRect> ownSize = areas.mid(0, c.ownSize);
        // No decode kept from the case before may stand in for the export's own.
        LWImageCache::setBudget(LWImageCache::setBudget({0, 0}));

        const QString file = dir.filePath(QStringLiteral("detail.png"));
        if (c.bandRows > 0) {
            const int rows = LWExport::setMostBandRows(c.bandRows);
            const qint64 askedBefore = LWRasterCut::askedPixels();
            const QString why = LWExport::writeRaster(doc, 0, 300, false, LWExport::RasterType::png, 0.92, file);
            const qint64 inBands = LWRasterCut::askedPixels() - askedBefore;
            LWExport::setMostBandRows(rows);
            ASSERT_EQ(why, QString());
            // Drawn in one pass from pictures decoded as the export decodes them.
            LWRenderOptions own;
            own.pictures = LWExportPictures::prepare(doc, 0, LWExport::pixelsPerPoint(doc, 300, false)).pictures;
            ASSERT_TRUE(own.pictures);
            const qint64 wholeBefore = LWRasterCut::askedPixels();
            const QImage whole = lwDrawnWhole(doc, 300, false, own);
            const qint64 once = LWRasterCut::askedPixels() - wholeBefore;
            // Qt rounds a vertex a band's cut adds on an edge by a level or so; a seam, an edge cut
            // at a band's or pixels from the wrong rows are off by far more.
            EXPECT_LE(lwWorstDifference(QImage(file), whole), 3);
            // Each band asks Qt to cover what it shows of each element (and a margin), not the whole.
            EXPECT_LT(inBands, 3 * once);
            // Edges within a level or two of the true ones, but for the odd pixel of a round join;
            // an outline left out, a curve a fraction of a pixel off or a lost sliver are far more.
            if (c.referenced) {
                const QImage drawn = reference(doc, dir, 300);
                EXPECT_LE(lwPixelsOff(QImage(file), drawn, 48), c.pixelsOff);
                EXPECT_LE(worstBlock(QImage(file), drawn), 6);
            }
            continue;
        }
        if (c.byRunsMB > 0) {
            // The page exported with the picture decoded once, scaled once, against the page
            // whose runs of bands each decoded only their rows of it.
            ASSERT_EQ(LWExport::writeRaster(doc, 0, 600, false, LWExport::RasterType::png, 0.92, file), QString());
            const QImage once(file);
            const qint64 old = LWDecodeBudget::setLimit(qint64(c.byRunsMB) << 20);
            const qint64 before = LWImageCache::stats().decodes;
            const QString why = LWExport::writeRaster(doc, 0, 600, false, LWExport::RasterType::png, 0.92, file);
            const qint64 decodes = LWImageCache::stats().decodes - before;
            LWDecodeBudget::setLimit(old);
            ASSERT_EQ(why, QString());
            EXPECT_GT(decodes, 2) << "decoded by runs";
            const QImage byRuns(file);
            ASSERT_EQ(byRuns.size(), once.size());
            EXPECT_LT(worstRow(byRuns, once, areas), 1.0);
            continue;
        }
        ASSERT_EQ(LWExport::writeRaster(doc, 0, 600, false, LWExport::RasterType::png, 0.92, file), QString());
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0}, false);
        ASSERT_TRUE(pdf);
        const QImage written(file), printed = mupdf(*pdf, dir);
        const QImage whole = lwDrawnWhole(doc, 600, false);
        ASSERT_EQ(whole.size(), QSize(3600, 2400));
        ASSERT_EQ(written.size(), whole.size());
        ASSERT_EQ(printed.size(), whole.size());
        EXPECT_LT(meanDifference(written, whole, areas), 1.0) << "PNG";
        if (!ownSize.isEmpty())
            EXPECT_LT(meanDifference(printed, whole, ownSize), 1.0) << "PDF";
        EXPECT_LT(meanDifference(printed, whole, areas), 8.0) << "PDF";
    }
}
