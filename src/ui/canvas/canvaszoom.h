#pragma once
#include <algorithm>

// The canvas zoom's three rules, shared by the toolbar's buttons and the Page menu. Each bounds
// only the side it moves toward.
namespace CanvasZoom {
inline constexpr double step = 1.25, least = 0.25, most = 8;
inline double in(double zoom) { return std::min(zoom * step, most); }
inline double out(double zoom) { return std::max(zoom / step, least); }
inline double fit() { return 1; }
} // namespace CanvasZoom
