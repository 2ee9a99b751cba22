#include "editor/editor_fixture.h"
#include "model/geometry.h"
#include "ui/canvas/gestures.h"

namespace {

constexpr auto shift = Qt::ShiftModifier;
constexpr auto plain = Qt::NoModifier;

// An editor with its gesture controller at scale 2 unless told otherwise.
struct Canvas {
    std::unique_ptr<LWEditor> ed;
    CanvasGestures g;
    explicit Canvas(std::unique_ptr<LWEditor> editor, double scale = 2) : ed(std::move(editor)), g(*ed)
    {
        g.setScale(scale);
    }
    // A press at page point a, moves to each page point, a release at the last one; the keys
    // held at the press may differ from those held later.
    void drag(QPointF a, const QList<QPointF> &to, Qt::KeyboardModifiers mods = Qt::NoModifier,
              std::optional<Qt::KeyboardModifiers> atPress = std::nullopt)
    {
        const QPointF va = g.toView(a);
        g.changed(va, va, atPress.value_or(mods));
        for (QPointF p : to)
            g.changed(va, g.toView(p), mods);
        g.ended(va, g.toView(to.isEmpty() ? a : to.last()), mods);
    }
    void click(QPointF a, Qt::KeyboardModifiers mods = Qt::NoModifier) { drag(a, {}, mods); }
    // The press alone: which mode it chose.
    CanvasGestures::Mode press(QPointF a, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const QPointF va = g.toView(a);
        g.changed(va, va, mods);
        const CanvasGestures::Mode mode = g.drag()->mode;
        g.ended(va, va, mods);
        return mode;
    }
    const LWElement &at(int i) const { return ed->elements().at(i); }
};

class GestureTest : public EditorTest {
protected:
    Canvas canvas(LWDocument doc, QList<QUuid> selection = {}, double scale = 2)
    {
        return Canvas(make(std::move(doc), std::move(selection)), scale);
    }
};

using Mode = CanvasGestures::Mode;

} // namespace

TEST_F(GestureTest, PressPicksByDistanceOnScreen)
{
    // Scale 2: handles reach 3.5 page points, guides 1.5, items 2 (1 outside the edge).
    const LWElement a = rect("a", {100, 100, 100, 50});
    LWDocument doc = letter({a});
    doc.guides = {{QUuid::createUuid(), true, 300}, {QUuid::createUuid(), true, 301}};
    auto c = canvas(doc, {a.id});
    // Bottom-right handle at (200, 150); guide 301; the item's left edge at 100.
    for (auto [p, mode, selected] :
         {std::tuple{QPointF(203.4, 150), Mode::resize, true}, {QPointF(203.6, 150), Mode::marquee, true},
          {QPointF(302.4, 400), Mode::guide, false}, {QPointF(302.6, 400), Mode::marquee, false},
          {QPointF(99.1, 120), Mode::move, false}, {QPointF(98.9, 120), Mode::marquee, false}}) {
        c.ed->setSelection(selected ? QList<QUuid>{a.id} : QList<QUuid>{});
        EXPECT_EQ(c.press(p), mode) << p.x();
    }
    // Of two guides in reach the later one wins.
    const QPointF va = c.g.toView({300.5, 500});
    c.g.changed(va, va, plain);
    EXPECT_EQ(c.g.drag()->guide, doc.guides[1].id);
    c.g.ended(va, va, plain);

    // Handles win over items on top unless locked.
    LWElement under = rect("under", {100, 100, 100, 50});
    const LWElement top = rect("top", {190, 140, 40, 40});
    auto h = canvas(letter({under, top}), {under.id});
    EXPECT_EQ(h.press({200, 150}), Mode::resize);
    under.locked = true;
    auto locked = canvas(letter({under, top}), {under.id});
    EXPECT_EQ(locked.press({200, 150}), Mode::move); // falls through to the item on top
    EXPECT_EQ(locked.ed->selection(), QList<QUuid>{top.id});
    // The knob of a rotated element sits where a press finds it; groups have none.
    LWElement turned = rect("t", {100, 100, 100, 50});
    turned.rotation = 90;
    auto r = canvas(letter({turned}), {turned.id});
    EXPECT_EQ(r.press(r.g.rotateHandle(turned)), Mode::rotate);
    for (QPointF p : r.g.handlePoints(turned))
        EXPECT_EQ(r.press(p), Mode::resize);
    const LWElement g = groupOf({rect("x", {100, 300, 50, 50})});
    auto gc = canvas(letter({g}), {g.id});
    EXPECT_NE(gc.press(gc.g.rotateHandle(g)), Mode::rotate);
}

