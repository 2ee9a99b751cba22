#include "layouttest.h"
#include "render/fonts.h"
#include "render/preflight.h"
#include "templates/flyerlayouts.h"
#include "templates/flyerparts.h"
#include "templates/templates.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

constexpr double halfD = halfH - 792, a4D = a4H - 792;

class FlyerLayouts : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

QStringList names(const LWPage &page)
{
    QStringList out;
    for (const LWElement &e : page.elements)
        out << e.name;
    return out;
}

QStringList texts(const QList<LWElement> &elements)
{
    QStringList out;
    for (const LWElement &e : elements)
        out << e.text->string;
    return out;
}

QStringList repeated(const QStringList &list, int times)
{
    QStringList out;
    for (int i = 0; i < times; ++i)
        out << list;
    return out;
}

TEST_F(FlyerLayouts, BuildTheirElementsInTableOrder)
{
    const QStringList head{"Outer frame", "Inner frame",   "Icon: hammer", "Business name",
                           "Tagline",     "Section title", "Rule"};
    const QStringList photoHead{"Photo frame",  "Accent stripe", "Diagonal panel", "Badge",
                                "Icon: hammer", "Headline",      "Subheading"};
    const QStringList spotHead{"Ring", "Ring", "Disc", "Icon: hammer", "Headline", "Subheading"};
    const QStringList spotTail{"Offer", "Offer note", "Contact"};
    const QStringList gridHead{"Category", "Headline", "Underline", "Subheading"};
    QStringList cells;
    for (const char *icon : {"hammer", "house", "check", "star"})
        cells << "Feature card"
              << "Feature badge" << QStringLiteral("Icon: ") + icon << "Feature";
    const struct {
        const LWFlyerLayout &layout;
        const char *trade;
        QStringList names;
    } cases[] = {
        {LWFlyerLayouts::priceMenu(), "contractor",
         head + repeated({"Leader", "Item", "Price"}, 6) + QStringList{"Hours", "Contact", "Call to action"}},
        {LWFlyerLayouts::photoDiagonal(), "contractor",
         photoHead + repeated({"Icon: check", "List item"}, 4) +
             QStringList{"Button", "Call to action", "Contact"}},
        {LWFlyerLayouts::spotlight(), "contractor", spotHead + repeated({"Info pill", "Info"}, 3) + spotTail},
        {LWFlyerLayouts::spotlight(), "concert",
         QStringList(spotHead).replaceInStrings("hammer", trade("concert").icon) +
             repeated({"Info pill", "Info"}, 3) + spotTail},
        {LWFlyerLayouts::featureGrid(), "contractor",
         gridHead + cells + QStringList{"Footer", "Call to action", "Contact"}},
    };
    for (const auto &c : cases) {
        const LWPage page = c.layout.make(flyer(trade(c.trade)));
        EXPECT_EQ(names(page), c.names) << c.layout.name.toStdString() << " " << c.trade;
        EXPECT_EQ(page.name, QStringLiteral("Page 1"));
    }
    EXPECT_EQ(cases[0].names.size(), 28);
    EXPECT_EQ(cases[1].names.size(), 18);
    EXPECT_EQ(cases[2].names.size(), 15);
    EXPECT_EQ(cases[4].names.size(), 23);

    const QList<LWFlyerLayout> &all = LWFlyerLayouts::all();
    const QStringList expected{"Price Menu", "Photo Diagonal", "Spotlight", "Feature Grid"};
    const LWFlyerLayout *layouts[] = {&LWFlyerLayouts::priceMenu(), &LWFlyerLayouts::photoDiagonal(),
                                      &LWFlyerLayouts::spotlight(), &LWFlyerLayouts::featureGrid()};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(all[3 + i].name, expected[i]);
        EXPECT_EQ(all[3 + i].name, layouts[i]->name);
        EXPECT_EQ(all[3 + i].make, layouts[i]->make);
    }

    const LWKit k = flyer(trade("contractor"));
    EXPECT_EQ(LWFlyerLayouts::priceMenu().make(k).background,
              LWFill::linear(k.pal.primary.mix(LWColor::black, 0.25), k.pal.deep, 90));
    EXPECT_EQ(LWFlyerLayouts::spotlight().make(k).background, LWFill::radial(k.pal.primary, k.pal.deep));
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
    EXPECT_NEAR(halfD / 2, 76.909, 0.001);
    EXPECT_NEAR(halfD, 153.818, 0.001);
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
    ASSERT_TRUE(dated.date);
    ASSERT_FALSE(plain.date);
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

TEST_F(FlyerLayouts, TheirTemplatesBuildAndReachTheBleed)
{
    const QStringList styles{"Price Menu", "Photo Diagonal", "Spotlight", "Feature Grid"};
    int built = 0;
    for (const QList<LWTemplate> *list :
         {&LWTemplates::flyers(), &LWTemplates::flyersA4(), &LWTemplates::flyersHalf()}) {
        for (const LWTemplate &t : *list) {
            if (!styles.contains(t.style))
                continue;
            ++built;
            const LWDocument doc = t.make();
            ASSERT_EQ(doc.pages.size(), 1) << t.id.toStdString();
            EXPECT_GT(doc.pages[0].elements.size(), 9) << t.id.toStdString();
            for (const LWExport::Issue &issue : LWExport::preflight(doc))
                EXPECT_FALSE(issue.message.contains(QStringLiteral("stops short of the bleed")))
                    << t.id.toStdString() << " " << issue.message.toStdString();
        }
    }
    EXPECT_EQ(built, 120);
}

} // namespace
