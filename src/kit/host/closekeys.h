#pragma once

class QWidget;

// Escape and Close Window (Ctrl+W) close `window`, wherever in it the keyboard is, as a desktop's
// secondary windows do. Main thread only.
namespace VKCloseKeys {
void install(QWidget *window);
} // namespace VKCloseKeys
