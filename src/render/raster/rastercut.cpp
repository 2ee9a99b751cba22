#include "render/raster/rastercut.h"
#include "render/raster/rastercutdetail.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <vector>

namespace LWRasterCut {

namespace {

// Curves are flattened at this many times the device's resolution: Qt flattens to half a unit.
constexpr double fine = 16;

// A path taller than this many device rows is cut: below it a band pays little for the whole.
constexpr double cutRows = 64;

std::atomic<qint64> asked{0};

} // namespace

namespace Detail {

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

} // namespace Detail

using namespace Detail;

namespace {

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

} // namespace LWRasterCut
