// The fill and stroke editors as a caller sees them: what each action hands over, with which
// key, and that updates from the caller change the controls in place.
#include "inspector_fixture.h"
#include "kit/controls/colorwell.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/controls/symbolbutton.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/hextext.h"
#include "ui/inspector/strokeeditor.h"
#include "ui/inspector/swatches.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QTest>

#include <cmath>

namespace {

const LWColor red(1, 0, 0, 1), blue(0, 0, 1, 1), navy = LWColor::hex(0x1D2733);
const QList<LWColor> docColors = {LWColor(0.2, 0.4, 0.6)};
const QString fillColor = "fill-color", fillColor2 = "fill-color2", fillAngle = "fill-angle";

// A caller that records every hand-over and answers with the new paint, as a section does.
class Paint : public InspectorTest {
public: // the table tests' actions reach in
    void SetUp() override
    {
        InspectorTest::SetUp();
        QObject::connect(&editor, &FillEditor::changed,
                         [this](const LWFill &f, const std::optional<QString> &key) {
                             handed.append({f, key});
                             if (answer)
                                 editor.setFill(f, docColors);
                         });
        QObject::connect(&stroke, &StrokeEditor::changed,
                         [this](const std::optional<LWStroke> &s, const std::optional<QString> &key) {
                             strokes.append({s, key});
                             stroke.setStroke(s, docColors);
                         });
    }
    void TearDown() override
    {
        if (QColorDialog *dialog = LWColorWell::panel())
            dialog->hide();
        InspectorTest::TearDown();
    }
    void show(const LWFill &fill)
    {
        editor.setFill(fill, docColors);
        editor.resize(256, editor.sizeHint().height());
        editor.show();
    }
    void chooseKind(LWFillKind kind) { editor.kindPicker()->segment(static_cast<int>(kind))->click(); }
    void clickChip(qsizetype index)
    {
        Swatches *s = editor.swatches();
        QTest::mouseClick(s, Qt::LeftButton, {}, s->chipRect(index).center());
    }

    void showStroke(const std::optional<LWStroke> &s)
    {
        stroke.setStroke(s, docColors);
        stroke.resize(256, stroke.sizeHint().height());
        stroke.show();
    }

    FillEditor editor;
    QList<Handed<LWFill>> handed;
    bool answer = true;
    StrokeEditor stroke{1};
    QList<Handed<std::optional<LWStroke>>> strokes;
};
using Fill = Paint;
using Stroke = Paint;

// Drags a row's slider from its left end to its right one in 9 px steps, and checks every value
// handed over: under `key`, on the step grid, inside the range, the last one at its top.
template <class V, class Get>
void expectSweep(LabeledSlider *row, const QList<Handed<V>> &handed, Get value, const QString &key, double step,
                 double lower, double upper)
{
    LWSlider *s = row->slider();
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(0, 10));
    for (int x = 0; x <= s->width(); x += 9)
        QTest::mouseMove(s, QPoint(x, 10));
    QTest::mouseMove(s, QPoint(s->width(), 10));
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(s->width(), 10));
    ASSERT_GT(handed.size(), 10);
    for (const auto &h : handed) {
        EXPECT_EQ(h.key, key);
        const double v = value(h.value);
        EXPECT_TRUE(std::abs(v / step - std::round(v / step)) < 1e-9 && v >= lower && v <= upper) << v;
    }
    EXPECT_EQ(value(handed.last().value), upper);
}

} // namespace

TEST_F(Fill, RowsFollowTheKind)
{
    const struct {
        LWFill fill;
        QList<bool> want;
    } cases[] = {
        // well 1, hex, arrow, well 2, swap, chips, angle
        {LWFill::none(), {false, false, false, false, false, false, false}},
        {LWFill::solid(red), {true, true, false, false, false, true, false}},
        {LWFill::radial(red, blue), {true, true, true, true, true, true, false}},
        {LWFill::linear(red, blue), {true, true, true, true, true, true, true}},
    };
    show(LWFill::linear(blue, red));
    for (const auto &c : cases) {
        SCOPED_TRACE(LWEnum::text(c.fill.kind).toStdString());
        editor.setFill(c.fill, docColors);
        EXPECT_EQ(shown(editor, {editor.firstWell(), editor.hexText(), editor.arrow(), editor.secondWell(),
                                 editor.swapButton(), editor.swatches(), editor.angleSlider()}),
                  c.want);
        EXPECT_EQ(editor.kindPicker()->current(), static_cast<int>(c.fill.kind));
    }
    EXPECT_TRUE(handed.isEmpty()); // the caller's updates hand nothing back
}

