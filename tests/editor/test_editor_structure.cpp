#include "editor_fixture.h"
#include "model/geometry.h"

namespace {

LWElement textBox(double size, const LWRect &frame)
{
    return LWElement::makeText({QStringLiteral("Hi"), QStringLiteral("AvenirNext-Medium"), size, LWColor::black, 40, 1.3},
                               frame);
}

// Elements named by one letter each, back to front: "ABCD".
QList<LWElement> lettered(const char *names)
{
    QList<LWElement> out;
    for (const char *p = names; *p; ++p)
        out.append(rect(QString(QLatin1Char(*p))));
    return out;
}

QString order(const LWEditor &ed) { return names(ed.elements()).join(QString()); }

QList<QUuid> idsOf(const QList<LWElement> &elements, const char *letters)
{
    QList<QUuid> out;
    for (const char *p = letters; *p; ++p)
        out.append(elements.at(names(elements).join(QString()).indexOf(QLatin1Char(*p))).id);
    return out;
}

QStringList pageNames(const LWEditor &ed)
{
    QStringList out;
    for (const LWPage &p : ed.doc().pages)
        out.append(p.name);
    return out;
}

} // namespace

TEST_F(EditorTest, GroupTakesMembersInPageOrderAtTheTopMemberPlace)
{
    const QList<LWElement> abcd = lettered("ABCD");
    auto ed = make(letter(abcd), idsOf(abcd, "DB"));
    ed->group();
    ASSERT_EQ(order(*ed), QStringLiteral("ACGroup"));
    const LWElement &g = ed->elements().at(2);
    EXPECT_EQ(g.kind, LWElementKind::group);
    EXPECT_EQ(*g.children, (QList<LWElement>{abcd[1], abcd[3]}));
    EXPECT_EQ(ed->selection(), QList<QUuid>{g.id});
    EXPECT_EQ(ed->undoStack().size(), 1);

    // The frame encloses the unturned frames; rotations and hidden members come along.
    LWElement bar = rect("bar", {0, 0, 100, 20});
    bar.rotation = 90;
    LWElement dot = rect("dot", {200, 0, 10, 10});
    dot.hidden = true;
    auto turned = make(letter({bar, dot}), {bar.id, dot.id});
    turned->group();
    const LWElement &t = turned->elements().at(0);
    EXPECT_EQ(t.frame, LWRect(0, 0, 210, 20)); // the turned bounds would reach y = -40
    EXPECT_EQ(*t.children, (QList<LWElement>{bar, dot}));
}

TEST_F(EditorTest, UngroupReleasesChildrenInPlaceAndInSelectionOrder)
{
    LWElement x = rect("X", {5, 5, 20, 20}), y = rect("Y", {40, 5, 20, 20});
    y.rotation = 30;
    LWElement g = groupOf({x, y});
    g.rotation = 45;
    auto ed = make(letter({rect("A"), g, rect("C")}), {g.id});
    ed->ungroup();
    EXPECT_EQ(order(*ed), QStringLiteral("AXYC"));
    EXPECT_EQ(ed->elements().mid(1, 2), (QList<LWElement>{x, y})); // frames and rotations unchanged
    EXPECT_EQ(ed->selection(), (QList<QUuid>{x.id, y.id}));

    const LWElement p = rect("P"), q = rect("Q"), r = rect("R"), one = groupOf({p}), two = groupOf({q, r});
    auto both = make(letter({one, two}), {two.id, one.id, two.id});
    both->ungroup();
    EXPECT_EQ(order(*both), QStringLiteral("PQR"));
    EXPECT_EQ(both->selection(), (QList<QUuid>{q.id, r.id, p.id}));
    EXPECT_EQ(both->undoStack().size(), 1);
}

