#include "kit/themes.h"
#include "kitfixture.h"

#include <QSignalSpy>

namespace {

using Themes = KitTest;

} // namespace

TEST_F(Themes, EveryThemeMeetsTheContrastFloors)
{
    const QList<VELKTheme> all = VELKThemes::builtIn() + LWThemes::extras();
    for (const VELKTheme &t : all) {
        SCOPED_TRACE(t.id.toStdString());
        using RGB = VELKTheme::RGB;
        EXPECT_GE(RGB::contrast(t.text, t.bg), 7);
        EXPECT_GE(RGB::contrast(t.text, t.panelTop), 4.5);
        EXPECT_GE(RGB::contrast(t.dim, t.panelBottom), 4.5);
        const VKKitTheme kit = t.kitTheme();
        EXPECT_EQ(kit.rim, QColor::fromRgbF(1, 1, 1, 0.25f));
        EXPECT_EQ(kit.accent, t.accent.qcolor());
        EXPECT_EQ(kit.bg.alphaF(), 1.0f);
    }
    EXPECT_GE(VELKTheme::RGB::contrast(LWColor::white, LWThemes::extras().first().accent), 4.5);
}

TEST_F(Themes, RegisteringKeepsFirstOccurrenceOfEachID)
{
    const QStringList builtIn = ids(VELKThemes::builtIn());
    VELKThemes::registerThemes(LWThemes::extras());
    VELKThemes::registerThemes(LWThemes::extras());
    EXPECT_EQ(ids(VELKThemes::all()), builtIn + QStringList{LWThemes::forestID});

    // A built-in id registers nothing, however different its colours.
    VELKTheme fake = VELKThemes::builtIn()[2];
    fake.name = QStringLiteral("Fake");
    fake.bg = LWColor::white;
    VELKThemes::registerThemes({fake});
    EXPECT_EQ(VELKThemes::all().size(), 7);
    EXPECT_EQ(VELKThemes::named(fake.id).name, "Rose Gold");
    EXPECT_EQ(fake, VELKThemes::builtIn()[2]); // equality is by id

    VELKTheme first = fake, second = fake;
    first.id = second.id = QStringLiteral("test-twice");
    second.name = QStringLiteral("Second");
    VELKThemes::registerThemes({first, second});
    ASSERT_EQ(VELKThemes::all().size(), 8);
    EXPECT_EQ(VELKThemes::all().last().name, "Fake");
}

TEST_F(Themes, LookupFallsBackToTheDefaultThenTheFirstBuiltIn)
{
    EXPECT_EQ(VELKThemes::currentID(), "cobalt-gunmetal");
    EXPECT_EQ(VELKThemes::current().name, "Cobalt Gunmetal");
    for (const QString &id : {QString(), QStringLiteral("nope"), QStringLiteral("Rose-Gold")})
        EXPECT_EQ(VELKThemes::named(id).name, "Cobalt Gunmetal") << id.toStdString();
    VELKThemes::setCurrentID(QString());
    EXPECT_EQ(VELKThemes::currentID(), "");
    EXPECT_EQ(VELKThemes::current().name, "Cobalt Gunmetal");
    VELKThemes::setCurrentID(QStringLiteral("midnight-black"));
    EXPECT_EQ(VELKThemes::current().name, "Midnight Black");

    VELKThemes::defaultID = QStringLiteral("rose-gold");
    EXPECT_EQ(VELKThemes::named(QStringLiteral("nope")).name, "Rose Gold");
    VELKThemes::defaultID = QStringLiteral("nope");
    EXPECT_EQ(VELKThemes::named(QStringLiteral("nope2")).name, "Cobalt Gunmetal");
    VELKThemes::defaultID = QStringLiteral("cobalt-gunmetal");
}

TEST_F(Themes, ColourArithmetic)
{
    using RGB = VELKTheme::RGB;
    for (const std::uint32_t hex : {0x2B7F47u, 0xFF2B7F47u}) {
        const RGB c = RGB::hex(hex);
        EXPECT_EQ(c, RGB(43 / 255.0, 127 / 255.0, 71 / 255.0));
    }
    EXPECT_DOUBLE_EQ(RGB::contrast(LWColor::white, LWColor::black), 21);
    const RGB a = RGB::hex(0x2F7BF2), b = RGB::hex(0xE0789A);
    EXPECT_DOUBLE_EQ(RGB::contrast(a, a), 1);
    EXPECT_DOUBLE_EQ(RGB::contrast(a, b), RGB::contrast(b, a));
    EXPECT_DOUBLE_EQ(RGB(0.03928, 0, 0).luminance(), 0.2126 * 0.03928 / 12.92);

    EXPECT_EQ(VELKTheme::familyFromText(QStringLiteral("gray")), VELKTheme::Family::gray);
    EXPECT_EQ(VELKTheme::familyFromText(QStringLiteral("Gray")), std::nullopt);
    EXPECT_EQ(VELKTheme::familyText(VELKTheme::Family::extra), "extra");
}

TEST_F(Themes, EveryWriteIsAnnouncedEqualValuesToo)
{
    QSignalSpy spy(&LWSettings::shared(), &LWSettings::changed);
    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    LWSettings::shared().remove(VELKThemes::key);
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy.at(2).at(0).toString(), VELKThemes::key);
    EXPECT_EQ(VELKThemes::currentID(), "cobalt-gunmetal");
}
