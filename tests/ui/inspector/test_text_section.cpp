// The font family picker and the text section against a made-up font registry: what the lists
// show, what each control writes, under which undo steps, and what survives a refresh.
#include "fakefonts.h"
#include "section_fixture.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/colorwell.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/numberfield.h"
#include "kit/controls/popover.h"
#include "kit/controls/searchfield.h"
#include "kit/controls/segmentedpicker.h"
#include "ui/inspector/sections/fontfamilypicker.h"
#include "ui/inspector/swatches.h"
#include "ui/inspector/sections/textsection.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTest>

namespace {

using Members = TextSection::Members;

// The picker's rows as shown: headers in capitals between brackets, then the family names.
QStringList rows(const FontFamilyPicker &picker)
{
    QStringList out;
    const QAbstractItemModel *m = picker.list()->model();
    for (int i = 0; i < m->rowCount(); ++i) {
        const QModelIndex index = m->index(i, 0);
        const bool header = index.data(FontFamilyPicker::KindRole).toInt() <= FontFamilyPicker::InstalledHeader;
        out << (header ? "[" + index.data().toString() + "]" : index.data().toString());
    }
    return out;
}

QModelIndex rowOf(const FontFamilyPicker &picker, const QString &text)
{
    const QAbstractItemModel *m = picker.list()->model();
    for (int i = 0; i < m->rowCount(); ++i)
        if (m->index(i, 0).data().toString() == text)
            return m->index(i, 0);
    return {};
}

void clickRow(FontFamilyPicker &picker, const QString &text)
{
    const QRect r = picker.list()->visualRect(rowOf(picker, text));
    ASSERT_TRUE(r.isValid()) << text.toStdString();
    QTest::mouseClick(picker.list()->viewport(), Qt::LeftButton, {}, r.center());
}

const QString inc = "[VELK Fonts (included)]", ins = "[Fonts on this computer]";

class Picker : public InspectorTest {
protected:
    FakeFonts fonts;
};

// A Letter page with one text box of `t` in a 200 × 40 frame, selected, its section on show.
class Text : public SectionTest {
protected:
    void open(const LWText &t, const LWRect &frame = {100, 100, 200, 40})
    {
        const LWElement e = LWElement::makeText(t, frame);
        id = e.id;
        SectionTest::open(letter({e}), {e.id});
        section = show<TextSection>(id, fonts);
    }
    void TearDown() override
    {
        SectionTest::section.reset(); // before the fonts it reads
        SectionTest::TearDown();
    }
    LWText text() const { return *el(id).text; }
    LWRect frame() const { return el(id).frame; }
    void typeSize(const QString &typed) { commit(section->sizeField(), typed); }

    FakeFonts fonts;
    TextSection *section = nullptr;
    QUuid id;
};

LWText sample(const QString &font = "AlphaSans-Regular", const QString &string = "Hello")
{
    return LWText(string, font, 12, LWColor::black);
}

} // namespace

TEST_F(Picker, SearchFiltersEachListAndKeepsTheInstalledHeader)
{
    const struct {
        QString query;
        QStringList want;
    } cases[] = {
        {"", {inc, "Alpha Sans", "Beta Serif", ins, "Courier Y", "Gamma Sans", "Sansita", "Delta Mono", "Epsilon", "Zeta"}},
        {"zzz", {ins}},
        {"SANS", {inc, "Alpha Sans", ins, "Gamma Sans", "Sansita"}},
        {" sans", {inc, "Alpha Sans", ins, "Gamma Sans"}},
        {"ze", {ins, "Zeta"}},
        {"a s", {inc, "Alpha Sans", "Beta Serif", ins, "Gamma Sans"}},
    };
    FontFamilyPicker picker(fonts, "Gamma Sans");
    for (const auto &c : cases) {
        picker.searchField()->lineEdit()->setText(c.query);
        EXPECT_EQ(rows(picker), c.want) << c.query.toStdString();
    }
    // Only the current family is lit; an included one names its licence.
    QStringList lit;
    const QAbstractItemModel *m = picker.list()->model();
    for (int i = 0; i < m->rowCount(); ++i)
        if (m->index(i, 0).data(FontFamilyPicker::CurrentRole).toBool())
            lit << m->index(i, 0).data().toString();
    EXPECT_EQ(lit, QStringList({"Gamma Sans"}));
    EXPECT_EQ(rowOf(picker, "Alpha Sans").data(Qt::ToolTipRole).toString(),
              "Alpha Sans — included with VELK Leafwrighter (SIL Open Font License)");
}

TEST_F(Picker, LooksUpFacesOnlyForTheRowsItPaints)
{
    for (int i = 0; i < 2000; ++i)
        fonts.installed << QString("Family %1").arg(i, 4, 10, QChar('0'));
    FontFamilyPicker picker(fonts, {});
    picker.show();
    const qsizetype visible = FontFamilyPicker::listHeight / FontFamilyPicker::rowHeight + 1;
    for (const QString &query : {QString(), QString("7")}) {
        fonts.membersAsked.clear();
        picker.searchField()->lineEdit()->setText(query);
        (void)picker.grab();
        EXPECT_GT(fonts.membersAsked.size(), 0);
        EXPECT_LE(fonts.membersAsked.size(), visible);
    }
    EXPECT_LE(fonts.fontCalls, 2 * visible);
    EXPECT_EQ(fonts.membersAsked.filter("7").size(), fonts.membersAsked.size()); // only matching rows
}