TEST_F(Fill, ChangingTheKindDerivesASecondColourOnlyFromEqualColours)
{
    const LWFill twoColours = LWFill::linear(red, blue, 30);
    const LWColor pink(1, 0.45, 0.45, 1), halfRed = red.withAlpha(0.5), halfPink(1, 0.45, 0.45, 0.725);
    const struct {
        const char *name;
        LWFill start;
        LWFillKind to;
        LWFill want;
    } cases[] = {
        {"solid red", {LWFillKind::solid, red, red, 30}, LWFillKind::linear, {LWFillKind::linear, red, pink, 30}},
        {"half red", LWFill::solid(halfRed), LWFillKind::radial, {LWFillKind::radial, halfRed, halfPink, 90}},
        {"none", LWFill::none(), LWFillKind::linear, LWFill::linear(LWColor::black, LWColor::white, 90)},
        {"linear to radial", twoColours, LWFillKind::radial, {LWFillKind::radial, red, blue, 30}},
        {"linear to none", twoColours, LWFillKind::none, {LWFillKind::none, red, blue, 30}},
        {"linear to solid", twoColours, LWFillKind::solid, {LWFillKind::solid, red, blue, 30}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        handed.clear();
        show(c.start);
        chooseKind(c.to);
        ASSERT_EQ(handed.size(), 1);
        EXPECT_EQ(handed[0].value.kind, c.want.kind);
        expectColor(handed[0].value.color, c.want.color);
        expectColor(handed[0].value.color2, c.want.color2);
        EXPECT_EQ(handed[0].value.angle, c.want.angle);
        EXPECT_EQ(handed[0].key, std::nullopt);
        EXPECT_EQ(editor.kindPicker()->current(), static_cast<int>(c.to));
    }
    handed.clear();
    chooseKind(LWFillKind::solid); // the shown kind again: nothing to hand over
    EXPECT_TRUE(handed.isEmpty());

    answer = false; // a caller that refuses the change: the picker keeps showing its kind
    chooseKind(LWFillKind::radial);
    EXPECT_EQ(handed.size(), 1);
    EXPECT_EQ(editor.kindPicker()->current(), static_cast<int>(LWFillKind::solid));
}

TEST_F(Fill, ColoursChipsAndSwapHandOverTheirKeys)
{
    const QList<LWColor> chips = Swatches::chips(docColors);
    const struct {
        const char *name;
        LWFill start;
        std::function<void(Fill &)> act;
        LWFill want;
        std::optional<QString> key;
    } cases[] = {
        {"chip on linear", LWFill::linear(red, blue), [](Fill &t) { t.clickChip(0); },
         LWFill::linear(chips[0], blue), std::nullopt},
        {"chip on solid", LWFill::solid(red), [](Fill &t) { t.clickChip(3); }, LWFill::solid(chips[3]),
         std::nullopt},
        {"well 2", LWFill::radial(red, blue),
         [](Fill &t) { Q_EMIT t.editor.secondWell()->colorPicked(navy); }, LWFill::radial(red, navy),
         fillColor2},
        {"swap", LWFill::linear(red, blue, 45), [](Fill &t) { t.editor.swapButton()->click(); },
         LWFill::linear(blue, red, 45), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        handed.clear();
        show(c.start);
        c.act(*this);
        ASSERT_EQ(handed.size(), 1);
        EXPECT_EQ(handed[0].value, c.want);
        EXPECT_EQ(handed[0].key, c.key);
        EXPECT_EQ(editor.hexText()->text(), c.want.color.hexString());
    }
}

TEST_F(Fill, FirstWellDialogKeepsReportingAcrossTheCallersUpdates)
{
    for (const LWFill &start : {LWFill::solid(red), LWFill::linear(red, blue)}) {
        SCOPED_TRACE(LWEnum::text(start.kind).toStdString());
        handed.clear();
        show(start);
        editor.firstWell()->click();
        QColorDialog *dialog = LWColorWell::panel();
        ASSERT_NE(dialog, nullptr);
        dialog->setCurrentColor(QColor(0, 255, 0));
        dialog->setCurrentColor(QColor(0, 0, 255, 128)); // after the caller's answer, to the same well
        ASSERT_GE(handed.size(), 2);                     // the dialog may report a colour and then its alpha
        for (const auto &h : handed)
            EXPECT_EQ(h.key, fillColor);
        const LWFill last = handed.last().value;
        expectColor(last.color, LWColor(0, 0, 1, 128 / 255.0), 1e-6);
        EXPECT_EQ(last.color2, start.kind == LWFillKind::solid ? last.color : blue);
        EXPECT_EQ(editor.firstWell()->color(), last.color);
        dialog->hide();
    }
}

TEST_F(Fill, AngleDragStepsByFiveAndSurvivesTheCallersUpdates)
{
    show(LWFill::linear(red, blue, 90));
    LabeledSlider *row = editor.angleSlider();
    expectSweep(row, handed, [](const LWFill &f) { return f.angle; }, fillAngle, 5, 0, 360);
    EXPECT_EQ(handed.first().value.angle, 0);

    // While a drag goes on, a new paint of the same kind arrives (another colour from elsewhere).
    handed.clear();
    LWSlider *slider = row->slider();
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() / 2, 10));
    editor.setFill(LWFill::linear(navy, blue, 180), docColors);
    EXPECT_EQ(editor.angleSlider(), row);
    EXPECT_TRUE(slider->isDragging());
    QTest::mouseMove(slider, QPoint(8, 10));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(8, 10));
    ASSERT_EQ(handed.size(), 2);
    EXPECT_EQ(handed.last().value, LWFill::linear(navy, blue, 0));
    EXPECT_EQ(handed.last().key, fillAngle);
}

