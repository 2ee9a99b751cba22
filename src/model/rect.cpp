#include "model/rect.h"

#include <algorithm>
#include <cmath>

bool LWRect::isNull() const { return std::isinf(x) || std::isinf(y); }

bool LWRect::isEmpty() const { return isNull() || w == 0 || h == 0; }

LWRect LWRect::standardized() const
{
    if (isNull())
        return *this;
    return {minX(), minY(), width(), height()};
}

LWRect LWRect::united(const LWRect &o) const
{
    if (isNull())
        return o.standardized();
    if (o.isNull())
        return standardized();
    const double x0 = std::min(minX(), o.minX()), y0 = std::min(minY(), o.minY());
    const double x1 = std::max(maxX(), o.maxX()), y1 = std::max(maxY(), o.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

LWRect LWRect::intersected(const LWRect &o) const
{
    if (isNull() || o.isNull())
        return null();
    const double x0 = std::max(minX(), o.minX()), y0 = std::max(minY(), o.minY());
    const double x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
    if (x1 < x0 || y1 < y0)
        return null();
    return {x0, y0, x1 - x0, y1 - y0};
}

bool LWRect::intersects(const LWRect &o) const
{
    const LWRect r = intersected(o);
    return !r.isNull() && r.w > 0 && r.h > 0;
}

LWRect LWRect::insetBy(double dx, double dy) const
{
    if (isNull())
        return *this;
    LWRect s = standardized();
    s.x += dx;
    s.y += dy;
    s.w -= 2 * dx;
    s.h -= 2 * dy;
    if (s.w < 0 || s.h < 0)
        return null();
    return s;
}

bool LWRect::contains(const QPointF &p) const
{
    if (isNull())
        return false;
    return p.x() >= minX() && p.x() < maxX() && p.y() >= minY() && p.y() < maxY();
}

bool LWRect::contains(const LWRect &o) const
{
    if (isNull() || o.isNull())
        return false;
    return o.minX() >= minX() && o.maxX() <= maxX() && o.minY() >= minY() && o.maxY() <= maxY();
}
