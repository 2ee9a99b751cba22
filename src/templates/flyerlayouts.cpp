#include "templates/flyerlayouts.h"

#include "templates/flyerparts.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace LWFlyerParts;

constexpr auto center = LWTextAlign::center;
const QString subheading = QStringLiteral("Subheading");

LWPage buildHeroBlock(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    // Everything is measured before anything is placed: the hero's height follows the text.
    const double s = k.fitSize(c.headline, f.display, 62, 500);
    const LWElement headline = k.text(c.headline, f.display, s, p.onPrimary, 48, 0, 516,
                                      {.align = center, .lead = 0.92, .name = QStringLiteral("Headline")});
    const LWElement sub = k.text(c.sub, f.body, 17, p.onPrimary.withAlpha(0.9), 80, 0, 452,
                                 {.align = center, .lead = 1.1, .name = subheading});
    const double T = 80 + 24 + headline.frame.height() + 12 + sub.frame.height();
    const double E = std::max(404 + 0.45 * d, T + 110);
    const double o = (E - T) * 0.5 + 4;

    const LWElement offer = k.text(c.offer, f.display, c.offer.size() < 11 ? 30 : 22, p.onPrimary, 160, 0,
                                   292, {.align = center, .name = QStringLiteral("Offer")});
    const LWElement note = k.text(c.offerNote, f.body, 12, p.onPrimary.withAlpha(0.9), 160, 0, 292,
                                  {.align = center, .name = QStringLiteral("Offer note")});
    const double P = offer.frame.height() + note.frame.height() + 22;
    auto list = [&k, &c = c, &p = p](double top) { return k.bullets(c.bullets, 72, top, 222, 2, 15, p.ink, p.accentInk, 16); };
    const double L = list(0).bottom + 34;
    const double t = E + std::max(((706 + d) - E - (L + P)) * 0.5, 36.0);

    LWPage out = page(k);
    QList<LWElement> &e = out.elements;
    e << k.rect({-9, -9, 630, E + 9}, k.gradPrimary(), 0, std::nullopt, QStringLiteral("Hero"))
      << k.oval({380, -90, 330, 330}, LWFill::none(), LWStroke(p.accent.withAlpha(0.3), 2, 0),
                QStringLiteral("Ring"))
      << k.oval({-70, E - 160, 180, 180}, LWFill::solid(p.accent.withAlpha(0.12)))
      << k.oval({266, o, 80, 80}, LWFill::solid(p.accent), std::nullopt, QStringLiteral("Badge"))
      << k.icon(c.icon, {286, o + 20, 40, 40}, p.deep);
    const LWElement placedHeadline = at(headline, o + 104);
    e << placedHeadline << at(sub, placedHeadline.frame.maxY() + 12);
    const LWKit::Block bullets = list(t);
    e << bullets.elements;
    const double Y = bullets.bottom + 34;
    const LWElement placedOffer = at(offer, Y + 11);
    e << k.rect({156, Y, 300, P}, LWFill::solid(p.primary), P / 2, std::nullopt, QStringLiteral("Offer pill"))
      << placedOffer << at(note, placedOffer.frame.maxY())
      << k.rect({-9, 706 + d, 630, 95}, LWFill::solid(p.deep), 0, std::nullopt, QStringLiteral("Footer"));
    const LWElement cta = k.text(c.cta, f.bold, 17, p.accent, 48, 722 + d, 516,
                                 {.align = center, .name = QStringLiteral("Call to action")});
    e << cta
      << k.text(c.phone + QStringLiteral("   \u00B7   ") + c.web(), f.body, 13, p.onPrimary, 48,
                cta.frame.maxY() + 4, 516, {.align = center, .name = QStringLiteral("Contact")});
    return out;
}

