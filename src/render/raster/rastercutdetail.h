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

// The polygon with a vertex added wherever an edge crosses a multiple of `step` rows or columns.
[[nodiscard]] QPolygonF splitOnGrid(const QPolygonF &in, double step);

// A part of what an outline covers: the whole area counted `whole` times, and pieces (closed
// polygons, device pixels) each adding its winding. No part covers less than nothing anywhere,
// and all turn alike. Where every point lies within `reach` of every point of `from`, the part is
// also the whole area less the `within` pieces (often far fewer edges).
struct Cover {
    int whole = 0;
    QList<QPolygonF> pieces;
    QList<QPolygonF> within;
    QRectF from;
    double reach = -1;
};

// Fills with `brush` where the parts' windings sum to other than 0 within `area` (device pixels,
// on the cut's grid), as one winding fill of all of them would, at the cost of the edges of their
// union rather than of every piece.
void fillUnion(QPainter &p, const QList<Cover> &parts, const QRectF &area, const QBrush &brush);

} // namespace LWRasterCut::Detail
