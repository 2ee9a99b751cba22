#include "render/icons/icons.h"

#include "model/geometry.h"
#include "render/icons/iconrecipes.h"

#include <QHash>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

QPainterPath windingPath()
{
    QPainterPath p;
    p.setFillRule(Qt::WindingFill);
    return p;
}

QPainterPath turned(const QPainterPath &p, double cx, double cy, double a)
{
    QTransform t;
    t.translate(cx, cy);
    t.rotate(a);
    return t.map(p);
}

QPainterPath workSpace(const QPainterPath &part)
{
    return QTransform::fromScale(LWIconParts::Builder::workScale, LWIconParts::Builder::workScale).map(part);
}

QPainterPath stroked(const QPainterPath &line, double width)
{
    QPainterPathStroker s;
    s.setWidth(width);
    s.setCapStyle(Qt::RoundCap);
    s.setJoinStyle(Qt::RoundJoin);
    s.setMiterLimit(10);
    // The default tolerance (0.25) shows as facets on large icons: outlines are in 100-unit space.
    s.setCurveThreshold(0.01);
    QPainterPath out = s.createStroke(line);
    out.setFillRule(Qt::WindingFill);
    return out;
}

double signedArea(const QPolygonF &poly)
{
    double a = 0;
    for (qsizetype i = 0, n = poly.size(); i < n; ++i) {
        const QPointF &p = poly[i], &q = poly[(i + 1) % n];
        a += p.x() * q.y() - q.x() * p.y();
    }
    return a / 2;
}

// A point on the subpath's boundary away from its vertices (the middle of its longest edge):
// contours of a boolean result do not cross, so such a point is clearly inside or outside
// every other contour.
QPointF probePoint(const QPolygonF &poly)
{
    QPointF best = poly.value(0);
    double bestLen = -1;
    for (qsizetype i = 0, n = poly.size(); i < n; ++i) {
        const QPointF &p = poly[i], &q = poly[(i + 1) % n];
        const double len = std::hypot(q.x() - p.x(), q.y() - p.y());
        if (len > bestLen) {
            bestLen = len;
            best = (p + q) / 2;
        }
    }
    return best;
}

std::mutex &cacheLock()
{
    static std::mutex lock;
    return lock;
}

QHash<QString, QPainterPath> &cache()
{
    static QHash<QString, QPainterPath> table;
    return table;
}

std::optional<QPainterPath> build(const QString &id)
{
    for (const LWIconParts::Row &row : LWIconParts::rows()) {
        if (id != QLatin1String(row.id))
            continue;
        LWIconParts::Builder b;
        b.path = windingPath();
        row.recipe(b);
        return b.result();
    }
    return std::nullopt;
}

} // namespace

