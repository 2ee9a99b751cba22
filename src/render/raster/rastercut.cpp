#include "render/raster/rastercut.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace LWRasterCut {

namespace {

// Curves are flattened at this many times the device's resolution: Qt flattens to half a unit.
constexpr double fine = 16;

// A path taller than this many device rows is cut: below it a band pays little for the whole.
constexpr double cutRows = 64;

std::atomic<qint64> asked{0}, outlined{0};

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

// The polygon with a vertex added wherever an edge crosses a multiple of `step` rows or columns.
QPolygonF splitOnGrid(const QPolygonF &in, double step)
{
    QPolygonF out;
    const qsizetype n = in.size();
    out.reserve(n * 2);
    std::vector<std::pair<double, QPointF>> crossings; // along the edge
    for (qsizetype i = 0; i < n; ++i) {
        const QPointF a = in[i], b = in[(i + 1) % n];
        out << a;
        crossings.clear();
        for (const bool across : {true, false}) {
            const double from = across ? a.x() : a.y(), to = across ? b.x() : b.y();
            if (from == to)
                continue;
            const double first = std::floor(std::min(from, to) / step) + 1;
            const double last = std::ceil(std::max(from, to) / step) - 1;
            if (last - first > 1e6) // far past any device
                continue;
            for (double k = first; k <= last; ++k) {
                const double t = (k * step - from) / (to - from);
                const QPointF at = a + (b - a) * t;
                crossings.push_back({t, across ? QPointF(k * step, at.y()) : QPointF(at.x(), k * step)});
            }
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const auto &x, const auto &y) { return x.first < y.first; });
        for (const auto &c : crossings)
            out << c.second;
    }
    return out;
}

} // namespace

namespace {

// The polygons (device pixels times `fine`) cut to `box` and, when given, a convex quadrilateral;
// split on the grid when `split`.
QList<QPolygonF> cutPolygons(const QList<QPolygonF> &polygons, const QRectF &box, const QPolygonF *quad,
                             bool split)
{
    std::vector<HalfPlane> planes;
    planes.push_back({box.topLeft(), {1, 0}});
    planes.push_back({box.topLeft(), {0, 1}});
    planes.push_back({box.bottomRight(), {-1, 0}});
    planes.push_back({box.bottomRight(), {0, -1}});
    if (quad)
        addQuad(planes, *quad);
    QList<QPolygonF> out;
    for (QPolygonF polygon : polygons) {
        if (!polygon.boundingRect().intersects(box))
            continue;
        for (const HalfPlane &h : planes)
            polygon = clipped(polygon, h);
        if (polygon.size() >= 3)
            out << (split ? splitOnGrid(polygon, gridRows * fine) : polygon);
    }
    return out;
}

QList<QPolygonF> finePolygons(const QPainterPath &path, const QRectF *target, const QTransform &device,
                              const QRectF &visible, bool split)
{
    const QTransform scaled = device * QTransform::fromScale(fine, fine);
    QPolygonF quad;
    if (target) {
        quad = scaled.map(QPolygonF(*target));
        if (quad.size() == 5)
            quad.removeLast(); // QPolygonF(QRectF) closes itself
    }
    const QRectF box(visible.topLeft() * fine, visible.size() * fine);
    return cutPolygons(path.toSubpathPolygons(scaled), box, quad.size() == 4 ? &quad : nullptr, split);
}

// Twice the area a polygon encloses, negative when it runs the other way round.
double twiceSignedArea(const QPolygonF &polygon)
{
    double twice = 0;
    for (qsizetype i = 0, n = polygon.size(); i < n; ++i) {
        const QPointF a = polygon[i], b = polygon[(i + 1) % n];
        twice += a.x() * b.y() - b.x() * a.y();
    }
    return twice;
}

// The area a polygon encloses, whichever way round.
double area(const QPolygonF &polygon)
{
    return std::abs(twiceSignedArea(polygon)) / 2;
}

// The polygons as a winding path in device pixels.
QPainterPath pathOf(const QList<QPolygonF> &polygons)
{
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    const QTransform back = QTransform::fromScale(1 / fine, 1 / fine);
    for (const QPolygonF &polygon : polygons)
        out.addPolygon(back.map(polygon));
    out.closeSubpath();
    return out;
}

} // namespace

