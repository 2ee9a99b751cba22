// The last three flyer designs: Coupon, Invitation and Bold Type.
#include "templates/flyerlayouts.h"

#include "templates/flyerparts.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace LWFlyerParts;

constexpr auto center = LWTextAlign::center;

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

    LWPage out = page(k);
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

LWPage buildBoldType(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    LWPage out = page(LWFill::solid(p.deep));
    QList<LWElement> &e = out.elements;
    e << k.poly({{380, -9}, {440, -9}, {190, 801 + d}, {130, 801 + d}}, LWFill::solid(p.accent.withAlpha(0.1)),
                QStringLiteral("Diagonal"))
      << k.poly({{470, -9}, {482, -9}, {232, 801 + d}, {220, 801 + d}}, LWFill::solid(p.accent.withAlpha(0.2)),
                QStringLiteral("Diagonal"))
      << k.icon(c.icon, {330, 470 + d, 300, 300}, p.onPrimary.withAlpha(0.08))
      << k.text(c.category, f.bold, 14, p.accent, 48, 58, 516,
                {.track = 300, .upper = true, .name = QStringLiteral("Category")});

    // Only the words change between attempts; the rest is measured once and moved into place.
    const QString upper = c.headline.toUpper();
    const QStringList words = upper.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const LWElement sub = k.text(c.sub, f.body, 18, p.onPrimary.withAlpha(0.88), 48, 0, 380,
                                 {.lead = 1.15, .name = QStringLiteral("Subheading")});
    QList<LWElement> details;
    for (const QString &detail : infoList(c))
        details << k.text(detail, f.bold, 14, p.onPrimary, 68, 0, 360, {.name = QStringLiteral("Detail")});

    const double s0 = k.fitSize(upper, f.display, 104, 516);
    constexpr int attempts = 8;
    QList<LWElement> block;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        block.clear();
        const double s = s0 * std::pow(0.88, attempt);
        double y = 92;
        for (qsizetype i = 0; i < words.size(); ++i) {
            const LWElement word = k.text(words[i], f.display, s, i % 2 ? p.accent : p.onPrimary, 44, y, 524,
                                          {.lead = 0.86, .name = QStringLiteral("Headline word %1").arg(i + 1)});
            block << word;
            y = word.frame.maxY() - 0.06 * s;
        }
        y = words.isEmpty() ? 114 : y + 22;
        const LWElement placedSub = at(sub, y);
        block << placedSub;
        y = placedSub.frame.maxY() + 26;
        for (const LWElement &detail : details) {
            const double height = detail.frame.height();
            block << k.rect({48, y + height / 2 - 4, 8, 8}, LWFill::solid(p.accent), 0, std::nullopt,
                            QStringLiteral("Marker"))
                  << at(detail, y);
            y += height + 8;
        }
        if (y <= 676 + d)
            break;
    }
    e << block;

    const LWElement phone = k.text(c.phone, f.head, 28, p.accent, 48, 690 + d, 400, {.name = QStringLiteral("Phone")});
    e << phone
      << k.text(c.web(), f.body, 14, p.onPrimary.withAlpha(0.88), 48, phone.frame.maxY() + 2, 400,
                {.name = QStringLiteral("Website")});
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

const LWFlyerLayout &LWFlyerLayouts::boldType()
{
    static const LWFlyerLayout layout{QStringLiteral("Bold Type"), buildBoldType};
    return layout;
}
