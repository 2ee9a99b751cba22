// Typing into a text on the page of the real window: the inspector's style controls keep the
// typing going; any other press that takes the keyboard ends it first, its words kept.
#include "kit/controls/popover.h"
#include "kit/controls/searchfield.h"
#include "ui/canvas/inlinetexteditor.h"
#include "ui/canvas/toolrail.h"
#include "kit/cabinet/bezel.h"
#include "kit/cabinet/engravedlabel.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/sections/fontfamilypicker.h"
#include "ui/inspector/swatches.h"
#include "kit/theme/themes.h"
#include "values_fixture.h"

#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>

namespace {

const LWRect wordsFrame(100, 300, 300, 40), squareFrame(100, 100, 50, 50);

} // namespace

class Typing : public Values {
public:
    // A Letter design of the words "Hello" (Arvo, whose four faces B and I reach) over a square,
    // the words typed into on the page with " guests" already added.
    void openAndType()
    {
        words = LWElement::makeText(LWText(QStringLiteral("Hello"), QStringLiteral("Arvo"), 24, LWColor::black),
                                    wordsFrame, QStringLiteral("words"));
        square = rectangle();
        square.frame = squareFrame;
        open(design({square, words}));
        clickIn(page(), page()->gestures().toView(wordsFrame.center()).toPoint());
        keyIn(Qt::Key_Return); // the editor screen's key that starts typing into one selected text
        ASSERT_EQ(ed().editingTextID(), words.id);
        typeIn(QStringLiteral(" guests"));
        ASSERT_EQ(string(), QStringLiteral("Hello guests"));
    }
    QString string() const { return ed().element(words.id) ? ed().element(words.id)->text->string : QString(); }
    LWText text() const { return *ed().element(words.id)->text; }
    QWidget *typingIn() const
    {
        return page()->inlineEditor() ? page()->inlineEditor()->editor() : nullptr;
    }

    // The words typed into have the keyboard: letters, Backspace, arrows and Delete sent to the
    // window edit them ("Hello guests" becomes "Hello guests!").
    void expectTypingGoesOn()
    {
        ASSERT_EQ(ed().editingTextID(), words.id);
        ASSERT_NE(typingIn(), nullptr);
        EXPECT_EQ(vkFocusedTextInput(), typingIn());
        typeToWindow(QStringLiteral("!!s"));
        keyToWindow(Qt::Key_Backspace);
        keyToWindow(Qt::Key_Left);
        keyToWindow(Qt::Key_Delete);
        EXPECT_EQ(string().toStdString(), "Hello guests!");
    }

    // Keys as the system hands them over: to an open menu's own window, else to the main window,
    // which gives them to the widget with the keyboard (the menu bar, the text, a field...).
    QWindow *keyWindow() const
    {
        const QWidget *popup = QApplication::activePopupWidget();
        return popup && popup->windowHandle() ? popup->windowHandle() : window->windowHandle();
    }
    void keyToWindow(Qt::Key key)
    {
        QTest::keyClick(keyWindow(), key);
        runPosted();
    }
    void typeToWindow(const QString &words)
    {
        for (const QChar c : words) {
            QTest::keyClick(keyWindow(), c.toLatin1());
            runPosted();
        }
    }
    // A click on a menu's title in the real menu bar: the menu opens.
    void openMenu(const QMenu *menu)
    {
        QMenuBar *bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        runPosted();
        ASSERT_EQ(QApplication::activePopupWidget(), menu);
    }
    // A click on the item of that title in the open menu.
    void chooseItem(QMenu *menu, const QString &title)
    {
        for (QAction *action : menu->actions())
            if (action->text() == title) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                runPosted();
                return;
            }
        ADD_FAILURE() << "no item " << title.toStdString();
    }
    QMenu *menuTitled(const QString &title) const
    {
        for (QAction *action : window->menuBar()->actions())
            if (QString(action->text()).remove(u'&') == title)
                return action->menu();
        return nullptr;
    }

    LWElement words, square;
};

