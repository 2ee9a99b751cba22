#include "render/export.h"
#include "render/text/fontink.h"
#include "render/text/fonts.h"
#include "render/renderer.h"
#include "render/text/textlayout.h"

#include "support/drawnwhole.h"
#include "support/imagediff.h"
#include "support/pngcheck.h"

#include <QFile>
#include <QImageReader>
#include <QRawFont>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Exported pictures are drawn a band of rows at a time; every band must draw every text line
// whose glyphs' ink reaches it, however far a face's accents rise above its ascent or its
// descenders fall below its descent.
namespace {

// The characters of a face whose outlines reach highest above the baseline and lowest below it,
// found from the face's own outlines (marks that hang on another letter left out), in ems.
struct Extremes {
    QString high, low;
    double above = 0, below = 0, ascent = 0;
};

Extremes extremes(const QString &file)
{
    const QRawFont raw(file, 1000, QFont::PreferNoHinting);
    QString all;
    for (char16_t c = 0x21; c < 0xFFFE; ++c) {
        const QChar ch(c);
        if (!ch.isSurrogate() && ch.category() != QChar::Mark_NonSpacing && ch.category() != QChar::Mark_Enclosing &&
            ch.category() != QChar::Other_Control && ch.category() != QChar::Other_Format)
            all.append(ch);
    }
    const QList<quint32> glyphs = raw.glyphIndexesForString(all);
    Extremes out;
    out.ascent = raw.ascent() / 1000;
    QHash<quint32, QRectF> boxes;
    for (qsizetype i = 0; i < glyphs.size() && i < all.size(); ++i) {
        if (glyphs[i] == 0)
            continue;
        auto box = boxes.constFind(glyphs[i]);
        if (box == boxes.constEnd())
            box = boxes.insert(glyphs[i], raw.pathForGlyph(glyphs[i]).boundingRect());
        if (box->isEmpty())
            continue;
        if (-box->top() / 1000 > out.above)
            out.above = -box->top() / 1000, out.high = all.at(i);
        if (box->bottom() / 1000 > out.below)
            out.below = box->bottom() / 1000, out.low = all.at(i);
    }
    return out;
}

// Every bundled face that draws some template font, by PostScript name, with its file.
QList<QPair<QString, QString>> bundledFaces()
{
    QList<QPair<QString, QString>> faces;
    QSet<QString> seen;
    for (const QString &name : LWFonts::templateFonts()) {
        const QString face = LWFonts::faceName(name);
        const std::optional<QString> file = LWFonts::fileOf(face);
        if (file && !seen.contains(face)) {
            seen.insert(face);
            faces.append({face, *file});
        }
    }
    return faces;
}

// The page in one pass, no band at all.
QImage drawnWhole(const LWDocument &doc, double dpi)
{
    QImage single = lwDrawnWhole(doc, dpi, false);
    single.reinterpretAsFormat(QImage::Format_RGB32);
    return single;
}

// The page exported as PNG and JPEG equals the page drawn whole (the JPEG as Qt's writer encodes
// that), and the PNG passes zlib's own checks. Glyphs of 64 pixels and more are outlines, cut to
// each band's rows: with `outlines` their edges may round a few levels apart (JPEG blocks spread
// that); a part of a letter left out differs by far more.
void expectExportsMatchWhole(const LWDocument &doc, double dpi, const QString &folder, bool outlines = false)
{
    const QImage whole = drawnWhole(doc, dpi);
    ASSERT_FALSE(whole.isNull());
    for (const auto type : {LWExport::RasterType::png, LWExport::RasterType::jpeg}) {
        const QString path = folder + QStringLiteral("/page.") + LWExport::ext(type);
        ASSERT_EQ(LWExport::writeRaster(doc, 0, dpi, false, type, 0.92, path), QString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QImage expected = whole;
        if (type == LWExport::RasterType::png) {
            EXPECT_EQ(lwPngFault(bytes), "");
        } else {
            const std::optional<QByteArray> jpeg = LWExport::encode(whole, type, dpi, 0.92);
            ASSERT_TRUE(jpeg);
            expected = QImage::fromData(*jpeg).convertToFormat(QImage::Format_RGB32);
        }
        const QImage written = QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
        const int worst = lwWorstDifference(expected, written);
        EXPECT_GE(worst, 0);
        EXPECT_LE(worst, !outlines ? 0 : type == LWExport::RasterType::png ? 4 : 16) << qPrintable(LWExport::ext(type));
    }
}

class TextInkInBands : public ::testing::TestWithParam<double> {
protected:
    static void SetUpTestSuite()
    {
        LWFonts::registerBundled();
        QImageReader::setAllocationLimit(0); // a Letter page at 600 DPI is above Qt's default
    }
};

// For each face, a line of its highest and lowest letters, repeated along a diagonal that climbs
// two pixels a copy, so that wherever a band border lies it crosses some copy at every height of
// its ink. The page is drawn at the same pixel size at either resolution, wide enough that its
// bands are far shorter than the sweep and tall enough to be drawn in bands at all.
TEST_P(TextInkInBands, EveryFaceTallestAndDeepestLettersMatchThePageDrawnWhole)
{
    const double dpi = GetParam(), pt = 72 / dpi; // points per pixel
    const QList<QPair<QString, QString>> faces = bundledFaces();
    ASSERT_GT(faces.size(), 50);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const double em = 50, step = 2; // pixels
    for (const auto &[face, file] : faces) {
        const Extremes x = extremes(file);
        ASSERT_FALSE(x.high.isEmpty()) << qPrintable(face);
        SCOPED_TRACE(testing::Message() << qPrintable(face) << " " << qPrintable(x.high + x.low) << " above "
                                        << x.above << " below " << x.below);
        // What the renderer reads from the face covers what its outlines reach.
        const LWFontInk::Reach reach = LWFontInk::reach(QRawFont(file, 1000, QFont::PreferNoHinting));
        EXPECT_GE(reach.above, x.above - 1e-3);
        EXPECT_GE(reach.below, x.below - 1e-3);
        const LWText text(x.high + x.low, face, em * pt, LWColor::black);
        const LWTextLayout::Layout layout = LWTextLayout::layout(text, 100000);
        ASSERT_FALSE(layout.glyphRects.isEmpty());
        const QRectF ink = layout.glyphRects[0];
        const double width = std::max(ink.right(), layout.lineRects[0].right()) - std::min(ink.left(), 0.0);
        const double rise = (x.above - x.ascent) * em * pt; // ink above the box's top
        const double tall = (x.above + x.below) * em * pt;
        const int copies = 100;
        const double pageW = copies * (width + 4 * pt) + 8 * pt;
        const double pageH = std::max(copies * step * pt + tall + 8 * pt, 40.0);
        LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), pageW, pageH, 0,
                                           QStringLiteral("Reach"));
        for (int k = 0; k < copies; ++k) {
            const double left = 4 * pt - std::min(ink.left(), 0.0) + k * (width + 4 * pt);
            const double top = 4 * pt + rise + (copies - 1 - k) * step * pt;
            doc.pages[0].elements.append(LWElement::makeText(text, {left, top, width + 1, layout.height}));
        }
        expectExportsMatchWhole(doc, dpi, dir.path());
    }
}

