#include "render/renderer.h"

#include "model/geometry.h"
#include "render/export.h"
#include "render/parallel.h"
#include "render/sheet.h"
#include "render/text/fonts.h"

#include "support/drawnwhole.h"
#include "support/imagediff.h"
#include "support/samplepages.h"
#include "support/pngcheck.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <atomic>
#include <span>
#include <gtest/gtest.h>

// Large bitmaps are drawn in horizontal bands on several threads; the bands must join into the
// very image a single pass draws.
namespace {

// Every kind of drawing, much of it across many band borders: text of all sizes, both
// gradients, rotated and masked pictures, dashes, half-transparent overlapping groups and a
// half-transparent panel over most of the page.
LWDocument poster()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Bands"));
    auto &els = doc.pages[0].elements;
    doc.pages[0].background = LWFill::linear(LWColor::hex(0xF7F3EA), LWColor::hex(0xE3ECF2), 75);
    els.append(LWElement::makeShape(LWShapeKind::ellipse, {-9, -9, 400, 500},
                                    LWFill::radial(LWColor::hex(0xFFE9B0), LWColor::hex(0x8A5A44)), std::nullopt));
    LWElement turned = LWElement::makePhoto({300, 60, 260, 180}, LWMask::rounded, 24);
    turned.image->data = LWSamplePages::encoded(LWSamplePages::landscape(300, 200));
    turned.image->assetID = QStringLiteral("bands-photo");
    turned.rotation = 17;
    turned.stroke = LWStroke(LWColor::hex(0x1F3A5F), 4, 6);
    els.append(turned);
    for (int i = 0; i < 6; ++i) {
        const double size = 8 + i * 14.5;
        LWText t(QStringLiteral("Harvest Market Qgjy 123"), i % 2 ? QStringLiteral("Arvo") : QStringLiteral("BebasNeue-Regular"),
                 size, LWColor::hex(0x223344), i * 5, 1);
        LWElement text = LWElement::makeText(t, {20, 260.0 + i * 70, 580, size * 1.4});
        text.rotation = i == 3 ? -8 : 0;
        els.append(text);
    }
    els.append(LWElement::makeShape(LWShapeKind::star, {380, 300, 200, 200}, LWFill::linear(LWColor::hex(0xE8A33D), LWColor::hex(0x5A2A0C), 30),
                                    LWStroke(LWColor::black, 2.5, 5)));
    els.append(LWElement::makeLine({30, 700}, {580, 640}, LWStroke(LWColor::hex(0x8A5A44), 3, 9)));
    LWElement a = LWElement::makeShape(LWShapeKind::rectangle, {60, 560, 200, 160}, LWFill::solid(LWColor::hex(0x3C6E91)),
                                       LWStroke(LWColor::white, 6, 0), 12);
    LWElement b = LWElement::makeIcon(QStringLiteral("wheat"), {160, 600, 150, 150}, LWFill::linear(LWColor::hex(0xFF0000), LWColor::hex(0x0000FF), 90));
    LWElement group(LWElement::Kind::group, QStringLiteral("Group"), {60, 560, 250, 190});
    group.children = QList<LWElement>{a, b};
    group.opacity = 0.55;
    els.append(group);
    LWText faded(QStringLiteral("Half-transparent words overlap"), QStringLiteral("Allura-Regular"), 44,
                 LWColor::hex(0x5A2A0C), -2, 0.8);
    LWElement fadedText = LWElement::makeText(faded, {300, 520, 300, 120});
    fadedText.opacity = 0.4;
    els.append(fadedText);
    // A half-transparent panel over most of the page: every band draws its own rows of it.
    LWElement panel = LWElement::makeShape(LWShapeKind::rectangle, {40, 30, 540, 720}, LWFill::solid(LWColor::hex(0xFFFFFF)),
                                           LWStroke(LWColor::hex(0x1F3A5F), 8, 0), 18);
    panel.opacity = 0.5;
    els.append(panel);
    return doc;
}

class RendererBands : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

// The page of poster() at dpi, with bleed, in one pass (no band at all).
QImage onePass(const LWDocument &doc, double dpi) { return lwDrawnWhole(doc, dpi, true); }

