#pragma once
#include <functional>

// The Edit commands that go to a text widget being typed into before they reach the design.
enum class LWTextCommand { undo, redo, cut, copy, paste, del, selectAll };

// Chooses, when a command fires, between the focused text widget (vkFocusedTextInput) and the
// design. Keeps no state: the focus is asked anew on every call. Main thread only.
namespace LWTextAware {

// True while a text widget has the focus in the active window.
[[nodiscard]] bool typing();

// Sends the command to the focused text widget; without one, runs `editorAction`, which also
// takes Undo and Redo while the focused widget is a value field with nothing typed into it
// (vkPendingEditField: its value went to the design). Delete
// removes only selected characters (nothing without a selection); a read-only widget only
// copies and selects. A spin box or editable combo box takes the command in its line edit; any
// other widget marked as text input gets the slot of the command's name ("del" for Delete),
// when it has one.
void run(LWTextCommand command, const std::function<void()> &editorAction);

} // namespace LWTextAware
