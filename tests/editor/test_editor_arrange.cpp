#include "editor_fixture.h"

#include <QStringList>

namespace {

LWElement rect(const QString &name, const LWRect &frame = {0, 0, 10, 10})
{
    return LWElement::makeShape(LWShapeKind::rectangle, frame, LWFill::solid(LWColor::black), std::nullopt, 0, name);
}

LWElement groupOf(const QString &name, const QList<LWElement> &children)
{
    LWElement g(LWElementKind::group, name, {0, 0, 10, 10});
    g.children = children;
    return g;
}

// A Letter flyer whose one page holds the given elements.
LWDocument pageOf(const QList<LWElement> &elements)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = elements;
    return doc;
}

// One-letter names, back to front: "ABCD".
QList<LWElement> lettered(const char *names)
{
    QList<LWElement> out;
    for (const char *p = names; *p; ++p)
        out.append(rect(QString(QLatin1Char(*p))));
    return out;
}

QString order(const LWEditor &ed)
{
    QString s;
    for (const LWElement &e : ed.elements())
        s += e.name;
    return s;
}

QList<QUuid> idsOf(const LWEditor &ed, const char *names)
{
    QList<QUuid> out;
    for (const char *p = names; *p; ++p)
        for (const LWElement &e : ed.elements())
            if (e.name == QLatin1Char(*p))
                out.append(e.id);
    return out;
}

const QString groupMessage = QStringLiteral("Select two or more items to group them.");

} // namespace

TEST_F(EditorTest, GroupGathersMembersInPageOrderAtTheTopMemberPlace)
{
    auto ed = make(pageOf(lettered("ABCD")));
    ed->setSelection(idsOf(*ed, "DB"));
    ed->group();
    ASSERT_EQ(order(*ed), QStringLiteral("ACGroup"));
    const LWElement &g = ed->elements().at(2);
    EXPECT_EQ(g.kind, LWElementKind::group);
    ASSERT_TRUE(g.children);
    ASSERT_EQ(g.children->size(), 2);
    EXPECT_EQ(g.children->at(0).name, QStringLiteral("B"));
    EXPECT_EQ(g.children->at(1).name, QStringLiteral("D"));
    EXPECT_EQ(ed->selection(), QList<QUuid>{g.id});
    EXPECT_EQ(ed->undoStack().size(), 1);
    EXPECT_FALSE(ed->message());
    ed->undo();
    EXPECT_EQ(order(*ed), QStringLiteral("ABCD"));
}

TEST_F(EditorTest, GroupFrameEnclosesUnturnedFramesAndTakesHiddenMembers)
{
    LWElement bar = rect(QStringLiteral("bar"), {0, 0, 100, 20});
    bar.rotation = 90;
    LWElement dot = rect(QStringLiteral("dot"), {200, 0, 10, 10});
    dot.hidden = true;
    auto ed = make(pageOf({bar, dot}));
    ed->setSelection({bar.id, dot.id});
    ed->group();
    ASSERT_EQ(ed->elements().size(), 1);
    const LWElement &g = ed->elements().at(0);
    EXPECT_EQ(g.frame, LWRect(0, 0, 210, 20)); // the rotated bounds would reach y = -40
    EXPECT_EQ(g.rotation, 0);
    EXPECT_EQ(*g.children, (QList<LWElement>{bar, dot}));
}

TEST_F(EditorTest, GroupRefusesFewerThanTwoUnlockedMembers)
{
    LWElement locked = rect(QStringLiteral("L"));
    locked.locked = true;
    const LWElement free = rect(QStringLiteral("F"));
    const struct {
        const char *what;
        QList<QUuid> selection;
    } cases[] = {
        {"one unlocked, one locked", {free.id, locked.id}},
        {"nothing selected", {}},
        {"one item twice", {free.id, free.id}},
    };
    for (const auto &c : cases) {
        auto ed = make(pageOf({free, locked}));
        const LWDocument before = ed->doc();
        ed->setSelection(c.selection);
        ed->group();
        EXPECT_EQ(ed->message(), groupMessage) << c.what;
        EXPECT_EQ(ed->doc(), before) << c.what;
        EXPECT_FALSE(ed->canUndo()) << c.what;
        EXPECT_FALSE(ed->dirty()) << c.what;
    }
}

TEST_F(EditorTest, UngroupReleasesChildrenInPlace)
{
    LWElement x = rect(QStringLiteral("X"), {5, 5, 20, 20}), y = rect(QStringLiteral("Y"), {40, 5, 20, 20});
    y.rotation = 30;
    LWElement g = groupOf(QStringLiteral("G"), {x, y});
    g.rotation = 45;
    g.opacity = 0.5;
    auto ed = make(pageOf({rect(QStringLiteral("A")), g, rect(QStringLiteral("C"))}));
    ed->setSelection({g.id});
    ed->ungroup();
    EXPECT_EQ(order(*ed), QStringLiteral("AXYC"));
    EXPECT_EQ(ed->elements().at(1), x); // frames, rotation and all unchanged
    EXPECT_EQ(ed->elements().at(2), y);
    EXPECT_EQ(ed->selection(), (QList<QUuid>{x.id, y.id}));
    EXPECT_EQ(ed->undoStack().size(), 1);
}

