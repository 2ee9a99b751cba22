#pragma once

class QWidget;

// The text widget the user is typing into, or null: the application's focus widget (none without
// an active window), followed into the widgets that graphics views show through a focused proxy
// (the interface zoom host, a turned inline editor inside it). It counts when it is a line edit,
// text edit, plain text edit, spin box or editable combo box, or carries the property
// "lwTextInput" set to true. Asked anew on every call. Main thread only.
[[nodiscard]] QWidget *vkFocusedTextInput();
