#pragma once
#include <QString>
#include <optional>

class QWidget;

// The one help window of the process: made on the first request and kept, hidden when closed.
// Its frame is kept in the settings under frameKey (restored once, when it is made; stored
// whenever it hides and when the application quits). Main thread only.
namespace VELKHelpWindow {
inline const QString frameKey = QStringLiteral("VELKHelpWindow");

// The default help opener: titles the window "<app name> Help", gives it a fresh viewer at the
// topic and brings it to the front. The platform may ignore position and activation.
void open(const std::optional<QString> &topicID);

// The window, or nothing before the first request.
QWidget *window();

// How a new window is framed: 860 x 600 centred on the primary screen's available area, unless
// the stored frame restores.
void placeNew(QWidget &window);
} // namespace VELKHelpWindow
