#include "app/app_fixture.h"
#include "app/sheets/exportsheet.h"
#include "app/newcustomdialog.h"
#include "app/sheets/sheetpresenter.h"
#include "app/startscreen.h"
#include "app/templatebrowser.h"
#include "kit/controls/searchfield.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/cabinet/woodcheek.h"
#include "shell/headerbar.h"
#include "shell/mainwindow.h"
#include "shell/shellwindow.h"
#include "shell/statusstrip.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/editorkeys.h"
#include "ui/canvas/editorscreen.h"
#include "ui/canvas/pagecanvas.h"

#include <QApplication>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <functional>

namespace {

bool isScreen(const QObject *o)
{
    return qobject_cast<const StartScreen *>(o) || qobject_cast<const TemplateBrowser *>(o) ||
           qobject_cast<const EditorScreen *>(o);
}

// The class of the one screen left in `main` once replaced ones are gone; "none" unless exactly
// one is left and it is the one `main` reports.
QString soleScreen(MainWindow &main)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<QWidget *> screens = main.findChildren<QWidget *>();
    screens.removeIf([](const QWidget *w) { return !isScreen(w); });
    if (screens.size() != 1 || screens.first() != main.screen())
        return QStringLiteral("none");
    return QString::fromLatin1(screens.first()->metaObject()->className());
}

LWEditor *editorOf(QWidget *screen)
{
    auto *editing = qobject_cast<EditorScreen *>(screen);
    return editing ? &editing->canvas()->page()->editor() : nullptr;
}

// A Letter design with one unlocked rectangle at x 100.
LWDocument oneBox()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = {LWElement::makeShape(LWShapeKind::rectangle, LWRect(100, 100, 50, 50),
                                                  LWFill::solid(LWColor::black), std::nullopt, 0, QStringLiteral("a"))};
    return doc;
}

} // namespace

class MainWindowTest : public AppTest {};

TEST_F(MainWindowTest, ScreenFollowsTheApp)
{
    MainWindow main(app);
    main.resize(1480, 760);
    main.show();
    const QList<WoodCheek *> cheeks = main.findChildren<WoodCheek *>();
    ASSERT_EQ(cheeks.size(), 2);
    EXPECT_EQ(cheeks[0]->geometry(), QRect(0, 0, 20, 760));
    EXPECT_EQ(cheeks[1]->geometry(), QRect(1460, 0, 20, 760));
    EXPECT_EQ(cheeks[0]->seed(), 1);
    EXPECT_EQ(cheeks[1]->seed(), 4);
    QWidget *header = main.headerBar();
    QWidget *status = main.statusStrip();
    EXPECT_EQ(soleScreen(main), "StartScreen");

    LWEditor *first = nullptr;
    LWEditor *second = nullptr;
    struct Step {
        const char *what;
        std::function<void()> act;
        const char *screen;
        std::function<LWEditor *()> shows; // the editor on screen
    };
    const auto none = [] { return static_cast<LWEditor *>(nullptr); };
    const Step steps[] = {
        {"templates", [&] { app.setScreen(LWAppScreen::templates); }, "TemplateBrowser", none},
        {"editor, none open", [&] { app.setScreen(LWAppScreen::editor); }, "StartScreen", none},
        {"a new design", [&] { first = openNew(oneBox()); }, "EditorScreen", [&] { return first; }},
        {"templates again", [&] { app.setScreen(LWAppScreen::templates); }, "TemplateBrowser", none},
        {"back to the editor", [&] { app.setScreen(LWAppScreen::editor); }, "EditorScreen", [&] { return first; }},
        {"another design", [&] { second = openNew(oneBox()); }, "EditorScreen", [&] { return second; }},
        {"start", [&] { app.setScreen(LWAppScreen::start); }, "StartScreen", none},
        {"editor from start", [&] { app.setScreen(LWAppScreen::editor); }, "EditorScreen", [&] { return second; }},
        {"closed", [&] { app.close(); }, "StartScreen", none},
    };
    for (const Step &step : steps) {
        step.act();
        EXPECT_EQ(soleScreen(main), step.screen) << step.what;
        EXPECT_EQ(editorOf(main.screen()), step.shows()) << step.what;
        EXPECT_TRUE(main.screen()->isVisible()) << step.what;
        EXPECT_EQ(main.headerBar(), header) << step.what;
        EXPECT_EQ(main.statusStrip(), status) << step.what;
        EXPECT_TRUE(header->isVisibleTo(&main) && status->isVisibleTo(&main)) << step.what;
        // Header, screen and status stacked between the cheeks, the screen taking what is left.
        main.layout()->activate();
        const QRect middle(20, 0, main.width() - 40, main.height());
        EXPECT_EQ(header->y() + header->height(), main.screen()->y()) << step.what;
        EXPECT_EQ(main.screen()->geometry().bottom() + 1, status->y()) << step.what;
        EXPECT_EQ(QRect(header->geometry()).united(status->geometry()).united(main.screen()->geometry()), middle)
            << step.what;
        if (step.shows()) {
            EXPECT_EQ(app.editor(), step.shows()) << step.what;
        }
    }
}