namespace LWIconParts {

QPainterPath circle(double x, double y, double d)
{
    QPainterPath p = windingPath();
    p.addEllipse(QRectF(x, y, d, d));
    return p;
}

QPainterPath E(double cx, double cy, double w, double h, double a)
{
    QPainterPath p = windingPath();
    p.addEllipse(QRectF(-w / 2, -h / 2, w, h));
    return turned(p, cx, cy, a);
}

QPainterPath rect(double x, double y, double w, double h, double r)
{
    return LWGeometry::roundedRect(LWRect(x, y, w, h), r);
}

QPainterPath RR(double cx, double cy, double w, double h, double a, double r)
{
    const double rr = std::min({r, w / 2, h / 2});
    QPainterPath p = windingPath();
    const QRectF box(-w / 2, -h / 2, w, h);
    if (rr > 0)
        p.addRoundedRect(box, rr, rr, Qt::AbsoluteSize);
    else
        p.addRect(box);
    return turned(p, cx, cy, a);
}

QPainterPath S(const QList<QPointF> &points, double width)
{
    QPainterPath line;
    if (points.isEmpty())
        return windingPath();
    line.moveTo(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        line.lineTo(points[i]);
    return stroked(line, width);
}

QPainterPath P(const QList<QPointF> &points)
{
    return LWGeometry::polygon(points);
}

QPainterPath star(double x, double y, double w, double h, int n, double k)
{
    return LWGeometry::polygon(LWGeometry::star(LWRect(x, y, w, h), n, k));
}

QPainterPath L(double x1, double y1, double x2, double y2, double b)
{
    const double dx = x2 - x1, dy = y2 - y1;
    const double len = std::max(std::hypot(dx, dy), 0.001);
    const QPointF n(-dy / len, dx / len), m((x1 + x2) / 2, (y1 + y2) / 2);
    QPainterPath p = windingPath();
    p.moveTo(x1, y1);
    p.quadTo(m + b * n, QPointF(x2, y2));
    p.quadTo(m - b * n, QPointF(x1, y1));
    p.closeSubpath();
    return p;
}

QPainterPath A(double cx, double cy, double r, double a0, double a1, double width)
{
    // Our angles grow clockwise on screen (y down); Qt's grow counter-clockwise, hence the signs.
    double sweep = std::fmod(a1 - a0, 360.0);
    if (sweep < 0)
        sweep += 360;
    const QRectF box(cx - r, cy - r, 2 * r, 2 * r);
    QPainterPath arc;
    arc.arcMoveTo(box, -a0);
    arc.arcTo(box, -a0, -sweep);
    return stroked(arc, width);
}

Builder &Builder::add(const QPainterPath &part)
{
    return add(Builder{workSpace(part), false});
}

Builder &Builder::sub(const QPainterPath &part)
{
    return sub(Builder{workSpace(part), false});
}

Builder &Builder::meet(const QPainterPath &part)
{
    return meet(Builder{workSpace(part), false});
}

Builder &Builder::add(const Builder &group)
{
    if (first) {
        path = group.path;
        first = false;
    } else {
        path = path.united(group.path);
    }
    return *this;
}

Builder &Builder::sub(const Builder &group)
{
    path = path.subtracted(group.path);
    return *this;
}

Builder &Builder::meet(const Builder &group)
{
    path = path.intersected(group.path);
    return *this;
}

QPainterPath Builder::result() const
{
    return windingOutline(QTransform::fromScale(1 / workScale, 1 / workScale).map(path));
}

QPainterPath windingOutline(const QPainterPath &p)
{
    if (p.fillRule() == Qt::WindingFill)
        return p;
    // Split into subpaths; each one's nesting depth among the others decides its direction:
    // outer boundaries counter-clockwise in y-down terms (positive area), holes the other way.
    QList<QPainterPath> subs;
    for (int i = 0, n = p.elementCount(); i < n; ++i) {
        const QPainterPath::Element e = p.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            subs.append(windingPath());
            subs.last().moveTo(e);
            break;
        case QPainterPath::LineToElement:
            subs.last().lineTo(e);
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < n) {
                subs.last().cubicTo(e, p.elementAt(i + 1), p.elementAt(i + 2));
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    QList<QPolygonF> polys;
    polys.reserve(subs.size());
    for (const QPainterPath &s : subs)
        polys.append(s.toFillPolygon());

    QPainterPath out = windingPath();
    for (qsizetype i = 0; i < subs.size(); ++i) {
        if (subs[i].isEmpty())
            continue;
        const QPointF probe = probePoint(polys[i]);
        int depth = 0;
        for (qsizetype j = 0; j < subs.size(); ++j)
            if (j != i && polys[j].containsPoint(probe, Qt::OddEvenFill))
                ++depth;
        const bool positive = signedArea(polys[i]) > 0;
        out.addPath(positive == (depth % 2 == 0) ? subs[i] : subs[i].toReversed());
    }
    out.setFillRule(Qt::WindingFill);
    return out;
}

qsizetype cachedCount()
{
    std::lock_guard guard(cacheLock());
    return cache().size();
}

} // namespace LWIconParts

namespace LWIcons {

const QList<Info> &catalog()
{
    static const QList<Info> rows = [] {
        QList<Info> out;
        for (const LWIconParts::Row &row : LWIconParts::rows())
            out.append({QLatin1String(row.id), QString::fromUtf8(row.title), QLatin1String(row.keywords)});
        return out;
    }();
    return rows;
}

QStringList names()
{
    QStringList out;
    out.reserve(catalog().size());
    for (const Info &info : catalog())
        out.append(info.id);
    return out;
}

QString title(const QString &id)
{
    for (const Info &info : catalog())
        if (info.id == id)
            return info.title;
    return id;
}

std::optional<QPainterPath> path(const QString &id)
{
    std::lock_guard guard(cacheLock());
    QHash<QString, QPainterPath> &table = cache();
    if (const auto it = table.constFind(id); it != table.cend())
        return *it;
    std::optional<QPainterPath> built = build(id);
    if (!built)
        return std::nullopt;
    // Bounds are computed lazily inside the shared path data; fill them in now, before other
    // threads can read the object, so later const calls only read.
    (void)built->boundingRect();
    (void)built->controlPointRect();
    table.insert(id, *built);
    return built;
}

std::optional<QPainterPath> path(const QString &id, const LWRect &in)
{
    const std::optional<QPainterPath> outline = path(id);
    if (!outline)
        return std::nullopt;
    const double s = std::min(in.width(), in.height()) / 100;
    const double dx = in.midX() - 50 * s, dy = in.midY() - 50 * s;
    QPainterPath out = QTransform(s, 0, 0, s, dx, dy).map(*outline);
    // The identity transform hands back the shared outline itself; writing one element detaches
    // the copy, so the result never shares data with the cache.
    if (out.elementCount() > 0) {
        const QPainterPath::Element e = out.elementAt(0);
        out.setElementPositionAt(0, e.x, e.y);
    }
    return out;
}

} // namespace LWIcons
