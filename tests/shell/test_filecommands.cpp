#include "app/app_fixture.h"
#include "model/file/recent.h"
#include "shell/menus/filecommands.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTest>

namespace
{

QAction *item(QMenu *menu, const QString &title)
{
    for (QAction *action : menu->actions())
        if (action->text() == title)
            return action;
    ADD_FAILURE() << "no item " << title.toStdString();
    static QAction none;
    return &none;
}

QStringList titles(const QMenu *menu)
{
    QStringList out;
    for (const QAction *action : menu->actions())
        out.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return out;
}

} // namespace

// The File menu of a main window built on the state under test.
class FileMenu : public AppTest
{
  protected:
    void SetUp() override
    {
        AppTest::SetUp();
        LWSetup::configure(); // the theme and help menus read what it registers
        window = std::make_unique<LWShellWindow>(app);
        menu = window->fileMenu();
        commands = window->fileCommands();
        commands->setPictureChooser([this](LWEditor &editor, QWidget *over) {
            chosen.append(&editor);
            EXPECT_EQ(over, window.get());
        });
    }
    void TearDown() override
    {
        window.reset();
        AppTest::TearDown();
    }
    QAction *at(const QString &title) { return item(menu, title); }
    // What a user sees when opening the menu.
    void show() { Q_EMIT menu->aboutToShow(); }
    QStringList recentTitles()
    {
        Q_EMIT commands->recentMenu()->aboutToShow();
        return titles(commands->recentMenu());
    }

    std::unique_ptr<LWShellWindow> window;
    QMenu *menu = nullptr;
    LWFileCommands *commands = nullptr;
    QList<LWEditor *> chosen;
};

TEST_F(FileMenu, TitlesKeysAndSeparatorsInOrder)
{
    QStringList shown;
    for (const QAction *action : menu->actions())
        shown.append(action->isSeparator()
                         ? QStringLiteral("-")
                         : action->text() + u'|' + action->shortcut().toString(QKeySequence::PortableText));
    EXPECT_EQ(shown, QStringList({
                         QStringLiteral("New Design\u2026|Ctrl+N"),
                         QStringLiteral("New from Template\u2026|Ctrl+Shift+N"),
                         QStringLiteral("Open\u2026|Ctrl+O"),
                         QStringLiteral("Open Recent|"),
                         QStringLiteral("-"),
                         QStringLiteral("Close Design|"),
                         QStringLiteral("-"),
                         QStringLiteral("Close Window|Ctrl+W"),
                         QStringLiteral("-"),
                         QStringLiteral("Save|Ctrl+S"),
                         QStringLiteral("Save As\u2026|Ctrl+Shift+S"),
                         QStringLiteral("-"),
                         QStringLiteral("Export\u2026|Ctrl+E"),
                         QStringLiteral("Preflight (Print Check)\u2026|Ctrl+Shift+K"),
                         QStringLiteral("Change Size\u2026|"),
                         QStringLiteral("-"),
                         QStringLiteral("Place Picture\u2026|Ctrl+Shift+I"),
                         QStringLiteral("-"),
                         QStringLiteral("Print\u2026|Ctrl+P"),
                         QStringLiteral("Print 10-up Card Sheet\u2026|"),
                     }));
    EXPECT_EQ(at(QStringLiteral("Open Recent"))->menu(), commands->recentMenu());
}

TEST_F(FileMenu, WithoutADesignOnlyTheDesignItemsAreOff)
{
    show();
    const QStringList off = {QStringLiteral("Close Design"),
                             QStringLiteral("Save"),
                             QStringLiteral("Save As\u2026"),
                             QStringLiteral("Export\u2026"),
                             QStringLiteral("Preflight (Print Check)\u2026"),
                             QStringLiteral("Change Size\u2026"),
                             QStringLiteral("Place Picture\u2026"),
                             QStringLiteral("Print\u2026"),
                             QStringLiteral("Print 10-up Card Sheet\u2026")};
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator()) {
            EXPECT_EQ(action->isEnabled(), !off.contains(action->text())) << action->text().toStdString();
        }
    }
    const QList<QAction *> recent = commands->recentMenu()->actions();
    ASSERT_FALSE(recent.isEmpty());
    EXPECT_TRUE(recent.constLast()->isEnabled());
    EXPECT_EQ(recent.constLast()->text(), QStringLiteral("Clear Menu"));

    // The keys follow: Ctrl+S reaches no prompt without a design, the save panel with one.
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(prompts->calls.isEmpty());
    newDirty();
    prompts->script = {ScriptedPrompts::saveStep(std::nullopt)};
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(prompts->calls.size(), 1);
    EXPECT_EQ(prompts->calls.constFirst().constFirst(), QStringLiteral("save"));
}