LWPage buildBigDate(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    LWPage out = page(k);
    QList<LWElement> &e = out.elements;
    e << k.rect({-9, -9, 229, 810 + d}, k.gradPrimary(), 0, std::nullopt, QStringLiteral("Date column"));
    if (c.date) {
        const LWElement month = k.text(c.date->month, f.bold, 26, p.accent, 24, 96, 172,
                                       {.align = center, .track = 250, .name = QStringLiteral("Month")});
        const LWElement day = k.text(c.date->day, f.display, 120, p.onPrimary, 14, month.frame.maxY() - 2,
                                     192, {.align = center, .lead = 0.9, .name = QStringLiteral("Day")});
        e << month << day
          << k.text(c.date->weekday, f.body, 17, p.onPrimary.withAlpha(0.88), 24, day.frame.maxY() + 2, 172,
                    {.align = center, .name = QStringLiteral("Weekday")});
    } else {
        const LWElement offer =
            k.text(c.offer, f.display, k.fitOffer(c.offer, f.display, 56, 160), p.onPrimary, 24, 120, 172,
                   {.align = center, .lead = 0.9, .name = QStringLiteral("Offer")});
        e << offer
          << k.text(c.offerNote, f.body, 16, p.onPrimary.withAlpha(0.88), 30, offer.frame.maxY() + 8, 160,
                    {.align = center, .name = QStringLiteral("Offer note")});
    }
    e << k.icon(c.icon, {70, 606 + d, 80, 80}, p.accent);

    const LWElement category = k.text(c.category, f.bold, 12, p.accentInk, 252, 72, 324,
                                      {.track = 250, .upper = true, .name = QStringLiteral("Category")});
    const LWElement headline =
        k.text(c.headline, f.head, k.fitSize(c.headline, f.head, 48, 320), p.ink, 252,
               category.frame.maxY() + 10, 324, {.lead = 0.95, .name = QStringLiteral("Headline")});
    const double ruleY = headline.frame.maxY() + 18;
    const LWElement sub = k.text(c.sub, f.body, 17, p.ink.mix(p.paper, 0.2), 252, headline.frame.maxY() + 36,
                                 324, {.lead = 1.15, .name = subheading});
    e << category << headline << k.line({252, ruleY}, {312, ruleY}, p.accent, 3) << sub;

    double y = sub.frame.maxY() + 30;
    const std::pair<QString, QString> details[] = {{QStringLiteral("clock"), c.time},
                                                   {QStringLiteral("pin"), c.place},
                                                   {QStringLiteral("phone"), c.phone}};
    for (const auto &[icon, detail] : details) {
        const LWElement text =
            k.text(detail, f.bold, 14, p.ink, 282, y, 294, {.name = QStringLiteral("Detail")});
        e << k.icon(icon, {252, y + (text.frame.height() - 18) / 2, 18, 18}, p.primary) << text;
        y = text.frame.maxY() + 12;
    }
    e << k.bullets(c.bullets, 252, y + 22, 324, 1, 14, p.ink, p.accentInk, 9).elements
      << k.rect({252, 684 + d, 324, 56}, LWFill::solid(p.primary), 12, std::nullopt,
                QStringLiteral("Button"));
    const LWElement cta = k.text(c.cta, f.bold, 17, p.onPrimary, 262, 0, 304,
                                 {.align = center, .name = QStringLiteral("Call to action")});
    e << at(cta, (712 + d) - cta.frame.height() / 2);
    return out;
}

