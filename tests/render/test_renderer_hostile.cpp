#include "render/export.h"
#include "render/preflight.h"
#include "render/renderer.h"
#include "render/sheet.h"
#include "render/text/fonts.h"

#include "model/geometry.h"
#include "render/raster/rastercut.h"
#include "support/outlinecover.h"
#include "support/samplepages.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

// Hand-edited files can hold any number. Drawing them must neither crash nor run away, and the
// PDFs made of them must stay sound: each of these pages renders (or is refused).
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

LWDocument pageWith(const QList<LWElement> &elements)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    doc.pages[0].elements = elements;
    return doc;
}

// What poppler complains about while drawing the PDF; a sound file gives nothing.
QString pdfComplaints(const std::optional<QByteArray> &pdf)
{
    if (!pdf)
        return {};
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("in.pdf")));
    if (!f.open(QIODevice::WriteOnly) || f.write(*pdf) != pdf->size())
        return QStringLiteral("cannot write");
    f.close();
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("10"), QStringLiteral("-png"), f.fileName(),
                                         dir.filePath(QStringLiteral("out"))});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardError());
}

// Poppler's drawing of a PDF at `dpi`, in grey.
QImage drawnByPoppler(const QByteArray &pdf, int dpi)
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("in.pdf")));
    if (!f.open(QIODevice::WriteOnly) || f.write(pdf) != pdf.size() || !f.flush())
        return {};
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
                                                   QStringLiteral("-singlefile"), f.fileName(), dir.filePath("out")});
    return QImage(dir.filePath(QStringLiteral("out.pgm")));
}

// Pixels not white (-1 for no drawing at all).
int inkedPixels(const QImage &drawn)
{
    if (drawn.isNull())
        return -1;
    const QImage image = drawn.convertToFormat(QImage::Format_RGB32);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += image.pixel(x, y) != qRgb(255, 255, 255);
    return inked;
}

// A page that ran away would meet the test's time limit; nothing here times it.
void renders(const LWDocument &doc)
{
    (void)LWRenderer::bitmap(doc, 0, 2.0, true);
    (void)LWRenderer::bitmap(doc, 0, LWRenderer::DPI{300}, false);
    EXPECT_EQ(pdfComplaints(LWExport::pdfData(doc, {0}, true)), QString());
    EXPECT_EQ(pdfComplaints(LWExport::sheetPDF(doc, {0})), QString());
    (void)LWExport::preflight(doc);
}

LWElement shape(LWShapeKind kind, const LWRect &frame)
{
    return LWElement::makeShape(kind, frame, LWFill::linear(LWColor::black, LWColor::white, 30),
                                LWStroke(LWColor::black, 2, 3));
}

} // namespace

class RendererHostile : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_F(RendererHostile, ExtremeFramesAndCounts)
{
    QList<LWElement> els;
    for (const LWRect &frame : {LWRect(kNaN, 0, 10, 10), LWRect(0, 0, kInf, 10), LWRect(-kInf, -kInf, kInf, kInf),
                                LWRect(0, 0, 1e300, 1e300), LWRect(0, 0, -50, -40), LWRect(1e9, 1e9, 1, 1),
                                LWRect(0, 0, 0, 0)}) {
        for (LWShapeKind kind : LWEnum::allCases<LWShapeKind>()) {
            LWElement e = shape(kind, frame);
            e.sides = std::numeric_limits<qint64>::max();
            e.innerRatio = kNaN;
            e.cornerRadius = kInf;
            e.rotation = 1e308;
            els.append(e);
        }
        LWElement text = LWElement::makeText(LWText(QStringLiteral("Hello"), QStringLiteral("Arvo"), 12, LWColor::black), frame);
        els.append(text);
        els.append(LWElement::makeIcon(QStringLiteral("globe"), frame, LWFill::radial(LWColor::black, LWColor::white)));
        els.append(LWElement::makePhoto(frame, LWMask::star, kInf));
    }
    renders(pageWith(els));
}