TEST_F(FileMenu, TenUpSheetOnlyForCards)
{
    struct Case {
        const char *what;
        LWDocument doc;
        bool tenUp;
    };
    const Case cases[] = {
        {"US card", LWDocument::blank(LWSizePreset::usCard, std::nullopt), true},
        {"EU card", LWDocument::blank(LWSizePreset::euCard, std::nullopt), true},
        {"Letter flyer", LWDocument::blank(LWSizePreset::letter, std::nullopt), false},
        {"custom",
         LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 300, 200, 9, QStringLiteral("C")),
         false},
    };
    for (const Case &c : cases) {
        app.newDocument(c.doc);
        EXPECT_EQ(at(QStringLiteral("Print 10-up Card Sheet\u2026"))->isEnabled(), c.tenUp) << c.what;
        EXPECT_TRUE(at(QStringLiteral("Print\u2026"))->isEnabled()) << c.what;
    }

    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    const LWSizePreset &letter = LWSizePreset::letter;
    ASSERT_TRUE(app.editor()->resize(letter.width, letter.height, letter.id, letter.safe, false));
    ASSERT_EQ(app.editor()->doc().kind, LWDocKind::flyer);
    show();
    EXPECT_FALSE(at(QStringLiteral("Print 10-up Card Sheet\u2026"))->isEnabled());
    EXPECT_TRUE(at(QStringLiteral("Print\u2026"))->isEnabled());
}

TEST_F(FileMenu, ItemsReachTheirFlowsWithADirtyDesign)
{
    LWEditor *editor = newDirty();
    const auto trigger = [this](const char *title) { at(QString::fromUtf8(title))->trigger(); };

    trigger("New Design\u2026");
    EXPECT_EQ(app.screen(), LWAppScreen::start);
    trigger("New from Template\u2026");
    EXPECT_EQ(app.screen(), LWAppScreen::templates);
    EXPECT_EQ(app.editor(), editor);
    EXPECT_TRUE(prompts->calls.isEmpty()) << "no question before a design replaces this one";

    const std::pair<const char *, LWAppSheet> sheets[] = {
        {"Export\u2026", LWAppSheet::exportSheet},
        {"Preflight (Print Check)\u2026", LWAppSheet::preflight},
        {"Change Size\u2026", LWAppSheet::size},
    };
    for (const auto &[title, sheet] : sheets) {
        app.setSheet(std::nullopt);
        trigger(title);
        EXPECT_EQ(app.sheet(), sheet) << title;
    }
    app.setSheet(std::nullopt);

    trigger("Place Picture\u2026");
    EXPECT_EQ(chosen, QList<LWEditor *>{editor});

    // Each prompt comes from the flow behind its item; every one is cancelled here.
    prompts->script = {ScriptedPrompts::ask(LWPrompts::Answer::cancel),
                       ScriptedPrompts::openStep(std::nullopt),
                       ScriptedPrompts::saveStep(std::nullopt),
                       ScriptedPrompts::saveStep(std::nullopt),
                       ScriptedPrompts::printStep({}),
                       ScriptedPrompts::printStep({})};
    for (const char *title : {"Close Design", "Open\u2026", "Save", "Save As\u2026", "Print\u2026",
                              "Print 10-up Card Sheet\u2026"})
        trigger(title);
    QStringList kinds;
    for (const QStringList &call : std::as_const(prompts->calls))
        kinds.append(call.constFirst());
    EXPECT_EQ(kinds, QStringList({"ask", "open", "save", "save", "print", "print"}));
    EXPECT_EQ(app.editor(), editor);
    EXPECT_TRUE(editor->dirty());
}

