#pragma once
#include <QObject>

class QWidget;

// The text input that has the keyboard focus, looked for through graphics views (the zoom host's
// proxy, the inline text editor's turned view): a line edit, text edit, plain text edit, spin
// box, editable combo box, or any widget with the property "lwTextInput" set true. None when
// the focus is elsewhere. Shared by the editor screen's keys and the Edit menu.
[[nodiscard]] QWidget *vkFocusedTextInput();

// The widget that has the keyboard focus, looked for through graphics views as above. None when
// the application has no focus widget.
[[nodiscard]] QWidget *vkFocusedWidget();
// A control that takes the arrow keys for itself (a slider, a list): while it has the keyboard
// its property "lwArrowKeys" is true and the editor screen's arrows (nudging) stand down.
inline constexpr char vkArrowKeysProperty[] = "lwArrowKeys";

// Where a field hands the keyboard back once its entry is done: the visible widget of its window
// whose property "lwKeyboardHome" is true (the editor's canvas) takes the focus when the event
// being handled (the Return) is done. False, focus untouched, in a window without one (a dialog).
inline constexpr char vkKeyboardHomeProperty[] = "lwKeyboardHome";
bool vkGiveKeyboardHome(QWidget *from);

// A control that changes what is being typed into elsewhere (a style button of the text typed
// into on the page): its property "lwTypingTarget" holds the id of that text. A press on it, or
// inside it, while that text is typed into leaves the keyboard with the typing.
inline constexpr char vkTypingTargetProperty[] = "lwTypingTarget";

// The field that may hold typed text not handed over yet: the first of the focused text input and
// its ancestors with an invokable commitPending(). None when there is none.
[[nodiscard]] QWidget *vkPendingEditField();
// Asks that field to hand its typed text over now. False when there is none.
bool vkCommitPendingEdit();

// The one place that makes typed text count before the user does anything else with the design:
// an application event filter that runs vkCommitPendingEdit() before a key shortcut, a menu item,
// a mouse press outside the field and the closing of a window. Shortcuts and menu items whose
// action has the property "lwTextCommand" set true go to the focused text itself (its own undo,
// paste...) and commit nothing. Installed once for the application; main thread only.
class VKPendingEdits : public QObject {
    Q_OBJECT
public:
    static inline constexpr char textCommandProperty[] = "lwTextCommand";
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
