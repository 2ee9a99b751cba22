#include "model/geometry.h"

#include "model/element.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

QPainterPath windingPath()
{
    QPainterPath p;
    p.setFillRule(Qt::WindingFill);
    return p;
}

QPainterPath plainRect(const LWRect &r)
{
    QPainterPath p = windingPath();
    p.addRect(r.toQRectF());
    return p;
}

QPainterPath ellipseIn(const LWRect &r)
{
    QPainterPath p = windingPath();
    p.addEllipse(r.toQRectF());
    return p;
}

QPainterPath freePath(const LWElement &e)
{
    const LWRect &f = e.frame;
    const qsizetype n = e.points ? std::min(e.points->size(), e.drawnPointCount()) : 0;
    if (n < 2)
        return plainRect(f);
    QList<QPointF> mapped;
    mapped.reserve(n);
    const double x0 = f.minX(), y0 = f.minY(), w = f.width(), h = f.height();
    for (qsizetype i = 0; i < n; ++i) {
        const QPointF &u = (*e.points)[i];
        mapped.append({x0 + u.x() * w, y0 + u.y() * h});
    }
    if (!e.smooth)
        return LWGeometry::polygon(mapped);
    QSet<int> sharp;
    if (e.corners) {
        for (qint64 c : *e.corners)
            if (c >= 0 && c < n) // other indices have no effect
                sharp.insert(int(c));
    }
    return LWGeometry::smoothClosed(mapped, sharp);
}

