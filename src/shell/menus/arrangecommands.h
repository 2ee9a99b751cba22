#pragma once
#include <QObject>

class LWApp;
class QMenu;

// Fills the Arrange menu: the four stacking items, the submenus "Align" and "Distribute",
// "Group", "Ungroup", "Lock", "Unlock" and "Fit Text Box to Text", with the keys of LWShortcuts.
// Every item calls one operation of the application's open editor, read when it fires (nothing
// without one), also while a text field has the focus. Never disabled, never checked. Lives as
// the menu's child. Main thread only.
class LWArrangeCommands : public QObject {
    Q_OBJECT
public:
    LWArrangeCommands(QMenu *menu, LWApp &app);
};