TEST_F(MainWindowTest, SameScreenAgainKeepsIt)
{
    MainWindow main(app);
    main.show();
    app.setScreen(LWAppScreen::templates);
    QPointer<TemplateBrowser> browser = qobject_cast<TemplateBrowser *>(main.screen());
    ASSERT_TRUE(browser);
    QTest::keyClicks(browser->searchField()->lineEdit(), QStringLiteral("bold"));
    ASSERT_EQ(browser->query(), "bold");
    app.setScreen(LWAppScreen::templates);
    EXPECT_EQ(soleScreen(main), "TemplateBrowser");
    ASSERT_EQ(main.screen(), browser.data());
    EXPECT_EQ(browser->query(), "bold");

    LWEditor *ed = openNew(oneBox());
    QPointer<QWidget> editing = main.screen();
    app.setEditor(ed); // the same editor set again
    app.setScreen(LWAppScreen::editor);
    EXPECT_EQ(soleScreen(main), "EditorScreen");
    EXPECT_EQ(main.screen(), editing.data());
}

// Each test with the shell window shown and active, its content built by the theme root.
class ShellHostTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        window = std::make_unique<LWShellWindow>(app);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        AppTest::TearDown();
    }
    // Another theme, and the theme root's queued rebuild run; the old content waits for deletion.
    void changeTheme()
    {
        const QString now = VELKThemes::currentID();
        for (const VELKTheme &theme : VELKThemes::builtIn())
            if (theme.id != now) {
                VELKThemes::setCurrentID(theme.id);
                break;
            }
        QCoreApplication::processEvents();
        ASSERT_EQ(window->root()->themeID(), VELKThemes::currentID());
    }
    QDialog *dialog() const { return window->sheets()->dialog(); }

    std::unique_ptr<LWShellWindow> window;
};

TEST_F(ShellHostTest, OneKeyFilterAfterSwitchesAndAThemeChange)
{
    LWEditor *ed = openNew(oneBox());
    ed->setSelection({ed->elements()[0].id});
    app.setScreen(LWAppScreen::start);
    app.setScreen(LWAppScreen::editor);
    QPointer<MainWindow> before = window->mainWidget();
    QPointer<EditorScreen> old = qobject_cast<EditorScreen *>(before->screen());
    ASSERT_TRUE(old && old->keys()->isInstalled());
    changeTheme();
    // Before the old content is deleted: its keys already stood down.
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->keys()->isInstalled());
    QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    QTest::keyClick(to, Qt::Key_Left);
    EXPECT_EQ(ed->elements()[0].frame.x, 99);
    ASSERT_NE(window->mainWidget(), nullptr);
    EXPECT_EQ(soleScreen(*window->mainWidget()), "EditorScreen");
    EXPECT_FALSE(before);
    QTest::keyClick(window.get(), Qt::Key_Left);
    EXPECT_EQ(ed->elements()[0].frame.x, 98);
}

TEST_F(ShellHostTest, SheetsAreWindowModalOverTheWindow)
{
    app.setSheet(LWAppSheet::newCustom);
    QPointer<QDialog> custom = dialog();
    ASSERT_TRUE(qobject_cast<NewCustomDialog *>(custom));
    EXPECT_TRUE(custom->isVisible());
    EXPECT_EQ(custom->windowModality(), Qt::WindowModal);
    EXPECT_EQ(custom->parentWidget(), window.get());
    custom->reject();
    EXPECT_EQ(app.sheet(), std::nullopt);

    // Without a design the export sheet would have nothing to show and no way out.
    app.setSheet(LWAppSheet::exportSheet);
    EXPECT_EQ(app.sheet(), std::nullopt);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(window->findChildren<ExportSheet *>().isEmpty());
}

TEST_F(ShellHostTest, ExportSheetOutlivesAThemeChangeAndGoesWithTheDesign)
{
    openNew(oneBox());
    app.setSheet(LWAppSheet::exportSheet);
    QPointer<QDialog> sheet = dialog();
    ASSERT_TRUE(qobject_cast<ExportSheet *>(sheet));
    EXPECT_EQ(sheet->parentWidget(), window.get());
    changeTheme();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(dialog(), sheet.data());
    EXPECT_EQ(app.sheet(), LWAppSheet::exportSheet);

    app.close(); // a clean design: no question
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(sheet && sheet->isVisible());
    EXPECT_EQ(app.sheet(), std::nullopt);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_EQ(soleScreen(*window->mainWidget()), "StartScreen");
}
