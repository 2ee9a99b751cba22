// Flyer designs Price Menu, Photo Diagonal, Spotlight and Feature Grid.
#include "templates/flyerlayouts.h"

#include "templates/flyerparts.h"

#include <algorithm>

namespace
{

using namespace LWFlyerParts;

constexpr auto center = LWTextAlign::center;
const QString subheading = QStringLiteral("Subheading");
const QString callToAction = QStringLiteral("Call to action");
const QString contactName = QStringLiteral("Contact");

QString joined(const QString &a, const char *separator, const QString &b)
{
    return a + QString::fromUtf8(separator) + b;
}

LWPage buildPriceMenu(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    LWPage out = page(LWFill::linear(p.primary.mix(LWColor::black, 0.25), p.deep, 90));
    QList<LWElement> &e = out.elements;
    const LWElement business =
        k.text(c.business, f.script, k.fitSize(c.business, f.script, 52, 240), p.onPrimary, 60, 118, 492,
               {.align = center, .lead = 0.95, .name = QStringLiteral("Business name")});
    const LWElement tagline =
        k.text(c.tagline, f.bold, 11, p.accent, 60, business.frame.maxY() + 8, 492,
               {.align = center, .track = 280, .upper = true, .name = QStringLiteral("Tagline")});
    const LWElement title = k.text(k.menuTitle(), f.head, 22, p.onPrimary, 60, tagline.frame.maxY() + 34, 492,
                                   {.align = center, .name = QStringLiteral("Section title")});
    const double ruleY = title.frame.maxY() + 10;
    e << k.rect({28, 28, 556, 736 + d}, LWFill::none(), 0, LWStroke(p.accent.withAlpha(0.7), 1, 0),
                QStringLiteral("Outer frame"))
      << k.rect({34, 34, 544, 724 + d}, LWFill::none(), 0, LWStroke(p.accent.withAlpha(0.35), 0.6, 0),
                QStringLiteral("Inner frame"))
      << k.icon(c.icon, {283, 62, 46, 46}, p.accent) << business << tagline << title
      << k.line({276, ruleY}, {336, ruleY}, p.accent, 1.5);

    // The rows spread over the height down to 612 + d, 20 to 44 apart.
    const qsizetype n = c.items.size();
    const double t = title.frame.maxY() + 36;
    const double spread =
        ((612 + d) - t - n * k.lineHeight(f.bold, 17)) / double(std::max<qsizetype>(n, 2) - 1);
    const double g = spread < 20 ? 20 : std::min(spread, 44.0);
    double y = t;
    for (const LWContent::Item &item : c.items) {
        const LWElement name =
            k.text(item.name, f.bold, 17, p.onPrimary, 84, y, 300, {.name = QStringLiteral("Item")});
        const LWElement price = k.text(item.price, f.bold, 17, p.accent, 404, y, 124,
                                       {.align = LWTextAlign::right, .name = QStringLiteral("Price")});
        // A text without a line measures 0, which puts the ends at 94 and 518.
        const double a = 84 + k.width(item.name, f.bold, 17) + 10;
        const double b = 528 - k.width(item.price, f.bold, 17) - 10;
        if (b > a + 10) { // drawn behind the texts
            const double leaderY = y + 0.72 * name.frame.height();
            e << k.line({a, leaderY}, {b, leaderY}, p.onPrimary.withAlpha(0.35), 1.2, 2,
                        QStringLiteral("Leader"));
        }
        e << name << price;
        y = std::max(name.frame.maxY(), price.frame.maxY()) + g;
    }
    const double below = y + 12; // t + 12 without rows

    // The foot is laid out from the bottom up: call to action, contact line, then the hours.
    const LWColor soft = p.onPrimary.withAlpha(0.88);
    const LWElement cta = k.textUp(c.cta, f.bold, 14, p.accent, 60, 736 + d, 492,
                                   {.align = center, .track = 120, .upper = true, .name = callToAction});
    const LWElement contact = k.textUp(joined(c.phone, "  \u00B7  ", c.place), f.body, 13, soft, 60,
                                       cta.frame.y - 10, 492, {.align = center, .name = contactName});
    const LWElement hours =
        k.text(c.time, f.body, 14, soft, 60, 0, 492, {.align = center, .name = QStringLiteral("Hours")});
    const double tucked = contact.frame.y - 6 - hours.frame.height();
    double hoursY = std::max(below, tucked);
    if (hoursY + hours.frame.height() > contact.frame.y - 4) // the rows reach too far down
        hoursY = tucked;
    e << at(hours, hoursY) << contact << cta;
    return out;
}

LWPage buildPhotoDiagonal(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);
    const double half = d / 2; // the photo and the diagonal move down by half the extra height