TEST_F(EditorTest, ArrangeMovesSelectedRunsAsBlocks)
{
    const struct {
        const char *page, *selected;
        LWArrange how;
        const char *expected;
    } cases[] = {
        {"ABCD", "BA", LWArrange::forward, "CABD"},  {"ABCD", "AB", LWArrange::front, "CDAB"},
        {"ABCD", "AB", LWArrange::back, "ABCD"},     {"ABCD", "AB", LWArrange::backward, "ABCD"},
        {"ABC", "A", LWArrange::backward, "ABC"},    {"ABC", "A", LWArrange::forward, "BAC"},
        {"ABCDE", "AC", LWArrange::forward, "BADCE"}, {"ABCDE", "BD", LWArrange::backward, "BADCE"},
        {"ABCDE", "DB", LWArrange::back, "BDACE"},   {"ABCDE", "CA", LWArrange::front, "BDEAC"},
    };
    for (const auto &c : cases) {
        QList<LWElement> els = lettered(c.page);
        els[0].locked = true; // locked items are arranged too
        auto ed = make(letter(els), idsOf(els, c.selected));
        ed->arrange(c.how);
        EXPECT_EQ(order(*ed), QString::fromLatin1(c.expected)) << c.page << " " << c.selected << " " << int(c.how);
        // A step only when something moved.
        EXPECT_EQ(ed->undoStack().size(), c.expected == QLatin1String(c.page) ? 0 : 1) << c.expected;
    }

    // Ids from elsewhere move nothing: no step, as for lock and hide.
    auto idle = make(letter(lettered("AB")), {QUuid::createUuid()});
    idle->arrange(LWArrange::back);
    EXPECT_EQ(order(*idle), QStringLiteral("AB"));
    EXPECT_FALSE(idle->canUndo());
}

TEST_F(EditorTest, MoveToIndexClampsIntoTheOrder)
{
    const struct {
        int to;
        const char *expected;
    } cases[] = {{2, "BCA"}, {1, "BAC"}, {-5, "ABC"}, {99, "BCA"}, {0, "ABC"}}; // the last for a missing id
    for (const auto &c : cases) {
        auto ed = make(letter(lettered("ABC")));
        ed->move(c.to ? ed->elements().at(0).id : QUuid::createUuid(), c.to);
        EXPECT_EQ(order(*ed), QString::fromLatin1(c.expected)) << c.to;
        EXPECT_EQ(ed->canUndo(), c.expected != QLatin1String("ABC")) << c.to; // a step when it moved
    }
}

TEST_F(EditorTest, GuidesAndBackSides)
{
    auto ed = make(letter());
    for (bool vertical : {true, true, false})
        ed->addGuide(vertical);
    const QList<LWGuide> g = ed->doc().guides;
    EXPECT_EQ(g, (QList<LWGuide>{{g.value(0).id, true, 306}, {g.value(1).id, true, 306}, {g.value(2).id, false, 396}}));
    ed->clearGuides();
    ed->clearGuides(); // nothing left: no step
    EXPECT_TRUE(ed->doc().guides.isEmpty());
    EXPECT_EQ(ed->undoStack().size(), 4);

    ed->addBackSide();
    ed->addBackSide(); // already two sides
    EXPECT_EQ(pageNames(*ed), (QStringList{"Front", "Back"}));
    EXPECT_EQ(ed->side(), 1);
    EXPECT_EQ(ed->undoStack().size(), 5);
    const LWElement mark = rect("M");
    ed->add(mark);
    ed->removeBackSide();
    EXPECT_EQ(pageNames(*ed), QStringList{"Page 1"});
    EXPECT_EQ(ed->side(), 0);
    EXPECT_TRUE(ed->selection().isEmpty());
    ed->undo();
    EXPECT_EQ(pageNames(*ed), (QStringList{"Front", "Back"}));
    EXPECT_EQ(ed->side(), 1);
    EXPECT_EQ(ed->selection(), QList<QUuid>{mark.id});
}

TEST_F(EditorTest, SwitchSideIsViewStateOnly)
{
    SampleCard card;
    for (const bool dirty : {false, true}) {
        auto ed = make(card.doc);
        ed->setDirty(dirty);
        ed->removeBackSide(); // business cards keep their back
        ed->setSelection({card.a});
        ed->switchSide(2);
        EXPECT_EQ(ed->selection(), QList<QUuid>{card.a});
        ed->setEditingTextID(card.a);
        ed->switchSide(1);
        EXPECT_EQ(ed->side(), 1);
        EXPECT_TRUE(ed->selection().isEmpty());
        EXPECT_FALSE(ed->editingTextID());
        EXPECT_EQ(ed->doc().pages.size(), 2);
        EXPECT_FALSE(ed->canUndo());
        EXPECT_EQ(ed->dirty(), dirty);
    }
}

