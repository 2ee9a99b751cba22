#include "kit/help.h"
#include "kit/kithost.h"
#include "kit/themes.h"
#include "kitfixture.h"

#include <gtest/gtest.h>

namespace {

VELKHelpTopic topic(const char *id, const char *title, const char *body, QStringList keywords = {})
{
    return {QString::fromUtf8(id), QString::fromUtf8(title), QString::fromUtf8(body), keywords};
}

// Host and help state is process-wide: each test starts from a fresh bundle and no host topics.
class Help : public ::testing::Test {
protected:
    void SetUp() override
    {
        VELKKitHost::setBundleInfo({});
        VELKHelp::setTopics({});
    }
};

} // namespace

TEST_F(Help, AppNameComesFromTheBundleUntilInstalled)
{
    struct Case {
        VELKKitHost::BundleInfo bundle;
        const char *name;
    } cases[] = {
        {{QStringLiteral("Display"), QStringLiteral("Bundle")}, "Display"},
        {{QString(), QStringLiteral("Bundle")}, "Bundle"},
        {{std::nullopt, QStringLiteral("Bundle")}, "Bundle"},
        {{}, "VELK App"},
    };
    for (const Case &c : cases) {
        VELKKitHost::setBundleInfo(c.bundle);
        EXPECT_EQ(VELKKitHost::appName(), c.name);
    }

    VELKKitHost::setBundleInfo({QStringLiteral("Display"), QStringLiteral("Bundle")});
    VELKKit::install(std::nullopt, {}, {});
    EXPECT_EQ(VELKKitHost::appName(), "VELK Leafwrighter");
    EXPECT_EQ(ids(VELKHelp::allTopics()), (QStringList{"look", "about"}));
    VELKKit::install(QStringLiteral("Other"), {}, {});
    EXPECT_EQ(VELKKitHost::appName(), "Other");
    EXPECT_EQ(VELKKitHost::creditURL().toString(), "https://www.velkmoor.com");

    std::optional<QString> opened = QStringLiteral("unset");
    VELKHelp::setOpener([&](const std::optional<QString> &id) { opened = id; });
    VELKKitHost::showHelp(QStringLiteral("preflight"));
    EXPECT_EQ(opened, "preflight");
    VELKHelp::show();
    EXPECT_EQ(opened, std::nullopt);
    VELKHelp::setOpener({});
}

TEST_F(Help, KitTopics)
{
    const VELKHelpTopic look = VELKHelp::lookTopic();
    const QStringList lines = look.body.split(u'\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(look.body.toUtf8().size(), 374);
    EXPECT_EQ(lines[0], "## Themes");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[5], QString::fromUtf8("• View → Zoom In (Ctrl +) and Zoom Out (Ctrl −)"));
    EXPECT_EQ(lines[6], QString::fromUtf8("• View → Actual Size (Ctrl 0)"));
    EXPECT_EQ(lines[7], QString::fromUtf8("• View → Zoom Level to pick an exact size."));

    VELKKit::install(QStringLiteral("Test Host"), {}, {});
    EXPECT_EQ(VELKHelp::aboutTopic().body,
              "Test Host is made by Velkmoor (VELK).\n\nWebsite, updates and support: https://www.velkmoor.com");

    const VELKHelpTopic hostAbout = topic("about", "About us", "Ours.");
    VELKHelp::setTopics({topic("a", "A", "a"), hostAbout, topic("b", "B", "b")});
    const QList<VELKHelpTopic> all = VELKHelp::allTopics();
    EXPECT_EQ(ids(all), (QStringList{"a", "about", "b", "look"}));
    EXPECT_EQ(all[1], hostAbout);
}

TEST_F(Help, SearchFoldsAndOrdersByTitle)
{
    VELKHelp::setTopics({
        topic("bleed", "Canvas", "The bleed extends past the trim.", {"print"}),
        topic("printing", "Printing tips", "Print at full size with bleed on. Text size matters."),
        topic("sheet", "Card sheets", "A 10-up sheet of cards; colors print true.", {"text size"}),
        topic("words", "Words", "Large size text reads well."),
    });
    struct Case {
        const char *query;
        QStringList want;
    } cases[] = {
        {"   \t ", {"bleed", "printing", "sheet", "words", "look", "about"}},
        {"COLOUR", {"look"}},
        {"thème", {"look"}},
        {"col", {"sheet", "look"}},
        {"bleed print", {"printing", "bleed"}}, // title match first, then earlier body match
        {"print", {"printing", "bleed", "sheet"}},
        {"text size", {"printing", "sheet", "words", "look"}},
        {"10-up", {"sheet"}},
        {"10 up", {"sheet"}},
        {"size\u00A0card", {"sheet"}},
        {"canvas printing", {}},
        {"tips canvas", {}},
        {"canvas printed", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ids(VELKHelp::search(QString::fromUtf8(c.query))), c.want) << c.query;
}
