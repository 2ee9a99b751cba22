#include "render/rastercut.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPolygonF>
#include <vector>

namespace LWRasterCut {

namespace {

// Curves are flattened at this many times the device's resolution: Qt flattens to half a unit.
constexpr double fine = 16;

// One side of a convex clip: points p with (p - at) . normal >= 0 are inside.
struct HalfPlane {
    QPointF at, normal;
    double side(QPointF p) const { return (p.x() - at.x()) * normal.x() + (p.y() - at.y()) * normal.y(); }
};

// Sutherland-Hodgman: the part of a closed polygon inside one half-plane. A concave polygon may
// come back with edges doubled back along the cut; they enclose nothing under the winding rule.
QPolygonF clipped(const QPolygonF &in, const HalfPlane &h)
{
    QPolygonF out;
    const qsizetype n = in.size();
    if (n < 3)
        return out;
    out.reserve(n + 4);
    QPointF prev = in[n - 1];
    double prevSide = h.side(prev);
    for (const QPointF &cur : in) {
        const double curSide = h.side(cur);
        if ((curSide >= 0) != (prevSide >= 0)) {
            const double t = prevSide / (prevSide - curSide);
            out << prev + (cur - prev) * t;
        }
        if (curSide >= 0)
            out << cur;
        prev = cur, prevSide = curSide;
    }
    return out;
}

// The half-planes of a convex quadrilateral, whichever way round its corners run.
void addQuad(std::vector<HalfPlane> &planes, const QPolygonF &quad)
{
    double area = 0;
    for (int i = 0; i < 4; ++i) {
        const QPointF a = quad[i], b = quad[(i + 1) % 4];
        area += a.x() * b.y() - b.x() * a.y();
    }
    const double sense = area < 0 ? -1 : 1;
    for (int i = 0; i < 4; ++i) {
        const QPointF a = quad[i], b = quad[(i + 1) % 4];
        planes.push_back({a, QPointF(-(b.y() - a.y()), b.x() - a.x()) * sense});
    }
}

} // namespace

QPainterPath cut(const QPainterPath &mask, const QRectF *target, const QTransform &device, const QRectF &visible)
{
    const QTransform scaled = device * QTransform::fromScale(fine, fine);
    std::vector<HalfPlane> planes;
    const QRectF box(visible.topLeft() * fine, visible.size() * fine);
    planes.push_back({box.topLeft(), {1, 0}});
    planes.push_back({box.topLeft(), {0, 1}});
    planes.push_back({box.bottomRight(), {-1, 0}});
    planes.push_back({box.bottomRight(), {0, -1}});
    if (target) {
        QPolygonF quad = scaled.map(QPolygonF(*target));
        if (quad.size() == 5)
            quad.removeLast(); // QPolygonF(QRectF) closes itself
        if (quad.size() == 4)
            addQuad(planes, quad);
    }
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    const QTransform back = QTransform::fromScale(1 / fine, 1 / fine);
    for (QPolygonF polygon : mask.toSubpathPolygons(scaled)) {
        for (const HalfPlane &h : planes)
            polygon = clipped(polygon, h);
        if (polygon.size() >= 3)
            out.addPolygon(back.map(polygon));
    }
    out.closeSubpath();
    return out;
}

namespace {

bool rasterDevice(const QPainter &p)
{
    return p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Raster && p.device();
}

// What the painter can reach, in device pixels, with a margin of whole pixels so that the cut
// edges lie outside every pixel it shows.
QRectF visibleArea(QPainter &p)
{
    constexpr double far = 1e7;
    QRectF visible(-far, -far, 2 * far, 2 * far);
    if (p.hasClipping()) {
        // Read upright: the bounds of a turned clip's bounds would cover far more than it does.
        const QTransform world = p.worldTransform();
        p.setWorldTransform(QTransform());
        visible = p.combinedTransform().mapRect(p.clipBoundingRect());
        p.setWorldTransform(world);
    }
    if (p.device()->devType() == QInternal::Image) // its pixels are the device's
        visible = visible.intersected(QRectF(0, 0, p.device()->width(), p.device()->height()));
    return visible.adjusted(-2, -2, 2, 2);
}

} // namespace

void clip(QPainter &p, const QPainterPath &mask, const QRectF *target, bool plainMask)
{
    const QTransform device = p.combinedTransform();
    const bool turned = device.type() >= QTransform::TxRotate;
    if (!rasterDevice(p) || !device.isInvertible() || (!turned && plainMask)) {
        p.setClipPath(mask, Qt::IntersectClip);
        if (target)
            p.setClipRect(*target, Qt::IntersectClip);
        return;
    }
    const QPainterPath shownPart = cut(mask, turned ? target : nullptr, device, visibleArea(p));
    p.setClipPath(device.inverted().map(shownPart), Qt::IntersectClip);
    if (target && !turned)
        p.setClipRect(*target, Qt::IntersectClip);
}

QPainterPath shown(const QPainterPath &path, QPainter &p)
{
    const QTransform device = p.combinedTransform();
    if (!rasterDevice(p) || device.type() < QTransform::TxRotate || !device.isInvertible())
        return path;
    const QRectF visible = visibleArea(p), reach = device.mapRect(path.controlPointRect());
    // Paths within a little more than what shows cost little whole, and keep Qt's own edge.
    if (reach.height() <= 2 * visible.height() && reach.width() <= 2 * visible.width())
        return path;
    return device.inverted().map(cut(path, nullptr, device, visible));
}

} // namespace LWRasterCut