TEST_F(EditorTest, UngroupTakesGroupsInSelectionOrderAndSkipsLockedOnes)
{
    const LWElement p = rect(QStringLiteral("P")), q = rect(QStringLiteral("Q")), r = rect(QStringLiteral("R"));
    const LWElement one = groupOf(QStringLiteral("1"), {p}), two = groupOf(QStringLiteral("2"), {q, r});
    auto ed = make(pageOf({one, two}));
    ed->setSelection({two.id, one.id, two.id});
    ed->ungroup();
    EXPECT_EQ(order(*ed), QStringLiteral("PQR"));
    EXPECT_EQ(ed->selection(), (QList<QUuid>{q.id, r.id, p.id}));

    LWElement locked = one;
    locked.locked = true;
    auto still = make(pageOf({locked, rect(QStringLiteral("Z"))}));
    still->setSelection({locked.id, still->elements().at(1).id});
    still->ungroup();
    EXPECT_EQ(still->elements().at(0), locked);
    EXPECT_FALSE(still->canUndo());
}

TEST_F(EditorTest, ArrangeMovesSelectedRunsAsBlocks)
{
    const struct {
        const char *page;
        const char *selected;
        LWArrange how;
        const char *expected;
    } cases[] = {
        {"ABCD", "BA", LWArrange::forward, "CABD"},
        {"ABCD", "AB", LWArrange::front, "CDAB"},
        {"ABCD", "AB", LWArrange::back, "ABCD"},
        {"ABCD", "AB", LWArrange::backward, "ABCD"},
        {"ABC", "A", LWArrange::backward, "ABC"},
        {"ABC", "A", LWArrange::forward, "BAC"},
        {"ABCDE", "AC", LWArrange::forward, "BADCE"},
        {"ABCDE", "BD", LWArrange::backward, "BADCE"},
        {"ABCDE", "DB", LWArrange::back, "BDACE"},
        {"ABCDE", "CA", LWArrange::front, "BDEAC"},
        {"A", "A", LWArrange::forward, "A"},
    };
    for (const auto &c : cases) {
        auto ed = make(pageOf(lettered(c.page)));
        const QList<QUuid> sel = idsOf(*ed, c.selected);
        ed->setSelection(sel);
        ed->arrange(c.how);
        EXPECT_EQ(order(*ed), QString::fromLatin1(c.expected)) << c.page << " " << c.selected << " " << int(c.how);
        EXPECT_EQ(ed->undoStack().size(), 1) << c.expected; // a step even when nothing moved
        EXPECT_EQ(ed->selection(), sel);
    }
}

TEST_F(EditorTest, ArrangeReachesLockedItemsAndNeedsASelection)
{
    QList<LWElement> els = lettered("ABC");
    els[0].locked = true;
    auto ed = make(pageOf(els));
    ed->setSelection({els[0].id});
    ed->arrange(LWArrange::front);
    EXPECT_EQ(order(*ed), QStringLiteral("BCA"));

    auto idle = make(pageOf(els));
    idle->arrange(LWArrange::front);
    EXPECT_FALSE(idle->canUndo());
    EXPECT_FALSE(idle->dirty());

    // Ids from elsewhere still cost a step, as lock and hide do.
    auto foreign = make(pageOf(els));
    foreign->setSelection({QUuid::createUuid()});
    foreign->arrange(LWArrange::back);
    EXPECT_EQ(order(*foreign), QStringLiteral("ABC"));
    EXPECT_TRUE(foreign->canUndo());
}

TEST_F(EditorTest, MoveToIndexClampsIntoTheOrder)
{
    const struct {
        int to;
        const char *expected;
    } cases[] = {{2, "BCA"}, {1, "BAC"}, {0, "ABC"}, {-5, "ABC"}, {99, "BCA"}};
    for (const auto &c : cases) {
        QList<LWElement> els = lettered("ABC");
        els[0].locked = true; // the layers list drags locked rows too
        auto ed = make(pageOf(els));
        ed->move(els[0].id, c.to);
        EXPECT_EQ(order(*ed), QString::fromLatin1(c.expected)) << c.to;
    }
    auto c = make(pageOf(lettered("ABC")));
    c->move(c->elements().at(2).id, -5);
    EXPECT_EQ(order(*c), QStringLiteral("CAB"));

    auto missing = make(pageOf(lettered("ABC")));
    missing->move(QUuid::createUuid(), 0);
    EXPECT_EQ(order(*missing), QStringLiteral("ABC"));
    EXPECT_TRUE(missing->canUndo());
}
