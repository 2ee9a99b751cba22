#pragma once
#include <QColor>
#include <QPainterPath>

class QPainter;
class QWidget;

// The kit's keyboard-focus look, drawn by each control itself while it has the keyboard (also
// when it got it from a click or on opening: arrow keys act on it then too): a ring in the theme's
// accent, lightened where it would not stand out from the panel. Read from the theme at each paint.
namespace VKFocusRing {
inline constexpr double width = 2;

[[nodiscard]] QColor colour();
// Strokes the ring `width` wide along the inside of `shape`'s outline (in `ink` on a fill of
// the accent itself, where the accent would not show).
void paint(QPainter &painter, const QPainterPath &shape, const QColor &ink = colour());
// Repaints `control` (and `also`, when given) whenever `control` gains or loses the keyboard.
void repaintOnFocus(QWidget *control, QWidget *also = nullptr);
} // namespace VKFocusRing
