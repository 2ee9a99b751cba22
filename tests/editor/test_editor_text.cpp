#include "editor_fixture.h"

#include "model/json.h"
#include "render/fonts.h"
#include "render/textlayout.h"

namespace {

class TextEditorTest : public EditorTest {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }

    // A Letter flyer whose one text box (the returned id) is 200 pt wide and `slack` pt taller
    // than its text (negative: shorter), aligned by vAlign.
    QUuid box(LWEditor &ed, double slack, LWVAlign vAlign = LWVAlign::top)
    {
        LWText t(QStringLiteral("Two lines of\nsample text"), QStringLiteral("AvenirNext-Medium"), 24, LWColor::black);
        t.vAlign = vAlign;
        t.placeholder = true;
        const double h = LWTextLayout::height(t, 200);
        const LWElement e = LWElement::makeText(t, LWRect(50, 100, 200, h + slack));
        ed.add(e, false);
        return e.id;
    }
    static LWRect frameOf(const LWEditor &ed, const QUuid &id) { return ed.element(id)->frame; }
};

} // namespace

TEST_F(TextEditorTest, NewBoxesTakeTheHouseStyle)
{
    const struct {
        const char *what;
        LWDocument doc;
        QPointF at;
        std::optional<double> width;
        LWRect frameX; // x and w only
        double size;
    } cases[] = {
        {"US card", LWDocument::blank(LWSizePreset::usCard, std::nullopt), {30, 20}, {}, {30, 0, 120, 0}, 10},
        {"Letter", letter(), {100, 20}, {}, {100, 0, 300, 0}, 28},
        {"custom", LWDocument::blank(LWDocKind::custom, "custom", 288, 300, 18, "C"), {0, 0}, {}, {18, 0, 252, 0}, 28},
        {"left of safe", letter(), {2, 0}, {}, {18, 0, 300, 0}, 28},
        {"past the right edge", letter(), {500, 0}, 300, {312, 0, 300, 0}, 28},
        {"wider than the page", letter(), {500, 0}, 700, {-88, 0, 700, 0}, 28},
        {"above the page", letter(), {40, -50}, {}, {40, 0, 300, 0}, 28},
    };
    for (const auto &c : cases) {
        auto ed = make(c.doc);
        ed->setTool(LWTool::text);
        const QUuid editing = QUuid::createUuid();
        ed->setEditingTextID(editing);
        ed->addText(QStringLiteral("Hello there"), c.at, c.width);
        const LWElement &e = ed->elements().last();
        ASSERT_TRUE(e.text) << c.what;
        EXPECT_EQ(ed->selection(), QList<QUuid>{e.id}) << c.what;
        EXPECT_EQ(e.frame.x, c.frameX.x) << c.what;
        EXPECT_EQ(e.frame.w, c.frameX.w) << c.what;
        EXPECT_EQ(e.frame.y, c.at.y()) << c.what;
        EXPECT_EQ(e.frame.h, LWTextLayout::height(*e.text, e.frame.w)) << c.what;
        EXPECT_EQ(*e.text, LWText(QStringLiteral("Hello there"), QStringLiteral("AvenirNext-Medium"), c.size,
                                  LWColor::hex(0x1D2733), 0, 1.05))
            << c.what;
        EXPECT_EQ(e.name, QStringLiteral("Text")) << c.what;
        EXPECT_EQ(ed->tool(), LWTool::text) << c.what;
        EXPECT_EQ(ed->editingTextID(), editing) << c.what;
        EXPECT_EQ(ed->undoStack().size(), 1) << c.what;
    }
}

