#include "layouttest.h"
#include "render/text/fonts.h"
#include "templates/flyerlayouts.h"
#include "templates/flyerparts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

constexpr double halfD = halfH - 792, a4D = a4H - 792;

class FlyerLayouts : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

// The index of the first element of that name, -1 without one.
qsizetype indexOf(const LWPage &page, const QString &name)
{
    for (qsizetype i = 0; i < page.elements.size(); ++i)
        if (page.elements[i].name == name)
            return i;
    return -1;
}

QStringList texts(const QList<LWElement> &elements)
{
    QStringList out;
    for (const LWElement &e : elements)
        out << e.text->string;
    return out;
}

TEST_F(FlyerLayouts, TakeTheirPlacesAndBuildEverySubject)
{
    const LWFlyerLayout &(*const places[])() = {
        LWFlyerLayouts::heroBlock,     LWFlyerLayouts::bigDate,   LWFlyerLayouts::tearOff,
        LWFlyerLayouts::priceMenu,     LWFlyerLayouts::photoDiagonal, LWFlyerLayouts::spotlight,
        LWFlyerLayouts::featureGrid,   LWFlyerLayouts::coupon,    LWFlyerLayouts::invitation,
        LWFlyerLayouts::boldType};
    const QList<LWFlyerLayout> &all = LWFlyerLayouts::all();
    ASSERT_EQ(all.size(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(all[i].name, places[i]().name);
        EXPECT_EQ(all[i].make, places[i]().make) << i;
    }
    // Each places the trade's own icon, in every size.
    for (const QString &id : LWTemplates::flyerSubjects()) {
        const LWContent &c = LWTemplates::subject(id);
        for (double h : {792.0, a4H, halfH})
            for (const LWFlyerLayout &layout : all) {
                const LWPage page = layout.make(flyer(c, h));
                EXPECT_EQ(page.name, QStringLiteral("Page 1"));
                EXPECT_TRUE(std::any_of(page.elements.cbegin(), page.elements.cend(),
                                        [&](const LWElement &e) { return e.icon == c.icon; }))
                    << layout.name.toStdString() << " " << id.toStdString();
            }
    }
    const LWKit k = flyer(trade("contractor"));
    EXPECT_EQ(LWFlyerLayouts::priceMenu().make(k).background,
              LWFill::linear(k.pal.primary.mix(LWColor::black, 0.25), k.pal.deep, 90));
    EXPECT_EQ(LWFlyerLayouts::spotlight().make(k).background, LWFill::radial(k.pal.primary, k.pal.deep));
}

TEST_F(FlyerLayouts, HeroBlockSizesTheHeroToItsText)
{
    LWContent c = trade("contractor");
    c.offer = QStringLiteral("0123456789");
    const LWPage letter = LWFlyerLayouts::heroBlock().make(flyer(c));
    EXPECT_EQ(one(letter, "Hero").frame, LWRect(-9, -9, 630, 413));
    EXPECT_EQ(one(letter, "Offer").text->size, 30);
    EXPECT_GE(named(letter, "List item").first().frame.y, 404 + 36);
    EXPECT_EQ(one(letter, "Footer").frame, LWRect(-9, 706, 630, 95));
    const LWPage a4 = LWFlyerLayouts::heroBlock().make(flyer(c, a4H));
    EXPECT_DOUBLE_EQ(one(a4, "Footer").frame.maxY(), a4H + 9);

    c.offer += QLatin1Char('!');
    c.headline =
        QStringLiteral("A headline long enough to need three lines or even more of display type here");
    c.sub =
        QStringLiteral("And a subheading that runs on and on across the page, wrapping onto a second line");
    c.bullets.clear();
    const LWPage tall = LWFlyerLayouts::heroBlock().make(flyer(c));
    const double T = 116 + one(tall, "Headline").frame.height() + one(tall, "Subheading").frame.height();
    ASSERT_GT(T - 116, 178);
    const double E = T + 110;
    EXPECT_DOUBLE_EQ(one(tall, "Hero").frame.height(), E + 9);
    EXPECT_EQ(one(tall, "Offer").text->size, 22);
    EXPECT_TRUE(named(tall, "List item").isEmpty());
    for (const LWElement &e : tall.elements)
        EXPECT_NE(e.icon.value_or(QString()), QStringLiteral("check"));
    const double P = one(tall, "Offer pill").frame.height();
    const double t = E + std::max((706 - E - (34 + P)) * 0.5, 36.0);
    EXPECT_DOUBLE_EQ(one(tall, "Offer pill").frame.y, t + 34);
}

TEST_F(FlyerLayouts, BigDateShowsTheDateOrTheOffer)
{
    const LWContent dated = trade("concert");
    LWContent plain = trade("contractor");
    plain.time.clear();
    plain.place.clear();
    for (double h : {792.0, halfH}) {
        const LWPage withDate = LWFlyerLayouts::bigDate().make(flyer(dated, h));
        const LWPage without = LWFlyerLayouts::bigDate().make(flyer(plain, h));
        for (const char *name : {"Month", "Day", "Weekday"}) {
            EXPECT_EQ(named(withDate, name).size(), 1);
            EXPECT_TRUE(named(without, name).isEmpty());
        }
        EXPECT_TRUE(named(withDate, "Offer").isEmpty());
        EXPECT_EQ(named(without, "Offer").size(), 1);
        EXPECT_EQ(named(without, "Detail").size(), 3);
        for (const LWPage &page : {withDate, without}) {
            EXPECT_DOUBLE_EQ(one(page, "Call to action").frame.midY(), 712 + (h - 792));
            EXPECT_EQ(one(page, "Date column").frame, LWRect(-9, -9, 229, 810 + (h - 792)));
        }
    }
}

TEST_F(FlyerLayouts, TearOffTabsShrinkTheHeadlineAndHangTheTabs)
{
    const LWContent c = trade("yardsale");
    const LWPage letter = LWFlyerLayouts::tearOff().make(flyer(c));
    const double u = 564.0 / 7;
    for (int i = 0; i < 7; ++i) {
        const LWElement tab = one(letter, QStringLiteral("Tab %1").arg(i + 1));
        EXPECT_EQ(tab.rotation, -90);
        EXPECT_EQ(tab.text->string, c.business + QLatin1Char('\n') + c.phone);
        EXPECT_NEAR(tab.frame.midX(), 24 + (i + 0.5) * u, 1e-9);
        EXPECT_NEAR(tab.frame.midY(), 690, 1e-9);
    }
    EXPECT_EQ(named(letter, "Tab cut").size(), 6);

    const LWPage half = LWFlyerLayouts::tearOff().make(flyer(c, halfH));
    const double d = halfH - 792;
    EXPECT_DOUBLE_EQ(one(half, "Headline").frame.y, 88 + d * 0.5);
    EXPECT_NEAR(one(half, "Cut line").frame.y, 759.82, 0.01);
    for (const LWElement &cut : named(half, "Tab cut"))
        EXPECT_DOUBLE_EQ(cut.frame.maxY(), halfH + 9);
    for (int i = 2; i < 17; ++i) // the fitted block moved as one
        EXPECT_NEAR(half.elements[i].frame.y - letter.elements[i].frame.y, d * 0.5, 1e-9) << i;

    LWContent huge = c;
    huge.headline =
        QStringLiteral("Everything must go this weekend at the biggest yard sale in town ").repeated(4);
    const LWKit k = flyer(huge);
    const LWPage page = LWFlyerLayouts::tearOff().make(k);
    const LWElement headline = one(page, "Headline");
    EXPECT_GT(one(page, "Call to action").frame.maxY(), 594);
    EXPECT_DOUBLE_EQ(headline.text->size,
                     k.fitSize(huge.headline.toUpper(), k.fonts.display, 78, 520) * std::pow(0.88, 7));
}

// The gap between rows, after checking that every row starts that far below the previous one.
double rowGap(const LWPage &page)
{
    const QList<LWElement> items = named(page, "Item"), prices = named(page, "Price");
    EXPECT_EQ(items.size(), prices.size());
    if (items.size() < 2)
        return 0;
    const double g = items[1].frame.y - std::max(items[0].frame.maxY(), prices[0].frame.maxY());
    for (qsizetype i = 1; i < items.size(); ++i) {
        EXPECT_DOUBLE_EQ(items[i].frame.y,
                         std::max(items[i - 1].frame.maxY(), prices[i - 1].frame.maxY()) + g);
        EXPECT_EQ(prices[i].frame.y, items[i].frame.y);
    }
    return g;
}

TEST_F(FlyerLayouts, PriceMenuSpreadsItsRowsAndTucksTheHoursAboveTheContactLine)
{
    const LWContent base = trade("contractor");
    for (double h : {792.0, a4H, halfH}) {
        const LWPage page = LWFlyerLayouts::priceMenu().make(flyer(base, h));
        const double d = h - 792;
        const LWElement cta = one(page, "Call to action"), contact = one(page, "Contact");
        EXPECT_DOUBLE_EQ(cta.frame.maxY(), 736 + d);
        EXPECT_DOUBLE_EQ(contact.frame.maxY(), cta.frame.y - 10);
        EXPECT_DOUBLE_EQ(one(page, "Outer frame").frame.maxY(), 764 + d);
        EXPECT_EQ(contact.text->string, base.phone + QStringLiteral("  \u00B7  ") + base.place);
        const double g = rowGap(page);
        EXPECT_GE(g, 20);
        EXPECT_LE(g, 44);
    }

    LWContent two = base;
    two.items = two.items.mid(0, 2);
    EXPECT_DOUBLE_EQ(rowGap(LWFlyerLayouts::priceMenu().make(flyer(two))), 44);

    LWContent twelve = base;
    twelve.items += base.items;
    const LWPage crowded = LWFlyerLayouts::priceMenu().make(flyer(twelve));
    EXPECT_DOUBLE_EQ(rowGap(crowded), 20);
    EXPECT_GT(named(crowded, "Item").last().frame.maxY(), 612);
    EXPECT_DOUBLE_EQ(one(crowded, "Hours").frame.maxY(), one(crowded, "Contact").frame.y - 6);

    LWContent none = base;
    none.items.clear();
    const LWPage empty = LWFlyerLayouts::priceMenu().make(flyer(none));
    EXPECT_EQ(empty.elements.size(), 10);
    const LWElement hours = one(empty, "Hours");
    const double t = one(empty, "Section title").frame.maxY() + 36;
    EXPECT_DOUBLE_EQ(hours.frame.y,
                     std::max(t + 12, one(empty, "Contact").frame.y - 6 - hours.frame.height()));
}

TEST_F(FlyerLayouts, PriceMenuLeadersRunBetweenNameAndPrice)
{
    LWContent c = trade("contractor");
    c.items[2].name = QStringLiteral("Complete kitchen remodel with custom cabinets and counters");
    c.items[4] = {QString(), QString()}; // no lines: the leader spans 94 to 518
    const LWKit k = flyer(c);
    const LWPage page = LWFlyerLayouts::priceMenu().make(k);
    const QList<LWElement> items = named(page, "Item");
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(named(page, "Leader").size(), 5);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const qsizetype at = page.elements.indexOf(items[i]);
        const bool drawn = i != 2;
        ASSERT_EQ(page.elements[at - 1].name == QStringLiteral("Leader"), drawn) << i;
        if (!drawn)
            continue;
        const double a = 84 + k.width(c.items[i].name, k.fonts.bold, 17) + 10;
        const double b = 528 - k.width(c.items[i].price, k.fonts.bold, 17) - 10;
        const double y = items[i].frame.y + 0.72 * items[i].frame.height();
        EXPECT_EQ(page.elements[at - 1].frame, LWRect(a, y, b - a, 0)) << i;
    }
    const LWElement blank = page.elements[page.elements.indexOf(items[4]) - 1];
    EXPECT_DOUBLE_EQ(blank.frame.x, 94);
    EXPECT_DOUBLE_EQ(blank.frame.maxX(), 518);
}

