// Framed, Side Stripes, Hex Badge and Monogram.
#include "templates/cardlayouts.h"
#include "templates/cardparts.h"

namespace
{

using namespace LWCardParts;
constexpr auto center = LWTextAlign::center;

LWElement stripe(const LWKit &k, double x, double w, const LWColor &color)
{
    return k.rect({x, -9, w, extra(k) + 162}, LWFill::solid(color), 0, std::nullopt,
                  QStringLiteral("Stripe"));
}

// The kit has no polygon builder of its own: the model's polygon has six sides unless told otherwise.
LWElement hexagon(const LWRect &r, const LWFill &fill, const LWStroke &stroke)
{
    return LWElement::makeShape(LWShapeKind::polygon, r, fill, stroke, 0, QStringLiteral("Hexagon"));
}

std::pair<LWPage, LWPage> buildFramed(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D = extra(k), D2 = half(k);

    const LWElement business = k.text(k.c.business, f.head, 15, p.ink, 24, D2 + 52, 204,
                                      {.align = center, .name = QStringLiteral("Business name")});
    const double ruleY = business.frame.maxY() + 6;
    LWPage front{QStringLiteral("Front"),
                 LWFill::solid(p.paper),
                 {k.rect({12, 12, 228, D + 120}, LWFill::none(), 0, LWStroke(p.primary, 0.6, 0),
                         QStringLiteral("Frame")),
                  k.rect({15.5, 15.5, 221, D + 113}, LWFill::none(), 0, LWStroke(p.accentInk, 1.2, 0),
                         QStringLiteral("Inner frame")),
                  k.icon(k.c.icon, {116, D2 + 26, 20, 20}, p.accentInk), business,
                  k.line({106, ruleY}, {146, ruleY}, p.accentInk, 0.8),
                  k.text(k.c.tagline, f.body, 6, p.muted(), 24, business.frame.maxY() + 12, 204,
                         {.align = center, .track = 200, .upper = true, .name = QStringLiteral("Tagline")})}};

    const LWKit::Block who = k.centeredLines({{k.c.person, f.head, 11, p.onPrimary, QStringLiteral("Name")},
                                              {k.c.title, f.body, 6, p.accent, QStringLiteral("Title")}},
                                             D2 + 26, 24, 204, 2);
    const LWKit::Block reach =
        k.centeredLines({{k.c.phone, f.body, 6.6, p.onPrimary, QStringLiteral("Phone")},
                         {k.c.email(), f.body, 6.4, p.onPrimary, QStringLiteral("Email")},
                         {k.c.web(), f.body, 6.4, p.onPrimary, QStringLiteral("Website")},
                         {k.c.address(), f.body, 6, p.onPrimary.withAlpha(0.85), QStringLiteral("Address")}},
                        who.bottom + 12, 24, 204, 2.5);
    LWPage back{QStringLiteral("Back"),
                LWFill::solid(p.deep),
                {k.rect({12, 12, 228, D + 120}, LWFill::none(), 0, LWStroke(p.accent, 0.8, 0),
                        QStringLiteral("Frame"))}};
    back.elements << who.elements << k.line({116, who.bottom + 6}, {136, who.bottom + 6}, p.accent, 0.8)
                  << reach.elements;
    return {front, back};
}

std::pair<LWPage, LWPage> buildStripes(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D = extra(k), D2 = half(k);

    const LWElement business = k.text(k.c.business, f.head, 14.5, p.ink, 40, 22, 190,
                                      {.lead = 0.95, .name = QStringLiteral("Business name")});
    // The title hangs from the bottom edge and the name from the title, whatever their lines.
    const LWElement title =
        k.textUp(k.c.title, f.body, 6.4, p.muted(), 40, D + 122, 150, {.name = QStringLiteral("Title")});
    const LWElement name = k.textUp(k.c.person, f.bold, 9.5, p.ink, 40, title.frame.minY() - 1, 150,
                                    {.name = QStringLiteral("Name")});
    LWPage front{QStringLiteral("Front"),
                 LWFill::solid(p.paper),
                 {stripe(k, -9, 23, p.primary), stripe(k, 17, 4, p.accent),
                  stripe(k, 24, 2, p.primary.withAlpha(0.5)), business,
                  k.text(k.c.tagline, f.bold, 5.8, p.accentInk, 40, business.frame.maxY() + 4, 190,
                         {.track = 110, .upper = true, .name = QStringLiteral("Tagline")}),
                  name, title, k.icon(k.c.icon, {204, D + 92, 30, 30}, p.primary)}};

    LWPage back{QStringLiteral("Back"),
                LWFill::solid(p.deep),
                {stripe(k, 231, 30, p.primary), stripe(k, 225, 3, p.accent)}};
    back.elements << k.contacts(22, D2 + 28, 190, 7, p.onPrimary, p.accent, 6.5).elements
                  << k.textUp(k.c.business, f.bold, 6, p.accent, 22, D + 124, 190,
                              {.track = 160, .upper = true, .name = QStringLiteral("Business name")});
    return {front, back};
}

std::pair<LWPage, LWPage> buildHexBadge(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D2 = half(k);

    // The business name and tagline are centred as one block on the hexagon's middle.
    const LWElement business = k.text(k.c.business, f.head, 14, p.onPrimary, 124, 0, 112,
                                      {.lead = 0.95, .name = QStringLiteral("Business name")});
    const LWElement tagline = k.text(k.c.tagline, f.body, 5.8, p.accent, 124, 0, 112,
                                     {.track = 90, .upper = true, .name = QStringLiteral("Tagline")});
    const LWElement placed =
        at(business, (72 + D2) - (business.frame.height() + 6 + tagline.frame.height()) * 0.5);
    LWPage front{
        QStringLiteral("Front"),
        k.gradPrimary(),
        {hexagon({22, D2 + 28, 88, 88}, LWFill::solid(LWColor::white.withAlpha(0.07)), {p.accent, 1.6, 0}),
         k.icon(k.c.icon, {44, D2 + 50, 44, 44}, p.accent), placed, at(tagline, placed.frame.maxY() + 6)}};

    const LWElement person =
        k.text(k.c.person, f.bold, 10.5, p.ink, 18, 18, 170, {.name = QStringLiteral("Name")});
    const LWElement title = k.text(k.c.title, f.body, 6.4, p.accentInk, 18, person.frame.maxY() + 1, 170,
                                   {.name = QStringLiteral("Title")});
    LWPage back{QStringLiteral("Back"),
                LWFill::solid(p.paper),
                {hexagon({198, 16, 38, 38}, LWFill::none(), {p.primary, 1.2, 0}),
                 k.icon(k.c.icon2, {207, 25, 20, 20}, p.primary), person, title}};
    back.elements << k.contacts(18, title.frame.maxY() + 12, 216, 6.6, p.ink, p.primary, 4.5).elements;
    return {front, back};
}

std::pair<LWPage, LWPage> buildMonogram(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D2 = half(k);

    // The initials sit with their middle on the rings' centre, however tall they measure.
    const LWElement initials = k.text(k.c.initials(), f.head, 34, p.onPrimary, 20, 0, 100,
                                      {.align = center, .name = QStringLiteral("Initials")});
    const LWElement business = k.text(k.c.business, f.head, 12.5, p.onPrimary, 136, D2 + 44, 100,
                                      {.lead = 0.95, .name = QStringLiteral("Business name")});
    const double ruleY = business.frame.maxY() + 7;
    LWPage front{QStringLiteral("Front"),
                 LWFill::linear(p.primary, p.deep, 45),
                 {k.oval({20, D2 + 22, 100, 100}, LWFill::none(), LWStroke(p.onPrimary.withAlpha(0.55), 1, 0),
                         QStringLiteral("Ring")),
                  k.oval({25, D2 + 27, 90, 90}, LWFill::none(), LWStroke(p.accent, 0.6, 0),
                         QStringLiteral("Inner ring")),
                  at(initials, (72 + D2) - initials.frame.height() * 0.5), business,
                  k.line({136, ruleY}, {156, ruleY}, p.accent, 1.2),
                  k.text(k.c.tagline, f.body, 5.8, p.accent, 136, business.frame.maxY() + 13, 100,
                         {.track = 100, .upper = true, .name = QStringLiteral("Tagline")})}};

    const LWElement mark =
        k.text(k.c.initials(), f.head, 16, p.primary, 18, 16, 80, {.name = QStringLiteral("Initials")});
    const double markRuleY = mark.frame.maxY() + 4;
    const LWElement person =
        k.text(k.c.person, f.bold, 10, p.ink, 18, D2 + 50, 200, {.name = QStringLiteral("Name")});
    const LWElement title = k.text(k.c.title, f.body, 6.4, p.muted(), 18, person.frame.maxY() + 1, 200,
                                   {.name = QStringLiteral("Title")});
    LWPage back{QStringLiteral("Back"),
                LWFill::solid(p.paper),
                {mark, k.line({18, markRuleY}, {40, markRuleY}, p.accent, 1.4),
                 k.icon(k.c.icon, {212, 18, 22, 22}, p.primary.withAlpha(0.85)), person, title}};
    back.elements
        << k.contacts(18, title.frame.maxY() + 9, 216, 6.4, p.ink, p.primary, 3.5, withoutAddress()).elements;
    return {front, back};
}

} // namespace

const LWCardLayout &LWCardLayouts::framed()
{
    static const LWCardLayout layout{QStringLiteral("Framed"), buildFramed};
    return layout;
}

const LWCardLayout &LWCardLayouts::stripes()
{
    static const LWCardLayout layout{QStringLiteral("Side Stripes"), buildStripes};
    return layout;
}

const LWCardLayout &LWCardLayouts::hexBadge()
{
    static const LWCardLayout layout{QStringLiteral("Hex Badge"), buildHexBadge};
    return layout;
}

const LWCardLayout &LWCardLayouts::monogram()
{
    static const LWCardLayout layout{QStringLiteral("Monogram"), buildMonogram};
    return layout;
}
