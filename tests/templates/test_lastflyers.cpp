#include "layouttest.h"
#include "render/fonts.h"
#include "templates/flyerlayouts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The index of the first element of that name, -1 without one.
qsizetype indexOf(const LWPage &page, const QString &name)
{
    for (qsizetype i = 0; i < page.elements.size(); ++i)
        if (page.elements[i].name == name)
            return i;
    return -1;
}

class LastFlyers : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_F(LastFlyers, CouponCentresTheOfferInItsBoxAndFollowsTheHeight)
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
        const qsizetype phone = indexOf(page, "Phone");
        ASSERT_EQ(phone, 11); // after its icon
        EXPECT_DOUBLE_EQ(page.elements[phone].frame.y, sub.frame.maxY() + 24);
        EXPECT_EQ(page.elements[13].name, QStringLiteral("Website"));
        EXPECT_EQ(page.elements[15].name, QStringLiteral("Address"));
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

TEST_F(LastFlyers, InvitationFramesTheEventAndHoldsTheCallToActionLow)
{
    const LWContent dated = trade("party");
    LWContent plain = trade("contractor");
    ASSERT_TRUE(dated.date);
    ASSERT_FALSE(plain.date);
    for (double h : {792.0, halfH}) {
        const double d = h - 792;
        const LWPage page = LWFlyerLayouts::invitation().make(flyer(dated, h));
        EXPECT_EQ(page.elements.size(), 20);
        const QList<LWElement> corners = named(page, "Corner");
        const QPointF expected[] = {{30, 30}, {582, 30}, {30, 762 + d}, {582, 762 + d}};
        ASSERT_EQ(corners.size(), 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(corners[i].shape, LWShapeKind::polygon);
            EXPECT_EQ(corners[i].sides, 4);
            EXPECT_FALSE(corners[i].stroke);
            EXPECT_EQ(corners[i].cornerRadius, 0);
            EXPECT_EQ(corners[i].frame.center(), expected[i]) << i;
        }
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

TEST_F(LastFlyers, BoldTypeStacksUpperCasedWordsAndShrinksThemToFit)
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

    // Details: the joined date, time and place, each marker centred on its text and drawn first.
    const QList<LWElement> details = named(page, "Detail");
    ASSERT_EQ(details.size(), 3);
    EXPECT_EQ(details[0].text->string, c.date->weekday + ", " + c.date->month + " " + c.date->day);
    EXPECT_EQ(details[2].text->string, c.place);
    for (qsizetype i = indexOf(page, "Marker"); i < 13 + 1; i += 2) {
        EXPECT_EQ(page.elements[i].name, QStringLiteral("Marker"));
        EXPECT_EQ(page.elements[i + 1].name, QStringLiteral("Detail"));
        EXPECT_DOUBLE_EQ(page.elements[i].frame.midY(), page.elements[i + 1].frame.midY());
    }
    LWContent plain = trade("contractor");
    const LWPage listed = LWFlyerLayouts::boldType().make(flyer(plain));
    const QList<LWElement> bullets = named(listed, "Detail");
    ASSERT_EQ(bullets.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(bullets[i].text->string, plain.bullets[i]);

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
