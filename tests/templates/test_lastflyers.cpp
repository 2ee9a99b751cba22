#include "render/fonts.h"
#include "templates/flyerlayouts.h"
#include "templates/templatedata.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double a4H = 612 * 297 / 210.0, halfH = 612.0 * 612 / 396;

LWKit flyer(const LWContent &c, double h = 792)
{
    return LWKit(c, LWTemplates::palette(c.palettes.first()), LWTemplates::fonts(c.fonts.first()), 612, h);
}
LWContent trade(const char *id)
{
    return LWTemplates::subject(QString::fromLatin1(id));
}
QList<LWElement> named(const LWPage &page, const QString &name)
{
    QList<LWElement> out;
    for (const LWElement &e : page.elements)
        if (e.name == name)
            out.append(e);
    return out;
}
LWElement one(const LWPage &page, const QString &name)
{
    const QList<LWElement> found = named(page, name);
    EXPECT_EQ(found.size(), 1) << name.toStdString();
    return found.value(0);
}
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

} // namespace
