#pragma once
#include "model/rect.h"
#include "model/style.h"

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QSet>
#include <QTransform>
#include <array>

struct LWElement;

// The one place that fixes what the geometric fields of an element mean, shared by drawing,
// checking and editing. Page space: points, origin at the top-left of the trim, y down, so a
// positive angle turns clockwise on screen. Every path uses the non-zero (winding) fill rule.
// All functions are pure and thread-safe. Rectangle extremes are read standardised (LWRect).
namespace LWGeometry {

// Upper bound on vertex counts taken from a file (sides, star points, path points), so that a
// hand-edited design cannot make drawing run away.
inline constexpr int maxVertices = 1000;

// All four corners rounded by min(radius, width/2, height/2); a plain rectangle when that radius
// is 0.01 or less or the rectangle has no width or height.
QPainterPath roundedRect(const LWRect &rect, double radius);

// Straight edges through the points in order, closed. An empty list gives an empty path.
QPainterPath polygon(const QList<QPointF> &points);

// n vertices on the ellipse inscribed in rect, the first at the middle of the top edge, then
// clockwise on screen. n <= 0 gives an empty list; n is capped at maxVertices.
QList<QPointF> regular(const LWRect &rect, int sides);

// 2n vertices alternating between the inscribed ellipse and that ellipse scaled by inner, the
// first an outer point at the top centre. n <= 0 gives an empty list; n is capped at maxVertices.
QList<QPointF> star(const LWRect &rect, int points, double inner);

// A closed Catmull-Rom curve (tangent factor 1/6) through the points; points whose indices are
// in corners are sharp. An empty list gives an empty path.
QPainterPath smoothClosed(const QList<QPointF> &points, const QSet<int> &corners);

// The clip outline of a photo frame for the given mask; radius is the element's corner radius.
QPainterPath maskPath(LWMask mask, const LWRect &rect, double radius);

// Distance from p to the segment a-b (to a when the segment has no length).
double distance(QPointF p, QPointF a, QPointF b);

// The standardised rectangle dragged from `from` to `to`; square takes the larger extent on
// both axes, keeping the drag's direction.
LWRect rect(QPointF from, QPointF to, bool square);

// The end of a horizontal, vertical or diagonal segment from `from` as long as from-to: the
// angle rounded to a multiple of 45 degrees, halves away from zero.
QPointF constrain45(QPointF from, QPointF to);

// Union of the rectangles in order: the null rectangle for an empty list; null rectangles are
// ignored, zero-size ones are not.
LWRect unionOf(const QList<LWRect> &rects);

// The element's shape in page coordinates, not yet rotated, chosen by its shape kind alone.
// A line is an open path between its ends; a free path with fewer than 2 points is its frame.
QPainterPath shapePath(const LWElement &element);

// A turn by the element's rotation about its frame centre (clockwise on screen). Identity only
// for a rotation of exactly 0 and for every group, whose own rotation is never applied.
QTransform rotation(const LWElement &element);

// The frame corners top-left, top-right, bottom-right, bottom-left, each turned.
std::array<QPointF, 4> corners(const LWElement &element);

// The axis-aligned box of the turned element; a line's comes from its ends, not its frame.
LWRect bounds(const LWElement &element);

// A page point mapped into the element's unturned frame space.
QPointF unrotate(QPointF point, const LWElement &element);

// Whether a pointer at point picks the element: never when hidden; a line within
// max(tolerance, (tolerance + stroke width) / 2) of its segment (width 1 without a stroke);
// anything else, groups included, inside its frame grown by tolerance/2 per side, with the
// far edges outside. Locked elements hit like any other.
bool hit(const LWElement &element, QPointF point, double tolerance);

} // namespace LWGeometry
