#pragma once
#include <QObject>

class LWApp;
class LWEditor;
class QMenu;

// Fills the Edit menu: "Undo", "Redo", a separator, "Cut", "Copy", "Paste", "Duplicate",
// "Delete" and "Select All", with the keys of LWShortcuts (Delete has none). Fixed titles, never
// disabled, never checked. Every item but Duplicate goes to the text widget being typed into
// (LWTextAware) and otherwise to the application's open editor, read when the item fires;
// without an editor it does nothing. Lives as the menu's child. Main thread only.
class LWEditCommands : public QObject {
    Q_OBJECT
public:
    LWEditCommands(QMenu *menu, LWApp &app);

private:
    LWApp &m_app;
};
