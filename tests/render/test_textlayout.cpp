#include "model/element.h"
#include "render/text/fonts.h"
#include "render/text/textlayout.h"

#include <QBuffer>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTextItem>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

LWText body(const QString &s, double size = 12, const QString &font = QStringLiteral("AvenirNext-Regular"))
{
    return LWText(s, font, size, LWColor::black);
}

class TextLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

// Records what the painter hands to the device: each text item's origin and advance, in device pixels.
struct DrawnItem {
    QPointF origin;
    QString text;
    double width;
};

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & QPaintEngine::DirtyTransform)
            transform = state.transform();
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        items.append({transform.map(p), item.text(), item.width() * transform.m11()});
    }
    Type type() const override { return QPaintEngine::User; }

    QTransform transform;
    QList<DrawnItem> items;
};

class RecordingDevice : public QPaintDevice {
public:
    explicit RecordingDevice(int dpi) : m_dpi(dpi) {}
    QPaintEngine *paintEngine() const override { return &engine; }
    mutable RecordingEngine engine;

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
        case PdmHeight: return 20 * m_dpi;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return m_dpi;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    int m_dpi;
};

// The lines a device was given: text and horizontal extent in points, drawn into a box at (0, 0).
struct DrawnLine {
    QString text;
    double left, right, baseline;
};

QList<DrawnLine> drawnLines(const LWText &t, double width, int dpi)
{
    RecordingDevice device(dpi);
    {
        QPainter p(&device);
        p.scale(dpi / 72.0, dpi / 72.0);
        LWTextLayout::draw(t, LWRect(0, 0, width, 500), p);
    }
    QList<DrawnLine> out;
    const double k = 72.0 / dpi;
    for (const DrawnItem &item : device.engine.items) {
        const double y = item.origin.y() * k;
        if (out.isEmpty() || std::abs(out.last().baseline - y) > 1e-6)
            out.append({QString(), item.origin.x() * k, item.origin.x() * k, y});
        DrawnLine &line = out.last();
        line.text += item.text;
        line.left = std::min(line.left, item.origin.x() * k);
        line.right = std::max(line.right, (item.origin.x() + item.width) * k);
    }
    return out;
}

// Ink bounds of what `draw` paints, in points, from a bitmap at `pxPerPt`.
QRectF paintedInk(const LWText &t, const LWRect &box, double pxPerPt = 4, QSizeF page = {200, 200})
{
    QImage image(qRound(page.width() * pxPerPt), qRound(page.height() * pxPerPt), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(pxPerPt, pxPerPt);
        LWTextLayout::draw(t, box, p);
    }
    int minX = INT_MAX, minY = INT_MAX, maxX = -1, maxY = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) > 96) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    if (maxX < 0)
        return {};
    return QRectF(minX / pxPerPt, minY / pxPerPt, (maxX + 1 - minX) / pxPerPt, (maxY + 1 - minY) / pxPerPt);
}

} // namespace

TEST_F(TextLayout, EmptyTextIsOneLineWithoutInk)
{
    const LWTextLayout::Layout empty = LWTextLayout::layout(body(QString()), 100);
    EXPECT_EQ(empty.lines, 1);
    ASSERT_EQ(empty.lineRects.size(), 1);
    EXPECT_TRUE(empty.glyphRects.isEmpty());
    // One line of the font: the same height as any single line.
    EXPECT_EQ(empty.height, LWTextLayout::layout(body(QStringLiteral("Hg")), 100).height);
}