TEST_F(GestureTest, ClicksChangeSelectionWithoutSteps)
{
    const LWElement a = rect("a", {100, 100, 100, 50}), b = rect("b", {300, 100, 50, 50});
    auto c = canvas(letter({a, b}), {b.id});
    c.ed->setEditingTextID(b.id);
    c.click({120, 120});
    EXPECT_EQ(c.ed->editingTextID(), std::nullopt); // another item than the edited one
    c.click({500, 500}, shift);
    EXPECT_EQ(c.ed->selection(), QList<QUuid>{a.id}); // kept with Shift
    c.click({320, 120}, shift);
    EXPECT_EQ(c.ed->selection(), (QList<QUuid>{a.id, b.id}));
    c.click({120, 120}, shift);
    EXPECT_EQ(c.ed->selection(), QList<QUuid>{b.id});
    c.ed->setEditingTextID(b.id);
    c.click({500, 500});
    EXPECT_TRUE(c.ed->selection().isEmpty());
    EXPECT_EQ(c.ed->editingTextID(), std::nullopt);
    EXPECT_EQ(c.ed->undoStack().size(), 0);
}

namespace {

// A rectangle, a line and a guide, and where a press starts each editing mode on them.
struct EditingDrags {
    struct Case {
        const char *what;
        QUuid selected;
        QPointF press;
    };
    LWElement a = rect("a", {100, 100, 100, 50});
    LWElement line = LWElement::makeLine({100, 300}, {200, 300}, LWStroke(LWColor::black, 2));
    LWDocument doc = withGuide(letter({a, line}));
    QList<Case> cases{{"move", a.id, {150, 125}},
                      {"resize", a.id, {200, 150}},
                      {"rotate", a.id, {150, 100 - 11}},
                      {"line end", line.id, {200, 300}},
                      {"guide", {}, {50, 500}}};

    static LWDocument withGuide(LWDocument doc)
    {
        doc.guides = {{QUuid::createUuid(), false, 500}};
        return doc;
    }
};

} // namespace

TEST_F(GestureTest, EveryEditingDragIsOneStepPastOnePointFive)
{
    const EditingDrags drags;
    const LWElement &a = drags.a;
    const LWDocument &doc = drags.doc;
    for (const EditingDrags::Case &k : drags.cases) {
        SCOPED_TRACE(k.what);
        auto c = canvas(doc, k.selected.isNull() ? QList<QUuid>{} : QList<QUuid>{k.selected});
        const LWDocument before = c.ed->doc();
        // Scale 2: 1.5 view points are 0.75 page points.
        c.drag(k.press, {k.press + QPointF(0.75, 0)});
        EXPECT_EQ(c.ed->undoStack().size(), 0);
        EXPECT_EQ(c.ed->doc(), before);
        QList<QPointF> path;
        for (int i = 0; i < 200; ++i)
            path << k.press + QPointF(0.8 + i % 7, (i % 5) * 0.5);
        c.drag(k.press, path);
        EXPECT_EQ(c.ed->undoStack().size(), 1);
        EXPECT_EQ(c.g.drag(), std::nullopt);
        EXPECT_TRUE(c.ed->snapLines().isEmpty());
    }
    // Out and back 200 times: exactly where it was.
    auto c = canvas(doc, {a.id});
    QList<QPointF> path;
    for (int i = 0; i < 200; ++i)
        path << QPointF(150 + 37.3 * (i % 3), 125 - 11.1 * (i % 4));
    path << QPointF(150, 125);
    c.drag({150, 125}, path);
    EXPECT_EQ(c.at(0).frame, a.frame);
    // A locked item is never hit: a marquee, no step.
    LWElement locked = a;
    locked.locked = true;
    auto l = canvas(letter({locked}), {locked.id});
    EXPECT_EQ(l.press({150, 125}), Mode::marquee);
    l.drag({150, 125}, {{170, 145}});
    EXPECT_EQ(l.ed->undoStack().size(), 0);
}

