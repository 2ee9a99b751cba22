#include "kit/helpcommands.h"
#include "kit/helpviewer.h"
#include "kit/helpwindow.h"
#include "kit/kithost.h"
#include "kit/searchfield.h"
#include "kitfixture.h"
#include "windowfixture.h"
#include "model/prefs.h"

#include <QAction>
#include <QDesktopServices>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>

namespace {

VELKHelpTopic topic(const char *id, const char *title)
{
    return {QString::fromUtf8(id), QString::fromUtf8(title), QStringLiteral("Body."), {}};
}

class HelpWindow : public KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        VELKKitHost::setBundleInfo({});
    }
    void TearDown() override
    {
        VELKHelp::setTopics({});
        VELKHelp::setOpener({});
        KitTest::TearDown();
    }
};

QRect restoredFrom(const QByteArray &stored)
{
    QWidget probe;
    EXPECT_TRUE(probe.restoreGeometry(stored));
    return probe.geometry();
}

} // namespace

TEST_F(HelpWindow, OneWindowGetsAFreshViewerOnEveryRequest)
{
    VELKKit::install(QStringLiteral("X"), {topic("a", "A"), topic("b", "B")}, {});
    VELKHelp::show(QStringLiteral("a"));
    QWidget *window = VELKHelpWindow::window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "X Help");
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
    VELKHelpViewer *first = soleChild<VELKHelpViewer>(window);
    ASSERT_TRUE(first);
    QTest::keyClicks(first->searchField()->lineEdit(), QStringLiteral("typed"));

    VELKKitHost::setAppName(QStringLiteral("Y"));
    VELKHelp::show(QStringLiteral("b"));
    EXPECT_EQ(VELKHelpWindow::window(), window);
    EXPECT_EQ(window->windowTitle(), "Y Help");
    VELKHelpViewer *second = soleChild<VELKHelpViewer>(window);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->shownTopicID(), "b");
    EXPECT_EQ(second->searchField()->text(), "");

    window->setGeometry(60, 50, 700, 480);
    const QRect frame = window->geometry();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(restoredFrom(LWSettings::shared().value(VELKHelpWindow::frameKey).toByteArray()), frame);
    VELKHelp::show();
    EXPECT_EQ(VELKHelpWindow::window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), frame);
}

TEST_F(HelpWindow, ANewWindowIsCentredUnlessAStoredFrameRestores)
{
    QWidget source;
    source.setGeometry(40, 30, 640, 470);
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        const char *name;
        std::optional<QByteArray> stored;
        QRect want;
    } cases[] = {
        {"nothing", std::nullopt, QRect(QPoint(), QSize(860, 600)).translated(avail.center() - QPoint(429, 299))},
        {"stored", source.saveGeometry(), source.geometry()},
        {"garbage", QByteArray("\x01\xd9\xd0\xcbnot a frame", 15),
         QRect(QPoint(), QSize(860, 600)).translated(avail.center() - QPoint(429, 299))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stored)
            LWSettings::shared().setValue(VELKHelpWindow::frameKey, *c.stored);
        else
            LWSettings::shared().remove(VELKHelpWindow::frameKey);
        QWidget w;
        VELKHelpWindow::placeNew(w);
        EXPECT_EQ(w.geometry(), c.want);
    }
}

TEST_F(HelpWindow, MenuListsTopicsBetweenSeparatorsAndOpensHelp)
{
    VELKKit::install(QStringLiteral("X"), {topic("a", "A"), topic("b", "Fonts & licenses"), topic("about", "About us")},
                     {});
    QMainWindow main;
    QMenu *menu = main.menuBar()->addMenu(QStringLiteral("Help"));
    new VELKHelpCommands(menu);
    menu->addAction(QStringLiteral("Show Font License Files"));
    VELKKitHost::setAppName(QStringLiteral("Z"));
    Q_EMIT menu->aboutToShow();

    QStringList titles;
    for (const QAction *a : menu->actions())
        titles.append(a->isSeparator() ? QStringLiteral("-") : a->iconText());
    EXPECT_EQ(titles, (QStringList{"Z Help", "-", "A", "Fonts & licenses", "About us", "Themes and interface zoom",
                                   "-", "Velkmoor Website", "Show Font License Files"}));

    QList<std::optional<QString>> opened;
    VELKHelp::setOpener([&](const std::optional<QString> &id) { opened.append(id); });
    menu->actions()[2]->trigger();
    menu->actions()[0]->trigger();
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, Qt::Key_F1);
    EXPECT_EQ(opened, (QList<std::optional<QString>>{QStringLiteral("a"), std::nullopt, std::nullopt}));

    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
    menu->actions()[7]->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    EXPECT_EQ(sink.opened, QList<QUrl>{VELKKitHost::creditURL()});
}