TEST_F(FlyerLayouts, PhotoDiagonalMovesWithTheHeightAndSizesItsButton)
{
    const LWContent base = trade("contractor");
    const LWPage letter = LWFlyerLayouts::photoDiagonal().make(flyer(base));
    const LWElement photo = one(letter, "Photo frame");
    EXPECT_EQ(photo.frame, LWRect(-9, -9, 630, 480));
    ASSERT_TRUE(photo.image);
    EXPECT_FALSE(photo.image->data);
    EXPECT_DOUBLE_EQ(one(letter, "Diagonal panel").frame.maxY(), 801);

    const LWPage half = LWFlyerLayouts::photoDiagonal().make(flyer(base, halfH));
    EXPECT_DOUBLE_EQ(one(half, "Diagonal panel").frame.maxY(), 801 + halfD);
    const struct {
        const char *name;
        double moved;
        bool bottom;
    } moves[] = {{"Photo frame", halfD / 2, true}, {"Accent stripe", halfD / 2, false},
                 {"Headline", halfD / 2, false},   {"Button", halfD, false},
                 {"Call to action", halfD, false}, {"Contact", halfD, false}};
    for (const auto &m : moves) {
        const LWRect a = one(letter, m.name).frame, b = one(half, m.name).frame;
        EXPECT_NEAR(m.bottom ? b.maxY() - a.maxY() : b.y - a.y, m.moved, 1e-9) << m.name;
    }

    const LWKit k = flyer(base);
    const struct {
        QString cta;
        double width;
    } buttons[] = {
        {QStringLiteral("Call"), k.width(QStringLiteral("Call"), k.fonts.bold, 15) + 48},
        {QStringLiteral("Call today for a free estimate on your kitchen, bath, deck or addition"), 300},
        {QString(), 48},
    };
    for (const auto &button : buttons) {
        LWContent c = base;
        c.cta = button.cta;
        for (double h : {792.0, halfH}) {
            const LWPage page = LWFlyerLayouts::photoDiagonal().make(flyer(c, h));
            const LWElement cta = one(page, "Call to action");
            EXPECT_DOUBLE_EQ(one(page, "Button").frame.w, button.width) << button.cta.toStdString();
            EXPECT_DOUBLE_EQ(cta.frame.w, button.width);
            EXPECT_NEAR(cta.frame.midY(), 702 + (h - 792), 1e-9);
        }
    }
    LWContent longCta = base;
    longCta.cta = buttons[1].cta;
    const double oneLine = k.lineHeight(k.fonts.bold, 15);
    EXPECT_GT(one(LWFlyerLayouts::photoDiagonal().make(flyer(longCta)), "Call to action").frame.height(),
              1.5 * oneLine);

    LWContent three = base;
    three.bullets.removeLast();
    const QList<LWElement> list = named(LWFlyerLayouts::photoDiagonal().make(flyer(three)), "List item");
    ASSERT_EQ(list.size(), 3);
    EXPECT_DOUBLE_EQ(list[2].frame.x, 48 + 26.675);
    EXPECT_DOUBLE_EQ(list[1].frame.x, 306 + 26.675);
    EXPECT_GT(list[2].frame.y, std::max(list[0].frame.maxY(), list[1].frame.maxY()));
}