TEST_F(TextLayout, LineBreaksOfEveryKindAndBlankLines)
{
    const LWTextLayout::Layout lf = LWTextLayout::layout(body(QStringLiteral("One\n\nThree")), 300);
    EXPECT_EQ(lf.lines, 3);
    EXPECT_EQ(lf.lineRects.size(), 3);
    EXPECT_EQ(lf.glyphRects.size(), 2); // the blank line has no ink
    for (const QString &sep : {QStringLiteral("\r\n"), QString(QChar(0x2028)), QStringLiteral("\v")}) {
        const LWTextLayout::Layout other = LWTextLayout::layout(body("One" + sep + sep + "Three"), 300);
        EXPECT_EQ(other.lines, 3) << int(sep.at(0).unicode());
        EXPECT_EQ(other.height, lf.height) << int(sep.at(0).unicode());
    }
    // A break at the very end starts no new line; two do.
    EXPECT_EQ(LWTextLayout::layout(body(QStringLiteral("One\n")), 300).lines, 1);
    EXPECT_EQ(LWTextLayout::layout(body(QStringLiteral("One\n\n")), 300).lines, 2);
    // Lines stack by the natural line height.
    const double pitch = lf.lineRects[1].y() - lf.lineRects[0].y();
    EXPECT_NEAR(lf.lineRects[2].y() - lf.lineRects[1].y(), pitch, 1e-3);
    EXPECT_NEAR(lf.height, std::ceil(3 * pitch) + 1, 1e-9);
}

TEST_F(TextLayout, WrapsAtWordsAndBreaksWordsOnlyWhenTooWide)
{
    LWText t = body(QStringLiteral("alpha beta gamma delta"));
    auto widthOf = [](const char *s) { return LWTextLayout::layout(body(QString::fromLatin1(s)), 1000).lineRects[0].width(); };
    const double fitsTwo = std::max(widthOf("alpha beta"), widthOf("gamma delta")) + 1;
    ASSERT_LT(fitsTwo, widthOf("alpha beta gamma"));
    EXPECT_EQ(LWTextLayout::layout(t, fitsTwo).lines, 2);
    const LWTextLayout::Layout narrow = LWTextLayout::layout(t, 20);
    for (const QRectF &r : narrow.lineRects)
        EXPECT_LE(r.width(), 20 + 1e-6);
    EXPECT_GT(narrow.lines, 4); // every word alone is too wide: broken inside
    // Width at or below 1 point acts as 1 point.
    EXPECT_EQ(LWTextLayout::layout(t, 0), LWTextLayout::layout(t, 1));
    EXPECT_EQ(LWTextLayout::layout(t, -20), LWTextLayout::layout(t, 1));
    EXPECT_EQ(LWTextLayout::layout(t, std::nan("")), LWTextLayout::layout(t, 1));
}

TEST_F(TextLayout, LeadingHasAFloorOfOneHalf)
{
    LWText t = body(QStringLiteral("First\nSecond\nThird"));
    t.leading = 0.2;
    const LWTextLayout::Layout low = LWTextLayout::layout(t, 200);
    t.leading = 0.5;
    EXPECT_EQ(low, LWTextLayout::layout(t, 200));
    t.leading = 1;
    const LWTextLayout::Layout natural = LWTextLayout::layout(t, 200);
    const double pitch = natural.lineRects[1].y() - natural.lineRects[0].y();
    EXPECT_NEAR(low.lineRects[1].y() - low.lineRects[0].y(), pitch * 0.5, 1e-3);
}

TEST_F(TextLayout, TrackingIsThousandthsOfTheSizeAfterEveryCharacter)
{
    LWText t = body(QStringLiteral("Tracking"), 20);
    const double plain = LWTextLayout::layout(t, 1000).lineRects[0].width();
    t.tracking = 100;
    EXPECT_NEAR(LWTextLayout::layout(t, 1000).lineRects[0].width() - plain, 8 * 2.0, 8 * 0.01);
    t = body(QStringLiteral("Tighter"), 10);
    const double loose = LWTextLayout::layout(t, 1000).lineRects[0].width();
    t.tracking = -50;
    EXPECT_NEAR(LWTextLayout::layout(t, 1000).lineRects[0].width() - loose, -7 * 0.5, 7 * 0.01);
}