    LWPage out = page(k);
    QList<LWElement> &e = out.elements;
    e << k.photo({-9, -9, 630, 480 + half})
      << k.poly({{-9, 392 + half}, {621, 292 + half}, {621, 302 + half}, {-9, 402 + half}},
                LWFill::solid(p.accent), QStringLiteral("Accent stripe"))
      << k.poly({{-9, 402 + half}, {621, 302 + half}, {621, 801 + d}, {-9, 801 + d}}, LWFill::solid(p.paper),
                QStringLiteral("Diagonal panel"))
      << k.oval({496, 40, 76, 76}, LWFill::solid(p.accent), std::nullopt, QStringLiteral("Badge"))
      << k.icon(c.icon, {514, 58, 40, 40}, p.deep);
    const LWElement headline =
        k.text(c.headline, f.display, k.fitSize(c.headline, f.display, 54, 500), p.ink, 48, 424 + half, 516,
               {.lead = 0.92, .name = QStringLiteral("Headline")});
    const LWElement sub = k.text(c.sub, f.body, 18, p.muted(), 48, headline.frame.maxY() + 8, 516,
                                 {.lead = 1.1, .name = subheading});
    e << headline << sub
      << k.bullets(c.bullets, 48, sub.frame.maxY() + 24, 238, 2, 14.5, p.ink, p.primary, 12).elements;

    // The button hugs its text up to 300 wide; a text without a line measures 0, leaving 48.
    const double bw = std::min(k.width(c.cta, f.bold, 15) + 48, 300.0);
    const LWElement cta =
        k.text(c.cta, f.bold, 15, p.onPrimary, 48, 0, bw, {.align = center, .name = callToAction});
    e << k.rect({48, 676 + d, bw, 52}, LWFill::solid(p.primary), 26, std::nullopt, QStringLiteral("Button"))
      << at(cta, (702 + d) - cta.frame.height() / 2)
      << k.text(c.phone + QLatin1Char('\n') + c.web(), f.bold, 14, p.ink, 360, 680 + d, 204,
                {.align = LWTextAlign::right, .lead = 1.1, .name = contactName});
    return out;
}

LWPage buildSpotlight(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);
    const LWColor soft = p.onPrimary.withAlpha(0.88);

    // Every text is made at y 0 and measured; the stack's height decides where it and the disc go.
    const LWElement headline =
        k.text(c.headline, f.display, k.fitSize(c.headline, f.display, 54, 500), p.onPrimary, 48, 0, 516,
               {.align = center, .lead = 0.92, .name = QStringLiteral("Headline")});
    const LWElement sub =
        k.text(c.sub, f.body, 17, soft, 80, 0, 452, {.align = center, .lead = 1.1, .name = subheading});
    const QStringList info = infoList(c);
    QList<LWElement> infos;
    double tallest = 0;
    for (qsizetype i = 0; i < info.size(); ++i) {
        infos << k.text(info[i], f.bold, 12, p.onPrimary, 58 + 178 * i, 0, 140,
                        {.align = center, .name = QStringLiteral("Info")});
        tallest = std::max(tallest, infos.last().frame.height());
    }
    const double P = info.isEmpty() ? 38 : tallest + 24;
    const LWElement offer = k.text(c.offer, f.display, k.fitSize(c.offer, f.display, 40, 480), p.accent, 48,
                                   0, 516, {.align = center, .name = QStringLiteral("Offer")});
    const LWElement note = k.text(c.offerNote, f.body, 14, soft, 48, 0, 516,
                                  {.align = center, .name = QStringLiteral("Offer note")});
    const double T = headline.frame.height() + 10 + sub.frame.height() + 28 + P + 26 + offer.frame.height() +
                     2 + note.frame.height();
    const SpotlightFrame s = spotlightFrame(T, d);

    auto around = [&s](double margin) {
        const double r = s.disc / 2 + margin;
        return LWRect(s.centre.x() - r, s.centre.y() - r, 2 * r, 2 * r);
    };
    LWPage out = page(LWFill::radial(p.primary, p.deep));
    QList<LWElement> &e = out.elements;
    const double D = s.disc;
    e << k.oval(around(100), LWFill::none(), LWStroke(p.accent.withAlpha(0.14), 1), QStringLiteral("Ring"))
      << k.oval(around(60), LWFill::none(), LWStroke(p.accent.withAlpha(0.25), 1), QStringLiteral("Ring"))
      << k.oval(around(0), LWFill::solid(p.paper), std::nullopt, QStringLiteral("Disc"))
      << k.icon(c.icon, {s.centre.x() - D / 4, s.centre.y() - D / 4, D / 2, D / 2}, p.primary);
    const LWElement placedHeadline = at(headline, s.top);
    const LWElement placedSub = at(sub, placedHeadline.frame.maxY() + 10);
    const double R = placedSub.frame.maxY() + 28;
    e << placedHeadline << placedSub;
    for (qsizetype i = 0; i < infos.size(); ++i)
        e << k.rect({48 + 178.0 * i, R, 160, P}, LWFill::solid(LWColor::white.withAlpha(0.06)),
                    std::min(24.0, P / 2), LWStroke(p.accent, 1.2), QStringLiteral("Info pill"))
          << at(infos[i], R + (P - infos[i].frame.height()) / 2);
    const LWElement placedOffer = at(offer, R + P + 26);
    e << placedOffer << at(note, placedOffer.frame.maxY() + 2)
      << k.text(joined(c.phone, "   \u00B7   ", c.web()), f.bold, 14, p.onPrimary, 48, 730 + d, 516,
                {.align = center, .name = contactName});
    return out;
}