TEST_F(FlyerLayouts, SpotlightPlacesTheStackAndShrinksTheDisc)
{
    const struct {
        double T, top, disc, y;
    } frames[] = {
        {318, 394, 240, 238}, {300, 394, 240, 238}, {368, 344, 200, 208}, {1000, -288, 0, 238 - 0.6 * 682}};
    for (const auto &f : frames) {
        const LWFlyerParts::SpotlightFrame s = LWFlyerParts::spotlightFrame(f.T, 0);
        EXPECT_DOUBLE_EQ(s.top, f.top) << f.T;
        EXPECT_DOUBLE_EQ(s.disc, f.disc) << f.T;
        EXPECT_EQ(s.centre, QPointF(306, f.y)) << f.T;
    }
    const LWFlyerParts::SpotlightFrame taller = LWFlyerParts::spotlightFrame(318, halfD);
    EXPECT_DOUBLE_EQ(taller.top, 394 + halfD / 2);
    EXPECT_DOUBLE_EQ(taller.centre.y(), 238 + 0.3 * halfD);

    LWContent huge = trade("contractor");
    huge.sub = QStringLiteral("A subheading that goes on and on. ").repeated(40);
    for (const auto &[c, discWidth] : {std::pair{trade("contractor"), 240.0}, std::pair{huge, 0.0}}) {
        const LWPage page = LWFlyerLayouts::spotlight().make(flyer(c));
        const LWRect disc = one(page, "Disc").frame;
        const QList<LWElement> rings = named(page, "Ring");
        ASSERT_EQ(rings.size(), 2);
        EXPECT_DOUBLE_EQ(rings[0].frame.w, disc.w + 200);
        EXPECT_DOUBLE_EQ(rings[1].frame.w, disc.w + 120);
        for (const LWElement &ring : rings) {
            EXPECT_DOUBLE_EQ(ring.frame.h, ring.frame.w);
            EXPECT_NEAR(ring.frame.midX(), disc.midX(), 1e-9);
            EXPECT_NEAR(ring.frame.midY(), disc.midY(), 1e-9);
        }
        EXPECT_EQ(disc.w, discWidth); // too tall a stack leaves no disc, never a negative one
    }
}