TEST_F(TextEditorTest, TextOperationsGrowBoxesButNeverShrinkThem)
{
    auto ed = make(letter());
    const QUuid shortBox = box(*ed, -20), tall = box(*ed, 30, LWVAlign::bottom);
    const LWRect tallFrame = frameOf(*ed, tall);
    const QString string = ed->element(shortBox)->text->string;

    ed->setText(shortBox, string);
    EXPECT_EQ(frameOf(*ed, shortBox), LWRect(50, 100, 200, LWTextLayout::height(*ed->element(shortBox)->text, 200)));
    ed->setText(tall, string);
    EXPECT_EQ(frameOf(*ed, tall), tallFrame);

    // A larger size grows a bottom-aligned box upwards.
    ed->setSelection({tall});
    ed->updateText(QStringLiteral("Size"), std::nullopt, [](LWText &t) { t.size = 40; });
    const double needed = LWTextLayout::height(*ed->element(tall)->text, 200);
    EXPECT_EQ(frameOf(*ed, tall), LWRect(50, tallFrame.maxY() - needed, 200, needed));
    ed->undo();
    ed->updateText(QStringLiteral("Colour"), std::nullopt, [](LWText &t) { t.color = LWColor::white; });
    EXPECT_EQ(frameOf(*ed, tall), tallFrame);
    LWElement copy = *ed->element(tall);
    LWEditor::growToFit(copy);
    EXPECT_EQ(copy.frame, tallFrame);

    // Fitting shrinks too and keeps the top, whatever the alignment.
    ed->fitBoxToText();
    EXPECT_EQ(frameOf(*ed, tall), LWRect(50, tallFrame.y, 200, tallFrame.h - 30));
}

TEST_F(TextEditorTest, TypingIntoOneBoxIsOneStep)
{
    const SampleCard s;
    auto ed = make(s.doc);
    const QUuid one = box(*ed, 0), two = box(*ed, 0);
    LWElement locked = ed->element(one)->duplicated();
    locked.locked = true;
    ed->add(locked, false);
    const qsizetype base = ed->undoStack().size();

    for (const QUuid &id : {locked.id, s.child, s.c, s.a}) // a has no text: an empty step
        ed->setText(id, QStringLiteral("x"));
    EXPECT_EQ(ed->undoStack().size(), base + 1);

    advance(2);
    ed->setText(one, QStringLiteral("H"));
    advance(1);
    ed->setText(one, QStringLiteral("He"));
    EXPECT_EQ(ed->undoStack().size(), base + 2);
    advance(0.1);
    ed->setText(two, QStringLiteral("X"));
    advance(0.1);
    ed->setText(one, QStringLiteral("Hel"));
    EXPECT_EQ(ed->undoStack().size(), base + 4);

    // The inspector's key for the same box joins the typing; upper-case id, as stored.
    advance(0.1);
    ed->updateElements({one}, QStringLiteral("Size"), QStringLiteral("text-") + LWJson::uuidText(one),
                       [](LWElement &e) { e.text->size = 30; });
    EXPECT_EQ(ed->undoStack().size(), base + 4);
    EXPECT_EQ(ed->element(one)->text->string, QStringLiteral("Hel"));
    EXPECT_FALSE(ed->element(one)->text->placeholder);

    // The same string still ends the sample text.
    const QUuid three = box(*ed, 0);
    ASSERT_TRUE(ed->element(three)->text->placeholder);
    ed->setText(three, ed->element(three)->text->string);
    EXPECT_FALSE(ed->element(three)->text->placeholder);
}

TEST_F(TextEditorTest, SelectionTextOperationsNeedATarget)
{
    const SampleCard s;
    auto ed = make(s.doc);
    const QUuid t = box(*ed, 0);
    LWElement locked = ed->element(t)->duplicated();
    locked.locked = true;
    ed->add(locked, false);
    const qsizetype base = ed->undoStack().size();
    for (const QList<QUuid> &sel : {QList<QUuid>{}, {locked.id}, {s.c}}) {
        ed->setSelection(sel);
        ed->updateText(QStringLiteral("Size"), std::nullopt, [](LWText &x) { x.size = 50; });
        ed->fitBoxToText();
    }
    EXPECT_EQ(ed->undoStack().size(), base);
}
