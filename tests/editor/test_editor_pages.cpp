#include "editor_fixture.h"
#include "model/geometry.h"

#include <QStringList>
#include <limits>

namespace {

LWDocument letterFlyer() { return LWDocument::blank(LWSizePreset::letter, std::nullopt); }

QStringList pageNames(const LWEditor &ed)
{
    QStringList names;
    for (const LWPage &p : ed.doc().pages)
        names.append(p.name);
    return names;
}

LWElement textBox(double size, const LWRect &frame)
{
    LWText t(QStringLiteral("Hello"), QStringLiteral("AvenirNext-Medium"), size, LWColor::black, 40, 1.3);
    return LWElement::makeText(t, frame);
}

LWElement groupOf(const QList<LWElement> &children)
{
    QList<LWRect> frames;
    for (const LWElement &c : children)
        frames.append(c.frame);
    LWElement g(LWElementKind::group, QStringLiteral("Group"), LWGeometry::unionOf(frames));
    g.children = children;
    return g;
}

} // namespace

TEST_F(EditorTest, GuidesRunThroughThePageCentre)
{
    auto ed = make(letterFlyer());
    ed->addGuide(true);
    ed->addGuide(true);
    ed->addGuide(false);
    const QList<LWGuide> &g = ed->doc().guides;
    ASSERT_EQ(g.size(), 3);
    EXPECT_TRUE(g[0].vertical);
    EXPECT_EQ(g[0].position, 306);
    EXPECT_EQ(g[1].position, 306);
    EXPECT_NE(g[0].id, g[1].id);
    EXPECT_FALSE(g[2].vertical);
    EXPECT_EQ(g[2].position, 396);
    EXPECT_EQ(ed->undoStack().size(), 3);

    ed->clearGuides();
    EXPECT_TRUE(ed->doc().guides.isEmpty());
    ed->clearGuides(); // nothing left to clear, still a step
    EXPECT_EQ(ed->undoStack().size(), 5);
}

TEST_F(EditorTest, BackSideComesAndGoesWithUndo)
{
    auto ed = make(letterFlyer());
    ed->addBackSide();
    EXPECT_EQ(pageNames(*ed), (QStringList{QStringLiteral("Front"), QStringLiteral("Back")}));
    EXPECT_EQ(ed->doc().pages[1].background, LWFill::solid(LWColor::white));
    EXPECT_EQ(ed->side(), 1);
    ed->addBackSide(); // already two sides
    EXPECT_EQ(ed->doc().pages.size(), 2);
    EXPECT_EQ(ed->undoStack().size(), 1);

    const LWElement mark = LWElement::makeShape(LWShapeKind::ellipse, {1, 1, 5, 5}, LWFill::none(), std::nullopt);
    ed->change(QStringLiteral("Add"), std::nullopt, [&](LWDocument &d) { d.pages[1].elements.append(mark); });
    ed->setSelection({mark.id});
    ed->removeBackSide();
    EXPECT_EQ(pageNames(*ed), QStringList{QStringLiteral("Page 1")});
    EXPECT_EQ(ed->side(), 0);
    EXPECT_TRUE(ed->selection().isEmpty());

    ed->undo();
    EXPECT_EQ(pageNames(*ed), (QStringList{QStringLiteral("Front"), QStringLiteral("Back")}));
    EXPECT_EQ(ed->side(), 1);
    EXPECT_EQ(ed->selection(), QList<QUuid>{mark.id});
}

TEST_F(EditorTest, SideChangesThatDoNothing)
{
    SampleCard card;
    auto ed = make(card.doc);
    ed->removeBackSide(); // business cards keep their back
    EXPECT_EQ(ed->doc().pages.size(), 2);
    ed->setSelection({card.a});
    for (const int n : {2, -1}) {
        ed->switchSide(n);
        EXPECT_EQ(ed->side(), 0) << n;
        EXPECT_EQ(ed->selection(), QList<QUuid>{card.a}) << n;
    }
    EXPECT_FALSE(ed->canUndo());
}

TEST_F(EditorTest, SwitchSideEndsEditingWithoutAStep)
{
    SampleCard card;
    for (const bool dirty : {false, true}) {
        auto ed = make(card.doc);
        ed->setDirty(dirty);
        ed->setSelection({card.a});
        ed->setEditingTextID(card.a);
        ed->switchSide(1);
        EXPECT_EQ(ed->side(), 1);
        EXPECT_TRUE(ed->selection().isEmpty());
        EXPECT_FALSE(ed->editingTextID());
        EXPECT_FALSE(ed->canUndo());
        EXPECT_EQ(ed->dirty(), dirty);
    }
}