TEST_F(FlyerLayouts, SpotlightPillsShowTheDateOrTheBullets)
{
    const LWContent dated = trade("concert"), plain = trade("contractor");
    LWContent two = plain, bare = plain;
    two.bullets = two.bullets.mid(0, 2);
    bare.bullets.clear();
    const struct {
        const LWContent &c;
        QStringList info;
    } cases[] = {
        {dated,
         {dated.date->weekday + ", " + dated.date->month + " " + dated.date->day, dated.time, dated.place}},
        {plain, plain.bullets.mid(0, 3)},
        {two, two.bullets},
        {bare, {}},
    };
    for (const auto &c : cases) {
        for (double h : {792.0, halfH}) {
            const LWPage page = LWFlyerLayouts::spotlight().make(flyer(c.c, h));
            const QList<LWElement> pills = named(page, "Info pill"), info = named(page, "Info");
            EXPECT_EQ(texts(info), c.info);
            ASSERT_EQ(pills.size(), info.size());
            for (qsizetype i = 0; i < pills.size(); ++i) {
                EXPECT_DOUBLE_EQ(pills[i].frame.x, 48 + 178 * i);
                EXPECT_NEAR(info[i].frame.midY(), pills[i].frame.midY(), 1e-9);
                EXPECT_EQ(page.elements.indexOf(info[i]), page.elements.indexOf(pills[i]) + 1);
            }
            EXPECT_DOUBLE_EQ(one(page, "Contact").frame.y, 730 + (h - 792));
            if (c.info.isEmpty()) {
                const double R = one(page, "Subheading").frame.maxY() + 28;
                EXPECT_DOUBLE_EQ(one(page, "Offer").frame.y, R + 38 + 26);
            }
        }
    }
}

