#include "kit/host/focusedtext.h"
#include "kit/controls/numberfield.h"
#include "shell/menus/textaware.h"
#include "shell/menufixture.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

// A field holding "hello" beside an editor of two unlocked elements, the first selected.
class EditMenu : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        a = rect("a", {10, 10, 40, 30});
        b = rect("b", {60, 10, 40, 30});
        editor = open(letter({a, b}), {a.id});
        field = place(new QLineEdit(QStringLiteral("hello")));
        button = place(new QPushButton(QStringLiteral("OK")));
    }
    QAction *edit(const char *title) const { return item(window->editMenu(), QString::fromLatin1(title)); }
    void focus(QWidget *w)
    {
        w->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([w] { return w->hasFocus(); }));
    }

    LWElement a, b;
    LWEditor *editor = nullptr;
    QLineEdit *field = nullptr;
    QPushButton *button = nullptr;
};

TEST_F(EditMenu, ItemsKeysAndTitles)
{
    const QStringList expected{"Undo Ctrl+Z", "Redo Ctrl+Shift+Z", "-", "Cut Ctrl+X", "Copy Ctrl+C",
                               "Paste Ctrl+V", "Duplicate Ctrl+D", "Delete", "Select All Ctrl+A"};
    EXPECT_EQ(layout(window->editMenu()), expected);
    for (const QAction *action : window->editMenu()->actions()) {
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
        EXPECT_FALSE(action->isCheckable()) << action->text().toStdString();
    }
    edit("Duplicate")->trigger();
    edit("Undo")->trigger();
    EXPECT_EQ(layout(window->editMenu()), expected);
}

TEST_F(EditMenu, FocusedFieldTakesTheCommands)
{
    showActive();
    focus(field);
    EXPECT_TRUE(LWTextAware::typing());
    EXPECT_EQ(vkFocusedTextInput(), field);

    edit("Select All")->trigger();
    EXPECT_EQ(field->selectedText(), QStringLiteral("hello"));
    EXPECT_EQ(editor->selection(), QList<QUuid>{a.id});

    QTest::keyClicks(field, QStringLiteral("x"));
    ASSERT_EQ(field->text(), QStringLiteral("x"));
    edit("Undo")->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
    EXPECT_FALSE(editor->canUndo());

    const LWDocument before = editor->doc();
    field->setSelection(1, 3);
    edit("Delete")->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("ho"));
    EXPECT_FALSE(field->hasSelectedText());
    edit("Delete")->trigger(); // no selection: the character after the caret stays
    EXPECT_EQ(field->text(), QStringLiteral("ho"));
    EXPECT_EQ(editor->doc(), before);
}

TEST_F(EditMenu, FocusedFieldKeepsItsKeysButNotDuplicate)
{
    showActive();
    editor->nudge(1, 0);
    focus(field);
    field->end(false);
    QTest::keyClicks(field, QStringLiteral("x"));
    ASSERT_EQ(field->text(), QStringLiteral("hellox"));

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
    EXPECT_EQ(editor->undoStack().size(), 1);

    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(editor->elements().size(), 3);
    EXPECT_EQ(vkFocusedTextInput(), field);
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
}

