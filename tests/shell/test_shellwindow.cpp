#include "app/app.h"
#include "kit/host/about.h"
#include "kit/help/help.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"
#include "support/waitfor.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList texts(const QList<QAction *> &actions)
{
    QStringList out;
    for (const QAction *action : actions)
        out.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return out;
}

} // namespace

// Each test against a throw-away settings file, after the start-up configuration.
class ShellWindow : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
        app = &LWSetup::configure();
    }
    void TearDown() override
    {
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini"))));
    }

    QTemporaryDir dir;
    LWApp *app = nullptr;
};

TEST_F(ShellWindow, ConfigureInstallsTheApplication)
{
    EXPECT_EQ(app, &LWApp::shared());
    EXPECT_EQ(VELKAbout::extraLines(),
              QStringList({QStringLiteral("Business cards, flyers and posters \u2014 ready to print."),
                           QStringLiteral("Design templates, icons and layouts made by VELK.")}));
    bool walkthrough = false;
    for (const VELKHelpTopic &topic : VELKHelp::topics())
        walkthrough = walkthrough || topic.id == QLatin1String("walkthrough-card");
    EXPECT_TRUE(walkthrough);
    EXPECT_EQ(VELKThemes::named(LWThemes::forestID).id, LWThemes::forestID);
    EXPECT_EQ(VELKThemes::all().size(), VELKThemes::builtIn().size() + 1);
}

TEST_F(ShellWindow, SizesAreTheContents)
{
    LWShellWindow window(*app);
    EXPECT_EQ(window.objectName(), QStringLiteral("main"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("VELK Leafwrighter"));
    ASSERT_EQ(window.centralWidget(), window.root());
    auto *host = qobject_cast<VKZoomHost *>(window.root()->content());
    ASSERT_NE(host, nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.root()->size(), QSize(1500, 940));
    EXPECT_EQ(host->currentLayout().logical, QSizeF(1500, 940));

    window.resize(500, 400);
    EXPECT_TRUE(waitFor([&] { return window.root()->size() == QSize(900, 600); }))
        << window.root()->width() << " x " << window.root()->height();
    EXPECT_EQ(window.height() - window.root()->height(), window.menuBar()->height());
    EXPECT_EQ(host->currentLayout().logical, QSizeF(1480, 760));
}

TEST_F(ShellWindow, FirstSizeStaysOnTheScreen)
{
    struct Case {
        QSize available;
        QSize content;
    };
    const Case cases[] = {
        {{1920, 1080}, {1500, 940}}, {{1500, 970}, {1500, 940}}, {{1366, 768}, {1366, 738}},
        {{1280, 700}, {1280, 670}},  {{1024, 600}, {1024, 600}}, {{800, 600}, {900, 600}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LWShellWindow::firstContentSize(c.available, 30), c.content) << c.available.width();
}

TEST_F(ShellWindow, MenusInTheirOrder)
{
    LWShellWindow window(*app);
    const QList<QAction *> menus = window.menuBar()->actions();
    // Each title with its access letter, which Alt opens.
    EXPECT_EQ(texts(menus),
              QStringList({"VELK &Leafwrighter", "&File", "&Edit", "&Arrange", "&View", "&Page", "&Theme", "&Help"}));
    ASSERT_EQ(menus.size(), 8);
    EXPECT_EQ(texts(menus[0]->menu()->actions()),
              QStringList({"About VELK Leafwrighter", "Velkmoor Website", "-", "Quit VELK Leafwrighter"}));
    EXPECT_EQ(menus[1]->menu(), window.fileMenu());
    EXPECT_EQ(menus[2]->menu(), window.editMenu());
    EXPECT_EQ(menus[3]->menu(), window.arrangeMenu());
    EXPECT_EQ(menus[5]->menu(), window.pageMenu());
    EXPECT_EQ(menus[4]->menu(), window.viewMenu());
    EXPECT_TRUE(texts(window.viewMenu()->actions()).contains(QStringLiteral("Zoom In")));
    EXPECT_TRUE(texts(menus[6]->menu()->actions()).contains(QStringLiteral("Forest Green")));
    EXPECT_EQ(menus[7]->menu()->actions().value(0)->text(), QStringLiteral("VELK Leafwrighter Help"));
}

TEST_F(ShellWindow, ControlQClosesTheWindow)
{
    LWShellWindow window(*app);
    int quits = 0;
    window.setQuit([&quits] { ++quits; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QAction *quit = window.menuBar()->actions().first()->menu()->actions().last();
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(quits, 1);
}
