// The menu bar of the real window from the keyboard: F10 and Alt with a title's letter open its
// menu, arrows and Return go through it, and the tool chosen stays as it was.
#include "shell/menus/menukeys.h"
#include "ui/canvas/toolrail.h"
#include "values_fixture.h"

#include <QMenu>
#include <QMenuBar>

class MenuKeys : public Values {
public:
    // Keys as the system hands them over: to an open menu's own window, else to the main window.
    void keyToWindow(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        const QWidget *popup = QApplication::activePopupWidget();
        QTest::keyClick(popup && popup->windowHandle() ? popup->windowHandle() : window->windowHandle(), key,
                        modifiers);
        runPosted();
    }
    QMenu *menuAt(int index) const { return window->menuBar()->actions().at(index)->menu(); }
};

TEST_F(MenuKeys, F10AndAltWithALetterOpenTheirMenus)
{
    struct Case {
        const char *what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int menu; // its place in the bar; -1: no menu has that letter
    };
    const Case cases[] = {
        {"F10", Qt::Key_F10, {}, 0},
        {"Alt+F", Qt::Key_F, Qt::AltModifier, 1},
        {"Alt+E", Qt::Key_E, Qt::AltModifier, 2},
        {"Alt+A", Qt::Key_A, Qt::AltModifier, 3},
        {"Alt+V", Qt::Key_V, Qt::AltModifier, 4},
        {"Alt+P", Qt::Key_P, Qt::AltModifier, 5},
        {"Alt+T", Qt::Key_T, Qt::AltModifier, 6},
        {"Alt+H", Qt::Key_H, Qt::AltModifier, 7},
        {"Alt+L", Qt::Key_L, Qt::AltModifier, 0},
        {"Alt+R", Qt::Key_R, Qt::AltModifier, -1},
        {"Alt+S", Qt::Key_S, Qt::AltModifier, -1},
    };
    open(design({rectangle()}));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clickIn(screen()->rail()->toolButton(LWTool::text));
        ASSERT_EQ(ed().tool(), LWTool::text);
        keyToWindow(c.key, c.modifiers);
        EXPECT_EQ(ed().tool(), LWTool::text); // Alt with a letter is the menu's, never a tool's
        if (c.menu < 0) {
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
            continue;
        }
        EXPECT_EQ(QApplication::activePopupWidget(), menuAt(c.menu));
        // Right goes to the next menu, Escape closes it.
        keyToWindow(Qt::Key_Right);
        EXPECT_EQ(QApplication::activePopupWidget(), menuAt((c.menu + 1) % 8));
        keyToWindow(Qt::Key_Escape);
        EXPECT_FALSE(window->menuBar()->hasFocus()); // one Escape gives the keyboard back
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        EXPECT_EQ(ed().tool(), LWTool::text);
        EXPECT_EQ(ed().elements().size(), 1);
    }
    // F10 again closes the menu it opened; Return runs the chosen item (Edit, then Select All).
    keyToWindow(Qt::Key_F10);
    keyToWindow(Qt::Key_F10);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    keyToWindow(Qt::Key_R); // the keyboard is back with the page: a tool letter
    EXPECT_EQ(ed().tool(), LWTool::rectangle);
    keyToWindow(Qt::Key_E, Qt::AltModifier);
    ASSERT_EQ(QApplication::activePopupWidget(), menuAt(2));
    QMenu *edit = menuAt(2);
    while (edit->activeAction() == nullptr || edit->activeAction()->text() != QStringLiteral("Select All")) {
        const QAction *before = edit->activeAction();
        keyToWindow(Qt::Key_Down);
        ASSERT_NE(edit->activeAction(), before);
    }
    keyToWindow(Qt::Key_Return);
    EXPECT_EQ(ed().selection().size(), 1);
}