TEST_F(GestureTest, UndoDuringADragEndsItWithoutWriting)
{
    const EditingDrags drags;
    const LWDocument &doc = drags.doc;
    for (const EditingDrags::Case &k : drags.cases) {
        for (const bool begun : {true, false}) {
            SCOPED_TRACE(std::string(k.what) + (begun ? " after it began" : " before it began"));
            auto c = canvas(doc, k.selected.isNull() ? QList<QUuid>{} : QList<QUuid>{k.selected});
            c.ed->change(QStringLiteral("Name"), std::nullopt, [](LWDocument &d) { d.name = QStringLiteral("n"); });
            const LWDocument named = c.ed->doc();
            const QPointF va = c.g.toView(k.press);
            c.g.changed(va, va, plain);
            if (begun)
                c.g.changed(va, c.g.toView(k.press + QPointF(10, 10)), plain);
            c.ed->undo(); // the drag's own step, or the rename before it
            const LWDocument undone = c.ed->doc();
            EXPECT_EQ(undone, begun ? named : doc);
            c.g.changed(va, c.g.toView(k.press + QPointF(30, 20)), plain);
            c.g.ended(va, c.g.toView(k.press + QPointF(30, 20)), plain);
            EXPECT_EQ(c.ed->doc(), undone);
            EXPECT_EQ(c.ed->redoStack().size(), 1);
            EXPECT_EQ(c.ed->undoStack().size(), begun ? 1 : 0);
            EXPECT_EQ(c.g.drag(), std::nullopt);
            EXPECT_TRUE(c.ed->snapLines().isEmpty());
        }
    }
}

TEST_F(GestureTest, MoveAxisLockAndSnapping)
{
    const LWElement a = rect("a", {100, 100, 100, 50});
    auto c = canvas(letter({a}), {a.id}, 1);
    c.drag({150, 125}, {{160, 135}}, shift, plain);
    EXPECT_EQ(c.at(0).frame.origin(), QPointF(100, 110)); // a tie moves vertically
    c.drag({150, 140}, {{160, 149}}, shift, plain);
    EXPECT_EQ(c.at(0).frame.origin(), QPointF(110, 110));
    // 2 points right of the page centre line: snapped in x while Shift keeps it on y (Shift at
    // the press would toggle the selection instead).
    const LWElement b = rect("b", {308, 400, 50, 50});
    auto s = canvas(letter({b}), {b.id}, 1);
    s.drag({320, 420}, {{320, 460}}, shift, plain);
    EXPECT_EQ(s.at(0).frame.origin(), QPointF(306, 440));
}

