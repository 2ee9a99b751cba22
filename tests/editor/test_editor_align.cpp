#include "editor_fixture.h"

#include "model/geometry.h"

namespace {

LWElement box(double x, double y, double w, double h) { return ::box(LWRect(x, y, w, h)); }
LWRect boundsOf(const LWEditor &ed, const QUuid &id) { return LWGeometry::bounds(*ed.element(id)); }

} // namespace

TEST_F(EditorTest, AlignOneItemToThePageByItsRotatedBounds)
{
    LWElement turned = box(100, 100, 100, 50);
    turned.rotation = 90;
    const LWElement locked = rect("L", {300, 300, 20, 20}, true), group = groupOf({box(50, 60, 10, 10)});
    auto ed = make(letter({turned, locked, group}));
    ed->setSelection({turned.id, locked.id}); // the locked one does not count
    ed->align(LWAlign::left);
    EXPECT_DOUBLE_EQ(ed->element(turned.id)->frame.x, -25); // its rotated bounds touch 0
    EXPECT_EQ(ed->element(turned.id)->rotation, 90);
    EXPECT_EQ(*ed->element(locked.id), locked);
    ed->align(LWAlign::vMiddle);
    EXPECT_DOUBLE_EQ(boundsOf(*ed, turned.id).midY(), 396);
    ed->align(LWAlign::right);
    EXPECT_DOUBLE_EQ(boundsOf(*ed, turned.id).maxX(), 612);

    // Groups move whole; an item already in place takes no step.
    ed->setSelection({group.id});
    ed->align(LWAlign::top);
    EXPECT_EQ(ed->element(group.id)->children->first().frame, LWRect(50, 0, 10, 10));
    const LWDocument before = ed->doc();
    ed->align(LWAlign::top);
    EXPECT_EQ(ed->doc().pages, before.pages);
    EXPECT_EQ(ed->undoStack().size(), 4);
}

TEST_F(EditorTest, AlignTwoItemsToTheirUnion)
{
    const LWElement a = box(10, 20, 30, 40), b = box(100, 200, 50, 10); // union 10...150 x 20...210
    const struct {
        LWAlign how;
        LWRect a, b;
    } cases[] = {
        {LWAlign::left, {10, 20, 30, 40}, {10, 200, 50, 10}},
        {LWAlign::hCenter, {65, 20, 30, 40}, {55, 200, 50, 10}},
        {LWAlign::right, {120, 20, 30, 40}, {100, 200, 50, 10}},
        {LWAlign::top, {10, 20, 30, 40}, {100, 20, 50, 10}},
        {LWAlign::vMiddle, {10, 95, 30, 40}, {100, 110, 50, 10}},
        {LWAlign::bottom, {10, 170, 30, 40}, {100, 200, 50, 10}},
    };
    for (const auto &c : cases) {
        auto ed = make(letter({a, b}), {b.id, a.id});
        ed->align(c.how);
        EXPECT_EQ(ed->element(a.id)->frame, c.a) << LWEnum::text(c.how).toStdString();
        EXPECT_EQ(ed->element(b.id)->frame, c.b) << LWEnum::text(c.how).toStdString();
    }
}

TEST_F(EditorTest, DistributeSpacesItemsEvenly)
{
    // Spans on the chosen axis, selected in this order, and where they end up.
    struct Span {
        double lo, hi;
    };
    const struct {
        QList<Span> spans, expected;
    } cases[] = {
        {{{0, 10}, {45, 65}, {70, 100}}, {{0, 10}, {30, 50}, {70, 100}}},
        {{{70, 100}, {0, 10}, {45, 65}}, {{70, 100}, {0, 10}, {30, 50}}}, // selection order is not space order
        {{{0, 10}, {10, 110}, {70, 80}}, {{0, 10}, {5, 105}, {100, 110}}}, // overlap: gap -5
        {{{0, 10}, {40, 60}, {45, 55}}, {{0, 10}, {20, 40}, {50, 60}}},    // equal centres keep selection order
        {{{0, 10}, {45, 55}, {40, 60}}, {{0, 10}, {20, 30}, {40, 60}}},
    };
    for (bool horizontal : {true, false})
        for (const auto &c : cases) {
            QList<LWElement> elements;
            for (const Span &s : c.spans)
                elements.append(horizontal ? box(s.lo, 300, s.hi - s.lo, 10) : box(300, s.lo, 10, s.hi - s.lo));
            elements[1].hidden = true; // hidden items count
            auto ed = make(letter(elements), ids(elements));
            ed->distribute(horizontal);
            EXPECT_EQ(ed->undoStack().size(), 1);
            for (qsizetype i = 0; i < elements.size(); ++i) {
                const LWRect f = ed->element(elements[i].id)->frame;
                EXPECT_EQ(horizontal ? f.minX() : f.minY(), c.expected[i].lo) << i << " " << horizontal;
                EXPECT_EQ(horizontal ? f.maxX() : f.maxY(), c.expected[i].hi) << i << " " << horizontal;
                EXPECT_EQ(horizontal ? f.y : f.x, 300); // the other axis stays
            }
        }

    // Enough equal centres that an unstable sort would reorder them.
    QList<LWElement> many;
    for (int k = 0; k < 40; ++k)
        many.append(box(299 - (k * 7) % 40, 0, 2 + 2 * ((k * 7) % 40), 10));
    QList<QUuid> selection;
    for (int k = 0; k < 40; ++k)
        selection.append(many[(k * 13) % 40].id);
    auto ed = make(letter(many), selection);
    const auto frame = [&](qsizetype i) { return ed->element(selection[i])->frame; };
    const double first = frame(0).minX();
    ed->distribute(true);
    EXPECT_EQ(frame(0).minX(), first);
    const double gap = frame(1).minX() - frame(0).maxX();
    for (qsizetype i = 2; i < selection.size(); ++i)
        EXPECT_NEAR(frame(i).minX() - frame(i - 1).maxX(), gap, 1e-9) << i;
}

