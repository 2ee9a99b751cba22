#pragma once
#include <QFont>
#include <QPainterPath>
#include <QSizeF>

class QPainter;
class QRectF;

// The interface's own type: the bundled rounded sans (Nunito) and the bundled monospace
// (JetBrains Mono). Sizes are pixels of the interface. The faces are registered with the bundled
// fonts on first use (main thread).
//
// Qt rounds a font's pixel size to whole pixels when it loads the face, so a QFont alone shows
// 12.5 as 13. The kit measures and draws its own text through vkTextSize/vkDrawText, which keep
// the fraction; Qt's own widgets show the rounded size.
enum class VKWeight { Normal = 400, Medium = 500, Semibold = 600, Bold = 700, Heavy = 800, Black = 900 };

[[nodiscard]] QFont vkFont(double px, VKWeight weight = VKWeight::Normal);
// Weight left at the family's default; the bundled face is its Medium.
[[nodiscard]] QFont vkMono(double px);
// The font with `px` of extra space after each letter.
[[nodiscard]] QFont vkTracked(QFont font, double px);
// The point size Qt needs to show `px` interface pixels (the conversion vkFont makes).
[[nodiscard]] double vkPointSize(double px);
// The font's size in interface pixels (inverse of the conversion vkFont makes).
[[nodiscard]] double vkPixelSize(const QFont &font);

// Advance width and line height of one line of `text`, fractional sizes and tracking exact.
[[nodiscard]] QSizeF vkTextSize(const QFont &font, const QString &text);
// The text cut with "…" at the right to fit `width`, measured at the font's exact size.
[[nodiscard]] QString vkElidedText(const QFont &font, const QString &text, double width);
// The outline of one line of text whose line box (as vkTextSize) starts at `topLeft`.
[[nodiscard]] QPainterPath vkTextPath(const QFont &font, const QString &text, QPointF topLeft);
// drawText at the font's exact size; `flags` as QPainter::drawText.
void vkDrawText(QPainter &painter, const QRectF &rect, int flags, const QString &text, const QFont &font);
