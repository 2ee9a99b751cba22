#include "shell/menufixture.h"
#include "shell/menus/viewcommands.h"

#include <QDir>

class PageMenu : public MenuTest {
protected:
    QAction *page(const char *title) const { return item(window->pageMenu(), QString::fromLatin1(title)); }
    static constexpr Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
};

TEST_F(PageMenu, ItemsInOrderWithTheirKeys)
{
    EXPECT_EQ(layout(window->pageMenu()),
              QStringList({"Zoom In on Page Ctrl+Alt+=|Ctrl+Alt++", "Zoom Out on Page Ctrl+Alt+-",
                           "Fit Page in Window Ctrl+Alt+0", "-", "Show Front Ctrl+Alt+1", "Show Back Ctrl+Alt+2", "-",
                           "Bleed Line On / Off", "Trim Line On / Off", "Safe Area On / Off", "Grid On / Off Ctrl+'",
                           "Snapping On / Off Ctrl+;", "-", "Add Vertical Guide", "Add Horizontal Guide",
                           "Clear Guides"}));
    for (const QAction *action : window->pageMenu()->actions())
        EXPECT_FALSE(action->isCheckable()) << action->text().toStdString();
    const QList<QAction *> help = helpMenu()->actions();
    ASSERT_GE(help.size(), 2);
    EXPECT_TRUE(help[help.size() - 2]->isSeparator());
    EXPECT_EQ(help.last()->text(), QStringLiteral("Show Font License Files"));
}

TEST_F(PageMenu, ZoomKeysStepLikeTheToolbar)
{
    LWEditor *editor = open(letter());
    showActive();
    struct Step {
        double from;
        Qt::Key key;
        double to;
    };
    const Step steps[] = {
        {7.450580596923828, Qt::Key_Equal, 8.0}, {8.0, Qt::Key_Equal, 8.0},  {0.262144, Qt::Key_Minus, 0.25},
        {0.25, Qt::Key_Equal, 0.3125},           {10, Qt::Key_Equal, 8.0},   {0.1, Qt::Key_Minus, 0.25},
        {3.7, Qt::Key_0, 1.0},                   {1.0, Qt::Key_Plus, 1.25},
    };
    for (const Step &s : steps) {
        editor->setCanvasZoom(s.from);
        press(s.key, ctrlAlt);
        EXPECT_EQ(editor->canvasZoom(), s.to) << s.from << " " << s.key;
    }
}

TEST_F(PageMenu, ShowBackFollowsThePageCount)
{
    QAction *back = page("Show Back");
    EXPECT_FALSE(back->isEnabled());
    LWEditor *editor = open(letter());
    EXPECT_FALSE(back->isEnabled());
    showActive();
    press(Qt::Key_2, ctrlAlt);
    EXPECT_EQ(editor->side(), 0);

    QSignalSpy published(app, &LWApp::editorChanged);
    editor->addBackSide();
    EXPECT_TRUE(back->isEnabled());
    EXPECT_EQ(published.count(), 0);
    press(Qt::Key_2, ctrlAlt);
    EXPECT_EQ(editor->side(), 1);
    press(Qt::Key_1, ctrlAlt);
    EXPECT_EQ(editor->side(), 0);

    open(letter());
    EXPECT_FALSE(back->isEnabled());
    app->setEditor(nullptr);
    EXPECT_FALSE(back->isEnabled());
}

TEST_F(PageMenu, SwitchesFlipThroughTheEditor)
{
    LWEditor *editor = open(letter());
    showActive();
    const QStringList titles = layout(window->pageMenu());
    press(Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_EQ(LWPrefs::store().value(LWPrefs::gridKey), QVariant(true));
    press(Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_EQ(LWPrefs::store().value(LWPrefs::gridKey), QVariant(false));
    EXPECT_TRUE(editor->snapping());
    press(Qt::Key_Semicolon, Qt::ControlModifier);
    EXPECT_FALSE(editor->snapping());

    struct Switch {
        const char *item;
        bool (LWEditor::*get)() const;
    };
    for (const Switch &s : {Switch{"Bleed Line On / Off", &LWEditor::showBleed},
                            Switch{"Trim Line On / Off", &LWEditor::showTrim},
                            Switch{"Safe Area On / Off", &LWEditor::showSafe}}) {
        const bool was = (editor->*s.get)();
        page(s.item)->trigger();
        EXPECT_EQ((editor->*s.get)(), !was) << s.item;
    }
    EXPECT_EQ(layout(window->pageMenu()), titles);

    LWPrefs::store().clear();
    VELKTestFlags::running = true;
    press(Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_TRUE(editor->showGrid());
    EXPECT_TRUE(LWPrefs::store().allKeys().isEmpty());
}

TEST_F(PageMenu, GuidesThroughThePageCentre)
{
    LWEditor *editor = open(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    ASSERT_EQ(editor->doc().width, 252);
    page("Add Vertical Guide")->trigger();
    page("Add Horizontal Guide")->trigger();
    const QList<LWGuide> guides = editor->doc().guides;
    ASSERT_EQ(guides.size(), 2);
    EXPECT_TRUE(guides[0].vertical);
    EXPECT_EQ(guides[0].position, 126);
    EXPECT_FALSE(guides[1].vertical);
    EXPECT_EQ(guides[1].position, 72);
    page("Clear Guides")->trigger();
    EXPECT_TRUE(editor->doc().guides.isEmpty());
    EXPECT_EQ(editor->undoStack().size(), 3);
}

TEST_F(PageMenu, FontLicencesOpenTheFolder)
{
    QList<QUrl> opened;
    std::optional<QString> folder = dir.path();
    QMenu pageMenu, help;
    LWViewCommands commands(&pageMenu, &help, *app,
                            {[&folder] { return folder; }, [&opened](const QUrl &url) { opened << url; }});
    help.actions().constLast()->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_EQ(QDir(opened[0].toLocalFile()), QDir(dir.path()));

    folder.reset();
    help.actions().constLast()->trigger();
    EXPECT_EQ(opened.size(), 1);
}