LWRect boxOf(const QPointF *pts, int count)
{
    double x0 = pts[0].x(), x1 = x0, y0 = pts[0].y(), y1 = y0;
    for (int i = 1; i < count; ++i) {
        x0 = std::min(x0, pts[i].x());
        x1 = std::max(x1, pts[i].x());
        y0 = std::min(y0, pts[i].y());
        y1 = std::max(y1, pts[i].y());
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace

static_assert(LWGeometry::maxVertices == LWElement::maxVertices);

namespace LWGeometry {

QPainterPath roundedRect(const LWRect &rect, double radius)
{
    const double w = rect.width(), h = rect.height();
    const double r = std::min(std::min(radius, w / 2), h / 2);
    if (!(r > 0.01) || w <= 0 || h <= 0)
        return plainRect(rect);
    QPainterPath p = windingPath();
    p.addRoundedRect(rect.toQRectF(), r, r, Qt::AbsoluteSize);
    return p;
}

QPainterPath polygon(const QList<QPointF> &points)
{
    QPainterPath p = windingPath();
    if (points.isEmpty())
        return p;
    p.moveTo(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        p.lineTo(points[i]);
    p.closeSubpath();
    return p;
}

QList<QPointF> regular(const LWRect &rect, int sides)
{
    QList<QPointF> out;
    if (sides <= 0)
        return out;
    const int n = std::min(sides, maxVertices);
    out.reserve(n);
    const double cx = rect.midX(), cy = rect.midY(), rx = rect.width() / 2, ry = rect.height() / 2;
    for (int i = 0; i < n; ++i) {
        const double a = (2.0 * i * std::numbers::pi) / n - std::numbers::pi / 2;
        out.append({cx + std::cos(a) * rx, cy + std::sin(a) * ry});
    }
    return out;
}

QList<QPointF> star(const LWRect &rect, int points, double inner)
{
    QList<QPointF> out;
    if (points <= 0)
        return out;
    const int n = std::min(points, maxVertices);
    out.reserve(2 * n);
    const double cx = rect.midX(), cy = rect.midY(), rx = rect.width() / 2, ry = rect.height() / 2;
    for (int i = 0; i < 2 * n; ++i) {
        const double a = (i * std::numbers::pi) / n - std::numbers::pi / 2;
        const double f = i % 2 == 0 ? 1.0 : inner;
        out.append({cx + std::cos(a) * (f * rx), cy + std::sin(a) * (f * ry)});
    }
    return out;
}

QPainterPath smoothClosed(const QList<QPointF> &points, const QSet<int> &corners)
{
    QPainterPath p = windingPath();
    const qsizetype n = points.size();
    if (n == 0)
        return p;
    auto at = [&](qsizetype i) { return points[((i % n) + n) % n]; };
    p.moveTo(points[0]);
    for (qsizetype i = 0; i < n; ++i) {
        const QPointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        const QPointF c1 = corners.contains(int(i)) ? p1 : p1 + (p2 - p0) / 6.0;
        const QPointF c2 = corners.contains(int((i + 1) % n)) ? p2 : p2 - (p3 - p1) / 6.0;
        p.cubicTo(c1, c2, p2);
    }
    p.closeSubpath();
    return p;
}

QPainterPath maskPath(LWMask mask, const LWRect &rect, double radius)
{
    switch (mask) {
    case LWMask::none:
        return radius > 0 ? roundedRect(rect, radius) : plainRect(rect);
    case LWMask::rounded:
        return roundedRect(rect, std::max(radius, 0.12 * std::min(rect.width(), rect.height())));
    case LWMask::ellipse:
        return ellipseIn(rect);
    case LWMask::hexagon:
        return polygon(regular(rect, 6));
    case LWMask::star:
        return polygon(star(rect, 5, 0.5));
    case LWMask::arch: {
        // Straight sides and a half-circle top: the arc runs from the left over the top point.
        const double h = rect.width() / 2;
        QPainterPath p = windingPath();
        p.moveTo(rect.minX(), rect.maxY());
        p.lineTo(rect.minX(), rect.minY() + h);
        p.arcTo(QRectF(rect.midX() - h, rect.minY(), 2 * h, 2 * h), 180, -180);
        p.lineTo(rect.maxX(), rect.maxY());
        p.closeSubpath();
        return p;
    }
    case LWMask::diamond:
        return polygon({{rect.midX(), rect.minY()},
                        {rect.maxX(), rect.midY()},
                        {rect.midX(), rect.maxY()},
                        {rect.minX(), rect.midY()}});
    }
    return plainRect(rect);
}

double distance(QPointF p, QPointF a, QPointF b)
{
    const double vx = b.x() - a.x(), vy = b.y() - a.y();
    const double len = vx * vx + vy * vy;
    if (len == 0)
        return std::hypot(p.x() - a.x(), p.y() - a.y());
    double t = ((p.x() - a.x()) * vx + (p.y() - a.y()) * vy) / len;
    if (t >= 1)
        t = 1;
    else if (t < 0)
        t = 0;
    return std::hypot(p.x() - (a.x() + t * vx), p.y() - (a.y() + t * vy));
}

LWRect rect(QPointF from, QPointF to, bool square)
{
    double dx = to.x() - from.x(), dy = to.y() - from.y();
    if (square) {
        const double m = std::max(std::abs(dx), std::abs(dy));
        dx = dx < 0 ? -m : m;
        dy = dy < 0 ? -m : m;
    }
    return {std::min(from.x() + dx, from.x()), std::min(from.y() + dy, from.y()), std::abs(dx), std::abs(dy)};
}

QPointF constrain45(QPointF from, QPointF to)
{
    const QPointF d = to - from;
    const double length = std::hypot(d.x(), d.y());
    // Exact unit vectors, so a horizontal result has exactly the start's y.
    static constexpr double h = 0.70710678118654752440;
    static constexpr std::array<QPointF, 8> unit{QPointF(1, 0), QPointF(h, h), QPointF(0, 1), QPointF(-h, h),
                                                 QPointF(-1, 0), QPointF(-h, -h), QPointF(0, -1), QPointF(h, -h)};
    const long k = std::lround(std::atan2(d.y(), d.x()) / (std::numbers::pi / 4));
    return from + unit[size_t(((k % 8) + 8) % 8)] * length;
}

LWRect unionOf(const QList<LWRect> &rects)
{
    if (rects.isEmpty())
        return LWRect::null();
    LWRect out = rects.first();
    for (qsizetype i = 1; i < rects.size(); ++i)
        out = out.united(rects[i]);
    return out;
}

QPainterPath shapePath(const LWElement &e)
{
    const LWRect &f = e.frame;
    switch (e.shape) {
    case LWShapeKind::rectangle:
        return roundedRect(f, e.cornerRadius);
    case LWShapeKind::ellipse:
        return ellipseIn(f);
    case LWShapeKind::triangle:
        return polygon({{f.midX(), f.minY()}, {f.maxX(), f.maxY()}, {f.minX(), f.maxY()}});
    case LWShapeKind::polygon:
        return polygon(regular(f, e.drawnSides()));
    case LWShapeKind::star:
        return polygon(star(f, e.drawnSides(), e.innerRatio));
    case LWShapeKind::line: {
        const auto [a, b] = e.lineEnds();
        QPainterPath p = windingPath();
        p.moveTo(a);
        p.lineTo(b);
        return p;
    }
    case LWShapeKind::path:
        return freePath(e);
    }
    return plainRect(f);
}

QTransform rotation(const LWElement &e)
{
    if (e.rotation == 0 || e.kind == LWElementKind::group)
        return {};
    const double cx = e.frame.midX(), cy = e.frame.midY();
    QTransform t;
    t.translate(cx, cy);
    t.rotate(e.rotation);
    t.translate(-cx, -cy);
    return t;
}

std::array<QPointF, 4> corners(const LWElement &e)
{
    const QTransform t = rotation(e);
    const LWRect &f = e.frame;
    return {t.map(QPointF(f.minX(), f.minY())), t.map(QPointF(f.maxX(), f.minY())),
            t.map(QPointF(f.maxX(), f.maxY())), t.map(QPointF(f.minX(), f.maxY()))};
}

LWRect bounds(const LWElement &e)
{
    if (e.isLine()) {
        const auto [a, b] = e.lineEnds();
        const QTransform t = rotation(e);
        const double x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
        const double y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
        const QPointF pts[4] = {t.map(QPointF(x0, y0)), t.map(QPointF(x1, y0)), t.map(QPointF(x1, y1)),
                                t.map(QPointF(x0, y1))};
        return boxOf(pts, 4);
    }
    const auto pts = corners(e);
    return boxOf(pts.data(), 4);
}

QPointF unrotate(QPointF point, const LWElement &e)
{
    return rotation(e).inverted().map(point);
}

bool hit(const LWElement &e, QPointF point, double tolerance)
{
    if (e.hidden)
        return false;
    const QPointF q = unrotate(point, e);
    if (e.isLine()) {
        const auto [a, b] = e.lineEnds();
        const double w = e.stroke ? e.stroke->width : 1;
        const double reach = std::max(tolerance, tolerance * 0.5 + w * 0.5);
        return distance(q, a, b) <= reach;
    }
    return e.frame.insetBy(-tolerance * 0.5, -tolerance * 0.5).contains(q);
}

} // namespace LWGeometry
