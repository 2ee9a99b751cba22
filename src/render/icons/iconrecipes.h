#pragma once
// Internal to the icon library: the parts outlines are made of, the builder that joins them,
// and the table of rows with their recipes. Design-box units; angles in degrees from +x
// towards +y (clockwise on screen), so 270 points up.
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <span>

namespace LWIconParts {

// Circle of diameter d whose bounding square has its top-left corner at (x, y).
QPainterPath circle(double x, double y, double d);
// A w x h ellipse centred on (cx, cy), its w axis turned by a.
QPainterPath E(double cx, double cy, double w, double h, double a);
// Rectangle with all corners rounded by min(r, w/2, h/2); plain when that is 0.01 or less.
QPainterPath rect(double x, double y, double w, double h, double r = 0);
// A w x h rectangle centred on (cx, cy), its w side turned by a, corners rounded by
// min(r, w/2, h/2); plain when that is not positive.
QPainterPath RR(double cx, double cy, double w, double h, double a, double r = 0);
// Open polyline through the points, stroked with round caps and joins.
QPainterPath S(const QList<QPointF> &points, double width);
// Closed straight-edged polygon through the points.
QPainterPath P(const QList<QPointF> &points);
// Star of n points in the rect (x, y, w, h), inner points at radius factor k.
QPainterPath star(double x, double y, double w, double h, int n, double k);
// Leaf shape between two points: two quadratic curves bulging b to either side.
QPainterPath L(double x1, double y1, double x2, double y2, double b);
// Arc of radius r around (cx, cy) from a0 to a1 with the angle growing, stroked like S.
QPainterPath A(double cx, double cy, double r, double a0, double a1, double width);

// Joins parts strictly in call order. The first add takes the part as it is; later adds unite,
// sub subtracts and meet intersects, all with each operand's own fill rule (non-zero for parts).
// The boolean operations flatten curves to a fixed absolute tolerance, so path is kept in a
// working space workScale times the design box; a group (another builder) joins as it is.
struct Builder {
    static constexpr double workScale = 4;

    QPainterPath path;
    bool first = true;

    Builder &add(const QPainterPath &part);
    Builder &sub(const QPainterPath &part);
    Builder &meet(const QPainterPath &part);
    Builder &add(const Builder &group);
    Builder &sub(const Builder &group);
    Builder &meet(const Builder &group);

    // The outline in design-box units, oriented for the non-zero rule.
    QPainterPath result() const;
};

// The same region as p, as a path whose subpaths are oriented so that the non-zero rule fills
// exactly what p's own fill rule fills (boolean results come back even-odd).
QPainterPath windingOutline(const QPainterPath &p);

struct Row {
    const char *id;
    const char *title;
    const char *keywords;
    void (*recipe)(Builder &);
};

// Every row in catalogue order.
std::span<const Row> rows();

// Number of outlines cached so far (for tests).
qsizetype cachedCount();

} // namespace LWIconParts