TEST_F(TextLayout, UpperCaseUsesFullCaseMapping)
{
    LWText t = body(QStringLiteral("straße"), 16);
    t.uppercase = true;
    EXPECT_EQ(LWTextLayout::attributed(t).string, QStringLiteral("STRASSE"));
    const double upper = LWTextLayout::layout(t, 1000).lineRects[0].width();
    EXPECT_NEAR(upper, LWTextLayout::layout(body(QStringLiteral("STRASSE"), 16), 1000).lineRects[0].width(), 1e-9);
    EXPECT_GT(upper, LWTextLayout::layout(body(QStringLiteral("straße"), 16), 1000).lineRects[0].width());
}

TEST_F(TextLayout, AlignmentPlacesLinesInTheBox)
{
    LWText t = body(QStringLiteral("Short"));
    const double w = LWTextLayout::layout(t, 300).lineRects[0].width();
    t.align = LWTextAlign::right;
    EXPECT_NEAR(LWTextLayout::layout(t, 300).lineRects[0].x(), 300 - w, 0.01);

    // Justified: every line but the last of each paragraph spans the box.
    LWText j = body(QStringLiteral("one two three four five six seven eight nine ten\nlast paragraph line"));
    j.align = LWTextAlign::justified;
    const LWTextLayout::Layout l = LWTextLayout::layout(j, 120);
    ASSERT_GE(l.lines, 4);
    EXPECT_NEAR(l.lineRects[0].right(), 120, 0.05);
    EXPECT_NEAR(l.glyphRects[0].right(), 120, 2);
    const int lastOfFirst = l.lines - 2;
    EXPECT_LT(l.lineRects[lastOfFirst].width(), 110);
    EXPECT_LT(l.lineRects.last().width(), 115);
}

TEST_F(TextLayout, DrawPlacesTheBlockByVerticalAlignmentAndClipsNothing)
{
    LWText t = body(QStringLiteral("Hg\nHg\nHg"), 30);
    const LWRect box(20, 160, 120, 40); // shorter than the text
    const LWTextLayout::Layout l = LWTextLayout::layout(t, box.width());
    EXPECT_EQ(LWTextLayout::height(t, box.width()), l.height);
    ASSERT_GT(l.height, box.height());
    const struct {
        LWVAlign v;
        double top;
    } cases[] = {{LWVAlign::top, box.minY()}, {LWVAlign::middle, box.midY() - l.height / 2},
                 {LWVAlign::bottom, box.maxY() - l.height}};
    for (const auto &c : cases) {
        t.vAlign = c.v;
        const QRectF painted = paintedInk(t, box, 4, {200, 400});
        EXPECT_NEAR(painted.top(), c.top + l.glyphRects.first().top(), 0.5) << int(c.v);
        EXPECT_NEAR(painted.bottom(), c.top + l.glyphRects.last().bottom(), 0.5) << int(c.v);
        EXPECT_NEAR(painted.left(), box.minX() + l.glyphRects.first().left(), 0.5) << int(c.v);
    }
    // Bottom-aligned text runs out above its box.
    EXPECT_LT(paintedInk(t, box, 4, {200, 400}).top(), box.minY());
}

// A box 20 pt short of its text grows by its vertical alignment; a taller box and a box
// without text stay as they are.
TEST_F(TextLayout, GrowToFitKeepsTheAlignedEdge)
{
    LWText t = body(QStringLiteral("Hg\nHg\nHg"), 30);
    const double needed = LWTextLayout::height(t, 120);
    const LWRect box(20, 160, 120, needed - 20);
    const struct {
        LWVAlign v;
        double y;
    } cases[] = {{LWVAlign::top, 160}, {LWVAlign::middle, 150}, {LWVAlign::bottom, 140}};
    for (const auto &c : cases) {
        t.vAlign = c.v;
        LWElement e = LWElement::makeText(t, box);
        LWTextLayout::growToFit(e);
        EXPECT_EQ(e.frame, LWRect(20, c.y, 120, needed)) << int(c.v);

        LWElement tall = LWElement::makeText(t, LWRect(20, 160, 120, needed + 30));
        const LWRect before = tall.frame;
        LWTextLayout::growToFit(tall);
        EXPECT_EQ(tall.frame, before) << int(c.v);
    }
    LWElement shape = LWElement::makeShape(LWShapeKind::rectangle, LWRect(0, 0, 10, 1), LWFill::none(), std::nullopt);
    LWTextLayout::growToFit(shape);
    EXPECT_EQ(shape.frame, LWRect(0, 0, 10, 1));
}