TEST(FamilyChoice, KeepsTheStyleElseRegularElseTheFirstFace)
{
    FakeFonts fonts;
    const struct {
        const char *from, *family, *want;
    } cases[] = {
        {"AlphaSans-DemiBold", "Epsilon", "Epsilon-DemiBold"},  // the same style
        {"AlphaSans-DemiBold", "Beta Serif", "BetaSerif-Regular"}, // no such style: Regular
        {"AlphaSans-DemiBold", "Zeta", "Zeta-Regular"},          // "demi bold" is another style
        {"AlphaSans-DemiBold", "Gamma Sans", "GammaSans-Light"}, // neither: the first face
        {"AlphaSans-DemiBold", "Delta Mono", "AlphaSans-DemiBold"}, // no faces: unchanged
        {"AlphaSans-Bold", "Alpha Sans", "AlphaSans-Bold"},      // the same family
        {"Missing-Face", "Gamma Sans", "GammaSans-Light"},
        {"Missing-Face", "Beta Serif", "BetaSerif-Regular"}, // no current style counts as Regular
    };
    for (const auto &c : cases) {
        const QString from = c.from;
        EXPECT_EQ(TextSection::familyChoice(from, fonts.members(fonts.familyName(from)), fonts.members(c.family)),
                  c.want)
            << c.from << " -> " << c.family;
    }
}

TEST_F(Text, FamilyButtonStylePickerAndThePopover)
{
    const struct {
        const char *font, *button;
        bool style;
        int index;
    } cases[] = {
        {"AlphaSans-DemiBold", "Alpha Sans", true, 2},
        {"AlphaSans-Black", "Alpha Sans", true, -1}, // not among the members: nothing selected
        {"CourierY-Regular", "Courier Y", false, 0},
        {"Missing-Face", "Missing-Face", false, -1},
    };
    for (const auto &c : cases) {
        open(sample(c.font));
        EXPECT_EQ(section->familyButton()->text(), c.button) << c.font;
        EXPECT_EQ(section->stylePicker()->parentWidget()->isVisibleTo(section), c.style) << c.font;
        if (c.style) {
            EXPECT_EQ(section->stylePicker()->currentIndex(), c.index) << c.font;
        }
    }

    // Headers take no clicks; an unknown face picks Regular, one step; the popover closes.
    section->familyButton()->click();
    ASSERT_TRUE(section->popover() && section->popover()->isOpen());
    auto *picker = static_cast<FontFamilyPicker *>(section->popover()->content());
    EXPECT_EQ(picker->current(), "Missing-Face");
    const qsizetype before = steps();
    clickRow(*picker, "VELK Fonts (included)");
    clickRow(*picker, "Fonts on this computer");
    EXPECT_EQ(steps(), before);
    clickRow(*picker, "Beta Serif");
    EXPECT_EQ(text().fontName, "BetaSerif-Regular");
    EXPECT_EQ(steps(), before + 1);
    EXPECT_TRUE(!section->popover() || !section->popover()->isOpen());
    // It opens again at once, with the new family current and an empty search.
    section->familyButton()->click();
    ASSERT_TRUE(section->popover() && section->popover()->isOpen());
    picker = static_cast<FontFamilyPicker *>(section->popover()->content());
    EXPECT_EQ(picker->current(), "Beta Serif");
    EXPECT_EQ(picker->searchField()->text(), "");
    section->popover()->close();

    // The style picker writes the chosen face as its own step.
    open(sample("AlphaSans-Regular"));
    section->stylePicker()->activated(1);
    EXPECT_EQ(text().fontName, "AlphaSans-Bold");
    EXPECT_EQ(steps(), 1);
}

TEST_F(Text, TypingClearsTheSampleAndCoalescesWithinTheWindow)
{
    LWText t = sample("AlphaSans-Regular", "Your name");
    t.placeholder = true;
    open(t);
    QPlainTextEdit *edit = section->textEdit();
    QApplication::setActiveWindow(section);
    edit->setFocus();
    EXPECT_TRUE(section->sampleNote()->isVisibleTo(section));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_W);
    EXPECT_FALSE(section->sampleNote()->isVisibleTo(section));
    EXPECT_FALSE(text().placeholder);
    EXPECT_EQ(text().string, "w");
    for (const char c : QByteArray("ord")) {
        advance(0.1);
        QTest::keyClick(edit, c);
    }
    EXPECT_EQ(text().string, "word");
    EXPECT_EQ(steps(), 1);
    advance(1.6);
    QTest::keyClick(edit, Qt::Key_S);
    EXPECT_EQ(steps(), 2);

    // Refreshes keep the widget and its cursor; a change from elsewhere replaces the text, the
    // cursor clamped to its end.
    edit->moveCursor(QTextCursor::Start);
    edit->moveCursor(QTextCursor::Right);
    advance(0.1);
    QTest::keyClick(edit, Qt::Key_X);
    section->refresh();
    EXPECT_EQ(edit->toPlainText(), "wxords");
    EXPECT_EQ(edit->textCursor().position(), 2);
    edit->moveCursor(QTextCursor::End);
    ed->undo();
    EXPECT_EQ(section->textEdit(), edit);
    EXPECT_EQ(edit->toPlainText(), "word");
    EXPECT_EQ(edit->textCursor().position(), 4);
    EXPECT_TRUE(edit->hasFocus());
}

