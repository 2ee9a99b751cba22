#pragma once
#include <cstdint>

// Every length in the system is in PostScript points; other units exist only at the edges.
namespace LWUnits {
inline constexpr double ptPerInch = 72.0;
inline constexpr double ptPerMM = 72.0 / 25.4;
inline constexpr double standardBleed = 9.0;

double inches(double points);
double mm(double points);
// points / 72 * dpi, rounded half away from zero. Values beyond the 64-bit range clamp; NaN gives 0.
std::int64_t pixels(double points, double dpi);

// Rounds half away from zero into a 64-bit integer without undefined behaviour for huge input.
std::int64_t roundClamped(double v);
} // namespace LWUnits
