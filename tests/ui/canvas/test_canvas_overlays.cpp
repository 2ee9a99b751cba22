#include "editor/editor_fixture.h"
#include "kit/theme/style.h"
#include "ui/canvas/gestures.h"
#include "ui/canvas/overlays.h"

#include <QPainter>

namespace {

constexpr double s = 2;

class OverlayTest : public EditorTest {
protected:
    std::unique_ptr<LWEditor> ed = make(LWDocument::blank(LWSizePreset::usCard, std::nullopt));

    void toggles(bool bleed, bool trim, bool safe, bool grid)
    {
        ed->setShowBleed(bleed);
        ed->setShowTrim(trim);
        ed->setShowSafe(safe);
        ed->setShowGrid(grid);
    }
    QSizeF view() const { return {(252 + 18) * s, (144 + 18) * s}; }
    QImage paint(double dpr = 1, std::optional<LWRect> marquee = {}, std::optional<LWRect> creating = {}) const
    {
        QImage img((view() * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        img.setDevicePixelRatio(dpr);
        img.fill(Qt::transparent);
        QPainter p(&img);
        paintGuides(p, *ed, s, view());
        paintSelection(p, *ed, s, marquee, creating);
        return img;
    }
    QPointF v(QPointF page) const { return {(page.x() + 9) * s, (page.y() + 9) * s}; }
};

bool red(QColor c) { return c.alpha() > 200 && c.red() > 200 && c.green() < 90 && c.blue() < 90; }
int count(const QImage &img, QRect area, const std::function<bool(QColor)> &test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(img.pixelColor(x, y));
    return n;
}
// Runs of pixels along a row (or column) that pass the test.
int runs(const QImage &img, int at, bool row, const std::function<bool(QColor)> &test)
{
    int n = 0;
    bool in = false;
    for (int i = 0; i < (row ? img.width() : img.height()); ++i) {
        const bool hit = test(row ? img.pixelColor(i, at) : img.pixelColor(at, i));
        n += hit && !in;
        in = hit;
    }
    return n;
}

} // namespace

TEST_F(OverlayTest, BleedBandTrimSafeAndGrid)
{
    toggles(true, false, false, false);
    QImage img = paint();
    EXPECT_EQ(std::pair(img.pixelColor(8, 8).alpha(), img.pixelColor(8, 8).red()), std::pair(71, 255)); // the band
    EXPECT_TRUE(red(img.pixelColor(1, 0)) && red(img.pixelColor(4, 0)) && !red(img.pixelColor(6, 0))); // edge line
    EXPECT_EQ(img.pixelColor(v({100, 100}).toPoint()).alpha(), 0); // inside the trim untouched

    toggles(false, true, false, false);
    img = paint();
    EXPECT_EQ(img.pixelColor(8, 8), QColor(41, 41, 41));
    EXPECT_EQ(count(img, img.rect(), red), 0);
    EXPECT_GT(img.pixelColor(v({100, 0}).toPoint()).alpha(), 60); // the trim line
    toggles(false, false, false, false);
    EXPECT_EQ(paint().pixelColor(v({100, 0}).toPoint()).alpha(), 0);

    toggles(false, false, true, false);
    img = paint();
    const int safeY = int(v({0, 9}).y()); // US card safe margin 9
    auto green = [](QColor c) { return c.alpha() > 120 && c.green() > 120 && c.red() < 100; };
    EXPECT_GT(runs(img, safeY, true, green), 10); // dashed

    toggles(false, false, false, true);
    img = paint(2);
    const int row = int(v({0, 50}).y() * 2), column = int(v({50, 0}).x() * 2);
    auto line = [](QColor c) { return c.alpha() > 0 && c.alpha() < 200; };
    EXPECT_EQ(runs(img, row, true, line), 27);
    EXPECT_EQ(runs(img, column, false, line), 15);
    int first = 0;
    while (!line(img.pixelColor(first, row)) || first < int(v({0, 0}).x() * 2))
        ++first;
    EXPECT_NEAR(first / 2.0 - v({0, 0}).x(), 18, 1);
}

TEST_F(OverlayTest, GuidesCrossTheWholeViewAndSnapLinesShowOnlyDuringADrag)
{
    toggles(false, false, false, false);
    LWDocument doc = ed->doc();
    doc.guides = {{QUuid::createUuid(), true, -5}, {QUuid::createUuid(), true, 256}};
    ed->setDoc(doc);
    QImage img = paint();
    // Half-covered pixels over the opaque band: tell the colours apart by their leading channel.
    auto guide = [](QColor c) { return c.blue() > c.red() + 50 && c.green() > c.red() + 50; };
    auto snap = [](QColor c) { return c.red() > c.green() + 50; };
    for (double at : {-5.0, 256.0}) {
        const int x = int(v({at, 0}).x());
        EXPECT_TRUE(guide(img.pixelColor(x, 0)));
        EXPECT_TRUE(guide(img.pixelColor(x, img.height() - 1)));
    }
    EXPECT_EQ(count(img, img.rect(), snap), 0);
    ed->setSnapLines({{false, 72}});
    img = paint();
    EXPECT_TRUE(snap(img.pixelColor(0, int(v({0, 72}).y()))));
}

TEST_F(OverlayTest, SelectionHandlesKnobBadgeAndRegions)
{
    toggles(false, false, false, false);
    LWElement turned = rect("t", {60, 40, 80, 40});
    turned.rotation = 90;
    LWElement locked = rect("l", {160, 20, 40, 30}, true);
    const LWElement g = groupOf({rect("x", {20, 90, 30, 30})});
    LWElement line = LWElement::makeLine({150, 120}, {240, 120}, LWStroke(LWColor::black, 1));
    line.locked = true;
    const LWElement words = LWElement::makeText(LWText(QStringLiteral("Hi"), QStringLiteral("Georgia"), 12, LWColor::black),
                                                {60, 100, 80, 20});
    LWDocument doc = ed->doc();
    doc.pages[0].elements = {turned, locked, g, line, words};
    ed->setDoc(doc);
    auto white = [](QColor c) { return c.alpha() == 255 && c.red() > 245 && c.green() > 245 && c.blue() > 245; };
    auto orange = [](QColor c) {
        const QColor o = LWStyle::orange();
        return c.alpha() > 100 && std::abs(c.red() - o.red()) < 60 && std::abs(c.green() - o.green()) < 60 &&
               std::abs(c.blue() - o.blue()) < 60;
    };

    ed->setSelection({turned.id});
    QImage img = paint();
    // Turned a quarter: the knob lies 22 view points right of the right edge, level with the centre.
    const QPointF knob = v(QPointF(turned.frame.midX() + 20, turned.frame.midY())) + QPointF(22, 0);
    EXPECT_TRUE(white(img.pixelColor(knob.toPoint())));
    CanvasGestures gestures(*ed);
    gestures.setScale(s);
    gestures.changed(knob, knob, Qt::NoModifier);
    EXPECT_EQ(gestures.drag()->mode, CanvasGestures::Mode::rotate);
    gestures.ended(knob, knob, Qt::NoModifier);

    ed->setSelection({locked.id});
    img = paint();
    const QRect lockedBox = QRectF(v({160, 20}), v({200, 50})).toRect().adjusted(-30, -30, 30, 30);
    EXPECT_EQ(count(img, lockedBox, white), 0);
    EXPECT_GT(count(img, QRect((v({200, 20}) + QPointF(8, -8)).toPoint() - QPoint(5, 5), QSize(10, 10)), orange), 5);
    // The outline lies over a white edge: its pixels are orange of a lighter shade.
    const auto orangeHue = [](QColor c) {
        return c.alpha() > 100 && c.hsvSaturation() > 80 && std::abs(c.hsvHue() - LWStyle::orange().hsvHue()) < 20;
    };
    EXPECT_GT(count(img, QRect(v({180, 20}).toPoint() - QPoint(0, 1), QSize(1, 3)), orangeHue), 0);

    auto handles = [&](const QList<QUuid> &selection) {
        ed->setSelection(selection);
        const QImage i = paint();
        int n = 0;
        for (const LWElement &e : ed->selected()) {
            const std::array<QPointF, 8> points = CanvasGestures::handlePoints(e);
            for (QPointF p : e.isLine() ? QList<QPointF>{e.lineEnds().first, e.lineEnds().second}
                                        : QList<QPointF>(points.begin(), points.end()))
                n += white(i.pixelColor(v(p).toPoint()));
        }
        return n;
    };
    EXPECT_EQ(handles({g.id}), 8);
    EXPECT_FALSE(white(paint().pixelColor(v(CanvasGestures::rotateHandle(g, s)).toPoint())));
    EXPECT_EQ(handles({turned.id, g.id}), 0);
    EXPECT_EQ(handles({line.id}), 2);
    // The text being typed into: no handles, no knob, and a press there grabs neither.
    EXPECT_EQ(handles({words.id}), 8);
    ed->setEditingTextID(words.id);
    EXPECT_EQ(handles({words.id}), 0);
    EXPECT_EQ(ed->editingTextID(), words.id);
    const QPointF wordsKnob = v(CanvasGestures::rotateHandle(words, s));
    EXPECT_EQ(count(paint(), QRect(wordsKnob.toPoint() - QPoint(6, 6), QSize(13, 13)), white), 0);
    for (QPointF at : {wordsKnob, v({words.frame.minX(), words.frame.minY()})}) {
        ed->setSelection({words.id});
        ed->setEditingTextID(words.id);
        gestures.changed(at, at, Qt::NoModifier);
        EXPECT_NE(gestures.drag()->mode, CanvasGestures::Mode::rotate);
        EXPECT_NE(gestures.drag()->mode, CanvasGestures::Mode::resize);
        gestures.ended(at, at, Qt::NoModifier);
    }
    ed->setEditingTextID(std::nullopt);

    ed->setSelection({});
    img = paint(1, LWRect(100, 60, 60, 40), LWRect(10, 10, 30, 30));
    for (QPointF inside : {QPointF(130, 80), QPointF(25, 25)}) {
        const QColor c = img.pixelColor(v(inside).toPoint());
        EXPECT_NEAR(c.alphaF(), 0.12, 0.01);
    }
    const int top = int(v({0, 60}).y());
    auto accentish = [](QColor c) { return c.alpha() > 60 && c.blue() > 200 && c.red() < 120; };
    EXPECT_GT(runs(img, top, true, accentish), 5); // dashed edge
}

TEST_F(OverlayTest, SelectionOutlineShowsOnItsOwnBlue)
{
    toggles(false, false, false, false);
    const LWElement box = rect("b", {60, 40, 80, 40}), line = LWElement::makeLine({150, 120}, {240, 120}, LWStroke(LWColor::black, 1));
    LWDocument doc = ed->doc();
    doc.pages[0].elements = {box, line};
    ed->setDoc(doc);
    const QColor blue = QColor::fromRgbF(0.18f, 0.6f, 1.0f); // the accent the outline is drawn in
    for (const QUuid &id : {box.id, line.id}) {
        ed->setSelection({id});
        QImage img(view().toSize(), QImage::Format_ARGB32_Premultiplied);
        img.fill(blue);
        QPainter p(&img);
        paintSelection(p, *ed, s, {}, {});
        p.end();
        // Across the top edge (or the line), away from the handles: light pixels beside the line.
        const QPoint across = (id == box.id ? v({80, 40}) : v({170, 120})).toPoint();
        int light = 0;
        for (int y = across.y() - 3; y <= across.y() + 3; ++y)
            light += qGray(img.pixel(across.x(), y)) > qGray(blue.rgb()) + 40;
        EXPECT_GE(light, 2) << (id == box.id ? "box" : "line");
    }
}

// Painting only a part draws, inside that part, exactly what painting the whole view draws there:
// grid lines, guides and snap lines that cross it are never left out.
TEST_F(OverlayTest, PaintingAPartMatchesTheWholeThere)
{
    toggles(true, true, true, true);
    LWDocument doc = ed->doc();
    doc.guides = {{QUuid::createUuid(), true, 40.2}, {QUuid::createUuid(), false, 100}, {QUuid::createUuid(), true, 200}};
    ed->setDoc(doc);
    ed->setSnapLines({{true, 63}, {false, 27}});
    const QImage whole = paint();
    for (const QRect area : {QRect(0, 0, 60, 60), QRect(99, 53, 40, 90), QRect(100, 226, 17, 17), QRect(96, 300, 20, 20),
                             QRect(430, 200, 110, 124), QRect(-20, -20, 30, 400)}) {
        QImage part(whole.size(), QImage::Format_ARGB32_Premultiplied);
        part.fill(Qt::transparent);
        QPainter p(&part);
        p.setClipRect(area);
        paintGuides(p, *ed, s, view(), area);
        p.end();
        // A clipped stroke may round its antialiased end by one level.
        int differing = 0;
        const QRect inside = area & whole.rect();
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const QRgb a = part.pixel(x, y), b = whole.pixel(x, y);
                differing += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                       std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))}) > 2;
            }
        EXPECT_EQ(differing, 0) << area.x() << "," << area.y();
    }
}
