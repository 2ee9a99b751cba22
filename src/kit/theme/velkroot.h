#pragma once
#include <QString>

class QLabel;
class QWidget;

// Prepares a window's or popup's content: the theme root's palette for the current theme, its
// `bg` filling the background.
void velkRoot(QWidget *widget);

// Run-time titles shown exactly as built. For actions and buttons: "&" doubled, so Qt takes none
// for a mnemonic. For labels: the text set as plain text.
[[nodiscard]] QString vkPlain(const QString &text);
void vkPlain(QLabel *label, const QString &text);

// Opens a help page through the host's help hook; what opens is the host's business.
namespace VKHelpWindow {
void show(const QString &page);
}