INSTANTIATE_TEST_SUITE_P(Resolutions, TextInkInBands, ::testing::Values(300.0, 600.0),
                         [](const auto &info) { return "dpi" + std::to_string(int(info.param)); });

// A Vietnamese restaurant flyer: the heading's stacked accents rise far above Gelasio's ascent.
// Sixteen copies, 47 points apart, put a band border at every height of some copy. The right
// column's face has no Vietnamese letters: a system face draws them in its place.
using TextInkFlyer = TextInkInBands;

TEST_P(TextInkFlyer, VietnameseHeadingMatchesThePageDrawnWhole)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Pho"));
    for (int k = 0; k < 16; ++k) {
        const LWText heading(QStringLiteral("ẨM THỰC"), k % 2 ? QStringLiteral("BebasNeue-Regular") : QStringLiteral("Gelasio-Regular"),
                             48, LWColor::hex(0x7A1E12));
        doc.pages[0].elements.append(LWElement::makeText(heading, {30.0 + (k % 2) * 290, 20.0 + k * 47, 270, 60}));
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    expectExportsMatchWhole(doc, GetParam(), dir.path(), true);
}

INSTANTIATE_TEST_SUITE_P(Flyer, TextInkFlyer, ::testing::Values(600.0),
                         [](const auto &) { return std::string("flyer600"); });

} // namespace