TEST_F(Stroke, OutlineToggleAndRows)
{
    showStroke(std::nullopt);
    const auto rows = [this] {
        return shown(stroke, {stroke.toggle(), stroke.well(), stroke.hexText(), stroke.swatches(),
                              stroke.widthSlider(), stroke.dashSlider()});
    };
    EXPECT_EQ(rows(), (QList<bool>{true, false, false, false, false, false}));

    for (const double width : {2.0, 1.0}) { // a line's default, then any other element's
        strokes.clear();
        stroke.setDefaultWidth(width);
        stroke.toggle()->click();
        ASSERT_EQ(strokes.size(), 1);
        EXPECT_EQ(strokes[0].value, LWStroke(navy, width, 0));
        EXPECT_EQ(strokes[0].key, std::nullopt);
        EXPECT_EQ(rows(), (QList<bool>{true, true, true, true, true, true}));

        stroke.toggle()->click();
        ASSERT_EQ(strokes.size(), 2);
        EXPECT_EQ(strokes[1].value, std::nullopt);
        EXPECT_EQ(strokes[1].key, std::nullopt);
        EXPECT_FALSE(stroke.toggle()->isChecked());
    }
    stroke.setStroke(LWStroke(red, 3, 4), docColors); // the caller's outline, handed nothing back
    EXPECT_TRUE(stroke.toggle()->isChecked());
    EXPECT_EQ(strokes.size(), 2);
}

// A stored outline out of both ranges: every control keeps the other properties, and each slider
// steps within its range and clamps at its ends.
TEST_F(Stroke, ColourWidthAndDashKeepTheOtherPropertiesAndStepInRange)
{
    const QList<LWColor> chips = Swatches::chips(docColors);
    const LWStroke wide(red, 40, 50);
    showStroke(wide);
    QTest::mouseClick(stroke.swatches(), Qt::LeftButton, {}, stroke.swatches()->chipRect(2).center());
    Q_EMIT stroke.well()->colorPicked(blue);
    ASSERT_EQ(strokes.size(), 2);
    EXPECT_EQ(strokes[0].value, LWStroke(chips[2], 40, 50));
    EXPECT_EQ(strokes[0].key, std::nullopt);
    EXPECT_EQ(strokes[1].value, LWStroke(blue, 40, 50));
    EXPECT_EQ(strokes[1].key, "stroke-color");

    const struct {
        LabeledSlider *row;
        double LWStroke::*field;
        double step, lower, upper;
        LWStroke first;
        QString key, readout;
    } sliders[] = {
        {stroke.widthSlider(), &LWStroke::width, 0.25, 0.25, 24, LWStroke(red, 0.25, 50), "stroke-width", "0.25pt"},
        {stroke.dashSlider(), &LWStroke::dash, 1, 0, 30, LWStroke(red, 40, 0), "stroke-dash", "0"},
    };
    for (const auto &c : sliders) {
        SCOPED_TRACE(c.key.toStdString());
        showStroke(wide);
        strokes.clear();
        QTest::mouseClick(c.row->slider(), Qt::LeftButton, {}, QPoint(0, 10));
        ASSERT_EQ(strokes.size(), 1);
        EXPECT_EQ(strokes[0].value, c.first);
        EXPECT_EQ(c.row->readout(), c.readout); // the caller's answer shows
        const auto field = c.field;
        expectSweep(c.row, strokes, [field](const std::optional<LWStroke> &v) { return (*v).*field; }, c.key, c.step,
                    c.lower, c.upper);
    }
}