TEST_F(FlyerLayouts, FeatureGridFillsFourCellsAndGrowsWithThePage)
{
    LWContent two = trade("contractor");
    two.bullets = two.bullets.mid(0, 2);
    const LWPage page = LWFlyerLayouts::featureGrid().make(flyer(two));
    EXPECT_EQ(texts(named(page, "Feature")),
              QStringList({two.bullets[0], two.bullets[1], two.bullets[0], two.bullets[1]}));

    LWContent none = two;
    none.bullets.clear();
    const LWPage empty = LWFlyerLayouts::featureGrid().make(flyer(none));
    EXPECT_EQ(empty.elements.size(), 23);
    EXPECT_EQ(texts(named(empty, "Feature")), QStringList({"", "", "", ""}));

    const LWContent c = trade("bakery");
    const LWPage letter = LWFlyerLayouts::featureGrid().make(flyer(c)),
                 a4 = LWFlyerLayouts::featureGrid().make(flyer(c, a4H));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(a4.elements[i].frame, letter.elements[i].frame) << i;
    const QList<LWElement> cards = named(letter, "Feature card"), tall = named(a4, "Feature card");
    ASSERT_EQ(tall.size(), 4);
    EXPECT_NEAR(tall[0].frame.y - cards[0].frame.y, 18.386, 0.001);
    EXPECT_NEAR(tall[2].frame.y - tall[0].frame.y, 164.709, 0.001);
    EXPECT_NEAR(tall[0].frame.h, 139.354, 0.001);
    EXPECT_EQ(tall[1].frame.x, 318);
    for (const auto &[d, p] : {std::pair{0.0, letter}, std::pair{a4D, a4}})
        EXPECT_EQ(one(p, "Footer").frame, LWRect(-9, 652 + d, 630, 149));
    const LWElement subheading = one(letter, "Subheading"), headline = one(letter, "Headline");
    EXPECT_DOUBLE_EQ(subheading.frame.y, headline.frame.maxY() + 34);
    EXPECT_EQ(one(letter, "Contact").text->string, c.phone + QStringLiteral("  \u00B7  ") + c.web());
}