TEST_F(Typing, StyleControlsApplyToTheWordsAndTypingGoesOn)
{
    const LWColor navy = Swatches::fixedColors()[2];
    struct Case {
        const char *what;
        std::function<void(Typing &)> click;
        std::function<bool(const LWText &)> styled;
    };
    const auto toggle = [](int i) {
        return [i](Typing &t) { t.clickIn(t.section<TextSection>()->toggles()[i]); };
    };
    const Case cases[] = {
        {"B", toggle(0), [](const LWText &t) { return t.fontName == "Arvo-Bold"; }},
        {"I", toggle(1), [](const LWText &t) { return t.fontName == "Arvo-Italic"; }},
        {"U", toggle(2), [](const LWText &t) { return t.underline; }},
        {"AA", toggle(3), [](const LWText &t) { return t.uppercase; }},
        {"a swatch",
         [navy](Typing &t) {
             Swatches *chips = t.section<TextSection>()->swatches();
             const qsizetype chip = chips->shownChips().indexOf(navy);
             ASSERT_GE(chip, 0);
             t.clickIn(chips, chips->chipRect(chip).center());
         },
         [navy](const LWText &t) { return t.color == navy; }},
        {"an alignment", [](Typing &t) { t.clickIn(t.section<TextSection>()->alignPicker()->segment(1)); },
         [](const LWText &t) { return t.align == LWTextAlign::center; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        openAndType();
        c.click(*this);
        EXPECT_TRUE(c.styled(text()));
        ASSERT_NO_FATAL_FAILURE(expectTypingGoesOn());
        EXPECT_TRUE(c.styled(text())); // still bold, underlined... after more typing
        EXPECT_EQ(ed().tool(), LWTool::select);
        EXPECT_EQ(ed().elements().size(), 2);
        EXPECT_EQ(ed().element(words.id)->frame.minX(), wordsFrame.minX());
        EXPECT_EQ(ed().element(square.id)->frame, squareFrame);
    }
}

TEST_F(Typing, PressesThatTakeTheKeyboardEndTheTypingFirst)
{
    struct Case {
        const char *what;
        std::function<void(Typing &)> click;
        bool field; // the press gave the keyboard to the size field
        QList<QString> left; // the elements Backspace then leaves
    };
    const Case cases[] = {
        {"the square's layer row",
         [](Typing &t) {
             for (LayerRow *row : t.screen()->layers()->rows())
                 if (row->element().id == t.square.id)
                     t.clickIn(row, QPoint(40, row->height() / 2));
         },
         false, {QStringLiteral("words")}},
        {"the rail", [](Typing &t) { t.clickIn(t.screen()->rail()->toolButton(LWTool::select)); }, false,
         {QStringLiteral("box")}},
        {"the page outside the words",
         [](Typing &t) { t.clickIn(t.page(), t.page()->gestures().toView({400, 600}).toPoint()); }, false,
         {QStringLiteral("box"), QStringLiteral("words")}},
        {"the size field", [](Typing &t) { t.clickIn(t.section<TextSection>()->sizeField()->lineEdit()); }, true,
         {QStringLiteral("box"), QStringLiteral("words")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        openAndType();
        c.click(*this);
        EXPECT_FALSE(ed().editingTextID().has_value());
        EXPECT_EQ(page()->inlineEditor(), nullptr);
        EXPECT_EQ(string(), QStringLiteral("Hello guests"));
        QLineEdit *size = section<TextSection>() ? section<TextSection>()->sizeField()->lineEdit() : nullptr;
        EXPECT_EQ(vkFocusedTextInput(), c.field ? size : nullptr);

        if (c.field)
            keyIn(Qt::Key_End);
        keyIn(Qt::Key_Backspace);
        QList<QString> left;
        for (const LWElement &e : ed().elements())
            left << e.name;
        EXPECT_EQ(left, c.left);
        if (c.field) {
            EXPECT_EQ(size->text(), QStringLiteral("2"));
            keyIn(Qt::Key_Escape); // the typed size is taken back
            EXPECT_EQ(size->text(), QStringLiteral("24"));
        }
    }
}

// A click on the inspector's empty space, in every section shown while typing, takes nothing:
// the next letters go on into the words at the caret, and no letter picks a tool.
TEST_F(Typing, AClickOnEmptyInspectorSpaceKeepsTheTyping)
{
    struct Case {
        const char *what;
        std::function<void(Typing &)> click;
    };
    // Right of a group's caption, in its header row.
    const auto header = [](int group) {
        return [group](Typing &t) {
            const QList<InspectorGroup *> groups = t.screen()->inspector()->stack()->findChildren<InspectorGroup *>();
            ASSERT_GT(groups.size(), group);
            InspectorGroup *g = groups[group];
            t.clickIn(g, QPoint(g->width() - InspectorGroup::padding - 2, g->caption()->geometry().center().y()));
        };
    };
    const Case cases[] = {
        {"the panel's title row",
         [](Typing &t) {
             Bezel *panel = t.screen()->inspector()->panel();
             t.clickIn(panel, QPoint(panel->width() - 30, 12));
         }},
        {"the arrange header", header(0)},
        {"the geometry header", header(1)},
        {"the text header", header(2)},
        {"between the family button and Style",
         [](Typing &t) {
             QAbstractButton *family = t.section<TextSection>()->familyButton();
             t.clickIn(family->parentWidget(),
                       QPoint(family->geometry().center().x(), family->geometry().bottom() + InspectorGroup::spacing / 2 + 1));
         }},
        {"between two sections",
         [](Typing &t) {
             auto *text = t.section<TextSection>();
             t.clickIn(text->parentWidget(), QPoint(text->geometry().center().x(), text->geometry().top() - 7));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        openAndType();
        keyToWindow(Qt::Key_Left); // the caret before the final "s"
        c.click(*this);
        ASSERT_EQ(ed().editingTextID(), words.id);
        EXPECT_EQ(vkFocusedTextInput(), typingIn());
        typeToWindow(QStringLiteral("rest"));
        EXPECT_EQ(string().toStdString(), "Hello guestrests");
        EXPECT_EQ(ed().tool(), LWTool::select);
        EXPECT_EQ(ed().elements().size(), 2);
    }
}

// The sample note goes at the first key, but its room stays while the words are typed into: the
// controls below it stay under the mouse. Once the typing ends the room closes.
TEST_F(Typing, TheInspectorStaysPutWhileTheSampleIsReplaced)
{
    LWText sample(QStringLiteral("Your Name"), QStringLiteral("Arvo"), 24, LWColor::black);
    sample.placeholder = true;
    words = LWElement::makeText(sample, wordsFrame, QStringLiteral("words"));
    open(design({words}));
    clickIn(page(), page()->gestures().toView(wordsFrame.center()).toPoint());
    keyIn(Qt::Key_Return);
    ASSERT_EQ(ed().editingTextID(), words.id);
    const auto familyAt = [this] {
        QAbstractButton *family = section<TextSection>()->familyButton();
        return family->mapTo(screen()->inspector(), QPoint());
    };
    ASSERT_TRUE(section<TextSection>()->sampleNote()->isVisible());
    const QPoint before = familyAt();
    struct Step {
        const char *what;
        std::function<void(Typing &)> act;
        bool moved;
    };
    const Step steps[] = {
        {"the first key", [](Typing &t) { t.typeToWindow(QStringLiteral("A")); }, false},
        {"more keys", [](Typing &t) { t.typeToWindow(QStringLiteral("cme")); }, false},
        {"Escape", [](Typing &t) { t.keyToWindow(Qt::Key_Escape); }, true},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        s.act(*this);
        EXPECT_FALSE(section<TextSection>()->sampleNote()->isVisible());
        EXPECT_EQ(familyAt() != before, s.moved) << familyAt().y() << " " << before.y();
    }
    EXPECT_EQ(string(), QStringLiteral("Acme"));
}

TEST_F(Typing, FontSearchPicksTheHighlightedFamilyWithReturn)
{
    struct Case {
        const char *search;
        QList<Qt::Key> moves;
        const char *family;
        const char *more = ""; // typed after the moves: a new list, its first match highlighted
    };
    const Case cases[] = {
        {"anton", {}, "Anton"},
        {"anton", {Qt::Key_Down}, "Anton"},          // one match: Down stays on it
        {"ar", {}, "Archivo Black"},                 // the first match
        {"ar", {Qt::Key_Down}, "Arvo"},
        {"ar", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}, "Arvo"},
        {"ar", {Qt::Key_Up}, "Archivo Black"},       // nothing above the first
        {"a", {Qt::Key_Down}, "Anton", "nton"},
        {"ar", {Qt::Key_Down, Qt::Key_Down}, "Archivo Black", "c"},
        {"arv", {Qt::Key_Down}, "Abril Fatface", "\b\bc"}, // "ac" after two Backspaces
        {"", {Qt::Key_Down}, "Monoton"},             // opened at the current family, Lobster
        {"", {Qt::Key_Up}, "Kaushan Script"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.search) + " " + std::to_string(c.moves.size()) + " " + c.more);
        const LWElement words = LWElement::makeText(
            LWText(QStringLiteral("Hello"), QStringLiteral("Lobster-Regular"), 24, LWColor::black), wordsFrame);
        open(design({words}));
        clickCanvas(wordsFrame.center());
        auto *section = this->section<TextSection>();
        clickIn(section->familyButton());
        ASSERT_TRUE(section->popover() && section->popover()->isOpen());
        QApplication::setActiveWindow(window.get()); // the popup is drawn in the zoomed scene
        if (!*c.search) { // the current family's row in view
            const QListView *list = section->popover()->findChild<FontFamilyPicker *>()->list();
            const QModelIndexList current =
                list->model()->match(list->model()->index(0, 0), FontFamilyPicker::CurrentRole, true);
            ASSERT_EQ(current.size(), 1);
            EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(current.constFirst())));
        }
        typeIn(QString::fromUtf8(c.search));
        for (Qt::Key move : c.moves)
            keyIn(move);
        for (const char *k = c.more; *k; ++k)
            *k == '\b' ? keyIn(Qt::Key_Backspace) : typeIn(QString(QLatin1Char(*k)));
        keyIn(Qt::Key_Return);
        section = this->section<TextSection>();
        EXPECT_EQ(section->family().toStdString(), c.family);
        EXPECT_EQ(ed().undoStack().size(), 1);
        EXPECT_TRUE(!section->popover() || !section->popover()->isOpen());
    }
}

// Menus, popups and the inspector's style lists lend the keyboard while they are open: once they
// close, by Escape or a choice, keys sent to the window reach the words again, and a click in the
// words places the caret.
TEST_F(Typing, TheKeyboardComesBackAfterMenusAndPopups)
{
    struct Case {
        const char *what;
        std::function<void(Typing &)> act;
        std::function<bool(const LWText &)> styled;
    };
    const auto any = [](const LWText &) { return true; };
    const Case cases[] = {
        {"Edit menu, Escape",
         [](Typing &t) {
             t.openMenu(t.window->editMenu());
             t.keyToWindow(Qt::Key_Escape);
         },
         any},
        {"Edit menu, Copy", [](Typing &t) {
             t.openMenu(t.window->editMenu());
             t.chooseItem(t.window->editMenu(), QStringLiteral("Copy"));
         },
         any},
        {"Theme menu, Escape",
         [](Typing &t) {
             t.openMenu(t.menuTitled(QStringLiteral("Theme")));
             t.keyToWindow(Qt::Key_Escape);
         },
         any},
        {"Theme menu, another theme",
         [](Typing &t) {
             QMenu *themes = t.menuTitled(QStringLiteral("Theme"));
             t.openMenu(themes);
             t.chooseItem(themes, VELKThemes::builtIn().at(2).name);
             ASSERT_EQ(VELKThemes::currentID(), VELKThemes::builtIn().at(2).id);
         },
         any},
        {"font family search, Escape",
         [](Typing &t) {
             t.clickIn(t.section<TextSection>()->familyButton());
             t.keyToWindow(Qt::Key_Escape);
         },
         [](const LWText &t) { return t.fontName == QStringLiteral("Arvo"); }},
        {"font family search and Return",
         [](Typing &t) {
             t.clickIn(t.section<TextSection>()->familyButton());
             t.typeToWindow(QStringLiteral("anton"));
             t.keyToWindow(Qt::Key_Return);
         },
         [](const LWText &t) { return t.fontName == QStringLiteral("Anton-Regular"); }},
        {"a family row clicked",
         [](Typing &t) {
             t.clickIn(t.section<TextSection>()->familyButton());
             auto *picker = t.section<TextSection>()->popover()->findChild<FontFamilyPicker *>();
             t.typeToWindow(QStringLiteral("anton"));
             QListView *list = picker->list();
             const QModelIndexList rows = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole,
                                                               QStringLiteral("Anton"), 1, Qt::MatchExactly);
             ASSERT_EQ(rows.size(), 1);
             const QModelIndex row = rows.constFirst();
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
             t.runPosted();
         },
         [](const LWText &t) { return t.fontName == QStringLiteral("Anton-Regular"); }},
        {"Style list, Down and Return",
         [](Typing &t) {
             t.clickIn(t.section<TextSection>()->stylePicker());
             t.keyToWindow(Qt::Key_Down);
             t.keyToWindow(Qt::Key_Return);
         },
         [](const LWText &t) { return t.fontName == QStringLiteral("Arvo-Italic"); }},
        {"Style list, Escape",
         [](Typing &t) {
             t.clickIn(t.section<TextSection>()->stylePicker());
             t.keyToWindow(Qt::Key_Escape);
         },
         [](const LWText &t) { return t.fontName == QStringLiteral("Arvo"); }},
    };
    const QString theme = VELKThemes::currentID();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VELKThemes::setCurrentID(theme);
        runPosted();
        openAndType();
        c.act(*this);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        EXPECT_TRUE(c.styled(text())) << text().fontName.toStdString();
        ASSERT_NO_FATAL_FAILURE(expectTypingGoesOn());
        EXPECT_EQ(ed().elements().size(), 2);

        // A click at the start of the words puts the caret there.
        clickIn(page(), page()->gestures().toView(QPointF(wordsFrame.minX() + 1, wordsFrame.minY() + 6)).toPoint());
        ASSERT_EQ(ed().editingTextID(), words.id);
        typeToWindow(QStringLiteral("X"));
        EXPECT_EQ(string().toStdString(), "XHello guests!");
        EXPECT_TRUE(c.styled(text())) << text().fontName.toStdString();
    }
    VELKThemes::setCurrentID(theme);
}