// Two things may differ by a level or two, nothing else: Qt's clip of a turned mask is rounded a
// little differently when a band clips it too (the edge pixels of the turned picture), and a
// half-transparent element's gradient is sampled from a layer of each band's own rows, so a few
// of its pixels round the other way. `grow` widens those places (JPEG blocks spread a change).
void expectSameAsOnePass(const LWDocument &doc, const QImage &single, const QImage &banded, int grow = 0,
                         int most = 2)
{
    ASSERT_EQ(single.size(), banded.size());
    const LWRect area = doc.bleedRect();
    const double sx = single.width() / area.width(), sy = single.height() / area.height();
    const auto region = [&](int index) {
        return QTransform::fromScale(sx, sy)
            .mapRect(LWGeometry::bounds(doc.pages[0].elements[index]).toQRectF().translated(-area.minX(), -area.minY()))
            .toAlignedRect()
            .adjusted(-2 - grow, -2 - grow, 2 + grow, 2 + grow);
    };
    const QRect tolerated[] = {region(1), region(10)}; // the turned picture, the faded group
    qint64 off = 0, offInTolerated[2] = {0, 0};
    int worst = 0;
    for (int y = 0; y < single.height(); ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(single.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(banded.constScanLine(y));
        for (int x = 0; x < single.width(); ++x) {
            if ((a[x] | 0xff000000) == (b[x] | 0xff000000))
                continue;
            const int in = tolerated[0].contains(x, y) ? 0 : tolerated[1].contains(x, y) ? 1 : -1;
            if (in < 0) {
                ++off;
                continue;
            }
            ++offInTolerated[in];
            worst = std::max({worst, std::abs(qRed(a[x]) - qRed(b[x])), std::abs(qGreen(a[x]) - qGreen(b[x])),
                              std::abs(qBlue(a[x]) - qBlue(b[x]))});
        }
    }
    EXPECT_EQ(off, 0);
    EXPECT_LE(worst, most);
    const qint64 share[] = {grow ? 10 : 1000, grow ? 5 : 50};
    for (int i : {0, 1})
        EXPECT_LT(offInTolerated[i], tolerated[i].width() * tolerated[i].height() / share[i]) << i;
}

TEST_F(RendererBands, BandedPageMatchesOnePass)
{
    const LWDocument doc = poster();
    for (const double dpi : {150.0, 300.0}) {
        const QImage single = onePass(doc, dpi);
        const auto print = LWRenderer::printPage(doc, 0, LWRenderer::DPI{dpi}, true);
        ASSERT_TRUE(print);
        // Odd counts put the borders at uneven rows; 40 bands make them 2 to 3 lines of text apart.
        for (const int bands : {3, 7, 40}) {
            QImage banded(single.size(), QImage::Format_ARGB32_Premultiplied);
            LWRenderer::paintBands(banded, bands, true, print->paint);
            SCOPED_TRACE(testing::Message() << dpi << " dpi, " << bands << " bands");
            expectSameAsOnePass(doc, single, banded);
        }
        // The export's bitmap is drawn the same way.
        const auto page = LWRenderer::bitmap(doc, 0, LWRenderer::DPI{dpi}, true);
        ASSERT_TRUE(page);
        QImage exact(single.size(), QImage::Format_ARGB32_Premultiplied);
        LWRenderer::paintBands(exact, LWRenderer::bandCount(exact.width(), exact.height()), true, print->paint);
        EXPECT_TRUE(*page == exact) << dpi;
    }
}

// The written file of a raster export, drawn and encoded band by band, holds the page drawn in
// one pass: PNG pixel for pixel within the bands' tolerance, JPEG as Qt's writer encodes that
// pass, with the size and resolution asked for.
TEST_F(RendererBands, ExportedFileMatchesThePageDrawnWhole)
{
    const LWDocument doc = poster();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        LWExport::RasterType type;
        double dpi; // 217: bands of uneven height end the page on a short one
    };
    for (const Case c : {Case{LWExport::RasterType::png, 300}, Case{LWExport::RasterType::png, 217},
                         Case{LWExport::RasterType::jpeg, 300}, Case{LWExport::RasterType::jpeg, 217}}) {
        const bool png = c.type == LWExport::RasterType::png;
        SCOPED_TRACE(testing::Message() << (png ? "png " : "jpeg ") << c.dpi);
        const QString file = dir.filePath(QStringLiteral("page.") + LWExport::ext(c.type));
        ASSERT_EQ(LWExport::writeRaster(doc, 0, c.dpi, true, c.type, 0.92, file), QString());
        if (png) {
            QFile written(file);
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            EXPECT_EQ(lwPngFault(written.readAll()), "");
        }
        QImageReader reader(file);
        reader.setAutoTransform(false);
        const QImage written = reader.read().convertToFormat(QImage::Format_RGB32);
        const LWExport::PixelSize size = LWExport::pixelSize(doc, c.dpi, true);
        ASSERT_EQ(written.size(), QSize(int(size.width), int(size.height)));
        EXPECT_EQ(reader.read().isNull(), true); // one image, nothing after it
        EXPECT_EQ(written.dotsPerMeterX(), std::lround(c.dpi / 0.0254));
        EXPECT_EQ(written.dotsPerMeterY(), std::lround(c.dpi / 0.0254));

        QImage single = onePass(doc, c.dpi);
        single.reinterpretAsFormat(QImage::Format_RGB32);
        if (png) {
            expectSameAsOnePass(doc, single, written);
            continue;
        }
        const std::optional<QByteArray> jpeg = LWExport::encode(single, c.type, c.dpi, 0.92);
        ASSERT_TRUE(jpeg);
        expectSameAsOnePass(doc, QImage::fromData(*jpeg).convertToFormat(QImage::Format_RGB32), written, 16, 12);
    }
}