TEST_F(EditorTest, ResizeToLandscapeFitsAndCentresTheContent)
{
    const LWElement full = rect("full", {0, 0, 612, 792});
    LWElement turned = rect("turned", {200, 600, 200, 100});
    turned.rotation = 30;
    LWDocument doc = letter({full, turned, groupOf({textBox(20, {50, 700, 300, 80}), textBox(12, {400, 760, 150, 30})})});
    doc.guides = {{QUuid::createUuid(), true, 306}, {QUuid::createUuid(), false, 396}};
    auto ed = make(doc);
    ASSERT_TRUE(ed->resize(792, 612, QStringLiteral("letter"), 18, true));

    const double s = 612.0 / 792.0;
    const LWRect f = ed->elements().at(0).frame;
    EXPECT_DOUBLE_EQ(f.x, (792 - 612 * s) / 2);
    EXPECT_DOUBLE_EQ(f.w, 612 * s);
    EXPECT_DOUBLE_EQ(f.h, 612);
    for (const LWElement &e : ed->doc().allElements())
        EXPECT_LE(LWGeometry::bounds(e).maxY(), 612.5) << e.name.toStdString();
    EXPECT_EQ(ed->elements().at(1).rotation, 30);
    // Guides follow each axis and are not offset.
    EXPECT_DOUBLE_EQ(ed->doc().guides[0].position, 396);
    EXPECT_DOUBLE_EQ(ed->doc().guides[1].position, 306);
    EXPECT_EQ(ed->doc().bleed, doc.bleed);
}

TEST_F(EditorTest, ResizeScalesTypeAndStrokesOnceAtEveryDepth)
{
    LWElement plain = textBox(28, {0, 0, 200, 40});
    plain.stroke = LWStroke(LWColor::black, 2, 6);
    plain.cornerRadius = 8;
    const LWElement inGroup = groupOf({textBox(28, {0, 100, 200, 40}), textBox(28, {0, 200, 300, 40})});
    const LWElement nested = groupOf({groupOf({textBox(28, {10, 300, 200, 40}), textBox(28, {10, 400, 250, 40})}),
                                      textBox(28, {300, 300, 100, 40})});
    const LWDocument doc = letter({plain, inGroup, nested});
    auto ed = make(doc);
    ASSERT_TRUE(ed->resize(306, 396, QStringLiteral("custom"), 9, true));

    const LWElement &p = ed->elements().at(0);
    EXPECT_EQ(p.stroke->width, 1);
    EXPECT_EQ(p.stroke->dash, 6);
    EXPECT_EQ(p.cornerRadius, 8);
    EXPECT_EQ(p.text->tracking, 40);
    EXPECT_EQ(p.text->leading, 1.3);
    const QList<LWElement> was = doc.allElements(), now = ed->doc().allElements();
    for (qsizetype k = 0; k < now.size(); ++k) {
        EXPECT_DOUBLE_EQ(now[k].frame.width(), was[k].frame.width() / 2) << k;
        if (now[k].text) {
            EXPECT_EQ(now[k].text->size, 14) << k;
        }
    }
    EXPECT_EQ(ed->doc().kind, LWDocKind::flyer); // an unknown size id keeps the kind
}

TEST_F(EditorTest, ResizeToACardPresetGivesTheDesignABack)
{
    auto ed = make(LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 300, 200, 9, QStringLiteral("X")));
    ASSERT_TRUE(ed->resize(252, 144, QStringLiteral("us-card"), 9, false));
    EXPECT_EQ(ed->doc().kind, LWDocKind::businessCard);
    EXPECT_EQ(pageNames(*ed), (QStringList{"Front", "Back"}));

    // Without scaling nothing moves.
    SampleCard card;
    card.doc.guides = {{QUuid::createUuid(), true, 100}};
    auto kept = make(card.doc);
    ASSERT_TRUE(kept->resize(612, 792, QStringLiteral("letter"), 18, false));
    EXPECT_EQ(kept->doc().pages, card.doc.pages);
    EXPECT_EQ(kept->doc().guides, card.doc.guides);
    EXPECT_EQ(kept->doc().kind, LWDocKind::flyer);
}

// A design without a size (only a hand-edited file) takes the new one unscaled.
TEST_F(EditorTest, ResizeOfASizelessDesignDoesNotScale)
{
    LWDocument sizeless = letter({textBox(12, {10, 10, 100, 20})});
    sizeless.width = 0;
    auto ed = make(sizeless);
    ASSERT_TRUE(ed->resize(612, 792, QStringLiteral("letter"), 18, true));
    EXPECT_EQ(ed->doc().width, 612);
    EXPECT_EQ(ed->doc().pages, sizeless.pages);
}