TEST_F(RendererHostile, ExtremeStrokesFillsAndOpacity)
{
    QList<LWElement> els;
    for (double width : {1e-9, 1e9, 1e14, 1e300, kNaN, kInf}) {
        for (double dash : {1e-9, 1e-300, 1e9, kNaN, kInf}) {
            LWElement e = shape(LWShapeKind::ellipse, {10, 10, 200, 100});
            e.stroke = LWStroke(LWColor::black, width, dash);
            els.append(e);
        }
    }
    LWElement gradient = shape(LWShapeKind::rectangle, {10, 10, 100, 100});
    gradient.fill = LWFill::linear(LWColor(kNaN, kInf, -kInf, kNaN), LWColor(2, -1, 5, 7), kNaN);
    els.append(gradient);
    LWElement faded = shape(LWShapeKind::star, {0, 0, 1e7, 1e7});
    faded.opacity = 0.5;
    els.append(faded);
    LWElement nanOpacity = shape(LWShapeKind::rectangle, {0, 0, 50, 50});
    nanOpacity.opacity = kNaN;
    els.append(nanOpacity);
    renders(pageWith(els));

    // Outlines thinner than any device draws are drawn by no export (a PDF reader draws a width
    // written as 0, or as a billionth, as its thinnest line).
    for (double width : {5e-324, 1e-300, 1e-9}) {
        SCOPED_TRACE(width);
        LWElement dashed = LWElement::makeShape(LWShapeKind::ellipse, {20, 20, 200, 100}, LWFill::none(),
                                                LWStroke(LWColor::black, width, 3));
        LWElement solid = LWElement::makeShape(LWShapeKind::star, {20, 20, 200, 100}, LWFill::none(),
                                               LWStroke(LWColor::black, width));
        const LWDocument doc = pageWith({dashed, solid, LWElement::makeLine({10, 10}, {240, 130}, *solid.stroke)});
        const LWDocument blank = pageWith({});
        EXPECT_EQ(inkedPixels(LWRenderer::bitmap(doc, 0, LWRenderer::DPI{600}, true).value_or(QImage())), 0);
        EXPECT_EQ(inkedPixels(drawnByPoppler(LWExport::pdfData(doc, {0}, true).value_or(""), 150)), 0);
        EXPECT_EQ(inkedPixels(drawnByPoppler(LWExport::sheetPDF(doc, {0}).value_or(""), 150)),
                  inkedPixels(drawnByPoppler(LWExport::sheetPDF(blank, {0}).value_or(""), 150))); // its marks
    }
}

TEST_F(RendererHostile, ExtremeTextAndNesting)
{
    QList<LWElement> els;
    for (double size : {0.0, -5.0, kNaN, kInf, 1e6, 1e-9}) {
        LWText t(QStringLiteral("Ligne un\nline two \u2028 три"), QStringLiteral("Arvo"), size, LWColor::black, 1e9, kNaN);
        els.append(LWElement::makeText(t, {10, 10, 100, 40}));
    }
    LWText longText(QString(200000, QLatin1Char('w')), QStringLiteral("NoSuchFont"), 8, LWColor::black, -1e9, 1e9);
    els.append(LWElement::makeText(longText, {10, 10, 50, 50}));
    renders(pageWith(els));

    // Groups nested deeply, each half transparent: every level is its own layer (on a page of its
    // own: each layer of the print PDF copies the page drawn so far, and under the sanitizers a
    // page of the long text beneath sixty of them took a minute).
    const LWElement leaf = shape(LWShapeKind::rectangle, {20, 20, 30, 30});
    LWElement inner = leaf;
    for (int depth = 0; depth < 60; ++depth) {
        LWElement group(LWElement::Kind::group, QStringLiteral("G"), {20, 20, 30, 30});
        group.children = QList<LWElement>{inner, leaf};
        group.opacity = 0.9;
        inner = group;
    }
    renders(pageWith({inner}));
}

