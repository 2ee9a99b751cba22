// The arrange and geometry sections against a real editor: what they show for a selection or an
// element, and which edits and undo steps their controls make.
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/host/shortcuts.h"
#include "model/units.h"
#include "render/text/textlayout.h"
#include "section_fixture.h"
#include "ui/inspector/sections/arrangesection.h"
#include "ui/inspector/sections/geometrysection.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/inspectorlabel.h"

namespace {

using Arrange = SectionTest;
using Geometry = SectionTest;

TEST_F(Arrange, TitleHelpAndEnablingFollowTheSelection)
{
    const SampleCard card;
    open(card.doc, {card.a});
    auto *s = show<ArrangeSection>();
    const QList<ChromeRoundButton *> buttons = s->alignButtons();
    ChromeRoundButton *distribute = s->distributeHorizontal();
    const struct {
        QList<QUuid> selection;
        bool toPage, distribute, group, ungroup;
    } cases[] = {
        {{card.a}, true, false, false, false},
        {{card.g}, true, false, false, true},
        {{card.a, card.b}, false, false, true, false},
        {{card.a, card.b, card.g}, false, true, true, true},
        // An id the page does not hold still counts; kinds come from the elements found.
        {{card.a, card.c}, false, false, true, false},
    };
    for (const auto &c : cases) {
        ed->setSelection(c.selection);
        SCOPED_TRACE(c.selection.size());
        EXPECT_EQ(s->group()->title(), c.toPage ? "Align to page" : "Align & distribute");
        for (ChromeRoundButton *b : s->alignButtons())
            EXPECT_EQ(b->help().endsWith(" (to the page)"), c.toPage);
        EXPECT_EQ((QList<bool>{s->distributeHorizontal()->isEnabled(), s->distributeVertical()->isEnabled(),
                               s->groupButton()->isEnabled(), s->ungroupButton()->isEnabled()}),
                  (QList<bool>{c.distribute, c.distribute, c.group, c.ungroup}));
        EXPECT_EQ(s->alignButtons(), buttons); // updated in place
        EXPECT_EQ(s->distributeHorizontal(), distribute);
    }
}

TEST_F(Arrange, ButtonsCallTheEditor)
{
    const SampleCard card;
    open(card.doc, {card.a});
    auto *s = show<ArrangeSection>();
    s->alignButtons()[2]->click(); // right edges, to the page
    EXPECT_DOUBLE_EQ(el(card.a).frame.maxX(), ed->doc().width);
    s->lockButton()->click();
    EXPECT_TRUE(el(card.a).locked);
    EXPECT_EQ(steps(), 2);
}

TEST_F(Geometry, UnitsFollowTheSizeIDAndRowsTheKind)
{
    const struct {
        LWDocument doc;
        LWElement e;
        QString title, x;
        QList<bool> shown; // length, W, H, rotation
        QString length;
    } cases[] = {
        {LWDocument::blank(LWSizePreset::euCard, std::nullopt), rect("r", {72, 36, 40, 30}),
         "Position & size (mm)", "25.4", {false, true, true, true}, ""},
        {LWDocument::blank(LWDocKind::custom, "custom", 100 * LWUnits::ptPerMM, 60 * LWUnits::ptPerMM, 0, "c"),
         groupOf({rect("child", {72, 36, 40, 30})}), "Position & size (in)", "1", {false, true, true, false}, ""},
        {letter(), LWElement::makeLine({72, 72}, {216, 72}, LWStroke(LWColor::black, 1)), "Position & size (in)",
         "1", {true, false, false, false}, "Length 2 in"},
    };
    for (const auto &c : cases) {
        LWDocument doc = c.doc;
        doc.pages[0].elements = {c.e};
        open(doc, {c.e.id});
        auto *s = show<GeometrySection>(c.e.id);
        EXPECT_EQ(s->group()->title(), c.title);
        EXPECT_EQ(s->xField()->lineEdit()->text(), c.x);
        EXPECT_EQ(shown(*s, {s->lengthLabel(), s->wField(), s->hField(), s->rotationSlider()}), c.shown)
            << c.title.toStdString();
        if (!c.length.isEmpty()) {
            EXPECT_EQ(s->lengthLabel()->text(), c.length);
        }
    }
}

TEST_F(Geometry, FieldCommitsAreClampedStepsOfTheirOwn)
{
    const struct {
        const char *field, *text;
        LWRect want;
        qsizetype steps;
    } cases[] = {
        {"W", "1,5", {72, 72, 108, 72}, 1},
        {"W", "0", {72, 72, 1, 72}, 1},
        {"W", "2", {72, 72, 144, 72}, 0}, // the value shown
        {"W", "2.000001", {72, 72, 144, 72}, 0},
        {"W", "abc", {72, 72, 144, 72}, 0},
        {"W", "2000", {72, 72, 100000, 72}, 1},
        {"H", "0,5", {72, 72, 144, 36}, 1},
        {"H", "1e307", {72, 72, 144, 100000}, 1},
        {"X", "1e307", {100000, 72, 144, 72}, 1},
        {"X", "-2000", {-100000, 72, 144, 72}, 1},
        {"Y", "0", {72, 0, 144, 72}, 1},
    };
    for (const auto &c : cases) {
        const LWElement e = rect("r", {72, 72, 144, 72});
        open(letter({e}), {e.id});
        auto *s = show<GeometrySection>(e.id);
        NumberField *f = QString(c.field) == "W" ? s->wField()
                         : QString(c.field) == "H" ? s->hField()
                         : QString(c.field) == "X" ? s->xField()
                                                   : s->yField();
        commit(f, c.text);
        const LWRect got = el(e.id).frame;
        EXPECT_EQ((std::array{got.x, got.y, got.w, got.h}), (std::array{c.want.x, c.want.y, c.want.w, c.want.h}))
            << c.field << " " << c.text;
        EXPECT_EQ(steps(), c.steps) << c.field << " " << c.text;
    }
}

TEST_F(Geometry, SizeAndPositionKeepWhatTheyShould)
{
    // A text box made narrower grows to fit its text; a smaller H is then taken as typed.
    const LWText text("A line of words that wraps when narrow", "AvenirNext-Medium", 18, LWColor::black);
    const LWElement box = LWElement::makeText(text, {72, 72, 400, LWTextLayout::height(text, 400)});
    const LWElement g = groupOf({rect("child", {150, 80, 40, 30})});
    open(letter({box, g}), {box.id});
    auto *s = show<GeometrySection>(box.id);
    const double before = el(box.id).frame.h;
    commit(s->wField(), "1");
    EXPECT_DOUBLE_EQ(el(box.id).frame.w, 72);
    EXPECT_GT(el(box.id).frame.h, before);
    EXPECT_DOUBLE_EQ(el(box.id).frame.y, 72);
    commit(s->hField(), "0.1");
    EXPECT_NEAR(el(box.id).frame.h, 7.2, 1e-9);

    s = show<GeometrySection>(g.id);
    commit(s->wField(), "2"); // 40 pt to 144 pt
    EXPECT_DOUBLE_EQ(el(g.id).children->first().frame.w, 144);
    commit(s->xField(), "3");
    EXPECT_DOUBLE_EQ(el(g.id).children->first().frame.x, 216);
}

TEST_F(Geometry, SlidersCoalescePerControlWithinTheWindow)
{
    enum Act { opacity, rotation, commitW, pause };
    const struct {
        const char *name;
        QList<Act> acts;
        qsizetype steps;
    } cases[] = {
        {"ten opacity moves", QList<Act>(10, opacity), 1},
        {"a pause inside", {opacity, opacity, pause, opacity, opacity}, 2},
        {"rotation then opacity", {rotation, opacity}, 2},
        {"opacity, W, opacity", {opacity, commitW, opacity}, 3},
    };
    for (const auto &c : cases) {
        LWElement e = rect("r", {72, 72, 144, 72});
        e.opacity = 0.5;
        open(letter({e}), {e.id});
        auto *s = show<GeometrySection>(e.id);
        int n = 0;
        for (Act a : c.acts) {
            ++n;
            if (a == pause)
                advance(1.6);
            else
                advance(0.1);
            if (a == opacity || a == pause)
                slideTo(s->opacitySlider(), 10 + n);
            else if (a == rotation)
                slideTo(s->rotationSlider(), n);
            else
                commit(s->wField(), QString::number(3 + n));
        }
        EXPECT_EQ(steps(), c.steps) << c.name;
    }
    // One undo brings back the opacity from before a whole drag, which ends at the track's end.
    LWElement e = rect("r");
    e.opacity = 0.5;
    open(letter({e}), {e.id});
    auto *s = show<GeometrySection>(e.id);
    LWSlider *slider = s->opacitySlider()->slider();
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(20, 10));
    for (int x = 20; x <= slider->width(); x += 10) {
        advance(0.1);
        QTest::mouseMove(slider, QPoint(x, 10));
    }
    QTest::mouseMove(slider, QPoint(slider->width(), 10));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width(), 10));
    EXPECT_DOUBLE_EQ(el(e.id).opacity, 1);
    EXPECT_EQ(steps(), 1);
    ed->undo();
    EXPECT_DOUBLE_EQ(el(e.id).opacity, 0.5);
}

TEST_F(Geometry, NameFieldSendsUserEditsOnlyAndKeepsTheCursor)
{
    const LWElement e = rect("Logo");
    open(letter({e}), {e.id});
    auto *s = show<GeometrySection>(e.id);
    QLineEdit *name = s->nameField();
    s->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(s));
    name->setFocus();
    name->setCursorPosition(2);
    for (const char *letter : {"a", "b", "c", "d", "e"}) {
        advance(0.2);
        QTest::keyClicks(name, letter);
    }
    EXPECT_EQ(el(e.id).name, "Loabcdego");
    EXPECT_EQ(steps(), 1);
    EXPECT_EQ(name->cursorPosition(), 7);
    EXPECT_TRUE(name->hasFocus());

    // Undo rewrites the field without writing the document; the cursor is clamped.
    ed->undo();
    EXPECT_EQ(name->text(), "Logo");
    EXPECT_EQ(name->cursorPosition(), 4);
    EXPECT_EQ(ed->redoStack().size(), 1); // the field's rewrite made no step
}

} // namespace
