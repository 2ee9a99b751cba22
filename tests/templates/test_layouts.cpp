#include "layouttest.h"
#include "render/fonts.h"
#include "render/icons.h"
#include "templates/cardlayouts.h"
#include "templates/flyerlayouts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Layouts : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_F(Layouts, FamiliesListTenDesignsThatAllBuild)
{
    const QStringList cards{"Split Panel", "Centered Classic", "Bold Band",    "Corner Arc", "Minimal",
                            "Wave",        "Framed",           "Side Stripes", "Hex Badge",  "Monogram"};
    const QStringList flyers{"Hero Block", "Big Date",     "Tear-Off Tabs", "Price Menu", "Photo Diagonal",
                             "Spotlight",  "Feature Grid", "Coupon",        "Invitation", "Bold Type"};
    ASSERT_EQ(LWCardLayouts::all().size(), 10);
    ASSERT_EQ(LWFlyerLayouts::all().size(), 10);
    const QStringList icons = LWIcons::names();
    auto checkPage = [&](const LWPage &page) {
        for (const LWElement &e : page.elements) {
            EXPECT_TRUE(!e.text || e.text->placeholder) << e.name.toStdString();
            EXPECT_TRUE(!e.icon || icons.contains(*e.icon)) << e.name.toStdString();
        }
    };
    for (const char *id : {"contractor", "events", "realtor"}) {
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(LWCardLayouts::all()[i].name, cards[i]);
            const auto [front, back] = LWCardLayouts::all()[i].make(card(trade(id)));
            EXPECT_EQ(front.name, QStringLiteral("Front"));
            EXPECT_EQ(back.name, QStringLiteral("Back"));
            checkPage(front);
            checkPage(back);
        }
    }
    for (const char *id : {"contractor", "party", "market"}) {
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(LWFlyerLayouts::all()[i].name, flyers[i]);
            const LWPage page = LWFlyerLayouts::all()[i].make(flyer(trade(id)));
            EXPECT_EQ(page.name, QStringLiteral("Page 1"));
            checkPage(page);
        }
    }

    const LWContent plain = trade("contractor"), dated = trade("party");
    ASSERT_EQ(plain.bullets.size(), 4);
    ASSERT_EQ(dated.bullets.size(), 4);
    ASSERT_FALSE(plain.date);
    ASSERT_TRUE(dated.date);
    const auto split = LWCardLayouts::splitPanel().make(card(plain));
    const auto classic = LWCardLayouts::centered().make(card(plain));
    EXPECT_EQ(split.first.elements.size(), 8);
    EXPECT_EQ(split.second.elements.size(), 11);
    EXPECT_EQ(classic.first.elements.size(), 5);
    EXPECT_EQ(classic.second.elements.size(), 7);
    EXPECT_EQ(LWFlyerLayouts::heroBlock().make(flyer(plain)).elements.size(), 21);
    EXPECT_EQ(LWFlyerLayouts::bigDate().make(flyer(dated)).elements.size(), 25);
    EXPECT_EQ(LWFlyerLayouts::bigDate().make(flyer(plain)).elements.size(), 24);
    EXPECT_EQ(LWFlyerLayouts::tearOff().make(flyer(plain)).elements.size(), 32);
}

TEST_F(Layouts, SplitPanelAnchorsToTheBottomEdge)
{
    const LWContent c = trade("contractor");
    const auto [us, usBack] = LWCardLayouts::splitPanel().make(card(c));
    EXPECT_EQ(one(us, "Color panel").frame, LWRect(-9, -9, 105, 162));
    const LWElement title = one(us, "Title");
    EXPECT_DOUBLE_EQ(title.frame.maxY(), 122);
    EXPECT_DOUBLE_EQ(one(us, "Name").frame.maxY(), title.frame.minY() - 1);
    EXPECT_EQ(one(usBack, "Business name").frame.y, 108);

    LWContent longPhone = c;
    longPhone.phone = QStringLiteral("(555) 012-3401 office, (555) 012-3499 mobile, (555) 012-3400 fax");
    const LWPage wrapped = LWCardLayouts::splitPanel().make(card(longPhone)).second;
    const double contactBottom = one(wrapped, "Address").frame.maxY();
    ASSERT_GT(contactBottom, 96);
    EXPECT_DOUBLE_EQ(one(wrapped, "Business name").frame.y, contactBottom + 12);

    const auto [eu, euBack] = LWCardLayouts::splitPanel().make(card(c, euH));
    EXPECT_NEAR(one(eu, "Color panel").frame.height(), 181.06, 0.01);
    EXPECT_NEAR(eu.elements[1].frame.y - us.elements[1].frame.y, 9.53, 0.01);
    EXPECT_NEAR(one(eu, "Title").frame.maxY(), 141.06, 0.01);

    LWContent longTitle = c;
    longTitle.title = QStringLiteral("Owner, General Contractor and Licensed Master Builder of Fine Homes");
    const LWPage tall = LWCardLayouts::splitPanel().make(card(longTitle)).first;
    EXPECT_DOUBLE_EQ(one(tall, "Title").frame.maxY(), 122);
    EXPECT_GT(one(tall, "Title").frame.height(), title.frame.height());
    EXPECT_DOUBLE_EQ(one(tall, "Name").frame.maxY(), one(tall, "Title").frame.minY() - 1);

    LWContent longName = c;
    longName.business = QStringLiteral("Summit Ridge Builders and Remodelers of the Valley");
    const LWPage pushed = LWCardLayouts::splitPanel().make(card(longName)).first;
    const double grew = one(pushed, "Business name").frame.height() - one(us, "Business name").frame.height();
    ASSERT_GT(grew, 0);
    EXPECT_DOUBLE_EQ(one(pushed, "Tagline").frame.y, one(us, "Tagline").frame.y + grew);
    EXPECT_DOUBLE_EQ(one(pushed, "Rule").frame.y, one(us, "Rule").frame.y + grew);
    EXPECT_EQ(one(pushed, "Name").frame, one(us, "Name").frame);
    EXPECT_EQ(one(pushed, "Title").frame, title.frame);
}

TEST_F(Layouts, CenteredClassicBackStacksTwoBlocksAroundItsRule)
{
    const LWPage back = LWCardLayouts::centered().make(card(trade("salon"))).second;
    const double titleBottom = back.elements[1].frame.maxY();
    EXPECT_EQ(back.elements[2].name, QStringLiteral("Rule"));
    EXPECT_DOUBLE_EQ(back.elements[2].frame.y, titleBottom + 9);
    EXPECT_DOUBLE_EQ(back.elements[3].frame.y, titleBottom + 17);
    for (const LWElement &e : back.elements)
        EXPECT_TRUE(!e.text || e.text->align == LWTextAlign::center) << e.name.toStdString();
}

TEST_F(Layouts, HeroBlockSizesTheHeroToItsText)
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

TEST_F(Layouts, BigDateShowsTheDateOrTheOffer)
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

TEST_F(Layouts, TearOffTabsShrinkTheHeadlineAndHangTheTabs)
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
    EXPECT_NEAR(d * 0.5, 76.91, 0.01);
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

} // namespace
