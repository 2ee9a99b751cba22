#pragma once
#include "diagnostics/selftestaids.h"

#include <QRectF>

namespace LWSelfTest {

// The reflow group's pass rules, in points and pixels.
namespace ReflowRules {
// A box at most 0.5 pt shorter than its text still shows all of it.
[[nodiscard]] bool tallEnough(double frameHeight, double textHeight);
// More line spacing must add more than 10 pt.
[[nodiscard]] bool clearlyTaller(double before, double after);
// The last line drawn leaves more than 20 dark pixels.
[[nodiscard]] bool enoughInk(int darkPixels);
// Dark pixels of the rectangle (edges cut toward zero, the far ones left out), counting only
// those inside the image: outside it every pixel reads black.
[[nodiscard]] int darkPixels(const Pixels &image, const QRectF &rect);
} // namespace ReflowRules

} // namespace LWSelfTest