// Escape from a menu the keyboard opened, and a lone Alt, leave the keyboard where it was: the
// next key goes to the words being typed, the field or the page's tool letters, never to a menu.
TEST_F(MenuKeys, EscapeFromAMenuAndALoneAltLeaveTheKeyboardWhereItWas)
{
    struct Keys {
        const char *what;
        QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
    };
    const Keys sequences[] = {
        {"Alt tapped twice", {{Qt::Key_Alt, {}}, {Qt::Key_Alt, {}}}},
        {"Alt+F, Escape", {{Qt::Key_F, Qt::AltModifier}, {Qt::Key_Escape, {}}}},
        {"Alt+E, Escape", {{Qt::Key_E, Qt::AltModifier}, {Qt::Key_Escape, {}}}},
        {"F10, Escape", {{Qt::Key_F10, {}}, {Qt::Key_Escape, {}}}},
    };
    struct Where {
        const char *what;
        std::function<void(MenuKeys &)> start;
        Qt::Key letter; // T (the text tool), E (Edit) or H (Help) if a menu took it
        std::function<bool(MenuKeys &)> landed;
    };
    const LWElement words = text(textA, QStringLiteral("Hi"));
    const Where places[] = {
        {"the page", [](MenuKeys &t) { t.clickCanvas(QPointF(400, 600)); }, Qt::Key_T,
         [](MenuKeys &t) { return t.ed().tool() == LWTool::text; }},
        {"words typed on the page",
         [](MenuKeys &t) {
             t.clickCanvas(textA.center());
             t.keyIn(Qt::Key_Return); // starts typing into the selected text
         },
         Qt::Key_E, [](MenuKeys &t) { return t.el(1).text->string.endsWith(u'e'); }},
        {"the W field",
         [](MenuKeys &t) {
             t.clickCanvas(boxFrame.center());
             typeInto(t.section<GeometrySection>()->wField(), QStringLiteral("2"));
         },
         Qt::Key_7, [](MenuKeys &t) { return t.section<GeometrySection>()->wField()->lineEdit()->text() == "27"; }},
    };
    for (const Where &w : places)
        for (const Keys &k : sequences) {
            SCOPED_TRACE(std::string(w.what) + ", " + k.what);
            open(design({rectangle(), words}));
            w.start(*this);
            for (const auto &[key, modifiers] : k.keys)
                keyToWindow(key, modifiers);
            ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
            EXPECT_FALSE(window->menuBar()->hasFocus());
            keyToWindow(w.letter);
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
            EXPECT_TRUE(w.landed(*this));
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
        }
}

// A value typed into the H field goes to the design when a menu opens from the keyboard; Undo
// then (the Edit menu's item, or Ctrl+Z with the field still focused) takes it back in one step,
// as after Tab, and Redo brings it again.
TEST_F(MenuKeys, UndoAfterAMenuUndoesTheFieldsValue)
{
    struct Case {
        const char *what;
        QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
        bool inField; // the keyboard still there
    };
    const Case cases[] = {
        {"Alt+E, Undo", {{Qt::Key_E, Qt::AltModifier}, {Qt::Key_Return, {}}}, true}, // Undo is the first item
        {"Alt+F, Escape, Ctrl+Z", {{Qt::Key_F, Qt::AltModifier}, {Qt::Key_Escape, {}}, {Qt::Key_Z, Qt::ControlModifier}}, true},
        {"Tab, Ctrl+Z", {{Qt::Key_Tab, {}}, {Qt::Key_Z, Qt::ControlModifier}}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        open(design({rectangle()}));
        clickCanvas(boxFrame.center());
        NumberField *h = section<GeometrySection>()->hField();
        const qsizetype steps = ed().undoStack().size();
        typeInto(h, QStringLiteral("3"));
        for (const auto &[key, modifiers] : c.keys)
            keyToWindow(key, modifiers);
        EXPECT_EQ(el(0).frame, boxFrame);
        EXPECT_EQ(ed().undoStack().size(), steps);
        EXPECT_EQ(vkFocusedTextInput() == h->lineEdit(), c.inField);
        keyToWindow(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_DOUBLE_EQ(el(0).frame.h, 3 * 72);
    }
}

// The titles' letters are underlined only while Alt is held.
TEST_F(MenuKeys, LettersShowWhileAltIsHeld)
{
    QMenuBar *bar = window->menuBar();
    const QImage plain = bar->grab().toImage();
    QTest::keyPress(window->windowHandle(), Qt::Key_Alt);
    runPosted();
    EXPECT_NE(bar->grab().toImage(), plain);
    QTest::keyRelease(window->windowHandle(), Qt::Key_Alt);
    runPosted();
    EXPECT_EQ(bar->grab().toImage(), plain);
}

TEST(MenuKeyLetters, InitialsFirstAndTheApplicationMenuLast)
{
    struct Case {
        QStringList titles, lettered;
    };
    const Case cases[] = {
        {{"VELK Leafwrighter", "File", "Edit", "View"}, {"VELK &Leafwrighter", "&File", "&Edit", "&View"}},
        {{"App", "Arrange", "Align"}, {"A&pp", "&Arrange", "A&lign"}},
        {{"Go", "&Gone", "Tom && Jerry"}, {"G&o", "&Gone", "&Tom && Jerry"}},
        {{"Fish", "F"}, {"F&ish", "&F"}},
        {{"X", "X"}, {"X", "&X"}}, // no letter left for the application menu
    };
    for (const Case &c : cases)
        EXPECT_EQ(LWMenuKeys::withAccessLetters(c.titles), c.lettered) << c.titles.join(u',').toStdString();
}