TEST_F(EditorTest, ResizeToLandscapeFitsAndCentresTheContent)
{
    LWDocument doc = letterFlyer();
    LWElement full = LWElement::makeShape(LWShapeKind::rectangle, {0, 0, 612, 792}, LWFill::none(), std::nullopt);
    LWElement tilted = LWElement::makeShape(LWShapeKind::rectangle, {200, 600, 200, 100}, LWFill::none(), std::nullopt);
    tilted.rotation = 30;
    const LWElement low = groupOf({textBox(20, {50, 700, 300, 80}), textBox(12, {400, 760, 150, 30})});
    doc.pages[0].elements = {full, tilted, low};
    doc.guides = {{QUuid::createUuid(), true, 306}, {QUuid::createUuid(), false, 396}};
    auto ed = make(doc);

    ASSERT_TRUE(ed->resize(792, 612, QStringLiteral("letter"), 18, true));
    const double s = 612.0 / 792.0, dx = (792 - 612 * s) / 2;
    EXPECT_NEAR(dx, 159.55, 0.01);
    const LWRect f = ed->elements().at(0).frame;
    EXPECT_DOUBLE_EQ(f.x, dx);
    EXPECT_DOUBLE_EQ(f.y, 0);
    EXPECT_DOUBLE_EQ(f.w, 612 * s);
    EXPECT_DOUBLE_EQ(f.h, 612);
    for (const LWElement &e : ed->elements())
        for (const LWElement &part : e.flattened())
            EXPECT_LE(LWGeometry::bounds(part).maxY(), 612.5) << part.name.toStdString();
    EXPECT_EQ(ed->elements().at(1).rotation, 30);

    // Guides follow each axis on its own and are not offset.
    EXPECT_DOUBLE_EQ(ed->doc().guides[0].position, 396);
    EXPECT_DOUBLE_EQ(ed->doc().guides[1].position, 306);
    EXPECT_EQ(ed->doc().width, 792);
    EXPECT_EQ(ed->doc().safe, 18);
    EXPECT_EQ(ed->doc().bleed, doc.bleed);
    EXPECT_EQ(ed->undoStack().size(), 1);
}

TEST_F(EditorTest, ResizeScalesTypeAndStrokesOnceAtEveryDepth)
{
    LWElement plain = textBox(28, {0, 0, 200, 40});
    plain.stroke = LWStroke(LWColor::black, 2, 6);
    plain.cornerRadius = 8;
    const LWElement inGroup = groupOf({textBox(28, {0, 100, 200, 40}), textBox(28, {0, 200, 300, 40})});
    const LWElement nested = groupOf({groupOf({textBox(28, {10, 300, 200, 40}), textBox(28, {10, 400, 250, 40})}),
                                      textBox(28, {300, 300, 100, 40})});
    LWDocument doc = letterFlyer();
    doc.pages[0].elements = {plain, inGroup, nested};
    auto ed = make(doc);
    ASSERT_TRUE(ed->resize(306, 396, QStringLiteral("custom"), 9, true));

    const LWElement &p = ed->elements().at(0);
    EXPECT_EQ(p.text->size, 14);
    EXPECT_EQ(p.text->tracking, 40);
    EXPECT_EQ(p.text->leading, 1.3);
    EXPECT_EQ(p.stroke->width, 1);
    EXPECT_EQ(p.stroke->dash, 6);
    EXPECT_EQ(p.cornerRadius, 8);
    EXPECT_EQ(ed->doc().kind, LWDocKind::flyer); // an unknown size id keeps the kind
    for (qsizetype i = 1; i < 3; ++i) {
        const QList<LWElement> was = doc.pages[0].elements.at(i).flattened(), now = ed->elements().at(i).flattened();
        for (qsizetype k = 0; k < now.size(); ++k) {
            EXPECT_DOUBLE_EQ(now[k].frame.width(), was[k].frame.width() / 2) << i << " " << k;
            if (now[k].text) {
                EXPECT_EQ(now[k].text->size, 14) << i << " " << k;
            }
        }
    }
}

TEST_F(EditorTest, ResizeToACardPresetGivesTheDesignABack)
{
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 300, 200, 9, QStringLiteral("X"));
    auto ed = make(doc);
    ASSERT_TRUE(ed->resize(252, 144, QStringLiteral("us-card"), 9, false));
    EXPECT_EQ(ed->doc().kind, LWDocKind::businessCard);
    EXPECT_EQ(pageNames(*ed), (QStringList{QStringLiteral("Front"), QStringLiteral("Back")}));
    EXPECT_EQ(ed->doc().sizeID, QStringLiteral("us-card"));
}

TEST_F(EditorTest, ResizeWithoutScalingMovesNothing)
{
    SampleCard card;
    card.doc.guides = {{QUuid::createUuid(), true, 100}};
    auto ed = make(card.doc);
    ASSERT_TRUE(ed->resize(612, 792, QStringLiteral("letter"), 18, false));
    EXPECT_EQ(ed->doc().pages, card.doc.pages);
    EXPECT_EQ(ed->doc().guides, card.doc.guides);
    EXPECT_EQ(ed->doc().kind, LWDocKind::flyer);
}

TEST_F(EditorTest, ResizeRefusesSizesThatCannotBeDrawnOrSaved)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct {
        double w, h, safe;
    } cases[] = {{0, 792, 18}, {-1, 792, 18}, {nan, 792, 18}, {inf, 792, 18}, {612, 0, 18},
                 {612, nan, 18}, {612, 792, nan}, {612, 792, -1}, {612, 792, inf}};
    for (const auto &c : cases) {
        auto ed = make(letterFlyer());
        const LWDocument before = ed->doc();
        EXPECT_FALSE(ed->resize(c.w, c.h, QStringLiteral("letter"), c.safe, true)) << c.w << " " << c.h << " " << c.safe;
        EXPECT_EQ(ed->doc(), before);
        EXPECT_FALSE(ed->canUndo());
    }

    // A design without a size (only a hand-edited file) takes the new one as it is.
    LWDocument sizeless = letterFlyer();
    sizeless.width = 0;
    sizeless.pages[0].elements = {textBox(12, {10, 10, 100, 20})};
    auto ed = make(sizeless);
    ASSERT_TRUE(ed->resize(612, 792, QStringLiteral("letter"), 18, true));
    EXPECT_EQ(ed->doc().width, 612);
    EXPECT_EQ(ed->doc().pages, sizeless.pages);
}