QPainterPath cut(const QPainterPath &mask, const QRectF *target, const QTransform &device,
                 const QRectF &visible)
{
    return pathOf(finePolygons(mask, target, device, visible, true));
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
    visible.adjust(-2, -2, 2, 2);
    if (visible.isEmpty())
        return visible;
    const auto down = [](double v) { return std::floor(v / gridRows) * gridRows; };
    const auto up = [](double v) { return std::ceil(v / gridRows) * gridRows; };
    return QRectF(QPointF(down(visible.left()), down(visible.top())),
                  QPointF(up(visible.right()), up(visible.bottom())));
}

// Counts the device pixels of `reach` (device space) that the painter's device holds.
void count(const QPainter &p, const QRectF &reach)
{
    QRectF within = reach;
    if (p.device()->devType() == QInternal::Image)
        within = within.intersected(QRectF(0, 0, p.device()->width(), p.device()->height()));
    if (!within.isEmpty() && std::isfinite(within.width() * within.height()))
        asked += qint64(std::ceil(within.width() * within.height()));
}

} // namespace

void clip(QPainter &p, const QPainterPath &mask, const QRectF *target, bool plainMask)
{
    const QTransform device = p.combinedTransform();
    const bool turned = device.type() >= QTransform::TxRotate;
    if (!rasterDevice(p) || !device.isInvertible() || (!turned && plainMask)) {
        // Qt clips by a rectangle cheaply only where the device shows it upright.
        if (rasterDevice(p) && !(plainMask && device.m12() == 0 && device.m21() == 0))
            count(p, device.mapRect(mask.controlPointRect()));
        p.setClipPath(mask, Qt::IntersectClip);
        if (target)
            p.setClipRect(*target, Qt::IntersectClip);
        return;
    }
    const QPainterPath shownPart = cut(mask, turned ? target : nullptr, device, visibleArea(p));
    count(p, shownPart.controlPointRect());
    p.setClipPath(device.inverted().map(shownPart), Qt::IntersectClip);
    if (target && !turned)
        p.setClipRect(*target, Qt::IntersectClip);
}

namespace {

// The path to fill (see fill()), and the device pixels it reaches.
std::pair<QPainterPath, QRectF> shownReach(const QPainterPath &path, QPainter &p)
{
    const QTransform device = p.combinedTransform();
    const QRectF reach = device.mapRect(path.controlPointRect());
    if (!rasterDevice(p) || !device.isInvertible() || reach.height() <= cutRows)
        return {path, reach};
    const QPainterPath part = cut(path, nullptr, device, visibleArea(p));
    return {device.inverted().map(part), part.controlPointRect()};
}

} // namespace

void fill(QPainter &p, const QPainterPath &path, const QBrush &brush)
{
    const auto [part, reach] = shownReach(path, p);
    if (rasterDevice(p))
        count(p, reach);
    p.fillPath(part, brush);
}