TEST_F(GestureTest, RotationAndLineEnds)
{
    const LWElement a = rect("a", {100, 100, 100, 100}); // centre (150, 150)
    const struct {
        QPointF to;
        Qt::KeyboardModifiers mods;
        double angle;
    } turns[] = {{{250, 150}, plain, 90},
                 {{150, 250}, plain, 180},
                 {{50, 150}, plain, -90},
                 {{150 + 100 * std::sin(97 * M_PI / 180), 150 - 100 * std::cos(97 * M_PI / 180)}, shift, 90},
                 {{150 + 100 * std::sin(187.6 * M_PI / 180), 150 - 100 * std::cos(187.6 * M_PI / 180)}, shift, -165}};
    for (const auto &t : turns) {
        auto c = canvas(letter({a}), {a.id}, 1);
        c.drag(c.g.rotateHandle(a), {t.to}, t.mods);
        EXPECT_NEAR(c.at(0).rotation, t.angle, 1e-9) << t.to.x() << "," << t.to.y();
    }

    LWElement line = LWElement::makeLine({100, 300}, {200, 300}, LWStroke(LWColor::black, 2));
    auto c = canvas(letter({line}), {line.id}, 1);
    c.drag({200, 300}, {{260, 370}}, shift);
    const auto [from, to] = c.at(0).lineEnds();
    EXPECT_EQ(from, QPointF(100, 300));
    EXPECT_NEAR(to.x() - 100, to.y() - 300, 1e-9); // 45 degrees, the drag's length kept
    EXPECT_NEAR(std::hypot(to.x() - 100, to.y() - 300), std::hypot(160, 70), 1e-9);

    for (auto [deg, want] : {std::pair{22.4, 0.0}, {22.6, 45.0}, {-22.6, -45.0}, {180.0, 180.0}}) {
        const QPointF p = LWGeometry::constrain45({10, 10}, {10 + 5 * std::cos(deg * M_PI / 180), 10 + 5 * std::sin(deg * M_PI / 180)});
        EXPECT_NEAR(std::atan2(p.y() - 10, p.x() - 10) * 180 / M_PI, want, 1e-9) << deg;
        EXPECT_NEAR(std::hypot(p.x() - 10, p.y() - 10), 5, 1e-9);
    }

    // A moved end keeps the line's other properties.
    line.opacity = 0.5;
    line.name = QStringLiteral("Rule");
    const LWElement rebuilt = LWEditor::lineElement(line, {0, 0}, {10, 0});
    EXPECT_EQ(std::tuple(rebuilt.id, rebuilt.name, rebuilt.opacity, rebuilt.stroke),
              std::tuple(line.id, line.name, line.opacity, line.stroke));
    line.stroke.reset(); // a line never loses its stroke
    EXPECT_EQ(LWEditor::lineElement(line, {0, 0}, {10, 0}).stroke, LWStroke(LWColor::black, 1, 0));
}

TEST_F(GestureTest, ReleaseRules)
{
    LWDocument doc = letter();
    const double bleed = doc.bleed;
    doc.guides = {{QUuid::createUuid(), false, 100}};
    for (auto [y, kept] : {std::pair{-bleed - 1, false}, {-bleed, true}}) {
        auto c = canvas(doc, {}, 1);
        c.drag({50, 100}, {{50, y}});
        EXPECT_EQ(c.ed->doc().guides.size(), kept ? 1 : 0) << y;
    }

    // A text box whose bottom handle went up still holds its text.
    auto t = canvas(letter());
    t.ed->addText(QStringLiteral("Three lines\nof text\nhere"), {100, 100});
    const LWElement box = t.at(0);
    t.drag(t.g.handlePoints(box)[5], {box.frame.origin() + QPointF(box.frame.w / 2, 5)});
    EXPECT_GE(t.at(0).frame.height(), box.frame.height() - 1e-9);

    // Marquees: size, locked and hidden items, Shift order.
    LWElement a = rect("A", {10, 10, 20, 20}), b = rect("B", {40, 10, 20, 20}), cc = rect("C", {70, 10, 20, 20}),
              d = rect("D", {400, 400, 20, 20}), locked = rect("L", {20, 40, 5, 5}, true), hidden = rect("H", {30, 40, 5, 5});
    hidden.hidden = true;
    auto m = canvas(letter({a, b, cc, d, locked, hidden}), {}, 1);
    m.drag({0, 0}, {{2, 2}});
    EXPECT_TRUE(m.ed->selection().isEmpty());
    m.drag({5, 15}, {{45, 16}}); // 40 x 1 over A and B
    EXPECT_EQ(m.ed->selection(), (QList<QUuid>{a.id, b.id}));
    m.ed->setSelection({cc.id});
    m.drag({5, 5}, {{95, 50}}, shift);
    EXPECT_EQ(m.ed->selection(), (QList<QUuid>{cc.id, a.id, b.id}));
}

