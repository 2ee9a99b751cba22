#pragma once
#include <QKeySequence>
#include <QString>

// The one key table shared by the canvas, the inspector, the menus and the header, so a help
// text never names another key than the menu item it mirrors.
namespace LWShortcuts {

// Arrange commands.
QKeySequence duplicate(); // Ctrl+D
QKeySequence group();     // Ctrl+G
QKeySequence ungroup();   // Ctrl+Shift+G
QKeySequence lock();      // Ctrl+L

// A button's help text: the title, then the keys in Qt's native text in parentheses
// ("Duplicate (Ctrl+D)"); the title alone for an empty sequence.
[[nodiscard]] QString help(const QString &title, const QKeySequence &keys);

} // namespace LWShortcuts
