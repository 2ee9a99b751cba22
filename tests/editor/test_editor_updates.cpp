#include "editor_fixture.h"

#include "model/geometry.h"

namespace {

const LWElement &on(const LWEditor &ed, const QUuid &id, int page = 0)
{
    for (const LWElement &e : ed.doc().pages.at(page).elements)
        if (e.id == id)
            return e;
    static const LWElement none;
    return none;
}

LWDocument withLocked(const QUuid &id, LWDocument doc)
{
    for (LWElement &e : doc.pages[0].elements)
        e.locked = e.locked || e.id == id;
    return doc;
}

LWDocument withHidden(const QUuid &id, LWDocument doc)
{
    for (LWElement &e : doc.pages[0].elements)
        e.hidden = e.hidden || e.id == id;
    return doc;
}

std::optional<QUuid> hitId(const LWEditor &ed, QPointF p, double tolerance, bool includeLocked = false)
{
    const auto e = ed.hitTest(p, tolerance, includeLocked);
    return e ? std::optional(e->id) : std::nullopt;
}

const auto renameElement = [](LWElement &e) { e.name = QStringLiteral("renamed"); };

} // namespace

TEST_F(EditorTest, UpdatesReachUnlockedTopLevelTargetsOnceInPageOrder)
{
    const SampleCard s;
    auto ed = make(withLocked(s.a, s.doc));
    ed->setSelection({s.a, s.b});
    EXPECT_TRUE(ed->updateSelected(QStringLiteral("Name"), std::nullopt, renameElement));
    EXPECT_EQ(on(*ed, s.a).name, QStringLiteral("a"));
    EXPECT_EQ(on(*ed, s.b).name, QStringLiteral("renamed"));
    EXPECT_EQ(ed->undoStack().size(), 1);

    // Nothing qualifies: no step, design untouched.
    const struct {
        const char *what;
        QList<QUuid> ids;
    } none[] = {{"locked only", {s.a}}, {"other side", {s.c}}, {"group child", {s.child}}, {"empty", {}}};
    for (const auto &c : none) {
        ed->markSaved(QUrl());
        EXPECT_FALSE(ed->updateElements(c.ids, QStringLiteral("Name"), std::nullopt, renameElement)) << c.what;
        EXPECT_EQ(ed->undoStack().size(), 1) << c.what;
        EXPECT_FALSE(ed->dirty()) << c.what;
    }

    // With locked ones every id counts: a step even when nothing is on the page.
    EXPECT_TRUE(ed->updateElements({s.a, s.c}, QStringLiteral("Name"), std::nullopt, renameElement, true));
    EXPECT_EQ(on(*ed, s.a).name, QStringLiteral("renamed"));
    EXPECT_EQ(ed->undoStack().size(), 2);
    ed->markSaved(QUrl());
    LWDocument before = ed->doc();
    EXPECT_TRUE(ed->updateElements({s.c}, QStringLiteral("Name"), std::nullopt, renameElement, true));
    EXPECT_EQ(ed->undoStack().size(), 3);
    EXPECT_TRUE(ed->dirty());
    before.modified = ed->doc().modified;
    EXPECT_EQ(ed->doc(), before);

    QList<QString> visited;
    ed->updateElements({s.g, s.b, s.a, s.b}, QStringLiteral("Visit"), std::nullopt,
                       [&](LWElement &e) { visited.append(e.name); }, true);
    EXPECT_EQ(visited, (QList<QString>{QStringLiteral("renamed"), QStringLiteral("renamed"), QStringLiteral("g")}));
}