TEST_F(FlyerLayouts, CouponCentresTheOfferInItsBoxAndFollowsTheHeight)
{
    const LWContent c = trade("restaurant");
    for (double h : {792.0, a4H, halfH}) {
        const double d = h - 792;
        const LWPage page = LWFlyerLayouts::coupon().make(flyer(c, h));
        ASSERT_EQ(page.elements.size(), 16);
        EXPECT_EQ(page.background, LWFill::solid(flyer(c).pal.tint()));
        const LWElement box = one(page, "Coupon");
        EXPECT_DOUBLE_EQ(box.frame.x, 48);
        EXPECT_DOUBLE_EQ(box.frame.y, 170);
        EXPECT_DOUBLE_EQ(box.frame.width(), 516);
        EXPECT_DOUBLE_EQ(box.frame.height(), 360 + 0.6 * d);
        EXPECT_EQ(box.stroke->dash, 12);
        const double middle = (one(page, "Headline").frame.y + one(page, "Offer note").frame.maxY()) / 2;
        EXPECT_NEAR(middle, 329 + 0.3 * d, 1e-9);
        EXPECT_DOUBLE_EQ(one(page, "Offer").frame.y, one(page, "Headline").frame.maxY() + 14);
        EXPECT_DOUBLE_EQ(one(page, "Fine print").frame.y, 494 + 0.6 * d);
        const LWElement sub = one(page, "Subheading");
        EXPECT_DOUBLE_EQ(sub.frame.y, 562 + 0.75 * d);
        EXPECT_DOUBLE_EQ(one(page, "Phone").frame.y, sub.frame.maxY() + 24);
    }
    LWContent small = c, big = c;
    small.offer = QStringLiteral("2 FOR 1");
    big.offer = QStringLiteral("Buy one large pizza and get the second one half price");
    const LWKit k = flyer(big);
    EXPECT_EQ(one(LWFlyerLayouts::coupon().make(flyer(small)), "Offer").text->size, 96);
    ASSERT_LT(k.fitLine(big.offer, k.fonts.display, 96, 440), 57.6);
    EXPECT_EQ(one(LWFlyerLayouts::coupon().make(k), "Offer").text->size,
              k.fitSize(big.offer, k.fonts.display, 96, 440));
}

