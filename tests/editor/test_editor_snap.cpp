#include "editor_fixture.h"

#include "model/geometry.h"

using Lines = QList<LWSnapLine>;
using Coords = QList<double>;

namespace {

LWGuide guide(bool vertical, double position) { return {QUuid::createUuid(), vertical, position}; }

} // namespace

TEST_F(EditorTest, SnapPicksTheNearestTargetPerAxis)
{
    const struct {
        QList<double> guides; // vertical
        LWRect rect;
        double threshold;
        QPointF offset;
        Lines lines;
    } cases[] = {
        // Centre 307 is 1 pt from the page centre, its left edge 302 is 4 pt off and loses.
        {{}, {302, 500, 10, 10}, 5, {-1, 0}, {{true, 306}}},
        {{}, {302, 392, 10, 10}, 5, {-1, -1}, {{true, 306}, {false, 396}}}, // the vertical line first
        {{110, 100}, {105, 600, 0, 0}, 5, {5, 0}, {{true, 110}}}, // equal distance: the earlier target
        {{100, 110}, {105, 600, 0, 0}, 5, {-5, 0}, {{true, 100}}},
        {{100}, {105, 600, 0, 0}, 4.999, {}, {}},
        {{112, 98}, {100, 600, 10, 0}, 3, {-2, 0}, {{true, 98}}}, // min edge first, whatever the target order
        {{111, 98}, {100, 600, 10, 0}, 3, {1, 0}, {{true, 111}}}, // only strictly nearer replaces
    };
    for (const auto &c : cases) {
        LWDocument doc = letter();
        for (double g : c.guides)
            doc.guides.append(guide(true, g));
        auto ed = make(doc);
        const LWEditor::SnapResult r = ed->snap(c.rect, {}, c.threshold);
        EXPECT_EQ(r.offset, c.offset) << &c - cases;
        EXPECT_EQ(r.lines, c.lines) << &c - cases;
    }
    auto off = make(letter());
    off->setSnapping(false);
    const LWEditor::SnapResult r = off->snap(cases[1].rect, {}, 5);
    EXPECT_EQ(r.offset, QPointF());
    EXPECT_TRUE(r.lines.isEmpty());
}

TEST_F(EditorTest, SnapTargetsInTheirOrder)
{
    LWDocument doc = letter();
    doc.guides = {guide(true, 306), guide(false, 40), guide(true, 7)};
    LWElement plain = box(LWRect(10, 20, 30, 40));
    LWElement hidden = box(LWRect(100, 100, 10, 10));
    hidden.hidden = true;
    LWElement excluded = box(LWRect(200, 200, 10, 10));
    LWElement locked = box(LWRect(300, 300, 10, 20));
    locked.locked = true;
    LWElement turned = box(LWRect(100, 100, 100, 50));
    turned.rotation = 90; // bounds 125...175 across, 75...175 down
    doc.pages[0].elements = {plain, hidden, excluded, locked, turned};
    auto ed = make(doc);

    const LWEditor::SnapTargets t = ed->snapTargets({excluded.id});
    EXPECT_EQ(t.xs, (Coords{0, 306, 612, 18, 594, 306, 7, 10, 25, 40, 300, 305, 310, 125, 150, 175}));
    EXPECT_EQ(t.ys, (Coords{0, 396, 792, 18, 774, 40, 20, 40, 60, 300, 310, 320, 75, 125, 175}));

    // Group children are not visited; the other side's elements are not either.
    LWElement group(LWElementKind::group, QStringLiteral("g"), LWRect(0, 0, 50, 50));
    group.children = QList<LWElement>{box(LWRect(500, 500, 5, 5))};
    doc.pages[0].elements = {group};
    doc.guides.clear();
    ed->setDoc(doc);
    EXPECT_EQ(ed->snapTargets({}).xs, (Coords{0, 306, 612, 18, 594, 0, 25, 50}));
}