namespace {

// The pen's dashes along the path as open lines, as a PDF reader lays them: the pattern starts
// afresh on each subpath and runs on through its corners, so a dash that passes a corner holds it
// and one that ends on it stops there; a closed subpath's last dash is not joined to its first (it
// ends at the start with its cap), and an odd pattern is read twice over. Curves are flattened to
// a 64th of a device pixel (Qt's own dasher lays dashes along curves flattened to half a unit,
// pixels off at print resolutions). None when the pattern is empty or would make more than a
// million dashes.
std::optional<QList<QPolygonF>> dashes(const QPainterPath &path, const QTransform &device, const QPen &pen)
{
    QList<qreal> pattern = pen.dashPattern();
    if (pattern.size() % 2)
        pattern += pattern;
    double period = 0;
    for (const qreal length : pattern)
        period += std::max(length, 0.0) * pen.widthF();
    if (pattern.isEmpty() || !(period > 0) || !(path.length() / period < 1e6))
        return std::nullopt;
    const auto length = [&](qsizetype index) { return std::max(pattern[index], 0.0) * pen.widthF(); };
    // Where the pattern starts: dashOffset widths into it.
    qsizetype first = 0;
    double firstLeft = length(0), skip = std::fmod(pen.dashOffset() * pen.widthF(), period);
    if (!std::isfinite(skip))
        return std::nullopt;
    for (skip += skip < 0 ? period : 0; skip > 0;) {
        if (skip < firstLeft) {
            firstLeft -= skip;
            break;
        }
        skip -= firstLeft;
        first = (first + 1) % pattern.size();
        firstLeft = length(first);
    }
    const QTransform fine = device * QTransform::fromScale(32, 32); // Qt flattens to half a unit
    const QTransform back = fine.inverted();
    const double near = 1e-3 / std::sqrt(std::abs(device.determinant())); // a thousandth of a pixel
    QList<QPolygonF> out;
    for (const QPolygonF &flat : path.toSubpathPolygons(fine)) {
        const QPolygonF line = back.map(flat);
        if (line.isEmpty())
            continue;
        qsizetype index = first; // each subpath starts the pattern afresh
        double left = firstLeft;
        QPolygonF dash{line[0]};
        const auto add = [&](QPointF at) {
            if (dash.isEmpty() || QLineF(dash.last(), at).length() > near)
                dash << at;
        };
        // A dash all the way round ends where it began: the stroker would join it as a closed
        // outline, where a PDF reader ends it with its cap. It ends a thousandth of a pixel short.
        const auto finish = [&] {
            if (dash.size() > 2 && dash.last() == dash.first())
                dash.last() = QLineF(dash[dash.size() - 2], dash.last())
                                  .pointAt(1 - near / QLineF(dash[dash.size() - 2], dash.last()).length());
            out << dash;
        };
        for (qsizetype i = 1; i < line.size(); ++i) {
            const QPointF a = line[i - 1], b = line[i];
            const double span = QLineF(a, b).length();
            double along = 0;
            while (span - along > left) {
                along += left;
                const QPointF at = a + (b - a) * (along / span);
                if (index % 2 == 0) {
                    add(at);
                    if (dash.size() > 1)
                        finish();
                }
                dash = {at};
                index = (index + 1) % pattern.size();
                left = length(index);
            }
            left -= span - along;
            if (index % 2 == 0)
                add(b);
        }
        if (index % 2 == 0 && dash.size() > 1)
            finish();
    }
    return out;
}

// The subpaths as lines flattened as the dashes are, points within a thousandth of a device pixel
// of the one before dropped; a closed subpath ends on its first point.
QList<QPolygonF> flattened(const QPainterPath &path, const QTransform &device)
{
    const QTransform fine = device * QTransform::fromScale(32, 32);
    const QTransform back = fine.inverted();
    const double near = 1e-3 / std::sqrt(std::abs(device.determinant()));
    QList<QPolygonF> out;
    for (const QPolygonF &flat : path.toSubpathPolygons(fine)) {
        QPolygonF line;
        for (const QPointF &at : back.map(flat))
            if (line.isEmpty() || QLineF(line.last(), at).length() > near)
                line << at;
        if (line.size() > 1 && flat.size() > 1 && flat.first() == flat.last())
            line.last() = line.first(); // the stroker joins it
        if (line.size() > 1)
            out << line;
    }
    return out;
}

// Whether a triangle and a rectangle share a point: no axis of either parts them.
bool overlaps(const std::array<QPointF, 3> &t, const QRectF &r)
{
    const auto [xMin, xMax] = std::minmax({t[0].x(), t[1].x(), t[2].x()});
    const auto [yMin, yMax] = std::minmax({t[0].y(), t[1].y(), t[2].y()});
    if (xMax < r.left() || xMin > r.right() || yMax < r.top() || yMin > r.bottom())
        return false;
    const std::array<QPointF, 4> corners{r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    for (int i = 0; i < 3; ++i) {
        const QPointF a = t[i], b = t[(i + 1) % 3], other = t[(i + 2) % 3];
        const QPointF normal(a.y() - b.y(), b.x() - a.x());
        const auto along = [&](QPointF v) {
            return (v.x() - a.x()) * normal.x() + (v.y() - a.y()) * normal.y();
        };
        const double side = along(other); // the triangle lies on this side of its edge
        if (std::all_of(corners.begin(), corners.end(), [&](QPointF c) { return along(c) * side < 0; }))
            return false;
    }
    return true;
}

// A round join's or cap's arc: a circle about a corner or an end, within a 64th of a device pixel.
// Up to `evenSteps` steps per half turn it is cut into even steps, as it always was; a wider pen's
// arc is cut finer only where it can show: a chord is kept where the sliver it cuts off the disc
// (within the tangents at its ends) lies wholly outside what the painter shows, and halved where
// it does not, so that an arc costs the pixels it crosses whatever its radius.
struct Arcs {
    static constexpr double evenSteps = 256;
    static constexpr int deepest = 48; // halvings of a quarter turn, whatever the width

    double radius = 0, tolerance = 0, step = 0;
    bool even = true;
    QTransform device;
    QRectF visible; // device pixels

    Arcs(double width, const QTransform &device, const QRectF &visible, bool narrowed)
        : radius(width / 2), tolerance(1.0 / 64 / std::sqrt(std::abs(device.determinant()))), device(device),
          visible(visible.adjusted(-1, -1, 1, 1))
    {
        // 2 acos(1 - t/r), written as the quarter step's sine so that no finite width makes it 0.
        const double sine = std::sqrt(tolerance / radius / 2);
        const double fine = sine < 1 ? 4 * std::asin(sine) : M_PI;
        even = !narrowed && M_PI <= evenSteps * fine;
        step = even ? 2 * std::acos(1 - tolerance / radius) : fine;
    }
    QPointF at(QPointF c, double angle) const
    {
        return c + QPointF(std::cos(angle), std::sin(angle)) * radius;
    }

    // The arc about c from angle `from` through `turn` onto `wedge`, its first point included.
    void add(QPolygonF &wedge, QPointF c, double from, double turn) const
    {
        if (even) {
            const int parts = int(std::ceil(std::abs(turn) / step));
            for (int k = 0; k <= parts; ++k)
                wedge << at(c, from + turn * k / parts);
            return;
        }
        wedge << at(c, from);
        const int pieces = std::max(1, int(std::ceil(std::abs(turn) / (M_PI / 4)))); // the tangents meet
        for (int k = 0; k < pieces; ++k)
            halve(wedge, c, from + turn * k / pieces, from + turn * (k + 1) / pieces, 0);
    }
    void halve(QPolygonF &wedge, QPointF c, double a0, double a1, int depth) const
    {
        const double mid = (a0 + a1) / 2;
        const QPointF tangents =
            c + QPointF(std::cos(mid), std::sin(mid)) * (radius / std::cos((a1 - a0) / 2));
        if (depth >= deepest || !(std::abs(a1 - a0) > step) ||
            !overlaps({device.map(at(c, a0)), device.map(tangents), device.map(at(c, a1))}, visible)) {
            wedge << at(c, a1);
            return;
        }
        halve(wedge, c, a0, mid, depth + 1);
        halve(wedge, c, mid, a1, depth + 1);
    }
};

// A pie slice about c onto `out`, turned `sense` as the stroker's own outlines are, so that a
// winding fill unites them.
void addWedge(QPainterPath &out, const Arcs &arcs, QPointF c, double from, double turn, double sense)
{
    QPolygonF wedge{c};
    arcs.add(wedge, c, from, turn);
    if (twiceSignedArea(wedge) * sense < 0)
        std::reverse(wedge.begin(), wedge.end());
    out.addPolygon(wedge);
    out.closeSubpath();
}

// The round joins of the lines, stroked with bevel joins: at each corner the circular segment past
// the bevel, as the pie slice between the two edges' outer ends (covering the bevel's triangle
// too); none where the bevel already lies within a 64th of a device pixel of the arc. With
// `closed`, a line that ends on its first point is joined there too.
QPainterPath roundJoins(const QList<QPolygonF> &lines, const Arcs &arcs, double sense, bool closed)
{
    QPainterPath out;
    if (!(arcs.radius > arcs.tolerance))
        return out;
    for (const QPolygonF &line : lines) {
        const qsizetype n = line.size();
        const bool ring = closed && n > 3 && line.first() == line.last();
        for (qsizetype j = ring ? 0 : 1; j + 1 < n; ++j) {
            const QPointF c = line[j];
            const QLineF in(line[j == 0 ? n - 2 : j - 1], c), on(c, line[j + 1]);
            if (in.length() <= 0 || on.length() <= 0)
                continue;
            const double a1 = std::atan2(in.dy(), in.dx()), a2 = std::atan2(on.dy(), on.dx());
            const double turn = std::remainder(a2 - a1, 2 * M_PI); // right on the page (y down) when positive
            if (!(std::abs(turn) > arcs.step))
                continue;
            // The outer side is left of a right turn: the normals point away from the turn.
            addWedge(out, arcs, c, a1 + (turn > 0 ? -M_PI / 2 : M_PI / 2), turn, sense);
        }
    }
    return out;
}

// Round caps at both ends of each open line: half discs past its ends.
QPainterPath capDiscs(const QList<QPolygonF> &lines, const Arcs &arcs, double sense)
{
    QPainterPath out;
    for (const QPolygonF &line : lines) {
        const qsizetype n = line.size();
        if (n < 2 || line.first() == line.last())
            continue;
        const QLineF first(line[0], line[1]), last(line[n - 2], line[n - 1]);
        const double back = std::atan2(first.dy(), first.dx()), ahead = std::atan2(last.dy(), last.dx());
        addWedge(out, arcs, line[0], back + M_PI / 2, M_PI, sense);
        addWedge(out, arcs, line[n - 1], ahead - M_PI / 2, M_PI, sense);
    }
    return out;
}

// What a round-joined pen wider than twice the span of the lines and `visible` (device pixels)
// together covers there: its pieces' bands across and its corners' pie slices reach past every
// point, so it covers all of it but, for a line with butt caps, the points that lie before each of
// its first k pieces and past each of the others (for some k), which the other pieces and corners
// leave out. A line joined all round (`ring`s) or capped otherwise covers all of it.
QPainterPath cover(const QList<QPolygonF> &lines, bool butt, bool rings, const QTransform &device,
                   const QRectF &visible)
{
    QPolygonF area = device.inverted().map(QPolygonF(visible));
    area.removeLast(); // QPolygonF(QRectF) closes itself
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    for (const QPolygonF &line : lines) {
        out.addPolygon(area);
        out.closeSubpath();
        const qsizetype pieces = line.size() - 1;
        if (!butt || (rings && pieces > 2 && line.first() == line.last()))
            continue;
        for (qsizetype k = 0; k <= pieces; ++k) {
            QPolygonF left = area;
            // The pieces next to the k-th first: they leave out the least.
            for (qsizetype step = 0; step < 2 * pieces && left.size() >= 3; ++step) {
                const qsizetype i = step % 2 ? k + step / 2 : k - 1 - step / 2;
                if (i < 0 || i >= pieces)
                    continue;
                const QPointF along = line[i + 1] - line[i];
                left = clipped(left, i < k ? HalfPlane{line[i], -along} : HalfPlane{line[i + 1], along});
            }
            if (left.size() < 3)
                continue;
            std::reverse(left.begin(), left.end()); // taken out of the area's winding
            out.addPolygon(left);
            out.closeSubpath();
        }
    }
    return out;
}

// Which way round the stroker turns its outlines (the sign of their area).
double strokeSense(const QPainterPathStroker &stroker)
{
    QPainterPath probe;
    probe.moveTo(0, 0);
    probe.lineTo(10, 0);
    const QList<QPolygonF> outline = stroker.createStroke(probe).toSubpathPolygons();
    return !outline.isEmpty() && twiceSignedArea(outline[0]) < 0 ? -1 : 1;
}

QPainterPath openLines(const QList<QPolygonF> &lines)
{
    QPainterPath out;
    for (const QPolygonF &line : lines)
        out.addPolygon(line);
    return out;
}

// What the painter can show, in device units: the cut's area on a raster device; else the device
// within the clip (a PDF page), empty when neither is known.
QRectF reach(QPainter &p)
{
    if (rasterDevice(p))
        return visibleArea(p);
    QRectF area;
    if (p.device() && p.device()->width() > 0 && p.device()->height() > 0)
        area = QRectF(0, 0, p.device()->width(), p.device()->height());
    if (p.hasClipping()) {
        const QRectF clip = p.combinedTransform().mapRect(p.clipBoundingRect());
        area = area.isEmpty() ? clip : area.intersected(clip);
    }
    return area;
}

// Qt's PDF writer writes a number's whole part as 32 bits: past this, it writes another number.
constexpr double writable = 1e9;

// The pen, narrowed where it is far wider than all that shows: where the path and `area` (device
// units) lie within a distance d of each other, a pen wider than 2d draws the same there whatever
// its width (each piece's straight edges across, a corner's pie slice, a cap's half disc), so a
// round-joined pen past four times that distance is drawn at it, its dashes as long as they were.
// A bevel's or miter's end moves with the width: such a pen is narrowed only past what a device
// can take. Kept as it is when nothing shows or it is not that wide.
QPen narrowed(const QPen &pen, const QPainterPath &path, const QTransform &device, const QRectF &area)
{
    const double w = pen.widthF(), scale = std::sqrt(std::abs(device.determinant()));
    if (area.isEmpty() || !device.isInvertible())
        return pen;
    const QRectF around = path.controlPointRect().united(device.inverted().mapRect(area));
    const double widest = 4 * std::hypot(around.width(), around.height());
    if (!(w > widest) || !(widest > 0) || !std::isfinite(widest) ||
        (pen.joinStyle() != Qt::RoundJoin && w * scale <= writable))
        return pen;
    QPen out = pen;
    out.setWidthF(widest);
    if (pen.style() != Qt::SolidLine) {
        const double k = w / widest, most = std::numeric_limits<double>::max();
        QList<qreal> pattern = pen.dashPattern();
        for (qreal &length : pattern)
            length = std::min(length * k, most);
        out.setDashPattern(pattern);
        out.setDashOffset(std::clamp(pen.dashOffset() * k, -most, most));
    }
    return out;
}

// Whether Qt's PDF writer writes the pen's width and pattern as they are (device units too).
bool writablePen(const QPen &pen, double scale)
{
    const double w = pen.widthF() * std::max(scale, 1.0);
    if (!(w <= writable) || !(std::abs(pen.dashOffset() * w) <= writable))
        return false;
    if (pen.style() != Qt::SolidLine)
        for (const qreal length : pen.dashPattern())
            if (!(std::abs(length * w) <= writable))
                return false;
    return true;
}

} // namespace

void stroke(QPainter &p, const QPainterPath &path, const QPen &given)
{
    const QTransform device = p.combinedTransform();
    const bool drawn = device.isInvertible() && !given.isCosmetic() && given.style() != Qt::NoPen;
    const QPen pen = drawn ? narrowed(given, path, device, reach(p)) : given;
    const bool wasNarrowed = pen.widthF() != given.widthF();
    const bool raster = rasterDevice(p) && drawn;
    const double scale = std::sqrt(std::abs(device.determinant()));
    // A pattern the PDF writer cannot write is laid here, as on a raster device.
    const bool layHere = raster || (drawn && !writablePen(pen, scale));
    const std::optional<QList<QPolygonF>> dashed =
        !layHere || pen.style() == Qt::SolidLine ? std::nullopt : dashes(path, device, pen);
    // Qt's own thin-pen stroker clips each line itself; a pen it draws that way keeps its look,
    // dashed as the thick ones are.
    if (!raster || !(pen.widthF() * scale > 1)) {
        if (rasterDevice(p))
            count(p, device.mapRect(path.controlPointRect()));
        if (!dashed) {
            p.strokePath(path, pen);
            return;
        }
        QPen solid = pen;
        solid.setStyle(Qt::SolidLine);
        p.strokePath(openLines(*dashed), solid);
        return;
    }
    QPainterPathStroker stroker(pen);
    // Offset curves within a sixteenth of a device pixel: at a quarter (Qt's own stroker keeps a
    // quarter of a point whatever the scale) an edge strays by up to half a pixel.
    stroker.setCurveThreshold(0.0625 / scale);
    const bool round = pen.joinStyle() == Qt::RoundJoin;
    if (wasNarrowed && round) {
        const QPainterPath covered = cover(dashed ? *dashed : flattened(path, device),
                                           pen.capStyle() == Qt::FlatCap, !dashed, device, visibleArea(p));
        outlined += covered.elementCount();
        fill(p, covered, pen.brush());
        return;
    }
    const Arcs arcs(pen.widthF(), device, visibleArea(p), wasNarrowed);
    if (!dashed && arcs.even) {
        const QPainterPath outline = stroker.createStroke(path);
        outlined += outline.elementCount();
        fill(p, outline, pen.brush());
        return;
    }
    // Each dash is stroked solid with the pen's cap; a round join is made here, as Qt's fills a
    // whole disc where a short piece turns or lines barely turn. Past even steps a solid pen's
    // joins, and any pen's round caps (Qt's are curves it flattens evenly), are made here too.
    const bool ownCaps = !arcs.even && pen.capStyle() == Qt::RoundCap;
    const QList<QPolygonF> lines = dashed ? *dashed : flattened(path, device);
    stroker.setDashPattern(Qt::SolidLine);
    if (round)
        stroker.setJoinStyle(Qt::BevelJoin);
    if (ownCaps)
        stroker.setCapStyle(Qt::FlatCap);
    QPainterPath outline = stroker.createStroke(openLines(lines));
    const double sense = round || ownCaps ? strokeSense(stroker) : 1;
    if (round)
        outline.addPath(roundJoins(lines, arcs, sense, !dashed));
    if (ownCaps)
        outline.addPath(capDiscs(lines, arcs, sense));
    outlined += outline.elementCount();
    fill(p, outline, pen.brush());
}

namespace {

// The picture's pixels of `part`, its edge pixels repeated past its edge: a brush of it samples
// them as a picture drawn clamped to its edge does, wherever in `part` a sample falls.
QImage padded(const QImage &image, const QRect &part)
{
    const QRect within = part.intersected(image.rect());
    if (within.isEmpty())
        return {};
    QImage piece = image.copy(within);
    if (piece.depth() != 32)
        piece = piece.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (within == part || piece.isNull())
        return piece;
    QImage out(part.size(), piece.format());
    if (out.isNull())
        return {};
    for (int y = 0; y < out.height(); ++y) {
        const int from = std::clamp(part.y() + y, within.top(), within.bottom()) - within.top();
        const auto *src = reinterpret_cast<const quint32 *>(piece.constScanLine(from));
        auto *dst = reinterpret_cast<quint32 *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            dst[x] = src[std::clamp(part.x() + x, within.left(), within.right()) - within.left()];
    }
    return out;
}

} // namespace

bool drawTurned(QPainter &p, const QPainterPath &mask, const QRectF &target, const QRectF &rect,
                const QImage &image)
{
    const QTransform device = p.combinedTransform();
    if (!rasterDevice(p) || device.type() < QTransform::TxRotate || !device.isInvertible() ||
        image.isNull() || rect.isEmpty())
        return false;
    const QTransform toDevice =
        QTransform(rect.width() / image.width(), 0, 0, rect.height() / image.height(), rect.x(), rect.y()) *
        device;
    if (!toDevice.isInvertible())
        return false;
    const QTransform fromDevice = toDevice.inverted();
    const QRect visible = visibleArea(p).intersected(toDevice.mapRect(QRectF(image.rect()))).toAlignedRect();
    // The picture and the reach of two device pixels past it, and of the filter.
    const QSizeF reach = fromDevice.mapRect(QRectF(0, 0, 2, 2)).size();
    const int padX = int(std::ceil(reach.width())) + 2, padY = int(std::ceil(reach.height())) + 2;
    const QRect padBounds = image.rect().adjusted(-padX, -padY, padX, padY);
    // Tiles on a grid of the picture's own place on the device: Qt samples a picture along each
    // span of a row from where the span starts, so the spans start at the same columns whatever
    // the band; each tile needs only the picture's pixels near it.
    constexpr int tile = 256;
    static_assert(tile % gridRows == 0);
    const QPointF origin = toDevice.map(QPointF(0, 0));
    const int gridX = int(std::floor(origin.x() / gridRows)) * gridRows;
    const int gridY = int(std::floor(origin.y() / gridRows)) * gridRows;
    const auto gridStart = [](int from, int grid) {
        return grid + int(std::floor(double(from - grid) / tile)) * tile;
    };
    p.save();
    p.setWorldTransform(QTransform());
    p.setWorldTransform(p.combinedTransform().inverted()); // device pixels from here
    for (int y = gridStart(visible.top(), gridY); y <= visible.bottom(); y += tile) {
        const QRect rowRect = QRect(visible.left(), y, visible.width(), tile).intersected(visible);
        // The row's cut is on the grid where it crosses a tile's side: split once per tile.
        const QList<QPolygonF> row = finePolygons(mask, &target, device, QRectF(rowRect), false);
        if (row.isEmpty())
            continue;
        for (int x = gridStart(visible.left(), gridX); x <= visible.right(); x += tile) {
            const QRect square = QRect(x, y, tile, tile).intersected(rowRect);
            const QRectF box(QPointF(square.topLeft()) * fine, QSizeF(square.size()) * fine);
            const QList<QPolygonF> pieces =
                square.isEmpty() ? QList<QPolygonF>() : cutPolygons(row, box, nullptr, true);
            if (pieces.isEmpty())
                continue;
            // Two device pixels round for the edge's smoothing, two picture pixels for its filter;
            // past the picture's edge its edge pixels, so that no sample of an edge pixel, however
            // far the picture is reduced, reaches the brush's far side, which it repeats.
            const QRect part = fromDevice.mapRect(QRectF(square).adjusted(-2, -2, 2, 2))
                                   .toAlignedRect()
                                   .adjusted(-2, -2, 2, 2)
                                   .intersected(padBounds);
            const QImage pixels = part.isEmpty() ? QImage() : padded(image, part);
            if (pixels.isNull())
                continue;
            QBrush brush(pixels);
            brush.setTransform(QTransform::fromTranslate(part.x(), part.y()) * toDevice);
            count(p, QRectF(square));
            // A tile wholly shown is filled as the rectangle it is: the same spans, no rasteriser.
            if (pieces.size() == 1 &&
                std::abs(area(pieces[0]) - box.width() * box.height()) < 1e-9 * box.width() * box.height())
                p.fillRect(square, brush);
            else
                p.fillPath(pathOf(pieces), brush);
        }
    }
    p.restore();
    return true;
}

qint64 askedPixels()
{
    return asked.load();
}

qint64 outlineElements()
{
    return outlined.load();
}

} // namespace LWRasterCut
