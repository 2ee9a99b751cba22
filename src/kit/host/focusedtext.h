#pragma once

class QWidget;

// The text input that has the keyboard focus, looked for through graphics views (the zoom host's
// proxy, the inline text editor's turned view): a line edit, text edit, plain text edit, spin
// box, editable combo box, or any widget with the property "lwTextInput" set true. None when
// the focus is elsewhere. Shared by the editor screen's keys and the Edit menu.
[[nodiscard]] QWidget *vkFocusedTextInput();
