#include "model/color.h"
#include "model/format.h"
#include "model/units.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

TEST(Units, ConversionsAndPixels)
{
    EXPECT_EQ(LWUnits::pixels(252, 300), 1050);
    EXPECT_EQ(LWUnits::pixels(9, 300), 38);   // 37.5 rounds away from zero
    // Absurd sizes from a hand-edited file clamp instead of overflowing.
    EXPECT_EQ(LWUnits::pixels(1e300, 600), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(LWUnits::pixels(std::nan(""), 300), 0);
    EXPECT_EQ(LWUnits::pixels(INFINITY, 300), std::numeric_limits<std::int64_t>::max());
}

TEST(Color, FromHexTrimsOnlyHorizontalSpace)
{
    const LWColor orange(1, 128 / 255.0, 0, 1);
    EXPECT_EQ(LWColor::fromHex(QStringLiteral("  #ff8000\t")), orange);
    EXPECT_EQ(LWColor::fromHex(QStringLiteral("ff8000")), orange);
    EXPECT_EQ(LWColor::fromHex(QString::fromUtf8("\u00A0#FF8000\u2003")), orange); // other space separators
    EXPECT_FALSE(LWColor::fromHex(QStringLiteral("#FF8000\n")));
    EXPECT_FALSE(LWColor::fromHex(QStringLiteral("#FFF")));
    EXPECT_FALSE(LWColor::fromHex(QStringLiteral("#FF8000AA")));
    EXPECT_FALSE(LWColor::fromHex(QStringLiteral("#GG8000")));
}

TEST(Color, FromHexSignsLikeTheUnsignedParser)
{
    EXPECT_EQ(LWColor::fromHex(QStringLiteral("+FF800")), LWColor::hex(0xFF800));
    EXPECT_EQ(LWColor::fromHex(QStringLiteral("-00000")), LWColor::black);
    EXPECT_FALSE(LWColor::fromHex(QStringLiteral("-00001")));
    EXPECT_FALSE(LWColor::fromHex(QStringLiteral("+-0000")));
}

TEST(Color, HexStringRoundsAndWidens)
{
    EXPECT_EQ(LWColor(1, 0.5, 0, 0.3).hexString(), "#FF8000");
    EXPECT_EQ(LWColor(2, 0, 0).hexString(), "#1FE0000");
    EXPECT_EQ(LWColor(-0.5, 0, 0).hexString(), "#000000");
    EXPECT_FALSE(LWColor(1e300, std::nan(""), -1e300).hexString().isEmpty());
    // Round trip snaps to 1/255 and drops opacity.
    const LWColor c(0.3, 0.6, 0.9, 0.25);
    const auto back = LWColor::fromHex(c.hexString());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->a, 1);
    EXPECT_DOUBLE_EQ(back->r, std::round(0.3 * 255) / 255);
}

TEST(Color, HexIgnoresTopBitsAndBlends)
{
    EXPECT_EQ(LWColor::hex(0xAB123456), LWColor::hex(0x123456));
    EXPECT_EQ(LWColor::white.mix(LWColor::clear, 0.5), LWColor(0.5, 0.5, 0.5, 0.5));
    const LWColor far = LWColor::black.mix(LWColor(0.5, 0.5, 0.5), 2);
    EXPECT_DOUBLE_EQ(far.r, 1.0);
}

TEST(Color, LuminanceAndContrast)
{
    EXPECT_DOUBLE_EQ(LWColor::contrast(LWColor::white, LWColor::black), 21);
    EXPECT_DOUBLE_EQ(LWColor::contrast(LWColor::black, LWColor::white), 21);
    const LWColor grey(0.5, 0.5, 0.5);
    EXPECT_NEAR(grey.luminance(), 0.2140, 1e-4);
    EXPECT_NEAR(LWColor::contrast(LWColor::white, grey), 3.98, 0.01);
    EXPECT_DOUBLE_EQ(LWColor(0.03928, 0, 0).luminance(), 0.2126 * 0.03928 / 12.92);
}

TEST(Color, NegativeZeroHashesLikeZero)
{
    EXPECT_EQ(LWColor(0, 0, 0), LWColor(-0.0, 0, 0));
    EXPECT_EQ(qHash(LWColor(0, 0, 0)), qHash(LWColor(-0.0, -0.0, 0)));
}

TEST(Format, NumRoundsTiesToEvenOnTheDecimalForm)
{
    EXPECT_EQ(LWFormat::num(0.125, 2), "0.12");
    EXPECT_EQ(LWFormat::num(0.125), "0.125");
    EXPECT_EQ(LWFormat::num(0.375, 2), "0.38");
    EXPECT_EQ(LWFormat::num(2.0), "2");
    EXPECT_EQ(LWFormat::num(1234.5678), "1234.568");
    EXPECT_EQ(LWFormat::num(-0.0004), "0"); // no "-0"
    EXPECT_EQ(LWFormat::num(9.9996), "10");
    EXPECT_EQ(LWFormat::num(1e21), "1000000000000000000000");
    EXPECT_EQ(LWFormat::num(2.5, 0), "2");
}
