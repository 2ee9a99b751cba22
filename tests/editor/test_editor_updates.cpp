#include "editor_fixture.h"

#include "model/geometry.h"

namespace {

const LWElement &on(const LWEditor &ed, const QUuid &id, int page = 0)
{
    static const LWElement none;
    for (const LWElement &e : ed.doc().pages.at(page).elements)
        if (e.id == id)
            return e;
    return none;
}

// The card with the named front elements locked and hidden.
LWDocument with(LWDocument doc, const QUuid &locked, const QUuid &hidden = {})
{
    for (LWElement &e : doc.pages[0].elements) {
        e.locked = e.locked || e.id == locked;
        e.hidden = e.hidden || e.id == hidden;
    }
    return doc;
}

const auto renameElement = [](LWElement &e) { e.name = QStringLiteral("renamed"); };

} // namespace

TEST_F(EditorTest, UpdatesReachUnlockedTopLevelTargetsOnceInPageOrder)
{
    const SampleCard s;
    auto ed = make(with(s.doc, s.a), {s.a, s.b});
    EXPECT_TRUE(ed->updateSelected(QStringLiteral("Name"), std::nullopt, renameElement));
    EXPECT_EQ(names(ed->elements()), (QStringList{"a", "renamed", "g"}));
    EXPECT_EQ(ed->undoStack().size(), 1);

    // With locked ones every id counts; an id naming nothing on the page changes nothing: no step.
    EXPECT_TRUE(ed->updateElements({s.a, s.c}, QStringLiteral("Name"), std::nullopt, renameElement, true));
    EXPECT_EQ(on(*ed, s.a).name, QStringLiteral("renamed"));
    const LWDocument before = ed->doc();
    EXPECT_FALSE(ed->updateElements({s.c}, QStringLiteral("Name"), std::nullopt, renameElement, true));
    EXPECT_EQ(ed->undoStack().size(), 2);
    EXPECT_EQ(ed->doc(), before);

    QStringList visited;
    ed->updateElements({s.g, s.b, s.a, s.b}, QStringLiteral("Visit"), std::nullopt,
                       [&](LWElement &e) { visited.append(e.name); }, true);
    EXPECT_EQ(visited, (QStringList{"renamed", "renamed", "g"}));
}

TEST_F(EditorTest, HiddenAndLockedElementsInSelectionOperations)
{
    const SampleCard s;
    auto ed = make(with(s.doc, s.a, s.b));
    ed->selectAll();
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.g});
    ed->setSelection({s.b});
    ed->nudge(5, 0); // hidden ones move
    EXPECT_EQ(on(*ed, s.b).frame.x, 35);
    ed->setSelection({s.a, s.b});
    ed->deleteSelection();
    EXPECT_TRUE(ed->selection().isEmpty());
    EXPECT_EQ(ids(ed->elements()), (QList<QUuid>{s.a, s.g})); // a stays, locked

    // Locking reaches locked elements, and takes no step when nothing changes.
    ed->setSelection({s.a});
    ed->setLocked(true, std::nullopt);
    EXPECT_EQ(ed->undoStack().size(), 2);
    ed->setLocked(false);
    EXPECT_FALSE(on(*ed, s.a).locked);
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.a});
    ed->setHidden(true, {s.g, s.c});
    EXPECT_TRUE(on(*ed, s.g).hidden);
    EXPECT_FALSE(on(*ed, s.c, 1).hidden);
    EXPECT_EQ(ed->undoStack().size(), 4);
}

TEST_F(EditorTest, NudgesCoalesceAndFramesFollowTheKind)
{
    const SampleCard s;
    auto ed = make(s.doc, {s.b});
    for (int i = 0; i < 3; ++i) {
        advance(0.2);
        ed->nudge(1, 0);
    }
    EXPECT_EQ(on(*ed, s.b).frame.x, 33);
    EXPECT_EQ(ed->undoStack().size(), 1);
    advance(2);
    ed->nudge(1, 0);
    EXPECT_EQ(ed->undoStack().size(), 2);

    // A group's frame moves and scales its members; the two ends of a line are taken as given.
    ed->setFrame(s.g, LWRect(0, 0, 80, 60));
    EXPECT_EQ(on(*ed, s.g).children->first().frame, LWRect(0, 0, 80, 60));
    const LWElement line = LWElement::makeLine(QPointF(0, 0), QPointF(10, 10), LWStroke(LWColor::black, 1));
    ed->add(line);
    ed->setFrame(line.id, LWRect(5, 5, -4, 0));
    EXPECT_EQ(on(*ed, line.id).frame, LWRect(5, 5, -4, 0));
}

TEST_F(EditorTest, HitTestFindsTheTopMostTarget)
{
    const SampleCard s;
    const struct {
        LWDocument doc;
        bool includeLocked;
        std::optional<QUuid> hit;
    } cases[] = {
        {s.doc, false, s.b},                 // a and b overlap at the point, b on top
        {with(s.doc, s.b), false, s.a},      // locked upper skipped
        {with(s.doc, s.b), true, s.b},       // unless asked for
        {with(s.doc, {}, s.b), true, s.a},   // hidden upper skipped
        {with(s.doc, s.a, s.b), false, {}},
    };
    for (const auto &c : cases) {
        const auto hit = make(c.doc)->hitTest(QPointF(35, 25), 2, c.includeLocked);
        EXPECT_EQ(hit ? std::optional(hit->id) : std::nullopt, c.hit) << &c - cases;
    }

    // Groups take the whole tolerance around their bounds, everything else half of it.
    auto ed = make(s.doc);
    const LWRect gb = LWGeometry::bounds(*ed->element(s.g));
    EXPECT_EQ(ed->hitTest(QPointF(gb.maxX() + 3, gb.midY()), 4).value_or(LWElement()).id, s.g);
    EXPECT_FALSE(ed->hitTest(QPointF(gb.maxX() + 4.04, gb.midY()), 4));
    EXPECT_FALSE(ed->hitTest(QPointF(73, 35), 4)); // right of b
    EXPECT_FALSE(make(with(s.doc, {}, s.g))->hitTest(gb.center(), 4)); // a hidden group too
    EXPECT_FALSE(make(letter())->hitTest(QPointF(1, 1), 4));
}

TEST_F(EditorTest, AddAndBackground)
{
    const SampleCard s;
    auto ed = make(s.doc, {s.a});
    const LWElement e = box({1, 2, 3, 4}), f = e.duplicated();
    ed->add(e, false);
    EXPECT_EQ(ed->elements().last(), e);
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.a});
    EXPECT_TRUE(ed->add(f));
    EXPECT_EQ(ed->selection(), QList<QUuid>{f.id});

    ed->setSide(1);
    for (int i = 0; i < 3; ++i) {
        advance(0.5);
        ed->setBackground(LWFill::solid(LWColor(0, 0, i / 2.0)), QStringLiteral("bg"));
    }
    EXPECT_EQ(ed->doc().pages[1].background, LWFill::solid(LWColor(0, 0, 1)));
    EXPECT_EQ(ed->doc().pages[0].background, s.doc.pages[0].background);
    EXPECT_EQ(ed->undoStack().size(), 3);
}