LWPage buildFeatureGrid(const LWKit &k)
{
    const auto [p, f, c, d] = Roles(k);

    LWPage out = page(k);
    QList<LWElement> &e = out.elements;
    const LWElement category =
        k.text(c.category, f.bold, 12, p.accentInk, 48, 50, 516,
               {.align = center, .track = 300, .upper = true, .name = QStringLiteral("Category")});
    const LWElement headline = k.text(c.headline, f.head, k.fitSize(c.headline, f.head, 48, 500), p.ink, 48,
                                      category.frame.maxY() + 8, 516,
                                      {.align = center, .lead = 0.95, .name = QStringLiteral("Headline")});
    // Underline and subheading both hang from the headline.
    const LWElement sub = k.text(c.sub, f.body, 17, p.muted(), 70, headline.frame.maxY() + 34, 472,
                                 {.align = center, .lead = 1.1, .name = subheading});
    e << category << headline
      << k.rect({276, headline.frame.maxY() + 14, 60, 5}, LWFill::solid(p.accent), 2.5, std::nullopt,
                QStringLiteral("Underline"))
      << sub;

    const double G = sub.frame.maxY() + 34 + 0.25 * d, S = 150 + 0.2 * d, C = 132 + 0.1 * d;
    const QString icons[] = {c.icon, c.icon2, QStringLiteral("check"), QStringLiteral("star")};
    for (int i = 0; i < 4; ++i) {
        const double x = i % 2 == 0 ? 48 : 318, y = G + (i / 2) * S;
        // Fewer than four bullets repeat from the first; with none the cards keep empty texts.
        const QString text = c.bullets.isEmpty() ? QString() : c.bullets[i % c.bullets.size()];
        e << k.rect({x, y, 246, C}, LWFill::solid(p.tint()), 18, std::nullopt, QStringLiteral("Feature card"))
          << k.oval({x + 20, y + 20, 44, 44}, LWFill::solid(p.primary), std::nullopt,
                    QStringLiteral("Feature badge"))
          << k.icon(icons[i], {x + 30, y + 30, 24, 24}, p.onPrimary)
          << k.text(text, f.bold, 16, p.ink, x + 20, y + 78, 206, {.name = QStringLiteral("Feature")});
    }

    const LWElement cta =
        k.text(c.cta, f.head, 26, p.onPrimary, 48, 676 + d, 516, {.align = center, .name = callToAction});
    e << k.rect({-9, 652 + d, 630, 149}, k.gradPrimary(), 0, std::nullopt, QStringLiteral("Footer")) << cta
      << k.text(joined(c.phone, "  \u00B7  ", c.web()), f.body, 14, p.onPrimary.withAlpha(0.92), 48,
                cta.frame.maxY() + 8, 516, {.align = center, .name = contactName});
    return out;
}

} // namespace

const LWFlyerLayout &LWFlyerLayouts::priceMenu()
{
    static const LWFlyerLayout layout{QStringLiteral("Price Menu"), buildPriceMenu};
    return layout;
}

const LWFlyerLayout &LWFlyerLayouts::photoDiagonal()
{
    static const LWFlyerLayout layout{QStringLiteral("Photo Diagonal"), buildPhotoDiagonal};
    return layout;
}

const LWFlyerLayout &LWFlyerLayouts::spotlight()
{
    static const LWFlyerLayout layout{QStringLiteral("Spotlight"), buildSpotlight};
    return layout;
}

const LWFlyerLayout &LWFlyerLayouts::featureGrid()
{
    static const LWFlyerLayout layout{QStringLiteral("Feature Grid"), buildFeatureGrid};
    return layout;
}
