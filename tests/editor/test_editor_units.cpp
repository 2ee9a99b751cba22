#include "editor_fixture.h"

namespace {

using Units = EditorTest;

TEST_F(Units, FollowTheSizeIdAlone)
{
    struct Case {
        LWDocument doc;
        bool mm;
    } cases[] = {
        {LWDocument::blank(LWSizePreset::a4, std::nullopt), true},
        {LWDocument::blank(LWSizePreset::euCard, std::nullopt), true},
        {LWDocument::blank(LWSizePreset::letter, std::nullopt), false},
        {LWDocument::blank(LWSizePreset::usCard, std::nullopt), false},
        {LWDocument::blank(LWSizePreset::halfLetter, std::nullopt), false},
        {LWDocument::blank(LWSizePreset::tabloid, std::nullopt), false},
        // 100 x 50 mm exactly, yet a custom size
        {LWDocument::blank(LWDocKind::flyer, QStringLiteral("custom"), 100 * 72 / 25.4, 50 * 72 / 25.4, 9, QStringLiteral("Custom")), false},
    };
    for (const Case &c : cases) {
        const auto editor = make(c.doc);
        const std::string id = c.doc.sizeID.toStdString();
        EXPECT_EQ(editor->mmUnits(), c.mm) << id;
        EXPECT_EQ(editor->unitName(), c.mm ? QStringLiteral("mm") : QStringLiteral("in")) << id;
        EXPECT_DOUBLE_EQ(editor->toUnit(72), c.mm ? 25.4 : 1) << id;
        EXPECT_DOUBLE_EQ(editor->fromUnit(c.mm ? 25.4 : 1), 72) << id;
    }
}

TEST_F(Units, BleedTextNamesTheRealBleed)
{
    const struct {
        LWSizePreset preset;
        double bleed;
        QString text;
    } cases[] = {
        {LWSizePreset::usCard, 9, QStringLiteral("0.125 in")}, {LWSizePreset::a4, 9, QStringLiteral("3 mm")},
        {LWSizePreset::letter, 18, QStringLiteral("0.25 in")}, {LWSizePreset::euCard, 18, QStringLiteral("6.35 mm")},
        {LWSizePreset::letter, 0, QStringLiteral("0 in")},     {LWSizePreset::a4, 1, QStringLiteral("0.353 mm")},
    };
    for (const auto &c : cases) {
        LWDocument doc = LWDocument::blank(c.preset, std::nullopt);
        doc.bleed = c.bleed;
        EXPECT_EQ(make(doc)->bleedText(), c.text) << c.bleed;
    }
}

LWElement box(const LWFill &fill, const std::optional<LWStroke> &stroke = std::nullopt)
{
    return LWElement::makeShape(LWShapeKind::rectangle, LWRect(10, 10, 40, 30), fill, stroke);
}
LWElement text(const LWColor &color)
{
    return LWElement::makeText(LWText(QStringLiteral("Hi"), QStringLiteral("AvenirNext-Medium"), 12, color),
                               LWRect(10, 10, 100, 20));
}

TEST_F(Units, DocumentColoursListDistinctOpaqueColoursInOrderOfFirstUse)
{
    const LWColor white = LWColor::white, black = LWColor::black, red(1, 0, 0), blue(0, 0, 1),
                  yellow(1, 1, 0), green(0, 0.5814, 0);
    const auto letter = [](const QList<LWElement> &elements, const LWFill &background = LWFill::solid(LWColor::white)) {
        LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
        doc.pages[0].background = background;
        doc.pages[0].elements = elements;
        return doc;
    };
    LWElement group(LWElementKind::group, QStringLiteral("g"), LWRect(0, 0, 100, 100));
    group.fill = LWFill::solid(blue);
    group.children = QList<LWElement>{box(LWFill::solid(red)), text(yellow)};
    LWElement hidden = box(LWFill::solid(red)), locked = text(blue);
    hidden.hidden = true;
    locked.locked = true;
    QList<LWElement> twenty;
    QList<LWColor> first12{white};
    for (int i = 0; i < 20; ++i) {
        const LWColor c(i / 19.0, 0.5, 1 - i / 19.0);
        twenty << box(LWFill::solid(c));
        if (first12.size() < 12)
            first12 << c;
    }
    LWDocument twoSided = letter({text(black)});
    LWPage back = twoSided.pages[0];
    back.elements = {box(LWFill::none(), LWStroke(red, 0))}; // a stroke counts whatever its width
    twoSided.pages << back;

    struct Case {
        const char *what;
        LWDocument doc;
        QList<LWColor> colors;
    } cases[] = {
        {"new Letter", LWDocument::blank(LWSizePreset::letter, std::nullopt), {white}},
        {"near-black dropped", letter({text(black), text(LWColor(0, 0, 1 / 255.0))}), {white, black}},
        {"alpha removed", letter({box(LWFill::solid(red.withAlpha(0.5))), text(red)}), {white, red}},
        {"equal luminance kept", letter({text(red), text(green)}), {white, red, green}},
        {"gradient first", letter({text(red)}, LWFill::linear(blue, yellow)), {blue, yellow, red}},
        {"radial, no background", letter({box(LWFill::radial(red, blue))}, LWFill::none()), {red, blue}},
        {"group before children", letter({group}), {white, blue, red, yellow}},
        {"fill none, no stroke", letter({box(LWFill::none()), text(red)}), {white, red}},
        {"hidden and locked count", letter({hidden, locked}), {white, red, blue}},
        {"first twelve", letter(twenty), first12},
        {"back side too", twoSided, {white, black, red}},
    };
    for (const Case &c : cases) {
        const auto editor = make(c.doc);
        EXPECT_EQ(editor->side(), 0);
        EXPECT_EQ(editor->docColors(), c.colors) << c.what;
    }
}

} // namespace
