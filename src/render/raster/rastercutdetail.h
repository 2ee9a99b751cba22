#pragma once
// The band cut's own pieces, shared by its files (rastercut.cpp, rasterstroke.cpp) and by no
// other caller.
#include <QPainter>
#include <QPolygonF>
#include <QRectF>

namespace LWRasterCut::Detail {

// One side of a convex clip: points p with (p - at) . normal >= 0 are inside.
struct HalfPlane {
    QPointF at, normal;
    double side(QPointF p) const { return (p.x() - at.x()) * normal.x() + (p.y() - at.y()) * normal.y(); }
};

// The part of a closed polygon inside one half-plane (Sutherland-Hodgman), turned as it was.
[[nodiscard]] QPolygonF clipped(const QPolygonF &in, const HalfPlane &h);

// Twice the area a polygon encloses, negative when it runs the other way round.
[[nodiscard]] double twiceSignedArea(const QPolygonF &polygon);

[[nodiscard]] bool rasterDevice(const QPainter &p);

// What the painter can reach, in device pixels, with a margin of whole pixels so that the cut
// edges lie outside every pixel it shows; on the cut's grid.
[[nodiscard]] QRectF visibleArea(QPainter &p);

// Counts the device pixels of `reach` (device space) that the painter's device holds as asked.
void count(const QPainter &p, const QRectF &reach);

} // namespace LWRasterCut::Detail