LWPage buildTearOff(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    LWPage out = page(k);
    QList<LWElement> &e = out.elements;
    e << k.rect({-9, -9, 630, 69}, LWFill::solid(p.primary), 0, std::nullopt, QStringLiteral("Top band"))
      << k.text(c.category, f.bold, 14, p.onPrimary, 48, 22, 516,
                {.align = center, .track = 320, .upper = true, .name = QStringLiteral("Category")});

    // Only the headline changes between attempts; the rest is measured once and moved into place.
    const LWElement sub =
        k.text(c.sub, f.body, 19, p.ink, 60, 0, 492, {.align = center, .lead = 1.1, .name = subheading});
    const LWKit::Block list = k.bullets(c.bullets, 56, 0, 300, 1, 16, p.ink, p.primary, 10);
    const LWElement offer = k.text(c.offer, f.display, k.fitSize(c.offer, f.display, 28, 96), p.deep, 432, 0,
                                   110, {.align = center, .lead = 0.9, .name = QStringLiteral("Offer")});
    const LWElement note = k.text(c.offerNote, f.bold, 9, p.deep, 432, 0, 110,
                                  {.align = center, .name = QStringLiteral("Offer note")});
    const LWElement cta = k.text(c.cta, f.bold, 17, p.primary, 48, 0, 516,
                                 {.align = center, .name = QStringLiteral("Call to action")});

    const double s0 = k.fitSize(c.headline.toUpper(), f.display, 78, 520);
    constexpr int attempts = 8;
    QList<LWElement> block;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        block.clear();
        const LWElement headline =
            k.text(c.headline, f.display, s0 * std::pow(0.88, attempt), p.primary, 40, 88, 532,
                   {.align = center, .lead = 0.9, .upper = true, .name = QStringLiteral("Headline")});
        const double iconY = headline.frame.maxY() + 14;
        const LWElement placedSub = at(sub, iconY + 50 + 14);
        const double t = placedSub.frame.maxY() + 34;
        block << headline << k.icon(c.icon, {281, iconY, 50, 50}, p.accentInk) << placedSub;
        for (LWElement item : list.elements) {
            item.offset(0, t);
            block << item;
        }
        const LWRect star{412, placedSub.frame.maxY() + 18, 150, 150};
        const LWElement placedOffer =
            at(offer, star.midY() - (offer.frame.height() + note.frame.height() + 2) / 2);
        const LWElement placedCta = at(cta, std::max(list.bottom + t, star.maxY()) + 22);
        block << LWElement::makeShape(LWShapeKind::star, star, LWFill::solid(p.accent), std::nullopt, 0,
                                      QStringLiteral("Starburst"))
              << placedOffer << at(note, placedOffer.frame.maxY() + 2) << placedCta;
        if (placedCta.frame.maxY() <= 594)
            break;
    }
    for (LWElement &item : block)
        item.offset(0, d * 0.5);
    e << block;

    e << k.line({44, 606 + d}, {588, 606 + d}, p.muted(), 1, 5, QStringLiteral("Cut line"))
      << k.icon(QStringLiteral("scissors"), {22, 597 + d, 18, 18}, p.muted());
    const double u = 564.0 / 7;
    const LWElement tab = k.text(c.business + QLatin1Char('\n') + c.phone, f.bold, 10.5, p.ink, 0, 0, 148,
                                 {.align = center, .lead = 1.05});
    for (int i = 0; i < 7; ++i) {
        if (i >= 1)
            e << k.line({24 + i * u, 606 + d}, {24 + i * u, 801 + d}, p.muted(), 0.8, 4,
                        QStringLiteral("Tab cut"));
        const double cx = 24 + (i + 0.5) * u;
        LWElement t = tab.duplicated();
        t.name = QStringLiteral("Tab %1").arg(i + 1);
        t.offset(cx - 74, (690 + d) - t.frame.height() / 2);
        t.rotation = -90; // about the centre of its unrotated frame
        e << t;
    }
    return out;
}

} // namespace

const LWFlyerLayout &LWFlyerLayouts::heroBlock()
{
    static const LWFlyerLayout layout{QStringLiteral("Hero Block"), buildHeroBlock};
    return layout;
}

const LWFlyerLayout &LWFlyerLayouts::bigDate()
{
    static const LWFlyerLayout layout{QStringLiteral("Big Date"), buildBigDate};
    return layout;
}

const LWFlyerLayout &LWFlyerLayouts::tearOff()
{
    static const LWFlyerLayout layout{QStringLiteral("Tear-Off Tabs"), buildTearOff};
    return layout;
}

const QList<LWFlyerLayout> &LWFlyerLayouts::all()
{
    static const QList<LWFlyerLayout> list{heroBlock(),     bigDate(),   tearOff(), priceMenu(), photoDiagonal(),
                                           spotlight(),     featureGrid(), coupon(),  invitation(), boldType()};
    return list;
}
