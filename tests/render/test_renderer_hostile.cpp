#include "render/export.h"
#include "render/text/fonts.h"
#include "render/preflight.h"
#include "render/sheet.h"
#include "render/renderer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

// Hand-edited files can hold any number. Drawing them must neither crash nor run away, and the
// PDFs made of them must stay sound: each of these pages renders (or is refused) at once.
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

void renders(const LWDocument &doc)
{
    QElapsedTimer timer;
    timer.start();
    (void)LWRenderer::bitmap(doc, 0, 2.0, true);
    (void)LWRenderer::bitmap(doc, 0, LWRenderer::DPI{300}, false);
    EXPECT_EQ(pdfComplaints(LWExport::pdfData(doc, {0}, true)), QString());
    EXPECT_EQ(pdfComplaints(LWExport::sheetPDF(doc, {0})), QString());
    (void)LWExport::preflight(doc);
    // Generous (sanitizer builds on a loaded machine take seconds): a hang would take many minutes.
    EXPECT_LT(timer.elapsed(), 120000);
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
    for (double width : {1e-9, 1e9, kNaN, kInf}) {
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

    // Groups nested deeply, each half transparent: every level is its own layer.
    const LWElement leaf = shape(LWShapeKind::rectangle, {20, 20, 30, 30});
    LWElement inner = leaf;
    for (int depth = 0; depth < 60; ++depth) {
        LWElement group(LWElement::Kind::group, QStringLiteral("G"), {20, 20, 30, 30});
        group.children = QList<LWElement>{inner, leaf};
        group.opacity = 0.9;
        inner = group;
    }
    els.append(inner);
    renders(pageWith(els));
}
