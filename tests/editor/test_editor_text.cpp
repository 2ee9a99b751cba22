#include "editor_fixture.h"

#include "model/file/json.h"
#include "render/text/fonts.h"
#include "render/text/textlayout.h"

namespace {

class TextEditorTest : public EditorTest {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }

    // A placeholder text box 200 pt wide, `slack` pt taller than its text (negative: shorter), added
    // unselected on top of the shown page.
    QUuid box(LWEditor &ed, double slack, bool locked = false)
    {
        LWText t(QStringLiteral("Two lines of\nsample text"), QStringLiteral("AvenirNext-Medium"), 24, LWColor::black);
        t.placeholder = true;
        LWElement e = LWElement::makeText(t, LWRect(50, 100, 200, LWTextLayout::height(t, 200) + slack));
        e.locked = locked;
        ed.add(e, false);
        return e.id;
    }
    static double needed(const LWEditor &ed, const QUuid &id)
    {
        return LWTextLayout::height(*ed.element(id)->text, ed.element(id)->frame.w);
    }
};

} // namespace

TEST_F(TextEditorTest, NewBoxesTakeTheHouseStyle)
{
    const struct {
        LWDocument doc;
        QPointF at;
        std::optional<double> width;
        double x, w, size;
    } cases[] = {
        {SampleCard().doc, {30, 20}, {}, 30, 120, 10},
        {letter(), {100, 20}, {}, 100, 300, 28},
        {LWDocument::blank(LWDocKind::custom, "custom", 288, 300, 18, "C"), {0, 0}, {}, 18, 252, 28},
        {letter(), {2, 0}, {}, 18, 300, 28},       // left of the safe margin
        {letter(), {500, 0}, 300, 312, 300, 28},   // past the right edge
        {letter(), {500, 0}, 700, -88, 700, 28},   // wider than the page
        {letter(), {40, -50}, {}, 40, 300, 28},    // above the page
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        auto ed = make(c.doc);
        ed->setTool(LWTool::text);
        const QUuid editing = QUuid::createUuid();
        ed->setEditingTextID(editing);
        ed->addText(QStringLiteral("Hello there"), c.at, c.width);
        const LWElement &e = ed->elements().last();
        ASSERT_TRUE(e.text);
        EXPECT_EQ(*e.text, LWText(QStringLiteral("Hello there"), LWEditor::houseFont, c.size, LWColor::hex(0x1D2733), 0,
                                  1.05));
        EXPECT_EQ(e.frame, LWRect(c.x, c.at.y(), c.w, LWTextLayout::height(*e.text, c.w)));
        EXPECT_EQ(e.name, QStringLiteral("Text"));
        EXPECT_EQ(ed->selection(), QList<QUuid>{e.id});
        EXPECT_EQ(ed->tool(), LWTool::text);
        EXPECT_EQ(ed->editingTextID(), editing);
        EXPECT_EQ(ed->undoStack().size(), 1);
    }
}

TEST_F(TextEditorTest, TextOperationsGrowBoxesAndFittingShrinksThem)
{
    auto ed = make(letter());
    const QUuid typed = box(*ed, -20), styled = box(*ed, -20), fitted = box(*ed, 30);
    ed->setText(typed, QStringLiteral("Two lines of\nsample text"));
    EXPECT_EQ(ed->element(typed)->frame, LWRect(50, 100, 200, needed(*ed, typed)));
    ed->setSelection({styled});
    ed->updateText(QStringLiteral("Size"), std::nullopt, [](LWText &t) { t.size = 40; });
    EXPECT_EQ(ed->element(styled)->text->size, 40);
    EXPECT_EQ(ed->element(styled)->frame, LWRect(50, 100, 200, needed(*ed, styled)));
    LWElement copy = *ed->element(fitted);
    copy.frame.h = 1;
    LWEditor::growToFit(copy);
    EXPECT_EQ(copy.frame.h, needed(*ed, fitted));

    // Fitting shrinks too and keeps the top.
    ed->setSelection({fitted});
    ed->fitBoxToText();
    EXPECT_EQ(ed->element(fitted)->frame, LWRect(50, 100, 200, needed(*ed, fitted)));
}

TEST_F(TextEditorTest, TypingIntoOneBoxIsOneStep)
{
    const SampleCard s;
    auto ed = make(s.doc);
    const QUuid one = box(*ed, 0), two = box(*ed, 0), locked = box(*ed, 0, true), three = box(*ed, 0);
    const qsizetype base = ed->undoStack().size();

    for (const QUuid &id : {locked, s.child, s.c, s.a}) // a has no text: nothing changes, no step
        ed->setText(id, QStringLiteral("x"));
    EXPECT_EQ(ed->undoStack().size(), base);

    advance(2);
    ed->setText(one, QStringLiteral("H"));
    advance(1);
    ed->setText(one, QStringLiteral("He"));
    EXPECT_EQ(ed->undoStack().size(), base + 1);
    advance(0.1);
    ed->setText(two, QStringLiteral("X"));
    advance(0.1);
    ed->setText(one, QStringLiteral("Hel"));
    EXPECT_EQ(ed->undoStack().size(), base + 3);

    // The inspector's key for the same box joins the typing; upper-case id, as stored.
    advance(0.1);
    ed->updateElements({one}, QStringLiteral("Size"), QStringLiteral("text-") + LWJson::uuidText(one),
                       [](LWElement &e) { e.text->size = 30; });
    EXPECT_EQ(ed->undoStack().size(), base + 3);
    EXPECT_EQ(ed->element(one)->text->string, QStringLiteral("Hel"));
    EXPECT_FALSE(ed->element(one)->text->placeholder);

    // The same string still ends the sample text.
    ed->setText(three, ed->element(three)->text->string);
    EXPECT_FALSE(ed->element(three)->text->placeholder);
}