TEST_F(EditorTest, SnapSeesTheGridPointOfEachCandidateWhileShown)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    doc.safe = 0; // keep the safe line off the grid's 9
    auto ed = make(doc);
    ed->setShowGrid(true);
    const struct {
        double at, threshold, offset;
    } cases[] = {{10, 1.5, -1}, {13.5, 5, 4.5}, {22.5, 5, 4.5}, {100, 1.5, -1}};
    for (const auto &c : cases) {
        const LWEditor::SnapResult r = ed->snap(LWRect(c.at, 40, 0, 0), {}, c.threshold);
        EXPECT_EQ(r.offset.x(), c.offset) << c.at;
    }
    // A page line at the same distance as the grid point comes first.
    EXPECT_EQ(ed->snap(LWRect(130.5, 40, 0, 0), {}, 5).lines.first(), (LWSnapLine{true, 126}));
    ed->setShowGrid(false);
    EXPECT_TRUE(ed->snap(LWRect(10, 40, 0, 0), {}, 1.5).lines.isEmpty());
}

TEST(EditorHandles, HandlePointsRunClockwiseFromTopLeft)
{
    const LWRect r(10, 20, 100, 50);
    const QPointF expected[8] = {{10, 20}, {60, 20}, {110, 20}, {110, 45}, {110, 70}, {60, 70}, {10, 70}, {10, 45}};
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(LWEditor::handlePoint(n, r), expected[n]) << n;
}

TEST(EditorHandles, ResizedClampsAndKeepsProportions)
{
    const LWElement el = box(LWRect(100, 100, 100, 50));
    const struct {
        LWRect frame;
        int handle;
        QPointF to;
        bool keepAspect;
        LWRect expected;
    } cases[] = {
        {{100, 100, 100, 50}, 0, {0, 90}, true, {80, 90, 120, 60}},
        {{100, 100, 100, 50}, 0, {0, 90}, false, {0, 90, 200, 60}},
        {{0, 0, 100, 50}, 4, {-50, 100}, true, {0, 0, 2, 1}},  // no second minimum
        {{100, 100, 100, 50}, 7, {300, 0}, false, {198, 100, 2, 50}}, // past the far edge
        {{100, 100, 100, 50}, 1, {0, 170}, false, {100, 148, 100, 2}},
        {{100, 100, 100, 50}, 3, {250, 0}, true, {100, 100, 150, 50}}, // edges ignore keepAspect
        {{100, 100, 100, 50}, 5, {0, 300}, true, {100, 100, 100, 200}},
        {{100, 100, 0, 50}, 2, {150, 80}, true, {100, 80, 50, 70}},    // no proportion to keep
    };
    for (const auto &c : cases) {
        LWElement e = el;
        e.frame = c.frame;
        EXPECT_EQ(LWEditor::resized(e, c.handle, c.to, c.keepAspect), c.expected) << c.handle;
    }

    // Any corner, any point: 2 : 1, held at the opposite corner.
    const QPointF points[] = {{0, 0}, {400, 120}, {130, 400}, {-300, -20}, {150, 125}};
    for (int handle : {0, 2, 4, 6})
        for (QPointF to : points) {
            const LWRect r = LWEditor::resized(el, handle, to, true);
            EXPECT_NEAR(r.width() / r.height(), 2, 1e-12) << handle;
            const QPointF held = LWEditor::handlePoint((handle + 4) % 8, r) - LWEditor::handlePoint((handle + 4) % 8, el.frame);
            EXPECT_NEAR(held.manhattanLength(), 0, 1e-12) << handle;
        }
}

TEST(EditorHandles, RotatedFrameKeepsItsOppositeHandleOnThePage)
{
    for (double angle : {30.0, 90.0, -135.0})
        for (int handle = 0; handle < 8; ++handle)
            for (bool keepAspect : {false, true}) {
                LWElement e = box(LWRect(100, 100, 100, 50));
                e.rotation = angle;
                const int anchor = (handle + 4) % 8;
                const QPointF before = LWGeometry::rotation(e).map(LWEditor::handlePoint(anchor, e.frame));
                e.frame = LWEditor::resized(e, handle, QPointF(260, 40), keepAspect);
                const QPointF after = LWGeometry::rotation(e).map(LWEditor::handlePoint(anchor, e.frame));
                EXPECT_NEAR(after.x(), before.x(), 1e-9) << angle << " " << handle;
                EXPECT_NEAR(after.y(), before.y(), 1e-9) << angle << " " << handle;
            }
}
