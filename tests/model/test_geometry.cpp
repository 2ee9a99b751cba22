#include "model/element.h"
#include "model/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Corner points of a path's straight subpath, without the closing repeat of the first point.
QList<QPointF> vertices(const QPainterPath &p)
{
    QList<QPointF> out;
    for (int i = 0; i < p.elementCount(); ++i) {
        const auto e = p.elementAt(i);
        if (e.isMoveTo() || e.isLineTo())
            out.append(QPointF(e.x, e.y));
    }
    if (out.size() > 1 && out.first() == out.last())
        out.removeLast();
    return out;
}

bool hasCurves(const QPainterPath &p)
{
    for (int i = 0; i < p.elementCount(); ++i)
        if (p.elementAt(i).isCurveTo())
            return true;
    return false;
}

// The radius of the top-left corner, found where the outline crosses the corner's diagonal.
double topLeftRadius(const QPainterPath &p, const LWRect &r)
{
    double in = std::min(r.width(), r.height()) / 2, out = 0;
    for (int i = 0; i < 60; ++i) {
        const double mid = (in + out) / 2;
        (p.contains(QPointF(r.minX() + mid, r.minY() + mid)) ? in : out) = mid;
    }
    return in / (1 - std::sqrt(0.5));
}

void expectNear(QPointF a, QPointF b, double eps = 1e-9)
{
    EXPECT_NEAR(a.x(), b.x(), eps) << "x of (" << a.x() << ", " << a.y() << ")";
    EXPECT_NEAR(a.y(), b.y(), eps) << "y of (" << a.x() << ", " << a.y() << ")";
}

LWElement shape(LWShapeKind kind, const LWRect &frame)
{
    LWElement e;
    e.kind = LWElementKind::shape;
    e.shape = kind;
    e.frame = frame;
    return e;
}

LWElement line(const LWRect &frame, QPointF a, QPointF b, std::optional<LWStroke> stroke)
{
    LWElement e = shape(LWShapeKind::line, frame);
    e.points = QList<QPointF>{a, b};
    e.stroke = stroke;
    return e;
}

} // namespace

TEST(Geometry, RoundedRectRadiusRules)
{
    const LWRect r(0, 0, 100, 50);
    const QPainterPath plain = LWGeometry::roundedRect(r, 0.01);
    EXPECT_FALSE(hasCurves(plain));
    EXPECT_EQ(vertices(plain).size(), 4);
    EXPECT_TRUE(hasCurves(LWGeometry::roundedRect(r, 0.02)));

    // 80 is clamped against both half sides to 25 in both directions: a pill, not 50 x 25 corners.
    const QPainterPath pill = LWGeometry::roundedRect(r, 80);
    EXPECT_NEAR(topLeftRadius(pill, r), 25, 0.05);
    EXPECT_EQ(pill.fillRule(), Qt::WindingFill);
}