// A design file may hold any finite outline width. One far wider than the page costs the band cut
// what the page shows of it, and covers the page where its pieces, corners and caps reach: the
// PNG export and two PDF readers' drawings of the print PDF against the outline's geometry. A pen
// 256 device pixels wide or wider is filled as the union of its parts (a 100-pt pen at 300 DPI
// too, though under 256 points), a narrower one as its outline.
TEST_F(RendererHostile, WideOutlinesCostWhatShowsAndCoverWhereTheyReach)
{
    const struct {
        const char *what;
        double width;
        int points; // a star's; 0 a triangle, -1 a line (round caps), -2 an ellipse
        bool dashed;
        double dpi;
        bool united = true;
    } rows[] = {
        {"triangle, 1e14-pt dashed outline", 1e14, 0, true, 300},
        {"triangle, 1e12-pt dashed outline", 1e12, 0, true, 100},
        {"triangle, 1e14-pt outline", 1e14, 0, false, 100},
        {"triangle, 460-pt dashed outline", 460, 0, true, 300}, // arcs across the page
        {"line, 460 pt", 460, -1, false, 300},
        {"line, 1e14 pt", 1e14, -1, false, 100},
        {"1000-point star, 1e8-pt dashed outline", 1e8, 1000, true, 72},
        // Reaching all the page from some of its pieces only, and past the page's corners.
        {"ellipse, 1000-pt dashed outline", 1000, -2, true, 150},
        {"triangle, 100-pt dashed outline", 100, 0, true, 300},
        {"line, 100 pt", 100, -1, false, 300},
        {"triangle, 50-pt dashed outline", 50, 0, true, 300, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        LWDocument doc = LWSamplePages::wideOutline(row.width, std::max(row.points, 0), 0);
        LWElement &e = doc.pages[0].elements[0];
        if (row.points == -1)
            e = LWElement::makeLine({200, 300}, {420, 520}, *e.stroke);
        e.shape = row.points == -2 ? LWShapeKind::ellipse : e.shape;
        const QTransform fine = QTransform::fromScale(64, 64); // curves within a 128th of a point
        QPolygonF line = fine.inverted().map(LWGeometry::shapePath(e).toSubpathPolygons(fine).value(0));
        // One dash all the way round ends at its start with its cap; joined all round, the start
        // is a corner too.
        e.stroke->dash = row.dashed ? 2 * LWGeometry::shapePath(e).length() : 0;
        if (!row.dashed && row.points >= 0)
            line << line[1];
        QTemporaryDir dir;
        const qint64 before = LWRasterCut::outlineElements(), unitedBefore = LWRasterCut::unionFills();
        ASSERT_EQ(LWExport::writeRaster(doc, 0, row.dpi, true, LWExport::RasterType::png, 0.92,
                                        dir.filePath("ours.png")),
                  QString());
        EXPECT_LT(LWRasterCut::outlineElements() - before, row.points == -2 ? 40000 : 4000);
        EXPECT_EQ(LWRasterCut::unionFills() > unitedBefore, row.united);
        QFile pdf(dir.filePath(QStringLiteral("in.pdf")));
        ASSERT_TRUE(pdf.open(QIODevice::WriteOnly) &&
                    pdf.write(LWExport::pdfData(doc, {0}, true).value_or("")) > 0 && pdf.flush());
        const QString dpi = QString::number(row.dpi);
        QProcess::execute("pdftoppm",
                          {"-r", dpi, "-png", "-singlefile", pdf.fileName(), dir.filePath("poppler")});
        QProcess::execute("mutool",
                          {"draw", "-q", "-r", dpi, "-o", dir.filePath("mupdf.png"), pdf.fileName()});
        for (const char *drawing : {"ours", "poppler", "mupdf"}) {
            const QImage image(dir.filePath(QLatin1String(drawing) + QLatin1String(".png")));
            const double perPixel = (doc.width + 2 * doc.bleed) / image.width();
            const auto toPage = [&](QPointF at) { return at * perPixel - QPointF(doc.bleed, doc.bleed); };
            const LWOutlineCover::Tally tally =
                LWOutlineCover::check(image, toPage, line, row.width / 2, row.points == -1, 2 * perPixel,
                                      QColor(0x1F3A5F), doc.bleedRect().toQRectF());
            EXPECT_GT(tally.seen, 2000) << drawing;
            EXPECT_EQ(tally.wrong, 0) << drawing;
        }
    }
}