// Each widget, holding "hello" and focused, takes Select All and Delete.
TEST_F(EditMenu, OtherTextWidgetsCount)
{
    auto *plain = place(new QPlainTextEdit(QStringLiteral("hello")));
    auto *number = place(new NumberField(QStringLiteral("W"), 1));
    auto *combo = place(new QComboBox);
    combo->setEditable(true);
    combo->setEditText(QStringLiteral("hello"));
    // The inline editor's arrangement: a turned plain text edit in a view of its own.
    auto *view = place(new QGraphicsView);
    view->setScene(new QGraphicsScene(view));
    auto *turned = new QPlainTextEdit(QStringLiteral("hello"));
    view->scene()->addWidget(turned)->setRotation(30);
    showActive();
    number->lineEdit()->setText(QStringLiteral("hello")); // showing puts the value back

    const auto plainText = [](QWidget *w) { return static_cast<QPlainTextEdit *>(w)->toPlainText(); };
    const auto plainSelection = [](QWidget *w) {
        return static_cast<QPlainTextEdit *>(w)->textCursor().selectedText();
    };
    const auto lineText = [](QWidget *w) { return static_cast<QLineEdit *>(w)->text(); };
    const auto lineSelection = [](QWidget *w) { return static_cast<QLineEdit *>(w)->selectedText(); };
    struct Case {
        const char *name;
        QWidget *focus, *typing, *text;
        std::function<QString(QWidget *)> contents, selected;
    };
    const Case cases[] = {
        {"plain", plain, plain, plain, plainText, plainSelection},
        {"number", number->lineEdit(), number->lineEdit(), number->lineEdit(), lineText, lineSelection},
        {"combo", combo, combo, combo->lineEdit(), lineText, lineSelection},
        {"turned", turned, turned, turned, plainText, plainSelection},
    };
    const LWDocument before = editor->doc();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.focus == turned)
            view->setFocus();
        focus(c.focus);
        EXPECT_EQ(vkFocusedTextInput(), c.typing);
        edit("Select All")->trigger();
        EXPECT_EQ(c.selected(c.text), QStringLiteral("hello"));
        edit("Delete")->trigger();
        EXPECT_EQ(c.contents(c.text), QString());
    }
    EXPECT_EQ(editor->doc(), before);
    EXPECT_EQ(editor->selection(), QList<QUuid>{a.id});
}

TEST_F(EditMenu, ReadOnlyFieldOnlySelectsAndCopies)
{
    field->setReadOnly(true);
    showActive();
    focus(field);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    for (const char *title : {"Select All", "Cut", "Delete", "Paste", "Undo"})
        edit(title)->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
    EXPECT_EQ(field->selectedText(), QStringLiteral("hello"));
    EXPECT_EQ(editor->elements().size(), 2);
}

TEST_F(EditMenu, ButtonFocusedActsOnTheDesign)
{
    showActive();
    focus(button);
    EXPECT_FALSE(LWTextAware::typing());

    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->selection(), (QList<QUuid>{a.id, b.id}));

    const LWDocument start = editor->doc();
    press(Qt::Key_Z, Qt::ControlModifier); // empty history
    EXPECT_EQ(editor->doc(), start);
    editor->nudge(5, 0);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor->elements(), start.pages[0].elements);
    ASSERT_EQ(editor->redoStack().size(), 1);

    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(editor->redoStack().size(), 1);
    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor->redoStack().size(), 0);
    EXPECT_EQ(editor->elements().first().frame.x, 15);
}

TEST_F(EditMenu, WithoutActiveWindowTheEditorActs)
{
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    field->setFocus();
    EXPECT_FALSE(LWTextAware::typing());
    edit("Select All")->trigger();
    EXPECT_EQ(editor->selection(), (QList<QUuid>{a.id, b.id}));
    edit("Delete")->trigger();
    EXPECT_TRUE(editor->elements().isEmpty());
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
}

// With no design open and no field focused, every item of the three menus does nothing.
TEST_F(EditMenu, NoEditorNothingHappens)
{
    app->setEditor(nullptr);
    showActive();
    focus(button);
    const auto triggerAll = [](const QMenu *menu, const auto &self) -> void {
        for (QAction *action : menu->actions()) {
            if (action->menu())
                self(action->menu(), self);
            else if (!action->isSeparator())
                action->trigger();
        }
    };
    for (const QMenu *menu : {window->editMenu(), window->arrangeMenu(), window->pageMenu()})
        triggerAll(menu, triggerAll);
    EXPECT_EQ(app->editor(), nullptr);
    EXPECT_EQ(field->text(), QStringLiteral("hello"));
    EXPECT_TRUE(LWPrefs::store().allKeys().isEmpty());
}