TEST_F(Text, SizeFieldClampsAndTakesFiniteNumbersOnly)
{
    const struct {
        const char *typed;
        double want;
    } cases[] = {{"1", 2}, {"1000", 600}, {"300", 300}, {"nan", 12}, {"inf", 12}, {"abc", 12}, {"14,5", 14.5}};
    for (const auto &c : cases) {
        open(sample());
        typeSize(c.typed);
        EXPECT_EQ(text().size, c.want) << c.typed;
        EXPECT_EQ(steps(), c.want == 12 ? 0 : 1) << c.typed;
        EXPECT_EQ(section->sizeField()->value(), c.want) << c.typed;
    }
    open(sample());
    typeSize("300");
    LWSlider *s = section->sizeSlider()->slider();
    EXPECT_EQ(LWSlider::fraction(s->value(), s->lower(), s->upper()), 1);
}

TEST_F(Text, SlidersCoalescePerControlAndTogglesTakeStepsOfTheirOwn)
{
    open(sample("BetaSerif-Regular"));
    LWSlider *size = section->sizeSlider()->slider();
    for (int i = 0; i < 5; ++i) {
        size->adjust(true);
        advance(0.2);
    }
    EXPECT_EQ(text().size, 14.5);
    EXPECT_EQ(steps(), 1);
    QAbstractButton *bold = section->toggles()[0], *italic = section->toggles()[1], *caps = section->toggles()[3];
    bold->click(); // Beta Serif has no bold face: the name kept, unlit, and so no step
    EXPECT_EQ(steps(), 1);
    EXPECT_EQ(text().fontName, "BetaSerif-Regular");
    section->trackingSlider()->slider()->adjust(true);
    EXPECT_EQ(text().tracking, 5);
    EXPECT_EQ(steps(), 2);
    section->leadingSlider()->slider()->adjust(false);
    EXPECT_NEAR(text().leading, 0.95, 1e-9);
    EXPECT_EQ(steps(), 3);
    italic->click();
    EXPECT_EQ(text().fontName, "BetaSerif-Italic");
    caps->click();
    caps->click();
    EXPECT_FALSE(text().uppercase);
    EXPECT_EQ(steps(), 6);
    ed->undo();
    EXPECT_TRUE(text().uppercase);
    EXPECT_EQ(section->shown().uppercase, true);

    open(sample("AlphaSans-Regular"));
    section->toggles()[0]->click();
    EXPECT_EQ(text().fontName, "AlphaSans-Bold");
    section->toggles()[2]->click();
    EXPECT_TRUE(text().underline);
}

TEST_F(Text, BottomAlignedBoxGrowsUpwardsAndFitShrinksIt)
{
    LWText t = sample(LWEditor::houseFont, "One line");
    open(t, {100, 100, 200, 40});
    section->vAlignPicker()->segment(2)->click();
    EXPECT_EQ(text().vAlign, LWVAlign::bottom);
    const LWRect before = frame();
    typeSize("60");
    EXPECT_GT(frame().h, before.h);
    EXPECT_NEAR(frame().y + frame().h, before.y + before.h, 1e-6);

    open(t, {100, 100, 200, 300});
    section->fitButton()->click(); // the editor's fit, which its own tests cover
    EXPECT_LT(frame().h, 40);

    section->alignPicker()->segment(3)->click();
    EXPECT_EQ(text().align, LWTextAlign::justified);
}

TEST_F(Text, ColourWellCoalescesAndAChipIsAStepOfItsOwn)
{
    open(sample());
    const LWColor red(1, 0, 0, 1), blue(0, 0, 1, 1);
    Q_EMIT section->colorWell()->colorPicked(red);
    advance(1.0);
    Q_EMIT section->colorWell()->colorPicked(blue);
    expectColor(text().color, blue);
    EXPECT_EQ(steps(), 1);
    Swatches *s = section->swatches();
    QTest::mouseClick(s, Qt::LeftButton, {}, s->chipRect(0).center());
    expectColor(text().color, s->shownChips()[0]);
    EXPECT_EQ(steps(), 2);
}

TEST_F(Text, AGoneElementShowsTheStandByText)
{
    open(sample());
    ed->deleteSelection();
    EXPECT_EQ(section->shown().fontName, "HelveticaNeue");
    EXPECT_EQ(section->textEdit()->toPlainText(), "");
    section->toggles()[2]->click(); // nothing to change: no step
    EXPECT_EQ(steps(), 1);
}