TEST_F(FileMenu, OpenRecentIsReadWhenShown)
{
    const LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("a")) && QDir(dir.path()).mkpath(QStringLiteral("b")));
    for (const char *name :
         {"gone.velkfolio", "a.b.velkfolio", "R&D.velkfolio", "a/Card.velkfolio", "b/Card.velkfolio"})
        ASSERT_TRUE(LWDocumentIO::save(doc, url(QString::fromUtf8(name))).ok()) << name;
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("gone.velkfolio"))));

    // Titles go through vkPlain: "R&&D" shows as "R&D", with no mnemonic.
    EXPECT_EQ(recentTitles(), QStringList({"Card", "Card", "R&&D", "a.b", "-", "Clear Menu"}));

    item(commands->recentMenu(), QStringLiteral("Clear Menu"))->trigger();
    EXPECT_EQ(recentTitles(), QStringList({"-", "Clear Menu"}));
    EXPECT_TRUE(item(commands->recentMenu(), QStringLiteral("Clear Menu"))->isEnabled());

    // Saved without the state knowing: still first at the next showing.
    ASSERT_TRUE(LWDocumentIO::save(doc, url(QStringLiteral("a.b.velkfolio"))).ok());
    ASSERT_TRUE(LWDocumentIO::save(doc, url(QStringLiteral("Later.velkfolio"))).ok());
    EXPECT_EQ(recentTitles(), QStringList({"Later", "a.b", "-", "Clear Menu"}));

    item(commands->recentMenu(), QStringLiteral("a.b"))->trigger();
    ASSERT_NE(app.editor(), nullptr);
    EXPECT_EQ(app.editor()->fileURL(), url(QStringLiteral("a.b.velkfolio")));
    EXPECT_EQ(app.screen(), LWAppScreen::editor);
}

TEST_F(FileMenu, OpenRecentListsTheTwelveNewestDistinctOfAHugeStoredList)
{
    for (int i = 0; i < 20; ++i) {
        QFile f(path(QStringLiteral("d%1.velkfolio").arg(i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const auto entry = [this](int i) { return path(QStringLiteral("d%1.velkfolio").arg(i)); };
    const auto names = [](int from, int to) {
        QStringList out;
        for (int i = from; i < to; ++i)
            out.append(QStringLiteral("d%1").arg(i));
        return out << QStringLiteral("-") << QStringLiteral("Clear Menu");
    };
    const struct Case {
        const char *what;
        std::function<int(int)> at; // which design the i-th of 100,000 entries names
        QStringList titles;
    } cases[] = {
        {"every entry distinct", [](int i) { return i; }, names(0, 12)},
        {"each entry twice in a row", [](int i) { return i / 2; }, names(0, 12)},
        {"every other entry the newest", [](int i) { return i % 2 ? 0 : i / 2; }, names(0, 12)},
        {"one design throughout", [](int) { return 7; }, names(7, 8)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // As a settings file that another program, or an old version, wrote.
        const QString file = path(QStringLiteral("huge.ini"));
        {
            // Written as text: Qt's own writer takes minutes for such a line under the sanitizers.
            QStringList list;
            for (int i = 0; i < 100000; ++i)
                list.append(entry(c.at(i)));
            QFile written(file);
            ASSERT_TRUE(written.open(QIODevice::WriteOnly));
            written.write("[General]\n" + LWPrefs::recentKey.toUtf8() + '=' + list.join(QStringLiteral(", ")).toUtf8() + '\n');
        }
        LWPrefs::setStore(LWPrefs::makeStore(file));
        EXPECT_EQ(recentTitles(), c.titles);
        ASSERT_TRUE(QFile::remove(file));
    }
}

// Two actions of one window with the same key make Qt ignore the key for both.
TEST_F(FileMenu, NoKeyIsTakenTwiceInTheMenuBar)
{
    QHash<QString, QString> owner;
    std::function<void(QMenu *)> walk = [&](QMenu *inner) {
        for (QAction *action : inner->actions()) {
            if (action->menu())
                walk(action->menu());
            for (const QKeySequence &keys : action->shortcuts()) {
                const QString text = keys.toString(QKeySequence::PortableText);
                EXPECT_FALSE(owner.contains(text))
                    << text.toStdString() << ": " << owner.value(text).toStdString() << " and "
                    << action->text().toStdString();
                owner.insert(text, action->text());
            }
        }
    };
    for (QAction *top : window->menuBar()->actions())
        walk(top->menu());
    EXPECT_EQ(owner.value(QStringLiteral("Ctrl+Shift+I")), QStringLiteral("Place Picture\u2026"));
}
