#include "render/raster/rastercut.h"
#include "render/raster/rastercutdetail.h"

#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

// The union of many overlapping pieces, filled a square at a time. Qt's rasteriser keeps a fill's
// cells (a pixel an edge passes through) in a small pool: past it, it renders the fill in bands,
// walking every edge across each band, so a fill's cost grows as the square of its cells, and
// dozens of page-sized pieces filled at once cost it seconds. Here a square that no edge crosses
// is filled as the rectangle it is, or left out, and the rest are halved until what crosses each
// has few cells; each is then filled with its pieces cut to it, a few squares a fill. The squares
// are on the cut's grid, so their cut edges are vertices every cut of the page has, and pixels are
// drawn as one fill of all the pieces draws them.
namespace LWRasterCut::Detail {

namespace {

std::atomic<qint64> unionFilled{0};

// A part still crossing a square: the whole square counted `base` times, and its pieces cut to it;
// and the part it stands for while its other form may serve.
struct Active {
    int base = 0;
    std::vector<QPolygonF> crossing;
    const Cover *other = nullptr;
};

// The farthest a point of `r` lies from a point of `from`, or a little more.
double farthest(const QRectF &r, const QRectF &from)
{
    return std::hypot(std::max(r.right() - from.left(), from.right() - r.left()),
                      std::max(r.bottom() - from.top(), from.bottom() - r.top()));
}

// The part of a polygon on one side of an upright (`across`: x = at) or level line, the cut's
// points exactly on it; turned as it was.
QPolygonF clippedAt(const QPolygonF &in, bool across, double at, bool below)
{
    QPolygonF out;
    const qsizetype n = in.size();
    if (n < 3)
        return out;
    out.reserve(n + 2);
    const auto side = [&](QPointF p) {
        const double v = across ? p.x() : p.y();
        return below ? at - v : v - at;
    };
    QPointF prev = in[n - 1];
    double prevSide = side(prev);
    for (const QPointF &cur : in) {
        const double curSide = side(cur);
        if ((curSide >= 0) != (prevSide >= 0)) {
            const QPointF hit = prev + (cur - prev) * (prevSide / (prevSide - curSide));
            out << (across ? QPointF(at, hit.y()) : QPointF(hit.x(), at));
        }
        if (curSide >= 0)
            out << cur;
        prev = cur, prevSide = curSide;
    }
    return out;
}

// Cut to the side `side` of `r` (0 left, 1 right, 2 top, 3 bottom).
QPolygonF clippedTo(const QPolygonF &in, const QRectF &r, int side)
{
    const double at = side == 0 ? r.left() : side == 1 ? r.right() : side == 2 ? r.top() : r.bottom();
    return clippedAt(in, side < 2, at, side % 2 == 1);
}

// Whether every edge of a polygon runs along the square's sides: then it covers the square
// evenly, its area's share of the square's times.
bool alongSides(const QPolygonF &polygon, const QRectF &r)
{
    for (qsizetype i = 0, n = polygon.size(); i < n; ++i) {
        const QPointF a = polygon[i], b = polygon[(i + 1) % n];
        if (!((a.x() == b.x() && (a.x() == r.left() || a.x() == r.right())) ||
              (a.y() == b.y() && (a.y() == r.top() || a.y() == r.bottom()))))
            return false;
    }
    return true;
}

// About how many cells Qt's rasteriser makes of a polygon: a cell a pixel an edge passes through.
double cells(const QPolygonF &polygon)
{
    double out = 0;
    for (qsizetype i = 0, n = polygon.size(); i < n; ++i) {
        const QPointF d = polygon[(i + 1) % n] - polygon[i];
        if (d.y() != 0) // a level edge makes none
            out += std::abs(d.x()) + std::abs(d.y()) + 1;
    }
    return out;
}

QPolygonF square(const QRectF &r, int sense)
{
    QPolygonF out{r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    if (sense < 0)
        std::reverse(out.begin(), out.end());
    return out;
}

struct Tiler {
    QPainter &p;
    const QBrush &brush;
    QPainterPath pending;
    double pendingCells = 0;

    // Cells Qt's rasteriser takes in one pass.
    static constexpr double fewCells = 256;

    void flush()
    {
        if (pending.isEmpty())
            return;
        count(p, pending.controlPointRect()); // cut to what shows and on the grid already
        p.fillPath(pending, brush);
        pending = QPainterPath();
        pending.setFillRule(Qt::WindingFill);
        pendingCells = 0;
    }

    // The parts, each cut to `r` already but for its side `side` (-1 none).
    void tile(const QRectF &r, std::vector<Active> &&parts, int side)
    {
        const double twiceArea = 2 * r.width() * r.height();
        std::vector<Active> kept;
        double load = 0;
        for (Active &part : parts) {
            Active next{part.base, {}, part.other};
            int from = side, to = side; // the sides to cut to
            if (part.other && farthest(r, part.other->from) <= part.other->reach) {
                next = {1, {}, nullptr}; // the whole less its pieces here
                part.crossing.assign(part.other->within.begin(), part.other->within.end());
                from = 0, to = 3;
            }
            for (QPolygonF &piece : part.crossing) {
                for (int k = std::max(from, 0); k <= to && piece.size() >= 3; ++k)
                    piece = clippedTo(piece, r, k);
                if (piece.size() < 3)
                    continue;
                if (alongSides(piece, r))
                    next.base += int(std::lround(twiceSignedArea(piece) / twiceArea));
                else
                    next.crossing.push_back(std::move(piece));
            }
            if (next.crossing.empty()) {
                if (next.base != 0) { // no part covers less than nothing: the square is covered
                    count(p, r);
                    p.fillRect(r, brush);
                    return;
                }
                continue;
            }
            load += std::abs(next.base) * 2 * r.height();
            for (const QPolygonF &piece : next.crossing)
                load += cells(piece);
            kept.push_back(std::move(next));
        }
        if (kept.empty())
            return;
        const bool wide = r.width() >= r.height();
        const double from = wide ? r.left() : r.top(), length = wide ? r.width() : r.height();
        const double middle = from + std::round(length / 2 / gridRows) * gridRows; // halves on the grid
        if (load <= fewCells || !(middle > from && middle < from + length)) {
            if (pendingCells + load > fewCells)
                flush();
            for (const Active &part : kept) {
                for (int k = 0; k < std::abs(part.base); ++k)
                    pending.addPolygon(square(r, part.base)), pending.closeSubpath();
                for (const QPolygonF &piece : part.crossing)
                    pending.addPolygon(splitOnGrid(piece, gridRows)), pending.closeSubpath();
            }
            pendingCells += load;
            return;
        }
        const QRectF first = wide ? QRectF(r.topLeft(), QPointF(middle, r.bottom()))
                                  : QRectF(r.topLeft(), QPointF(r.right(), middle));
        const QRectF second = wide ? QRectF(QPointF(middle, r.top()), r.bottomRight())
                                   : QRectF(QPointF(r.left(), middle), r.bottomRight());
        std::vector<Active> copy = kept;
        tile(first, std::move(kept), wide ? 1 : 3);
        tile(second, std::move(copy), wide ? 0 : 2);
    }
};

} // namespace

void fillUnion(QPainter &p, const QList<Cover> &parts, const QRectF &area, const QBrush &brush)
{
    if (area.isEmpty())
        return;
    ++unionFilled;
    p.save();
    p.setWorldTransform(QTransform());
    p.setWorldTransform(p.combinedTransform().inverted()); // device pixels from here
    Tiler tiler{p, brush, QPainterPath()};
    tiler.pending.setFillRule(Qt::WindingFill);
    std::vector<Active> active;
    for (const Cover &part : parts) {
        Active a{part.whole, {}, part.reach >= 0 ? &part : nullptr};
        for (const QPolygonF &piece : part.pieces) {
            QPolygonF in = piece;
            for (int side = 0; side < 4 && in.size() >= 3; ++side)
                in = clippedTo(in, area, side);
            if (in.size() >= 3)
                a.crossing.push_back(std::move(in));
        }
        active.push_back(std::move(a));
    }
    tiler.tile(area, std::move(active), -1);
    tiler.flush();
    p.restore();
}

} // namespace LWRasterCut::Detail

qint64 LWRasterCut::unionFills()
{
    return Detail::unionFilled.load();
}