TEST_F(EditorTest, HiddenAndLockedElementsInSelectionOperations)
{
    const SampleCard s;
    auto ed = make(withHidden(s.b, withLocked(s.a, s.doc)));
    ed->selectAll();
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.g});
    EXPECT_FALSE(ed->hitTest(QPointF(60, 40), 1)); // b, hidden, is the only one there

    ed->setSelection({s.b});
    ed->nudge(5, 0);
    EXPECT_EQ(on(*ed, s.b).frame.x, 35);
    ed->setSelection({s.a, s.b});
    ed->deleteSelection();
    EXPECT_TRUE(ed->selection().isEmpty());
    EXPECT_EQ(ed->elements().size(), 2); // a stays, locked

    const qsizetype steps = ed->undoStack().size();
    ed->setSelection({s.a});
    ed->deleteSelection();
    ed->nudge(1, 1);
    ed->setLocked(true, std::nullopt); // a, already locked: still a step
    EXPECT_EQ(ed->undoStack().size(), steps + 1);
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.a});
    ed->setLocked(false);
    EXPECT_FALSE(on(*ed, s.a).locked);
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.a});

    ed->setSelection({});
    ed->setLocked(true);
    EXPECT_EQ(ed->undoStack().size(), steps + 2);
    ed->setHidden(true, {s.g, s.c});
    EXPECT_TRUE(on(*ed, s.g).hidden);
    EXPECT_FALSE(on(*ed, s.c, 1).hidden);
    EXPECT_EQ(ed->undoStack().size(), steps + 3);
}

TEST_F(EditorTest, NudgesCoalesceAndFramesSkipLockedElements)
{
    const SampleCard s;
    auto ed = make(withLocked(s.a, s.doc));
    ed->setSelection({s.b});
    for (int i = 0; i < 3; ++i) {
        advance(0.2);
        ed->nudge(1, 0);
    }
    EXPECT_EQ(on(*ed, s.b).frame.x, 33);
    EXPECT_EQ(ed->undoStack().size(), 1);
    advance(2);
    ed->nudge(1, 0);
    EXPECT_EQ(ed->undoStack().size(), 2);
    ed->undo();
    ed->undo();
    EXPECT_EQ(on(*ed, s.b).frame.x, 30);

    ed->setSelection({s.a});
    advance(2);
    ed->nudge(1, 0);
    ed->setFrame(s.a, LWRect(0, 0, 1, 1));
    ed->setFrame(s.child, LWRect(0, 0, 1, 1));
    EXPECT_EQ(ed->undoStack().size(), 0);

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
    const QPointF both(35, 25); // a and b overlap here, b on top
    const struct {
        const char *what;
        LWDocument doc;
        bool includeLocked;
        std::optional<QUuid> hit;
    } cases[] = {
        {"upper wins", s.doc, false, s.b},
        {"locked upper skipped", withLocked(s.b, s.doc), false, s.a},
        {"locked upper asked for", withLocked(s.b, s.doc), true, s.b},
        {"hidden upper", withHidden(s.b, s.doc), true, s.a},
    };
    for (const auto &c : cases)
        EXPECT_EQ(hitId(*make(c.doc), both, 2, c.includeLocked), c.hit) << c.what;

    // Groups take the whole tolerance around their bounds, everything else half of it.
    auto ed = make(s.doc);
    const double tol = 4;
    const LWRect gb = LWGeometry::bounds(*ed->element(s.g));
    EXPECT_EQ(hitId(*ed, QPointF(gb.maxX() + 0.75 * tol, gb.midY()), tol), s.g);
    EXPECT_FALSE(ed->hitTest(QPointF(gb.maxX() + 1.01 * tol, gb.midY()), tol));
    EXPECT_FALSE(ed->hitTest(QPointF(70 + 0.75 * tol, 35), tol)); // right of b
    ed->setSide(1);
    ed->setHidden(true, {s.c});
    EXPECT_FALSE(ed->hitTest(QPointF(1, 1), tol));
    EXPECT_FALSE(make(LWDocument::blank(LWSizePreset::letter, std::nullopt))->hitTest(QPointF(1, 1), tol));
}

TEST_F(EditorTest, AddAndBackground)
{
    const SampleCard s;
    auto ed = make(s.doc);
    ed->setSelection({s.a});
    const LWElement e = LWElement::makeShape(LWShapeKind::star, LWRect(1, 2, 3, 4), LWFill::none(), std::nullopt);
    ed->add(e, false);
    EXPECT_EQ(ed->elements().last(), e);
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.a});
    const LWElement f = e.duplicated();
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
