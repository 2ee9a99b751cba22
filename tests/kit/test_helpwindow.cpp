#include "kit/host/about.h"
#include "kit/host/appmenucommands.h"
#include "kit/views/divider.h"
#include "kit/help/helpcommands.h"
#include "kit/help/helpviewer.h"
#include "kit/help/helpwindow.h"
#include "kit/help/liccredit.h"
#include "kit/controls/searchfield.h"
#include "kit/views/panel.h"
#include "kit/views/scrollstyle.h"
#include "kit/views/scrollview.h"
#include "kitfixture.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>

namespace {

using HelpWindow = Help;

class About : public Help {
protected:
    void SetUp() override
    {
        Help::SetUp();
        VELKAbout::setExtraLines({});
    }
    void TearDown() override
    {
        VELKAbout::setClock({});
        VELKAbout::setExtraLines({});
        Help::TearDown();
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

// Opened on a topic far down the list, the list shows that topic's row; the topic's text keeps
// clear of the scroll indicator's strip.
TEST_F(HelpWindow, OpensScrolledToTheTopicWithTextClearOfTheIndicator)
{
    QList<VELKHelpTopic> topics;
    for (int i = 0; i < 40; ++i) {
        const QByteArray id = "t" + QByteArray::number(i);
        topics.append(topic(id.constData(), ("Topic " + id).constData()));
        topics.last().body = QStringLiteral("Words ").repeated(400);
    }
    VELKKit::install(QStringLiteral("X"), topics, {});
    VELKHelp::show(QStringLiteral("t37"));
    VELKHelpViewer *viewer = soleChild<VELKHelpViewer>(VELKHelpWindow::window());
    ASSERT_TRUE(viewer);
    VELKHelpRow *row = viewer->rows().value(37);
    ASSERT_TRUE(row && row->isCurrent());
    QWidget *list = viewer->topicList()->viewport();
    const auto rowShown = [&] {
        const QRect r(row->mapTo(list, QPoint(0, 0)), row->size());
        return list->rect().contains(r);
    };
    for (int i = 0; i < 50 && !rowShown(); ++i)
        QTest::qWait(10);
    EXPECT_TRUE(rowShown());

    const QList<QLabel *> texts = viewer->topicPanel()->findChildren<QLabel *>();
    ASSERT_FALSE(texts.isEmpty());
    QWidget *page = texts.first()->parentWidget();
    for (QLabel *text : texts)
        if (text->parentWidget() == page)
            EXPECT_LE(text->geometry().right(), page->width() - VKScrollStyle::extent);
}

// Escape and Ctrl+W, sent to the window that has the keyboard, close the about box and the help
// window; Help's search field holding the keyboard changes nothing.
TEST_F(About, EscapeAndCtrlWCloseAboutAndHelp)
{
    struct Case {
        const char *what;
        std::function<QWidget *()> show;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const auto about = [] {
        VELKAbout::show();
        return VELKAbout::window();
    };
    const auto help = [] {
        VELKHelp::show(QStringLiteral("a"));
        return VELKHelpWindow::window();
    };
    const Case cases[] = {
        {"About, Escape", about, Qt::Key_Escape, {}},
        {"About, Ctrl+W", about, Qt::Key_W, Qt::ControlModifier},
        {"Help, Escape", help, Qt::Key_Escape, {}},
        {"Help, Ctrl+W", help, Qt::Key_W, Qt::ControlModifier},
    };
    VELKKit::install(QStringLiteral("X"), {topic("a", "A")}, {});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QWidget *window = c.show();
        ASSERT_TRUE(window);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        if (auto *search = window->findChild<VKSearchField *>())
            search->lineEdit()->setFocus();
        QTest::keyClick(QGuiApplication::focusWindow(), c.key, c.modifiers);
        EXPECT_FALSE(window->isVisible());
    }
}