TEST_F(GestureTest, CreationMakesOneItemAndReturnsToSelect)
{
    struct Case {
        const char *what;
        LWDocument doc;
        LWTool tool;
        QPointF a, b;
        Qt::KeyboardModifiers mods;
        LWRect frame;
    };
    const LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    const Case cases[] = {
        {"rectangle click", letter(), LWTool::rectangle, {300, 200}, {300, 200}, plain, {220, 145, 160, 110}},
        {"card click", card, LWTool::rectangle, {100, 60}, {101, 61}, plain, {70, 40, 60, 40}},
        {"3 x 3 is a click", letter(), LWTool::ellipse, {300, 200}, {303, 203}, plain, {220, 145, 160, 110}},
        {"4 x 3", letter(), LWTool::ellipse, {300, 200}, {304, 203}, plain, {300, 200, 4, 3}},
        {"shift square", letter(), LWTool::rectangle, {300, 200}, {400, 250}, shift, {300, 200, 50, 50}},
        {"shift square up-left", letter(), LWTool::rectangle, {300, 200}, {200, 150}, shift, {250, 150, 50, 50}},
        {"shift thin is a click", letter(), LWTool::rectangle, {300, 200}, {400, 203}, shift, {220, 145, 160, 110}},
        {"icon", letter(), LWTool::icon, {300, 200}, {400, 260}, plain, {300, 200, 60, 60}},
        {"polygon click is square", letter(), LWTool::polygon, {300, 200}, {300, 200}, plain, {220, 120, 160, 160}},
        {"star click is square", card, LWTool::star, {100, 60}, {101, 61}, plain, {70, 30, 60, 60}},
        {"custom 250 x 600 is small", LWDocument::blank(LWDocKind::custom, "custom", 250, 600, 9, "c"),
         LWTool::rectangle, {100, 100}, {100, 100}, plain, {70, 80, 60, 40}},
        {"custom 300 x 300 is not", LWDocument::blank(LWDocKind::custom, "custom", 300, 300, 9, "c"),
         LWTool::rectangle, {150, 150}, {150, 150}, plain, {70, 95, 160, 110}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        auto c = canvas(k.doc, {}, 1);
        c.ed->setTool(k.tool);
        c.drag(k.a, {k.b}, k.mods);
        ASSERT_EQ(c.ed->elements().size(), 1);
        EXPECT_EQ(c.at(0).frame, k.frame);
        EXPECT_EQ(c.ed->undoStack().size(), 1);
        EXPECT_EQ(c.ed->tool(), LWTool::select);
        EXPECT_EQ(c.ed->selection(), QList<QUuid>{c.at(0).id});
        EXPECT_EQ(c.g.creating(), std::nullopt);
        if (k.tool == LWTool::icon)
            EXPECT_EQ(c.at(0).icon, c.ed->iconForTool());
    }

    // Lines: a click is a default line, Shift keeps the drag's length on 45 degrees.
    for (auto [doc, len, width] : {std::tuple{letter(), 160.0, 3.0}, {card, 60.0, 1.5}}) {
        auto c = canvas(doc, {}, 1);
        c.ed->setTool(LWTool::line);
        c.click({50, 50});
        EXPECT_EQ(c.at(0).lineEnds(), std::pair(QPointF(50, 50), QPointF(50 + len, 50)));
        EXPECT_EQ(c.at(0).stroke, LWStroke(LWColor::hex(CanvasGestures::inkColor), width, 0));
    }
    auto l = canvas(letter(), {}, 1);
    l.ed->setTool(LWTool::line);
    l.drag({100, 100}, {{200, 103}}, shift);
    const auto [from, to] = l.at(0).lineEnds();
    EXPECT_EQ(to.y(), from.y());
    EXPECT_NEAR(to.x() - from.x(), std::hypot(100, 3), 1e-9);

    // Text: a drag 10 wide gives 20; a click puts the corner up and left of it and edits it.
    auto t = canvas(letter(), {}, 1);
    t.ed->setTool(LWTool::text);
    t.drag({200, 200}, {{210, 240}});
    EXPECT_EQ(t.at(0).frame.width(), 20);
    for (auto [doc, dx, dy] : {std::tuple{letter(), 80.0, 55.0}, {card, 30.0, 20.0}}) {
        auto c = canvas(doc, {}, 1);
        c.ed->setTool(LWTool::text);
        c.click({120, 90});
        EXPECT_EQ(c.at(0).frame.origin(), QPointF(120 - dx, 90 - dy));
        EXPECT_EQ(c.ed->editingTextID(), c.at(0).id);
        EXPECT_EQ(c.ed->tool(), LWTool::select);
    }
}