// A phone photo turned 3 degrees on a card is drawn on the 10-up sheet 3.4 times smaller than its
// pixels. Its edge is red (over the white card green and blue alike, none of its middle's blue) in
// one pass and in bands, and the bands draw that pass.
TEST_F(RendererBands, TurnedPicturesEdgeOnTheCardSheet)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Sheet"));
    LWElement &photo = doc.pages[0].elements.emplaceBack(LWElement::makePhoto({70, 30, 100, 60}));
    photo.image->data = LWSamplePages::encoded(LWSamplePages::redEdged(1400, 840));
    photo.rotation = 3;
    const std::optional<LWExport::SheetBitmap> sheet = LWExport::sheetBitmap(doc, 0, 300);
    ASSERT_TRUE(sheet);
    for (const int bands : {1, 3, 40}) {
        QImage drawn(sheet->image.size(), QImage::Format_ARGB32_Premultiplied);
        LWRenderer::paintBands(drawn, bands, true, [&](QPainter &p) {
            p.scale(300 / 72.0, 300 / 72.0);
            LWExport::drawSheet(doc, 0, sheet->layout, p);
        });
        EXPECT_LE(lwWorstDifference(drawn, sheet->image), 3) << bands;
        qint64 inner = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(drawn.constScanLine(y));
            for (const QRgb c : std::span(row, drawn.width()))
                inner += qGreen(c) > 3 && qBlue(c) > qGreen(c) + 3;
        }
        EXPECT_EQ(inner, 0) << bands;
    }
}

TEST_F(RendererBands, SmallBitmapsOnePassLargeOnesSpread)
{
    EXPECT_EQ(LWRenderer::bandCount(1125, 675), 1); // a card at 300 dpi
    EXPECT_EQ(LWRenderer::bandCount(1000, 1000), 1);
    // A Letter flyer at 300 dpi: spread wherever there is more than one core.
    EXPECT_EQ(LWRenderer::bandCount(2625, 3375) > 1, LWParallel::workers() > 1);
    // A transparent bitmap stays transparent in every band.
    QImage img(2000, 1000, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::red);
    std::atomic<int> calls = 0;
    LWRenderer::paintBands(img, 5, false, [&](QPainter &) { ++calls; });
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(img.pixel(0, 0), 0u);
    EXPECT_EQ(img.pixel(1999, 999), 0u);
}

} // namespace