// Text past the layout's own 100000-pt frame is cut and does not fit; odd sizes still measure.
TEST_F(TextLayout, ExtremeTextStillMeasures)
{
    const LWTextLayout::Layout l = LWTextLayout::layout(body(QString(20000, QLatin1Char('\n')) + "end"), 100);
    EXPECT_FALSE(l.fits);
    EXPECT_LE(l.height, 100001);
    EXPECT_TRUE(l.glyphRects.isEmpty());
    const double w12 = LWTextLayout::layout(body(QStringLiteral("Big"), 12), 1e5).lineRects[0].width();
    const LWTextLayout::Layout big = LWTextLayout::layout(body(QStringLiteral("Big"), 2000), 1e5);
    EXPECT_NEAR(big.lineRects[0].width() / 2000, w12 / 12, 0.01 * w12 / 12);
    EXPECT_EQ(LWTextLayout::layout(body(QStringLiteral("x"), -4), 10).lines, 1);
}

TEST_F(TextLayout, EveryDeviceGetsTheSameLines)
{
    LWText t(QStringLiteral("Fresh bread, local honey, handmade soap and seasonal vegetables from farms within "
                            "twenty miles. Live music from noon, and warm cider by the fountain."),
             QStringLiteral("AvenirNext-Regular"), 10.5, LWColor::black, 40, 1.1, LWTextAlign::justified);
    const double width = 150;
    const LWTextLayout::Layout l = LWTextLayout::layout(t, width);
    ASSERT_GT(l.lines, 3);

    const QList<DrawnLine> preview = drawnLines(t, width, 72);
    ASSERT_EQ(preview.size(), l.lines);
    for (int dpi : {300, 600}) {
        const QList<DrawnLine> bitmap = drawnLines(t, width, dpi);
        ASSERT_EQ(bitmap.size(), preview.size()) << dpi;
        for (qsizetype i = 0; i < preview.size(); ++i) {
            EXPECT_EQ(bitmap[i].text, preview[i].text) << dpi;
            EXPECT_NEAR(bitmap[i].left, preview[i].left, 0.01) << dpi;
            EXPECT_NEAR(bitmap[i].right, preview[i].right, 0.01) << dpi;
            EXPECT_NEAR(bitmap[i].baseline, preview[i].baseline, 0.01) << dpi;
        }
    }
    // The drawn lines are the measured ones.
    for (qsizetype i = 0; i < preview.size(); ++i) {
        EXPECT_NEAR(preview[i].left, l.lineRects[i].left(), 0.01);
        EXPECT_NEAR(preview[i].right, l.lineRects[i].right(), 0.01) << i;
    }

    // A PDF: real text, and the same line breaks and extents.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(200, 300), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        LWTextLayout::draw(t, LWRect(20, 20, width, 260), p);
    }
    buffer.close();
    QBuffer input(&buffer.buffer());
    input.open(QIODevice::ReadOnly);
    QPdfDocument pdf;
    pdf.load(&input);
    ASSERT_EQ(pdf.pageCount(), 1);
    const QString all = pdf.getAllText(0).text();
    qsizetype at = 0;
    for (qsizetype i = 0; i < preview.size(); ++i) {
        const QString words = preview[i].text.simplified();
        const qsizetype found = all.indexOf(words, at);
        ASSERT_GE(found, 0) << words.toStdString() << " in " << all.toStdString();
        // Qt PDF reports ink boxes: compare with the measured glyph boxes.
        const QRectF bounds = pdf.getSelectionAtIndex(0, int(found), int(words.size())).boundingRectangle();
        EXPECT_NEAR(bounds.left(), 20 + l.glyphRects[i].left(), 0.3) << i;
        EXPECT_NEAR(bounds.right(), 20 + l.glyphRects[i].right(), 0.3) << i;
        at = found + words.size();
    }
}
