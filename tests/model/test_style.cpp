#include "model/file/json.h"
#include "model/style.h"

#include <gtest/gtest.h>

TEST(Fill, FactoriesAndVisibility)
{
    const LWColor c = LWColor::hex(0x336699);
    EXPECT_FALSE(LWFill::none().isVisible());
    EXPECT_FALSE((LWFill{LWFillKind::solid, LWColor::clear, LWColor::black, 90}.isVisible()));
    EXPECT_TRUE(LWFill::linear(LWColor::clear, LWColor::black.withAlpha(0.3)).isVisible());
    EXPECT_FALSE(LWFill::radial(LWColor::clear, LWColor::clear).isVisible());
    // Fields the kind does not draw still take part in equality.
    EXPECT_NE(LWFill::solid(c), (LWFill{LWFillKind::solid, c, LWColor::white, 90}));
}

template <class E> void expectRoundTrip(std::initializer_list<const char *> names)
{
    const QList<E> all = LWEnum::allCases<E>();
    ASSERT_EQ(size_t(all.size()), names.size());
    size_t i = 0;
    for (const char *name : names) {
        EXPECT_EQ(LWEnum::text(all[qsizetype(i)]), QLatin1String(name));
        EXPECT_EQ(LWEnum::fromText<E>(QString::fromLatin1(name)), all[qsizetype(i)]);
        QString upper = QLatin1String(name);
        upper[0] = upper[0].toUpper();
        EXPECT_FALSE(LWEnum::fromText<E>(upper));
        ++i;
    }
    EXPECT_FALSE(LWEnum::fromText<E>(QStringLiteral("")));
}

TEST(Enumerations, StoredNamesInTableOrder)
{
    expectRoundTrip<LWFillKind>({"none", "solid", "linear", "radial"});
    expectRoundTrip<LWShapeKind>({"rectangle", "ellipse", "triangle", "polygon", "star", "line", "path"});
    expectRoundTrip<LWTextAlign>({"left", "center", "right", "justified"});
    expectRoundTrip<LWVAlign>({"top", "middle", "bottom"});
    expectRoundTrip<LWImageFit>({"fill", "fit"});
    expectRoundTrip<LWMask>({"none", "rounded", "ellipse", "hexagon", "star", "arch", "diamond"});
}

static QByteArray bytes(const QJsonValue &v) { return *LWJson::write(v); }

TEST(FillJson, RoundTripAndStrictReading)
{
    const LWFill f = LWFill::linear(LWColor::hex(0x112233, 0.5), LWColor::white, 45);
    EXPECT_EQ(bytes(f.toJson()), R"({"angle":45,"color":{"a":0.5,"b":0.2,"g":0.13333333333333333,"r":0.06666666666666667},"color2":{"a":1,"b":1,"g":1,"r":1},"kind":"linear"})");
    EXPECT_EQ(LWFill::fromJson(LWJsonIn(f.toJson())), f);

    QJsonObject bad = f.toJson();
    bad["kind"] = "Linear";
    try {
        (void)LWFill::fromJson(LWJsonIn(bad, "pages[0].background"));
        FAIL() << "a capitalised kind must fail";
    } catch (const LWJsonError &e) {
        EXPECT_EQ(e.path(), "pages[0].background.kind");
    }
    const LWStroke s(LWColor::black, 2, 3);
    // With several keys missing, the first field in declaration order is the one reported.
    QJsonObject onlyColor = s.toJson();
    onlyColor.remove("width");
    onlyColor.remove("dash");
    try {
        (void)LWStroke::fromJson(LWJsonIn(onlyColor, "stroke"));
        FAIL() << "a stroke without width and dash must fail";
    } catch (const LWJsonError &e) {
        EXPECT_EQ(e.path(), "stroke.width");
    }
    EXPECT_EQ(LWStroke::fromJson(LWJsonIn(s.toJson())), s);
}
