#include "render/raster/rastercut.h"
#include "render/raster/rastercutdetail.h"

#include <QLineF>
#include <QPainterPathStroker>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>

// Outlines for the band cut: dashes laid as PDF readers lay them, round joins and caps whose
// detail is bounded by what shows, and pens wider than all that shows drawn as what they cover.
namespace LWRasterCut {

using namespace Detail;

namespace {

std::atomic<qint64> outlined{0};

// A thousandth of a device pixel, in the path's units.
double nearOnDevice(const QTransform &device)
{
    return 1e-3 / std::sqrt(std::abs(device.determinant()));
}

// The subpaths as lines flattened to a 64th of a device pixel, points within a thousandth of a device pixel
// of the one before dropped; a closed subpath ends on its first point.
QList<QPolygonF> flattened(const QPainterPath &path, const QTransform &device)
{
    const QTransform fine = device * QTransform::fromScale(32, 32); // Qt flattens to half a unit
    const QTransform back = fine.inverted();
    const double near = nearOnDevice(device);
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
    const double near = nearOnDevice(device);
    QList<QPolygonF> out;
    for (const QPolygonF &line : flattened(path, device)) {
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
        const bool ring = closed && n > 2 && line.first() == line.last();
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

// What a round-joined pen wider than twice the span of the lines and `area` (a convex polygon)
// together covers there, a part for each line: its pieces' bands across and its corners' pie
// slices reach past every point, so it covers all of the area but, for a line with butt caps, the
// points that lie before each of its first k pieces and past each of the others (for some k), which
// the other pieces and corners leave out (taken out turned against the area). A line joined all
// round (`ring`s) or capped otherwise covers all of it. None past a few million cuts (a line of very
// many pieces that winds about what shows).
std::optional<QList<Cover>> cover(const QList<QPolygonF> &lines, bool butt, bool rings, const QPolygonF &area)
{
    QList<Cover> out;
    qint64 cuts = qint64(1) << 22; // a second's work at most
    for (const QPolygonF &line : lines)
        cuts += 64 * line.size();
    const double sense = twiceSignedArea(area) < 0 ? -1 : 1;
    for (const QPolygonF &line : lines) {
        Cover &part = out.emplaceBack();
        part.whole = 1;
        const qsizetype pieces = line.size() - 1;
        if (!butt || (rings && pieces > 1 && line.first() == line.last()))
            continue;
        for (qsizetype k = 0; k <= pieces; ++k) {
            QPolygonF left = area;
            const auto cut = [&](qsizetype i) {
                if (i < 0 || i >= pieces || left.size() < 3)
                    return;
                const QPointF along = line[i + 1] - line[i];
                left = clipped(left, i < k ? HalfPlane{line[i], -along} : HalfPlane{line[i + 1], along});
                --cuts;
            };
            // The pieces next to the k-th first, then ever farther ones (a curve's far side leaves
            // out what its near side does not), then all of them.
            for (qsizetype reach = 1; reach <= pieces && left.size() >= 3; reach *= 2)
                cut(k - reach), cut(k + reach - 1);
            for (qsizetype i = 0; i < pieces && left.size() >= 3 && cuts >= 0; ++i)
                cut(i);
            if (cuts < 0)
                return std::nullopt;
            if (left.size() < 3)
                continue;
            if (twiceSignedArea(left) * sense > 0)
                std::reverse(left.begin(), left.end()); // taken out of the area's winding
            part.pieces << left;
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
// within the clip (a PDF page) and a little past it, so that nothing drawn for it has an edge on
// the page's; empty when neither is known.
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
    return area.isEmpty() ? area : area.adjusted(-4, -4, 4, 4);
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

// A pen this many device pixels wide or wider is filled as the union of its outline's parts (see
// fillUnion()): a wide pen's dashes overlap across much of the page.
constexpr double unitedWidth = 256;

// The least a device unit's length a unit of the path's becomes, whichever way it runs.
double leastScale(const QTransform &t)
{
    const double sum = t.m11() * t.m11() + t.m12() * t.m12() + t.m21() * t.m21() + t.m22() * t.m22();
    const double det = t.m11() * t.m22() - t.m12() * t.m21();
    return std::sqrt(std::max(0.0, (sum - std::sqrt(std::max(0.0, sum * sum - 4 * det * det))) / 2));
}

// The union of outlines made here (the path's space) filled; where given a line for each, each
// also, where it covers what shows as cover() has it, as that cover.
void fillUnited(QPainter &p, const QList<QPainterPath> &outlines, const QList<QPolygonF> &lines, const QPen &pen,
                bool rings, const QRectF &shows)
{
    const QTransform device = p.combinedTransform();
    QPolygonF area = device.inverted().map(QPolygonF(shows.adjusted(-8, -8, 8, 8)));
    area.removeLast(); // QPolygonF(QRectF) closes itself
    const std::optional<QList<Cover>> covers = pen.joinStyle() == Qt::RoundJoin && lines.size() == outlines.size()
                                                   ? cover(lines, pen.capStyle() == Qt::FlatCap, rings, area)
                                                   : std::nullopt;
    const QTransform fine = device * QTransform::fromScale(16, 16), back = QTransform::fromScale(1.0 / 16, 1.0 / 16);
    const double reach = pen.widthF() / 2 * leastScale(device) * (1 - 1e-9);
    QList<Cover> parts;
    for (qsizetype i = 0; i < outlines.size(); ++i) {
        const QPainterPath &outline = outlines[i];
        outlined += outline.elementCount();
        Cover &part = parts.emplaceBack();
        for (const QPolygonF &polygon : outline.toSubpathPolygons(fine)) // curves flattened as the cut does
            part.pieces << back.map(polygon);
        if (!covers)
            continue;
        part.reach = reach;
        part.from = device.map(lines[i]).boundingRect();
        for (const QPolygonF &left : (*covers)[i].pieces) {
            QPolygonF out = device.map(left);
            if (twiceSignedArea(out) > 0) // taken out of the whole, however the device turns
                std::reverse(out.begin(), out.end());
            part.within << out;
        }
    }
    fillUnion(p, parts, shows, pen.brush());
}

} // namespace

void stroke(QPainter &p, const QPainterPath &path, const QPen &given)
{
    const QTransform device = p.combinedTransform();
    const bool drawn = device.isInvertible() && !given.isCosmetic() && given.style() != Qt::NoPen;
    const QRectF shows = drawn ? reach(p) : QRectF();
    const QPen pen = drawn ? narrowed(given, path, device, shows) : given;
    const bool raster = rasterDevice(p) && drawn, round = pen.joinStyle() == Qt::RoundJoin;
    const bool covering = pen.widthF() != given.widthF() && round;
    const double scale = std::sqrt(std::abs(device.determinant()));
    // A pattern the PDF writer cannot write is laid here, as on a raster device, and so is that
    // of a pen drawn as what it covers.
    // A round-joined pen this wide on a PDF page is filled as its outline made here: MuPDF, stroking
    // a pen wider than a curve it follows, leaves out where its outline overlaps itself.
    const bool filled = drawn && !raster && round && pen.widthF() * scale >= unitedWidth;
    const bool layHere = raster || covering || filled || (drawn && !writablePen(pen, scale));
    // What is laid here for a PDF page follows curves as a 288-DPI device would (a reader draws its
    // lines as they are): a curve's butt-ended pieces leave out less about its middle the finer.
    const QTransform lay = filled ? device * QTransform::fromScale(4, 4) : device;
    const std::optional<QList<QPolygonF>> dashed =
        !layHere || pen.style() == Qt::SolidLine ? std::nullopt : dashes(path, lay, pen);
    if (covering) {
        const QList<QPolygonF> lines = dashed ? *dashed : flattened(path, device);
        // On a raster device a little past the squares the union is filled in, so that no piece
        // has an edge along their sides.
        QPolygonF area = device.inverted().map(QPolygonF(raster ? shows.adjusted(-8, -8, 8, 8) : shows));
        area.removeLast(); // QPolygonF(QRectF) closes itself
        if (auto parts = cover(lines, pen.capStyle() == Qt::FlatCap, !dashed, area)) {
            if (!raster) {
                QPainterPath covered;
                covered.setFillRule(Qt::WindingFill);
                for (const Cover &part : *parts)
                    for (const QPolygonF &polygon : QList<QPolygonF>{area} + part.pieces)
                        covered.addPolygon(polygon), covered.closeSubpath();
                p.fillPath(covered, pen.brush()); // a PDF reader fills it at once
                return;
            }
            for (Cover &part : *parts) {
                outlined += 5;
                for (QPolygonF &piece : part.pieces) {
                    outlined += piece.size() + 1;
                    piece = device.map(piece);
                    if (twiceSignedArea(piece) > 0) // taken out of the whole, however the device turns
                        std::reverse(piece.begin(), piece.end());
                }
            }
            fillUnion(p, *parts, shows, pen.brush());
            return;
        }
    }
    // Qt's own thin-pen stroker clips each line itself; a pen it draws that way keeps its look,
    // dashed as the thick ones are.
    if ((!raster && !filled) || (raster && !(pen.widthF() * scale > 1))) {
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
    stroker.setCurveThreshold(0.0625 / std::sqrt(std::abs(lay.determinant())));
    const Arcs arcs(pen.widthF(), lay, filled ? QTransform::fromScale(4, 4).mapRect(shows) : shows,
                    pen.widthF() != given.widthF());
    const bool united = pen.widthF() * scale >= unitedWidth;
    const QList<QPolygonF> none; // a cover tried above and given up is not tried again
    if (!dashed && arcs.even) {
        if (filled) {
            p.fillPath(stroker.createStroke(path), pen.brush());
            return;
        }
        if (!united) {
            const QPainterPath outline = stroker.createStroke(path);
            outlined += outline.elementCount();
            fill(p, outline, pen.brush());
            return;
        }
        const QList<QPolygonF> lines = flattened(path, device);
        fillUnited(p, {stroker.createStroke(path)}, lines.size() == 1 && !covering ? lines : none, pen, true, shows);
        return;
    }
    // Each dash is stroked solid with the pen's cap; a round join is made here, as Qt's fills a
    // whole disc where a short piece turns or lines barely turn. Past even steps a solid pen's
    // joins, and any pen's round caps (Qt's are curves it flattens evenly), are made here too.
    const QList<QPolygonF> lines = dashed ? *dashed : flattened(path, lay);
    const bool ownCaps = !arcs.even && pen.capStyle() == Qt::RoundCap;
    stroker.setDashPattern(Qt::SolidLine);
    if (round)
        stroker.setJoinStyle(Qt::BevelJoin);
    if (ownCaps)
        stroker.setCapStyle(Qt::FlatCap);
    const double sense = round || ownCaps ? strokeSense(stroker) : 1;
    const auto outlineOf = [&](const QList<QPolygonF> &some) {
        QPainterPath outline = stroker.createStroke(openLines(some));
        if (round)
            outline.addPath(roundJoins(some, arcs, sense, !dashed));
        if (ownCaps)
            outline.addPath(capDiscs(some, arcs, sense));
        return outline;
    };
    if (filled) {
        p.fillPath(outlineOf(lines), pen.brush());
        return;
    }
    if (united) {
        QList<QPainterPath> outlines;
        for (const QPolygonF &line : lines)
            outlines << outlineOf({line});
        fillUnited(p, outlines, covering ? none : lines, pen, !dashed, shows);
        return;
    }
    const QPainterPath outline = outlineOf(lines);
    outlined += outline.elementCount();
    fill(p, outline, pen.brush());
}

qint64 outlineElements()
{
    return outlined.load();
}

} // namespace LWRasterCut