TEST(Geometry, VertexListsAreBounded)
{
    EXPECT_TRUE(LWGeometry::regular(LWRect(0, 0, 10, 10), -4).isEmpty());
    EXPECT_EQ(LWGeometry::regular(LWRect(0, 0, 10, 10), 2'000'000'000).size(), LWGeometry::maxVertices);
    EXPECT_EQ(LWGeometry::star(LWRect(0, 0, 10, 10), 2'000'000'000, 0.5).size(), 2 * LWGeometry::maxVertices);

    // Hexagon on a non-square frame: vertices on the inscribed ellipse, clockwise from the top.
    const QList<QPointF> hex = LWGeometry::regular(LWRect(0, 0, 200, 100), 6);
    ASSERT_EQ(hex.size(), 6);
    expectNear(hex[0], {100, 0});
    expectNear(hex[1], {100 + 100 * std::cos(-M_PI / 6), 50 + 50 * std::sin(-M_PI / 6)});
}

TEST(Geometry, PolygonShapeWithFewSidesIsTheRegularTriangle)
{
    const LWRect f(0, 0, 100, 100);
    const QList<QPointF> expected = {{50, 0}, {50 + 50 * std::cos(M_PI / 6), 75}, {50 - 50 * std::cos(M_PI / 6), 75}};
    for (qint64 sides : {0, 1, 2, 3, -7}) {
        LWElement e = shape(LWShapeKind::polygon, f);
        e.sides = sides;
        const QList<QPointF> v = vertices(LWGeometry::shapePath(e));
        ASSERT_EQ(v.size(), 3) << sides;
        for (int i = 0; i < 3; ++i)
            expectNear(v[i], expected[i]);
    }
    // The triangle shape is a different figure: its base spans the bottom edge.
    EXPECT_EQ(vertices(LWGeometry::shapePath(shape(LWShapeKind::triangle, f))),
              (QList<QPointF>{{50, 0}, {100, 100}, {0, 100}}));
}

TEST(Geometry, StarShape)
{
    LWElement e = shape(LWShapeKind::star, LWRect(0, 0, 100, 100));
    e.sides = 5;
    e.innerRatio = 0.45;
    const QList<QPointF> v = vertices(LWGeometry::shapePath(e));
    ASSERT_EQ(v.size(), 10);
    expectNear(v[0], {50, 0});
    expectNear(v[1], {50 + 22.5 * std::cos(-M_PI / 2 + M_PI / 5), 50 + 22.5 * std::sin(-M_PI / 2 + M_PI / 5)});

    e.sides = 2;
    EXPECT_EQ(vertices(LWGeometry::shapePath(e)).size(), 6);
}

TEST(Geometry, FreePathShape)
{
    const LWRect f(10, 20, 100, 50);
    LWElement e = shape(LWShapeKind::path, f);
    e.points = QList<QPointF>{{0.5, 0.5}}; // too few points: the frame's rectangle
    EXPECT_EQ(vertices(LWGeometry::shapePath(e)).size(), 4);
    EXPECT_EQ(LWGeometry::shapePath(e).boundingRect(), QRectF(10, 20, 100, 50));

    // Points in unit coordinates follow the frame.
    e.points = QList<QPointF>{{0, 0}, {1, 0}, {0.5, 1}};
    e.smooth = false;
    EXPECT_EQ(vertices(LWGeometry::shapePath(e)), (QList<QPointF>{{10, 20}, {110, 20}, {60, 70}}));
    const QPainterPath straight = LWGeometry::shapePath(e);

    e.smooth = true;
    const QPainterPath round = LWGeometry::shapePath(e);
    EXPECT_TRUE(hasCurves(round));
    EXPECT_NE(round.boundingRect(), straight.boundingRect()); // smooth points bulge past the polygon

    // Every index a corner: the same outline as the straight polygon. Invalid indices do nothing.
    e.corners = QList<qint64>{0, 1, 2};
    const QPainterPath sharp = LWGeometry::shapePath(e);
    e.corners = QList<qint64>{-1, 3, 99, qint64(1) << 40};
    const QPainterPath ignored = LWGeometry::shapePath(e);
    for (double x = 11.13; x < 110; x += 3.71)
        for (double y = 21.07; y < 70; y += 2.93) {
            EXPECT_EQ(sharp.contains(QPointF(x, y)), straight.contains(QPointF(x, y))) << x << "," << y;
            EXPECT_EQ(ignored.contains(QPointF(x, y)), round.contains(QPointF(x, y))) << x << "," << y;
        }

    QList<QPointF> many;
    for (int i = 0; i < 5000; ++i)
        many.append({std::cos(i * 0.001), std::sin(i * 0.001)});
    e.points = many;
    e.smooth = false;
    EXPECT_EQ(vertices(LWGeometry::shapePath(e)).size(), LWGeometry::maxVertices);
}

TEST(Geometry, SmoothClosedCurveControls)
{
    const QList<QPointF> pts = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    const QPainterPath p = LWGeometry::smoothClosed(pts, {1});
    // moveTo, then per point one curve of three elements (two controls, end).
    ASSERT_EQ(p.elementCount(), 1 + 3 * 4);
    // Segment 0 -> 1: C1 = P0 + (P1 - P3)/6, C2 collapses onto the sharp point 1.
    expectNear(QPointF(p.elementAt(1).x, p.elementAt(1).y), QPointF(0, 0) + (QPointF(10, 0) - QPointF(0, 10)) / 6);
    expectNear(QPointF(p.elementAt(2).x, p.elementAt(2).y), {10, 0});
    expectNear(QPointF(p.elementAt(12).x, p.elementAt(12).y), {0, 0}); // last curve ends at point 0
    EXPECT_TRUE(LWGeometry::smoothClosed({}, {}).isEmpty());
}

TEST(Geometry, MaskPaths)
{
    const LWRect r(0, 0, 100, 60);
    EXPECT_NEAR(topLeftRadius(LWGeometry::maskPath(LWMask::rounded, r, 0), r), 7.2, 0.02);
    EXPECT_NEAR(topLeftRadius(LWGeometry::maskPath(LWMask::rounded, r, 20), r), 20, 0.05);
    EXPECT_FALSE(hasCurves(LWGeometry::maskPath(LWMask::none, r, 0)));
    EXPECT_EQ(vertices(LWGeometry::maskPath(LWMask::hexagon, r, 0)).size(), 6);
    EXPECT_EQ(vertices(LWGeometry::maskPath(LWMask::diamond, r, 0)),
              (QList<QPointF>{{50, 0}, {100, 30}, {50, 60}, {0, 30}}));

    // A doorway: round top reaching the top edge, square bottom corners.
    const LWRect door(0, 0, 100, 150);
    const QPainterPath arch = LWGeometry::maskPath(LWMask::arch, door, 0);
    EXPECT_NEAR(arch.boundingRect().top(), 0, 1e-6);
    EXPECT_TRUE(arch.contains(QPointF(50, 1)));
    EXPECT_FALSE(arch.contains(QPointF(3, 3)));
    EXPECT_TRUE(arch.contains(QPointF(1, 149)));
}

TEST(Geometry, RotationAndCorners)
{
    LWElement e = shape(LWShapeKind::rectangle, LWRect(0, 0, 100, 50));
    e.rotation = 90;
    // Clockwise on screen: the top-left corner lands on the top-right of the turned box.
    const auto c = LWGeometry::corners(e);
    expectNear(c[0], {75, -25});
    expectNear(c[2], {25, 75});
    const LWRect b = LWGeometry::bounds(e);
    expectNear({b.x, b.y}, {25, -25});
    expectNear({b.w, b.h}, {50, 100});

    const QPointF p(80, 10);
    expectNear(LWGeometry::unrotate(LWGeometry::rotation(e).map(p), e), p);

    e.rotation = 0;
    EXPECT_TRUE(LWGeometry::rotation(e).isIdentity());
    e.rotation = 45;
    EXPECT_FALSE(LWGeometry::rotation(e).isIdentity());
    e.kind = LWElementKind::group; // a group's own rotation is never applied
    EXPECT_TRUE(LWGeometry::rotation(e).isIdentity());
    EXPECT_EQ(LWGeometry::bounds(e), LWRect(0, 0, 100, 50));
}

TEST(Geometry, LineBoundsComeFromItsEnds)
{
    const LWElement flat = line(LWRect(0, 0, 100, 20), {0, 0.5}, {1, 0.5}, LWStroke());
    EXPECT_EQ(LWGeometry::bounds(flat), LWRect(0, 10, 100, 0));

    LWElement turned = flat;
    turned.rotation = 90; // about the frame centre (50, 10)
    const LWRect b = LWGeometry::bounds(turned);
    expectNear({b.x, b.y}, {50, -40});
    expectNear({b.w, b.h}, {0, 100});

    const QPainterPath p = LWGeometry::shapePath(flat);
    EXPECT_EQ(p.elementCount(), 2); // open: no closing edge
    EXPECT_EQ(p.currentPosition(), QPointF(100, 10));
}

TEST(Geometry, UnionKeepsZeroSizeRectangles)
{
    EXPECT_TRUE(LWGeometry::unionOf({}).isNull());
    EXPECT_EQ(LWGeometry::unionOf({LWRect(0, 0, 10, 10), LWRect(200, 300, 0, 0)}), LWRect(0, 0, 200, 300));
    EXPECT_EQ(LWGeometry::unionOf({LWRect::null(), LWRect(1, 2, 3, 4), LWRect::null()}), LWRect(1, 2, 3, 4));
}

TEST(Geometry, HitTest)
{
    LWElement box = shape(LWShapeKind::ellipse, LWRect(0, 0, 100, 100));
    EXPECT_TRUE(LWGeometry::hit(box, {-3, -3}, 6));
    EXPECT_FALSE(LWGeometry::hit(box, {103, 50}, 6)); // far edges are outside
    EXPECT_TRUE(LWGeometry::hit(box, {1, 1}, 0)); // the frame, whatever the shape
    box.hidden = true;
    EXPECT_FALSE(LWGeometry::hit(box, {50, 50}, 10));

    // Turned frames are tested in their own space.
    LWElement bar = shape(LWShapeKind::rectangle, LWRect(0, 40, 100, 20));
    bar.rotation = 90;
    EXPECT_TRUE(LWGeometry::hit(bar, {50, 5}, 0));
    EXPECT_FALSE(LWGeometry::hit(bar, {5, 50}, 0));

    // Line reach: max(tolerance, (tolerance + width) / 2), width 1 without a stroke.
    const LWRect f(0, 0, 100, 0);
    const LWElement bare = line(f, {0, 0}, {1, 0}, std::nullopt);
    EXPECT_TRUE(LWGeometry::hit(bare, {50, 4}, 4));
    EXPECT_FALSE(LWGeometry::hit(bare, {50, 4.01}, 4));
    const LWElement thick = line(f, {0, 0}, {1, 0}, LWStroke(LWColor::black, 10));
    EXPECT_TRUE(LWGeometry::hit(thick, {50, 7}, 4));
    EXPECT_FALSE(LWGeometry::hit(thick, {50, 7.01}, 4));
    EXPECT_FALSE(LWGeometry::hit(thick, {106, 0}, 0)); // past the end
}

TEST(Geometry, DistanceAndDragRectangle)
{
    EXPECT_DOUBLE_EQ(LWGeometry::distance({3, 4}, {0, 0}, {0, 0}), 5); // a segment of no length

    EXPECT_EQ(LWGeometry::rect({10, 10}, {4, 30}, true), LWRect(-10, 10, 20, 20));
    EXPECT_EQ(LWGeometry::rect({10, 10}, {4, 30}, false), LWRect(4, 10, 6, 20));
    EXPECT_EQ(LWGeometry::rect({10, 10}, {0, 5}, true), LWRect(0, 0, 10, 10));
    EXPECT_EQ(LWGeometry::rect({10, 10}, {10, 10}, true), LWRect(10, 10, 0, 0));
}
