// The shape, icon and multiple-selection sections against a real editor: which groups each kind
// shows, what their controls write, and how their edits fall into undo steps.
#include "kit/controls/chipbutton.h"
#include "kit/controls/colorwell.h"
#include "kit/paint/iconglyph.h"
#include "kit/controls/iconpicker.h"
#include "model/file/json.h"
#include "section_fixture.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/inspectorlabel.h"
#include "ui/inspector/sections/iconsection.h"
#include "ui/inspector/sections/multisection.h"
#include "ui/inspector/sections/shapesection.h"
#include "ui/inspector/strokeeditor.h"
#include "ui/inspector/swatches.h"

#include <QCheckBox>

#include <cmath>

namespace {

using Shape = SectionTest;
using Icon = SectionTest;
using Multi = SectionTest;

const LWColor ink = LWColor::hex(0x1D2733), blue = LWColor::hex(0x2F6FB0);

LWElement shape(LWShapeKind kind, const LWRect &frame = {72, 72, 100, 40},
                const std::optional<LWStroke> &stroke = std::nullopt)
{
    return LWElement::makeShape(kind, frame, LWFill::solid(blue), stroke, 0, QStringLiteral("s"));
}

void clickChip(Swatches *s, qsizetype index)
{
    QTest::mouseClick(s, Qt::LeftButton, {}, s->chipRect(index).center());
}

TEST_F(Shape, GroupsFollowTheShapeKind)
{
    const QList<QPointF> points = {{0, 0}, {1, 0}, {0.5, 1}};
    const LWElement path = LWElement::makePath(points, {72, 72, 60, 60}, LWFill::solid(blue), false, std::nullopt);
    const struct {
        LWElement e;
        QList<bool> shown; // fill, shape, outline groups; corners, sides, inner sliders
        bool star, line;
    } cases[] = {
        {shape(LWShapeKind::triangle), {true, false, true, false, false, false}, false, false},
        {path, {true, false, true, false, false, false}, false, false},
        {shape(LWShapeKind::rectangle), {true, true, true, true, false, false}, false, false},
        {shape(LWShapeKind::polygon), {true, true, true, false, true, false}, false, false},
        {shape(LWShapeKind::star), {true, true, true, false, true, true}, true, false},
        {LWElement::makeLine({72, 72}, {144, 72}, LWStroke(ink, 2)), {false, false, true, false, false, false}, false,
         true},
    };
    for (const auto &c : cases) {
        open(letter({c.e}), {c.e.id});
        auto *s = show<ShapeSection>(c.e.id);
        SCOPED_TRACE(static_cast<int>(c.e.shape));
        EXPECT_EQ(shown(*s, {s->fillGroup(), s->shapeGroup(), s->strokeGroup(), s->cornersSlider(), s->sidesSlider(),
                             s->innerSlider()}),
                  c.shown);
        EXPECT_EQ(s->sidesSlider()->label(), c.star ? "Points" : "Sides");
        EXPECT_EQ(s->strokeGroup()->title(), c.line ? "Line" : "Outline");
    }
}

TEST_F(Shape, OutlineSwitchingKeepsALineStroked)
{
    LWElement bareLine = LWElement::makeLine({72, 72}, {144, 72}, LWStroke(blue, 3, 4));
    bareLine.stroke.reset(); // as a stored design may hold it
    const struct {
        LWElement e;
        std::optional<LWStroke> clicked;
    } cases[] = {
        {LWElement::makeLine({72, 72}, {144, 72}, LWStroke(blue, 3, 4)), LWStroke(LWColor::black, 0.5, 0)},
        {bareLine, LWStroke(ink, 2, 0)},
        {shape(LWShapeKind::rectangle, {72, 72, 100, 40}, LWStroke(blue, 3, 4)), std::nullopt},
        {shape(LWShapeKind::rectangle), LWStroke(ink, 1, 0)},
    };
    for (const auto &c : cases) {
        open(letter({c.e}), {c.e.id});
        auto *s = show<ShapeSection>(c.e.id);
        QCheckBox *toggle = s->strokeEditor()->toggle();
        toggle->click();
        EXPECT_EQ(el(c.e.id).stroke, c.clicked) << c.e.name.toStdString();
        EXPECT_EQ(toggle->isChecked(), c.clicked.has_value());
        EXPECT_EQ(steps(), 1);
    }
}

TEST_F(Shape, CornersBoundFollowsTheFrame)
{
    LWElement r = shape(LWShapeKind::rectangle, {72, 72, 100, 40});
    r.cornerRadius = 7.5;
    LWElement flat = shape(LWShapeKind::rectangle, {72, 200, 100, 0});
    open(letter({r, flat}), {r.id});
    auto *s = show<ShapeSection>(r.id);
    LabeledSlider *corners = s->cornersSlider();
    EXPECT_EQ((std::array{corners->slider()->lower(), corners->slider()->upper(), corners->slider()->step()}),
              (std::array{0.0, 20.0, 0.5}));

    ed->updateElements({r.id}, "Size", std::nullopt, [](LWElement &e) { e.setFrame({72, 72, 60, 30}); });
    EXPECT_EQ(s->cornersSlider(), corners);
    EXPECT_DOUBLE_EQ(corners->slider()->upper(), 15);

    // A radius above the bound stays until the slider moves.
    ed->updateElements({r.id}, "Radius", std::nullopt, [](LWElement &e) { e.cornerRadius = 30; });
    EXPECT_DOUBLE_EQ(el(r.id).cornerRadius, 30);
    EXPECT_EQ(corners->readout(), "30.0");
    slideTo(corners, 15);
    EXPECT_DOUBLE_EQ(el(r.id).cornerRadius, 15);

    s = show<ShapeSection>(flat.id);
    EXPECT_DOUBLE_EQ(s->cornersSlider()->slider()->upper(), 0);
    QTest::mouseClick(s->cornersSlider()->slider(), Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_EQ(el(flat.id).cornerRadius, 0.0);
}

TEST_F(Shape, EditsCoalescePerSliderAndPaintControl)
{
    const LWElement r = shape(LWShapeKind::rectangle), star = shape(LWShapeKind::star),
                     polygon = shape(LWShapeKind::polygon);
    open(letter({r, star, polygon}), {r.id});
    auto *s = show<ShapeSection>(r.id);
    for (double v : {2.0, 4.0, 6.0}) {
        advance(0.5);
        slideTo(s->cornersSlider(), v);
    }
    EXPECT_EQ(steps(), 1);
    EXPECT_DOUBLE_EQ(el(r.id).cornerRadius, 6);

    // Two keyless fill changes back to back are two steps.
    advance(0.1);
    clickChip(s->fillEditor()->swatches(), 0);
    clickChip(s->fillEditor()->swatches(), 1);
    EXPECT_EQ(steps(), 3);

    // Two moves of the first colour well are one step under "fill-color-" + the id.
    advance(0.1);
    Q_EMIT s->fillEditor()->firstWell()->colorPicked(LWColor(1, 0, 0, 1));
    advance(0.1);
    Q_EMIT s->fillEditor()->firstWell()->colorPicked(LWColor(0, 1, 0, 1));
    EXPECT_EQ(steps(), 4);
    EXPECT_EQ(el(r.id).fill, LWFill::solid(LWColor(0, 1, 0, 1)));
    ed->updateElements({r.id}, "Probe", "fill-color-" + LWJson::uuidText(r.id), [](LWElement &) {});
    EXPECT_EQ(steps(), 4);

    // Another slider of the same element starts a new step.
    s = show<ShapeSection>(star.id);
    advance(0.1);
    slideTo(s->sidesSlider(), 7);
    advance(0.1);
    slideTo(s->innerSlider(), 10);
    EXPECT_EQ(steps(), 6);
    EXPECT_EQ(el(star.id).sides, 7);
    EXPECT_DOUBLE_EQ(el(star.id).innerRatio, 0.1);
    EXPECT_EQ(s->innerSlider()->readout(), "10%"); // shown as a percentage of the ratio

    s = show<ShapeSection>(polygon.id);
    s->sidesSlider()->slider()->adjust(true); // written unsnapped, stored whole
    EXPECT_EQ(el(polygon.id).sides, 7);
}

TEST_F(Icon, PreviewTitleAndPicking)
{
    LWElement phone = LWElement::makeIcon("star", {72, 72, 50, 50}, LWFill::solid(blue));
    phone.name = "My mark";
    LWElement bare = phone;
    bare.id = QUuid::createUuid();
    bare.icon.reset();
    LWElement unknown = LWElement::makeIcon("zzz-unknown", {72, 72, 50, 50}, LWFill::solid(blue));
    open(letter({phone, bare, unknown}), {phone.id});

    auto *s = show<IconSection>(bare.id);
    EXPECT_EQ(s->preview()->name(), "star");
    EXPECT_EQ(s->title()->text(), "");
    s = show<IconSection>(unknown.id);
    EXPECT_EQ(s->title()->text(), "zzz-unknown");

    s = show<IconSection>(phone.id);
    EXPECT_EQ(s->title()->text(), LWIcons::title("star"));
    s->changeButton()->click();
    ASSERT_TRUE(s->popover() && s->popover()->isOpen());
    auto *picker = qobject_cast<IconPicker *>(s->popover()->content());
    ASSERT_TRUE(picker);
    const QList<LWIcons::Info> &icons = picker->grid()->icons();
    const auto at = std::find_if(icons.begin(), icons.end(), [](const LWIcons::Info &i) { return i.id == "phone"; });
    ASSERT_NE(at, icons.end());
    QTest::mouseClick(picker->grid(), Qt::LeftButton, {}, picker->grid()->cellRect(at - icons.begin()).center());
    EXPECT_EQ(el(phone.id).icon, "phone");
    EXPECT_EQ(el(phone.id).name, "Icon: phone");
    EXPECT_EQ(steps(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(s->popover(), nullptr);
    EXPECT_EQ(s->preview()->name(), "phone");
    EXPECT_EQ(s->title()->text(), LWIcons::title("phone"));
    ed->undo();
    EXPECT_EQ(el(phone.id).icon, "star");
    EXPECT_EQ(el(phone.id).name, "My mark");

    // The preview stays white whatever the icon's colour.
    const LWColor red = LWColor::hex(0xA81D26);
    clickChip(s->fillEditor()->swatches(), s->fillEditor()->swatches()->shownChips().indexOf(red));
    EXPECT_EQ(el(phone.id).fill, LWFill::solid(red));
    EXPECT_EQ(s->preview()->color(), QColor(Qt::white));
}

TEST_F(Multi, OnePickColoursEachKindItsOwnWay)
{
    const LWColor pick = LWColor::hex(0xA81D26);
    const LWElement text = LWElement::makeText(LWText("Hello", "AvenirNext-Medium", 12, LWColor::black), {72, 72, 100, 20});
    LWElement gradient = shape(LWShapeKind::rectangle);
    gradient.fill = LWFill::linear(LWColor::black, LWColor::white, 30);
    const LWElement line = LWElement::makeLine({72, 300}, {200, 300}, LWStroke(ink, 3, 5));
    LWElement bareLine = LWElement::makeLine({72, 320}, {200, 320}, LWStroke(ink, 1));
    bareLine.stroke.reset();
    LWElement photo = LWElement::makePhoto({300, 300, 100, 100});
    const LWElement icon = LWElement::makeIcon("phone", {300, 72, 40, 40}, LWFill::solid(ink));
    const LWElement g = groupOf({shape(LWShapeKind::ellipse, {400, 400, 30, 30})});
    const QList<LWElement> all = {text, gradient, line, bareLine, photo, icon, g};
    open(letter(all), ids(all));
    auto *s = show<MultiSection>();
    const qsizetype index = s->swatches()->shownChips().indexOf(pick);
    ASSERT_GE(index, 0);
    const LWDocument before = ed->doc();

    clickChip(s->swatches(), index);
    EXPECT_EQ(el(text.id).text->color, pick);
    EXPECT_EQ(el(gradient.id).fill, LWFill::solid(pick));
    EXPECT_DOUBLE_EQ(el(gradient.id).fill.angle, 90);
    EXPECT_EQ(el(line.id).stroke, LWStroke(pick, 3, 5));
    EXPECT_EQ(el(bareLine.id).stroke, std::nullopt);
    EXPECT_EQ(el(photo.id), photo);
    EXPECT_EQ(el(icon.id).fill, LWFill::solid(pick));
    EXPECT_EQ(el(g.id).fill, LWFill::solid(pick));
    EXPECT_EQ(el(g.id).children, g.children);
    EXPECT_EQ(steps(), 1);
    ed->undo();
    EXPECT_EQ(ed->doc(), before);

    clickChip(s->swatches(), index);
    clickChip(s->swatches(), 0);
    EXPECT_EQ(steps(), 2);
    EXPECT_EQ(s->swatches()->colors(), ed->docColors()); // refreshed with the new colours
}

} // namespace
