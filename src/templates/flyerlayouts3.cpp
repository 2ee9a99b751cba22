// The last three flyer designs: Coupon, Invitation and Bold Type.
#include "templates/flyerlayouts.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr auto center = LWTextAlign::center;

// Short names for what every flyer table reads; d is how much taller the page is than a Letter
// page at the base width.
struct Roles {
    const LWPalette &p;
    const LWFontPair &f;
    const LWContent &c;
    double d;
    explicit Roles(const LWKit &k) : p(k.pal), f(k.fonts), c(k.c), d(k.h - 792) {}
};

LWPage page(const LWFill &background)
{
    return {QStringLiteral("Page 1"), background, {}};
}

// e, moved so that its top is at y (it was built at y 0).
LWElement at(LWElement e, double y)
{
    e.offset(0, y - e.frame.y);
    return e;
}

// A diamond: a four-sided polygon standing on a corner, centred on (cx, cy).
LWElement diamond(double cx, double cy, double size, const LWColor &color, const QString &name)
{
    LWElement e = LWElement::makeShape(LWShapeKind::polygon, {cx - size / 2, cy - size / 2, size, size},
                                       LWFill::solid(color), std::nullopt, 0, name);
    e.sides = 4;
    return e;
}

LWPage buildCoupon(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    LWPage out = page(LWFill::solid(p.tint()));
    QList<LWElement> &e = out.elements;
    const LWElement business =
        k.text(c.business, f.head, 26, p.ink, 106, 50, 458, {.name = QStringLiteral("Business name")});
    e << k.icon(c.icon, {48, 48, 44, 44}, p.primary) << business
      << k.text(c.tagline, f.body, 12, p.muted(), 106, business.frame.maxY() + 2, 458,
                {.name = QStringLiteral("Tagline")})
      << k.rect({48, 170, 516, 360 + 0.6 * d}, LWFill::solid(p.paper), 16, LWStroke(p.primary, 3, 12),
                QStringLiteral("Coupon"))
      << k.icon(QStringLiteral("scissors"), {34, 156, 26, 26}, p.primary);

    // The offer block is measured first, then centred in the band above the fine print.
    const LWElement headline = k.text(c.headline, f.bold, 15, p.accentInk, 72, 0, 468,
                                      {.align = center, .track = 200, .upper = true,
                                       .name = QStringLiteral("Headline")});
    const LWElement offer = k.text(c.offer, f.display, k.fitOffer(c.offer, f.display, 96, 440), p.primary, 72,
                                   0, 468, {.align = center, .lead = 0.9, .name = QStringLiteral("Offer")});
    const LWElement note =
        k.text(c.offerNote, f.body, 20, p.ink, 72, 0, 468, {.align = center, .name = QStringLiteral("Offer note")});
    const double block = headline.frame.height() + 14 + offer.frame.height() + 8 + note.frame.height();
    const double top = 170 + ((318 + 0.6 * d) - block) / 2;
    const LWElement placedOffer = at(offer, top + headline.frame.height() + 14);
    e << at(headline, top) << placedOffer << at(note, placedOffer.frame.maxY() + 8)
      << k.text(QStringLiteral("Bring this coupon. One per customer. Expires 00/00/0000."), f.body, 10, p.muted(),
                72, 494 + 0.6 * d, 468, {.align = center, .name = QStringLiteral("Fine print")});
    const LWElement sub = k.text(c.sub, f.body, 18, p.ink, 60, 562 + 0.75 * d, 492,
                                 {.align = center, .name = QStringLiteral("Subheading")});
    e << sub
      << k.contacts(176, sub.frame.maxY() + 24, 300, 14, p.ink, p.primary, 9,
                    {LWKit::Contact::phone, LWKit::Contact::web, LWKit::Contact::address})
             .elements;
    return out;
}

LWPage buildInvitation(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    LWPage out = page(LWFill::solid(p.paper));
    QList<LWElement> &e = out.elements;
    e << k.rect({30, 30, 552, 732 + d}, LWFill::none(), 0, LWStroke(p.primary, 1), QStringLiteral("Outer frame"))
      << k.rect({38, 38, 536, 716 + d}, LWFill::none(), 0, LWStroke(p.accentInk, 0.6),
                QStringLiteral("Inner frame"));
    for (const QPointF corner : {QPointF(30, 30), QPointF(582, 30), QPointF(30, 762 + d), QPointF(582, 762 + d)})
        e << diamond(corner.x(), corner.y(), 14, p.accentInk, QStringLiteral("Corner"));

    const double iconY = 84 + 0.4 * d;
    const LWElement tagline = k.text(c.tagline, f.body, 12, p.muted(), 70, iconY + 46 + 22, 472,
                                     {.align = center, .track = 300, .upper = true,
                                      .name = QStringLiteral("Tagline")});
    const LWElement headline =
        k.text(c.headline, f.script, k.fitSize(c.headline, f.script, 62, 460), p.primary, 70,
               tagline.frame.maxY() + 16, 472, {.align = center, .lead = 0.95, .name = QStringLiteral("Headline")});
    const double r = headline.frame.maxY() + 18;
    const LWElement sub = k.text(c.sub, f.body, 16, p.ink, 90, r + 20, 432,
                                 {.align = center, .lead = 1.2, .name = QStringLiteral("Subheading")});
    e << k.icon(c.icon, {283, iconY, 46, 46}, p.accentInk) << tagline << headline
      << k.line({236, r}, {294, r}, p.accentInk, 0.8) << k.line({318, r}, {376, r}, p.accentInk, 0.8)
      << diamond(306, r, 12, p.accentInk, QStringLiteral("Divider diamond")) << sub;

    double y = sub.frame.maxY() + 22;
    if (c.date) {
        auto spaced = [](const QString &name) -> LWTextOptions {
            return {.align = center, .track = 250, .upper = true, .name = name};
        };
        const LWElement weekday =
            k.text(c.date->weekday, f.bold, 13, p.muted(), 70, y, 472, spaced(QStringLiteral("Weekday")));
        const LWElement day = k.text(c.date->day, f.head, 64, p.primary, 70, weekday.frame.maxY() + 2, 472,
                                     {.align = center, .lead = 0.9, .name = QStringLiteral("Day")});
        const LWElement month = k.text(c.date->month, f.bold, 13, p.muted(), 70, day.frame.maxY() + 2, 472,
                                       spaced(QStringLiteral("Month")));
        e << weekday << day << month;
        y = month.frame.maxY() + 16;
    }
    const LWElement time = k.text(c.time, f.body, 15, p.ink, 70, y, 472, {.align = center, .name = QStringLiteral("Time")});
    const LWElement place = k.text(c.place, f.body, 15, p.ink, 70, time.frame.maxY() + 4, 472,
                                   {.align = center, .name = QStringLiteral("Place")});
    const LWElement cta = k.text(c.cta, f.script, 28, p.accentInk, 70, std::max(place.frame.maxY() + 18, 650 + d),
                                 472, {.align = center, .name = QStringLiteral("Call to action")});
    e << time << place << cta
      << k.text(c.phone, f.body, 12, p.muted(), 70, cta.frame.maxY() + 4, 472,
                {.align = center, .track = 100, .name = QStringLiteral("Phone")});
    return out;
}

} // namespace

const LWFlyerLayout &LWFlyerLayouts::coupon()
{
    static const LWFlyerLayout layout{QStringLiteral("Coupon"), buildCoupon};
    return layout;
}

const LWFlyerLayout &LWFlyerLayouts::invitation()
{
    static const LWFlyerLayout layout{QStringLiteral("Invitation"), buildInvitation};
    return layout;
}