TEST_F(FlyerLayouts, InvitationFramesTheEventAndHoldsTheCallToActionLow)
{
    const LWContent dated = trade("party");
    LWContent plain = trade("contractor");
    for (double h : {792.0, halfH}) {
        const double d = h - 792;
        const LWPage page = LWFlyerLayouts::invitation().make(flyer(dated, h));
        EXPECT_EQ(page.elements.size(), 20);
        const QList<LWElement> corners = named(page, "Corner");
        const QPointF expected[] = {{30, 30}, {582, 30}, {30, 762 + d}, {582, 762 + d}};
        ASSERT_EQ(corners.size(), 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(corners[i].frame.center(), expected[i]) << i;
        const LWElement divider = one(page, "Divider diamond");
        EXPECT_EQ(divider.sides, 4);
        EXPECT_EQ(divider.frame.center(), QPointF(306, one(page, "Headline").frame.maxY() + 18));
        EXPECT_DOUBLE_EQ(one(page, "Time").frame.y, one(page, "Month").frame.maxY() + 16);
        EXPECT_DOUBLE_EQ(one(page, "Call to action").frame.y, 650 + d);
        EXPECT_DOUBLE_EQ(one(page, "Phone").frame.y, one(page, "Call to action").frame.maxY() + 4);
    }

    const LWPage without = LWFlyerLayouts::invitation().make(flyer(plain));
    EXPECT_EQ(without.elements.size(), 17);
    EXPECT_DOUBLE_EQ(one(without, "Time").frame.y, one(without, "Subheading").frame.maxY() + 22);

    LWContent wordy = dated;
    wordy.sub = QStringLiteral("Dinner, dancing and a live band under the stars, with games for the children, "
                               "a raffle of wonderful prizes and fireworks over the lake at midnight. ")
                    .repeated(3);
    for (double h : {792.0, a4H}) {
        const LWPage pushed = LWFlyerLayouts::invitation().make(flyer(wordy, h));
        const double placeBottom = one(pushed, "Place").frame.maxY();
        ASSERT_GT(placeBottom, 632 + (h - 792));
        EXPECT_DOUBLE_EQ(one(pushed, "Call to action").frame.y, placeBottom + 18);
    }
}

TEST_F(FlyerLayouts, BoldTypeStacksUpperCasedWordsAndShrinksThemToFit)
{
    LWContent c = trade("party");
    c.headline = QStringLiteral("Summer  Sale  Today");
    const LWKit k = flyer(c);
    const double s0 = k.fitSize(QStringLiteral("SUMMER  SALE  TODAY"), k.fonts.display, 104, 516);
    const LWPage page = LWFlyerLayouts::boldType().make(k);
    ASSERT_EQ(page.elements.size(), 13 + 3);
    EXPECT_EQ(page.background, LWFill::solid(k.pal.deep));
    const QString words[] = {"SUMMER", "SALE", "TODAY"};
    const LWColor colors[] = {k.pal.onPrimary, k.pal.accent, k.pal.onPrimary};
    double y = 92, s = 0;
    for (int i = 0; i < 3; ++i) {
        const LWElement word = one(page, QStringLiteral("Headline word %1").arg(i + 1));
        EXPECT_EQ(word.text->string, words[i]);
        EXPECT_FALSE(word.text->uppercase);
        EXPECT_EQ(word.text->color, colors[i]);
        s = word.text->size;
        EXPECT_DOUBLE_EQ(word.frame.y, y);
        y = word.frame.maxY() - 0.06 * s;
    }
    const double k3 = std::log(s / s0) / std::log(0.88); // 1 here: 104-point words run too low
    EXPECT_NEAR(k3, std::round(k3), 1e-9);
    EXPECT_LE(k3, 7);
    EXPECT_DOUBLE_EQ(one(page, "Subheading").frame.y, y + 22);

    // Details: the short facts (date, time and place here), each marker centred on its text and drawn first.
    EXPECT_EQ(texts(named(page, "Detail")), LWFlyerParts::infoList(c));
    for (qsizetype i = indexOf(page, "Marker"); i < 13 + 1; i += 2) {
        EXPECT_EQ(page.elements[i].name, QStringLiteral("Marker"));
        EXPECT_EQ(page.elements[i + 1].name, QStringLiteral("Detail"));
        EXPECT_DOUBLE_EQ(page.elements[i].frame.midY(), page.elements[i + 1].frame.midY());
    }
    const LWContent plain = trade("contractor");
    EXPECT_EQ(texts(named(LWFlyerLayouts::boldType().make(flyer(plain)), "Detail")), LWFlyerParts::infoList(plain));

    struct Case {
        QString headline;
        int words;
        int k; // attempts that failed before the accepted one
    } cases[] = {{QString(), 0, 0}, {"   ", 0, 0}, {"Go", 1, 0}, {QStringLiteral("a ").repeated(40), 40, 7}};
    for (const Case &cs : cases) {
        for (double h : {792.0, halfH}) {
            LWContent v = c;
            v.headline = cs.headline;
            const LWKit kv = flyer(v, h);
            const LWPage built = LWFlyerLayouts::boldType().make(kv);
            EXPECT_EQ(built.elements.size(), 13 + cs.words) << cs.headline.toStdString();
            if (cs.words == 0) {
                EXPECT_DOUBLE_EQ(one(built, "Subheading").frame.y, 114);
                continue;
            }
            const double size = one(built, "Headline word 1").text->size;
            const double start = kv.fitSize(cs.headline.toUpper(), kv.fonts.display, 104, 516);
            EXPECT_DOUBLE_EQ(size, start * std::pow(0.88, cs.k)) << cs.headline.toStdString();
            for (const LWElement &e : built.elements) {
                if (e.name.startsWith(QStringLiteral("Headline word"))) {
                    EXPECT_EQ(e.text->size, size);
                }
            }
            if (cs.k == 7) {
                EXPECT_GT(named(built, "Detail").last().frame.maxY() + 8, 676 + (h - 792));
            }
        }
    }
}

} // namespace
