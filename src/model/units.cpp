#include "model/units.h"

#include <cmath>
#include <limits>

namespace LWUnits {

double inches(double points) { return points / ptPerInch; }

double mm(double points) { return points / ptPerMM; }

std::int64_t roundClamped(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::round(v);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (r >= 9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::max();
    if (r < -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

std::int64_t pixels(double points, double dpi) { return roundClamped(points / 72.0 * dpi); }

} // namespace LWUnits
