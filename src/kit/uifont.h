#pragma once
#include <QFont>

// The interface's own type: the bundled rounded sans (Nunito) and the bundled monospace
// (JetBrains Mono). Sizes are pixels of the interface, fractions kept. The faces are registered
// with the bundled fonts on first use (main thread).
enum class VKWeight { Normal = 400, Medium = 500, Semibold = 600, Bold = 700, Heavy = 800, Black = 900 };

[[nodiscard]] QFont vkFont(double px, VKWeight weight = VKWeight::Normal);
// Weight left at the family's default; the bundled face is its Medium.
[[nodiscard]] QFont vkMono(double px);
// The font with `px` of extra space after each letter.
[[nodiscard]] QFont vkTracked(QFont font, double px);
// The font's size in interface pixels (inverse of the conversion vkFont makes).
[[nodiscard]] double vkPixelSize(const QFont &font);
