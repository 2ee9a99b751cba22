#include "templates/cardlayouts.h"

#include <algorithm>

namespace
{

constexpr auto center = LWTextAlign::center;

// Bottom-anchored rows add the extra height Δ; centred ones half of it.
double extra(const LWKit &k)
{
    return k.h - 144;
}
double half(const LWKit &k)
{
    return (k.h - 144) * 0.5;
}

std::pair<LWPage, LWPage> buildSplitPanel(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D = extra(k), D2 = half(k);

    const LWElement business = k.text(k.c.business, f.head, 14.5, p.ink, 110, 22, 126,
                                      {.lead = 0.95, .name = QStringLiteral("Business name")});
    const LWElement tagline = k.text(k.c.tagline, f.bold, 5.8, p.accentInk, 110, business.frame.maxY() + 4,
                                     126, {.track = 110, .upper = true, .name = QStringLiteral("Tagline")});
    const double ruleY = tagline.frame.maxY() + 8;
    // The title hangs from the bottom edge and the name from the title, whatever their lines.
    const LWElement title =
        k.textUp(k.c.title, f.body, 6.6, p.muted(), 110, D + 122, 126, {.name = QStringLiteral("Title")});
    const LWElement name = k.textUp(k.c.person, f.bold, 9.5, p.ink, 110, title.frame.minY() - 1, 126,
                                    {.name = QStringLiteral("Name")});
    LWPage front{
        QStringLiteral("Front"),
        LWFill::solid(p.paper),
        {k.rect({-9, -9, 105, D + 162}, k.gradPrimary(), 0, std::nullopt, QStringLiteral("Color panel")),
         k.icon(k.c.icon, {26, D2 + 30, 44, 44}, p.onPrimary),
         k.text(k.c.category, f.bold, 5.6, p.onPrimary.withAlpha(0.85), 12, D2 + 86, 72,
                {.align = center, .track = 220, .upper = true, .name = QStringLiteral("Category")}),
         business, tagline, k.line({110, ruleY}, {134, ruleY}, p.accent, 1.5), name, title}};

    const LWKit::Block contacts = k.contacts(20, D2 + 30, 138, 6.8, p.onPrimary, p.accent, 7);
    LWPage back{QStringLiteral("Back"),
                k.gradPrimary(),
                {k.oval({168, D2 + 36, 70, 70}, LWFill::none(), LWStroke(p.accent.withAlpha(0.65), 1, 0),
                        QStringLiteral("Ring")),
                 k.icon(k.c.icon2, {186, D2 + 54, 34, 34}, p.accent)}};
    back.elements << contacts.elements
                  << k.text(k.c.business, f.bold, 5.8, p.onPrimary.withAlpha(0.75), 20,
                            std::max(contacts.bottom + 12, D + 108), 140,
                            {.track = 160, .upper = true, .name = QStringLiteral("Business name")});
    return {front, back};
}

std::pair<LWPage, LWPage> buildCentered(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D2 = half(k);

    const LWElement business = k.text(k.c.business, f.head, 15, p.ink, 20, D2 + 66, 212,
                                      {.align = center, .name = QStringLiteral("Business name")});
    const LWElement tagline =
        k.text(k.c.tagline, f.bold, 6, p.accentInk, 20, business.frame.maxY() + 5, 212,
               {.align = center, .track = 170, .upper = true, .name = QStringLiteral("Tagline")});
    const double ruleY = tagline.frame.maxY() + 8;
    LWPage front{
        QStringLiteral("Front"),
        LWFill::solid(p.paper),
        {k.oval({106, D2 + 18, 40, 40}, LWFill::solid(p.primary), std::nullopt, QStringLiteral("Badge")),
         k.icon(k.c.icon, {115, D2 + 27, 22, 22}, p.onPrimary), business, tagline,
         k.line({112, ruleY}, {140, ruleY}, p.accent, 1.2)}};

    const LWKit::Block who =
        k.centeredLines({{k.c.person, f.bold, 11, p.onPrimary, QStringLiteral("Name")},
                         {k.c.title, f.body, 6.6, p.onPrimary.withAlpha(0.82), QStringLiteral("Title")}},
                        D2 + 26, 20, 212, 2);
    const LWKit::Block reach = k.centeredLines(
        {{k.c.phone, f.bold, 7, p.onPrimary, QStringLiteral("Phone")},
         {k.c.email(), f.body, 6.6, p.onPrimary, QStringLiteral("Email")},
         {k.c.web(), f.body, 6.6, p.onPrimary, QStringLiteral("Website")},
         {k.c.address(), f.body, 6.2, p.onPrimary.withAlpha(0.85), QStringLiteral("Address")}},
        who.bottom + 17, 20, 212, 2.5);
    LWPage back{QStringLiteral("Back"), k.gradPrimary(), who.elements};
    back.elements << k.line({113, who.bottom + 9}, {139, who.bottom + 9}, p.accent, 1.2) << reach.elements;
    return {front, back};
}

} // namespace

const LWCardLayout &LWCardLayouts::splitPanel()
{
    static const LWCardLayout layout{QStringLiteral("Split Panel"), buildSplitPanel};
    return layout;
}

const LWCardLayout &LWCardLayouts::centered()
{
    static const LWCardLayout layout{QStringLiteral("Centered Classic"), buildCentered};
    return layout;
}

const QList<LWCardLayout> &LWCardLayouts::all()
{
    static const QList<LWCardLayout> list{splitPanel(), centered(), boldBand(), cornerArc(), minimal(),
                                          wave(),       framed(),   stripes(),  hexBadge(),  monogram()};
    return list;
}
