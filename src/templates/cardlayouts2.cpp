// Bold Band, Corner Arc, Minimal and Wave.
#include "templates/cardlayouts.h"
#include "templates/cardparts.h"

#include <array>

namespace
{

using namespace LWCardParts;
constexpr auto center = LWTextAlign::center;

// A wave's outline: points in unit coordinates of its rectangle, in drawing order, and the
// indices of the points that stay sharp.
struct UnitPoint {
    double x, y;
};
constexpr std::array<UnitPoint, 6> frontBehindPoints{
    {{0, 0.3}, {0.3, 0.02}, {0.62, 0.34}, {1, 0.1}, {1, 1}, {0, 1}}};
constexpr std::array<qint64, 4> frontBehindCorners{0, 3, 4, 5};
constexpr std::array<UnitPoint, 7> frontPoints{
    {{0, 0.3}, {0.25, 0.12}, {0.55, 0.36}, {0.8, 0.18}, {1, 0.3}, {1, 1}, {0, 1}}};
constexpr std::array<qint64, 4> frontCorners{0, 4, 5, 6};
constexpr std::array<UnitPoint, 6> backPoints{{{0, 0}, {1, 0}, {1, 0.7}, {0.7, 1}, {0.35, 0.55}, {0, 0.85}}};
constexpr std::array<qint64, 4> backCorners{0, 1, 2, 5};

template <std::size_t N, std::size_t M>
LWElement waveOf(const LWKit &k, const LWRect &r, const std::array<UnitPoint, N> &points,
                 const std::array<qint64, M> &corners, const LWFill &fill, const QString &name)
{
    QList<QPointF> unit;
    unit.reserve(N);
    for (const UnitPoint &p : points)
        unit.append(QPointF(p.x, p.y));
    return k.wave(r, unit, {corners.begin(), corners.end()}, fill, name);
}

std::pair<LWPage, LWPage> buildBoldBand(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D = extra(k), D2 = half(k);

    const LWElement business = k.text(k.c.business, f.head, 17, p.onPrimary, 18, 18, 180,
                                      {.lead = 0.95, .name = QStringLiteral("Business name")});
    LWPage front{
        QStringLiteral("Front"),
        LWFill::solid(p.deep),
        {k.poly({{-9, D + 100}, {261, D + 48}, {261, D + 82}, {-9, D + 134}},
                LWFill::linear(p.accent, p.accent.mix(LWColor::white, 0.25), 0), QStringLiteral("Band")),
         k.poly({{-9, D + 139}, {261, D + 87}, {261, D + 91}, {-9, D + 143}},
                LWFill::solid(p.accent.withAlpha(0.5)), QStringLiteral("Thin band")),
         k.icon(k.c.icon, {210, 18, 24, 24}, p.accent), business,
         k.text(k.c.tagline, f.bold, 6, p.accent, 18, business.frame.maxY() + 5, 190,
                {.track = 150, .upper = true, .name = QStringLiteral("Tagline")})}};

    const LWElement person =
        k.text(k.c.person, f.bold, 11, p.ink, 18, 18, 190, {.name = QStringLiteral("Name")});
    const LWElement title = k.text(k.c.title, f.body, 6.6, p.accentInk, 18, person.frame.maxY() + 1, 190,
                                   {.name = QStringLiteral("Title")});
    LWPage back{QStringLiteral("Back"),
                LWFill::solid(p.paper),
                {k.rect({222, -9, 39, D + 162}, k.gradPrimary(), 0, std::nullopt, QStringLiteral("Side bar")),
                 k.icon(k.c.icon2, {227, D2 + 62, 20, 20}, p.onPrimary), person, title}};
    back.elements << k.contacts(18, title.frame.maxY() + 13, 190, 6.8, p.ink, p.primary, 5).elements;
    return {front, back};
}

std::pair<LWPage, LWPage> buildCornerArc(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D = extra(k);

    const LWElement business = k.text(k.c.business, f.head, 15, p.ink, 18, 20, 148,
                                      {.lead = 0.95, .name = QStringLiteral("Business name")});
    // The title hangs from the bottom edge and the name from the title, whatever their lines.
    const LWElement title =
        k.textUp(k.c.title, f.body, 6.4, p.muted(), 18, D + 124, 124, {.name = QStringLiteral("Title")});
    const LWElement name = k.textUp(k.c.person, f.bold, 9.5, p.ink, 18, title.frame.minY() - 1, 124,
                                    {.name = QStringLiteral("Name")});
    LWPage front{QStringLiteral("Front"),
                 LWFill::solid(p.paper),
                 {k.oval({150, D + 46, 170, 170}, k.gradPrimary(), std::nullopt, QStringLiteral("Arc")),
                  k.oval({136, D + 32, 198, 198}, LWFill::none(), LWStroke(p.accent.withAlpha(0.8), 1.2, 0),
                         QStringLiteral("Arc ring")),
                  k.icon(k.c.icon, {198, D + 82, 34, 34}, p.onPrimary), business,
                  k.text(k.c.tagline, f.bold, 5.8, p.accentInk, 18, business.frame.maxY() + 5, 150,
                         {.track = 110, .upper = true, .name = QStringLiteral("Tagline")}),
                  name, title}};

    const LWElement backName =
        k.text(k.c.business, f.head, 10, p.onPrimary, 82, 20, 154, {.name = QStringLiteral("Business name")});
    LWPage back{QStringLiteral("Back"),
                k.gradPrimary(),
                {k.oval({-50, -50, 120, 120}, LWFill::solid(p.accent.withAlpha(0.2)), std::nullopt,
                        QStringLiteral("Corner circle")),
                 k.icon(k.c.icon, {22, 22, 28, 28}, p.onPrimary), backName}};
    back.elements
        << k.contacts(82, backName.frame.maxY() + 10, 154, 6.6, p.onPrimary, p.accent, 5.5).elements;
    return {front, back};
}

std::pair<LWPage, LWPage> buildMinimal(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D = extra(k), D2 = half(k);

    const LWElement name =
        k.text(k.c.person, f.head, 13, p.ink, 18, 20, 170, {.name = QStringLiteral("Name")});
    const LWElement title = k.text(k.c.title, f.body, 6.6, p.muted(), 18, name.frame.maxY() + 1.5, 170,
                                   {.name = QStringLiteral("Title")});
    const double ruleY = title.frame.maxY() + 9;
    LWPage front{QStringLiteral("Front"),
                 LWFill::solid(p.paper),
                 {name, title, k.line({18, ruleY}, {44, ruleY}, p.accent, 1.6),
                  k.icon(k.c.icon, {214, 20, 20, 20}, p.primary)}};
    front.elements << k.contacts(18, D + 82, 104, 6.4, p.ink, p.primary, 4, withoutAddress()).elements
                   << k.textUp(k.c.business, f.bold, 6.2, p.primary, 128, D + 124, 106,
                               {.align = LWTextAlign::right,
                                .track = 140,
                                .upper = true,
                                .name = QStringLiteral("Business name")});

    const LWElement business = k.text(k.c.business, f.head, 12, p.onPrimary, 20, D2 + 80, 212,
                                      {.align = center, .name = QStringLiteral("Business name")});
    LWPage back{QStringLiteral("Back"),
                LWFill::solid(p.primary),
                {k.icon(k.c.icon, {108, D2 + 32, 36, 36}, p.onPrimary), business,
                 k.text(k.c.tagline, f.body, 6.2, p.accent, 20, business.frame.maxY() + 4, 212,
                        {.align = center, .track = 140, .upper = true, .name = QStringLiteral("Tagline")})}};
    return {front, back};
}

std::pair<LWPage, LWPage> buildWave(const LWKit &k)
{
    const LWPalette &p = k.pal;
    const LWFontPair &f = k.fonts;
    const double D = extra(k), D2 = half(k);

    const LWElement business = k.text(k.c.business, f.head, 15, p.ink, 18, 18, 172,
                                      {.lead = 0.95, .name = QStringLiteral("Business name")});
    LWPage front{
        QStringLiteral("Front"),
        LWFill::solid(p.paper),
        {waveOf(k, {-9, D + 84, 270, 69}, frontBehindPoints, frontBehindCorners,
                LWFill::solid(p.accent.withAlpha(0.55)), QStringLiteral("Wave behind")),
         waveOf(k, {-9, D + 96, 270, 57}, frontPoints, frontCorners, k.gradPrimarySide(),
                QStringLiteral("Wave")),
         k.icon(k.c.icon, {210, 18, 24, 24}, p.primary), business,
         k.text(k.c.tagline, f.bold, 5.8, p.accentInk, 18, business.frame.maxY() + 4, 190,
                {.track = 110, .upper = true, .name = QStringLiteral("Tagline")}),
         k.text(k.c.phone + QStringLiteral("   \u00B7   ") + k.c.web(), f.bold, 6.6, p.onPrimary, 18, D + 123,
                216, {.align = LWTextAlign::right, .name = QStringLiteral("Phone & website")})}};

    const LWElement name =
        k.text(k.c.person, f.bold, 10.5, p.onPrimary, 20, D2 + 44, 160, {.name = QStringLiteral("Name")});
    const LWElement title = k.text(k.c.title, f.body, 6.4, p.onPrimary.withAlpha(0.82), 20,
                                   name.frame.maxY() + 1, 180, {.name = QStringLiteral("Title")});
    LWPage back{QStringLiteral("Back"),
                k.gradPrimary(),
                {waveOf(k, {-9, -9, 270, 44}, backPoints, backCorners,
                        LWFill::solid(p.accent.withAlpha(0.35)), QStringLiteral("Wave")),
                 name, title}};
    back.elements << k.contacts(20, title.frame.maxY() + 9, 212, 6.4, p.onPrimary, p.accent, 3.5,
                                withoutAddress())
                         .elements;
    return {front, back};
}

} // namespace

const LWCardLayout &LWCardLayouts::boldBand()
{
    static const LWCardLayout layout{QStringLiteral("Bold Band"), buildBoldBand};
    return layout;
}

const LWCardLayout &LWCardLayouts::cornerArc()
{
    static const LWCardLayout layout{QStringLiteral("Corner Arc"), buildCornerArc};
    return layout;
}

const LWCardLayout &LWCardLayouts::minimal()
{
    static const LWCardLayout layout{QStringLiteral("Minimal"), buildMinimal};
    return layout;
}

const LWCardLayout &LWCardLayouts::wave()
{
    static const LWCardLayout layout{QStringLiteral("Wave"), buildWave};
    return layout;
}
