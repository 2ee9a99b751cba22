#include "kit/about.h"
#include "kit/appmenucommands.h"
#include "kit/divider.h"
#include "kit/kithost.h"
#include "kit/liccredit.h"
#include "kitfixture.h"
#include "windowfixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>

namespace {

class About : public KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        VELKKitHost::setBundleInfo({});
        VELKAbout::setExtraLines({});
    }
    void TearDown() override
    {
        VELKAbout::setClock({});
        VELKAbout::setExtraLines({});
        KitTest::TearDown();
    }
};

} // namespace

TEST_F(About, VersionLeavesOutWhatTheBundleLacks)
{
    struct Case {
        std::optional<QString> shortVersion, build;
        const char *want;
    } cases[] = {
        {std::nullopt, "12", "Version 1.0 (12)"},
        {std::nullopt, std::nullopt, "Version 1.0"},
        {"2.1", "57", "Version 2.1 (57)"},
        {"", "", "Version 1.0"},
    };
    for (const Case &c : cases) {
        VELKKitHost::setBundleInfo({std::nullopt, std::nullopt, c.shortVersion, c.build});
        EXPECT_EQ(VELKAbout::version(), c.want);
    }
}

TEST_F(About, CopyrightYearFollowsTheClockOnEveryRead)
{
    QDate today(2025, 12, 31);
    VELKAbout::setClock([&] { return today; });
    EXPECT_EQ(VELKAbout::copyrightLine(), "\u00A9 2025 Velkmoor");
    today = QDate(2026, 1, 1);
    EXPECT_EQ(VELKAbout::copyrightLine(), "\u00A9 2026 Velkmoor");
}

TEST_F(About, OneWindowKeepsItsPlaceAndTakesFreshContent)
{
    VELKKit::install(QStringLiteral("X"), {}, {});
    VELKAbout::show();
    QWidget *window = VELKAbout::window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "About X");
    EXPECT_EQ(window->minimumSize(), QSize(440, 380));
    EXPECT_EQ(window->maximumSize(), QSize(440, 380));
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
    const VELKAboutView *first = soleChild<VELKAboutView>(window);
    ASSERT_TRUE(first);

    window->move(70, 40);
    const QPoint place = window->pos();
    VELKKit::install(QStringLiteral("Y"), {}, {});
    VELKAbout::show();
    EXPECT_EQ(VELKAbout::window(), window);
    EXPECT_EQ(window->windowTitle(), "About Y");
    const VELKAboutView *second = soleChild<VELKAboutView>(window);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(window->pos(), place);

    window->close();
    EXPECT_FALSE(window->isVisible());
    VELKAbout::show();
    EXPECT_EQ(VELKAbout::window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), place);
}

TEST_F(About, DividerFollowsTheLastTextLineAndTheLinkHasNoScheme)
{
    const QStringList cases[] = {{}, {QStringLiteral("Line one"), QStringLiteral("Line two")}};
    for (const QStringList &lines : cases) {
        SCOPED_TRACE(qPrintable(lines.join(u',')));
        VELKAbout::setExtraLines(lines);
        VELKAboutView view;
        view.resize(440, 380);
        view.show();
        ASSERT_EQ(view.extraLabels().size(), lines.size());
        const QLabel *above = lines.isEmpty() ? view.versionLabel() : view.extraLabels().last();
        EXPECT_EQ(view.divider()->geometry().top(), above->geometry().bottom() + 1 + 12);
        EXPECT_EQ(view.divider()->line().width(), view.divider()->width() - 60);
        EXPECT_EQ(view.link()->text(), "www.velkmoor.com");
    }
}

TEST_F(About, AppMenuFollowsTheInstalledName)
{
    VELKKit::install(QStringLiteral("X"), {}, {});
    QMenu menu;
    new VELKAppMenuCommands(&menu);
    VELKKit::install(QStringLiteral("Y & Co"), {}, {});
    Q_EMIT menu.aboutToShow();
    QStringList titles;
    for (const QAction *a : menu.actions())
        titles.append(a->isSeparator() ? QStringLiteral("-") : a->iconText());
    EXPECT_EQ(titles, (QStringList{"About Y & Co", "Velkmoor Website"}));
    EXPECT_TRUE(menu.actions()[0]->shortcut().isEmpty());

    menu.actions()[0]->trigger();
    ASSERT_TRUE(VELKAbout::window());
    EXPECT_EQ(VELKAbout::window()->windowTitle(), "About Y & Co");
    VELKAbout::window()->close();
}
