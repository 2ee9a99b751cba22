#pragma once
// Where an outline covers a point, worked out from its geometry alone, as a PDF reader strokes it:
// each piece of a line covers the band `radius` to either side of it between its ends, each corner
// of a line the pie slice of `radius` on its outer side (a round join), each end of a line with
// round caps a half disc (butt caps add nothing).
#include <QPolygonF>
#include <cmath>
#include <optional>

namespace LWOutlineCover
{

inline double dot(QPointF a, QPointF b)
{
    return a.x() * b.x() + a.y() * b.y();
}

// The line's first `length` points of its way.
inline QPolygonF upTo(const QPolygonF &line, double length)
{
    QPolygonF out{line.value(0)};
    for (qsizetype i = 1; i < line.size() && length > 0; ++i) {
        const double piece = std::hypot(line[i].x() - line[i - 1].x(), line[i].y() - line[i - 1].y());
        out << line[i - 1] + (line[i] - line[i - 1]) * std::min(1.0, length / piece);
        length -= piece;
    }
    return out;
}

inline bool covers(const QList<QPolygonF> &lines, double radius, bool roundCaps, QPointF p)
{
    for (const QPolygonF &d : lines) {
        const qsizetype n = d.size();
        for (qsizetype i = 0; i + 1 < n; ++i) {
            const QPointF along = d[i + 1] - d[i], v = p - d[i];
            const double length = std::hypot(along.x(), along.y()), t = dot(v, along) / length;
            if (t >= 0 && t <= length && std::abs(v.x() * along.y() - v.y() * along.x()) / length <= radius)
                return true;
        }
        for (qsizetype j = 1; j + 1 < n; ++j)
            if (dot(p - d[j], d[j] - d[j - 1]) >= 0 && dot(p - d[j], d[j + 1] - d[j]) <= 0 &&
                std::hypot(p.x() - d[j].x(), p.y() - d[j].y()) <= radius)
                return true;
        if (roundCaps && n > 1 &&
            ((dot(p - d[0], d[1] - d[0]) <= 0 && std::hypot(p.x() - d[0].x(), p.y() - d[0].y()) <= radius) ||
             (dot(p - d[n - 1], d[n - 1] - d[n - 2]) >= 0 &&
              std::hypot(p.x() - d[n - 1].x(), p.y() - d[n - 1].y()) <= radius)))
            return true;
    }
    return false;
}

// Whether every point within `margin` of p is covered alike, and which way; none near an edge.
inline std::optional<bool> coversClearly(const QList<QPolygonF> &lines, double radius, bool roundCaps,
                                         QPointF p, double margin)
{
    const bool here = covers(lines, radius, roundCaps, p);
    for (int k = 0; k < 8; ++k)
        if (covers(lines, radius, roundCaps,
                   p + QPointF(std::cos(k * M_PI / 4), std::sin(k * M_PI / 4)) * margin) != here)
            return std::nullopt;
    return here;
}

} // namespace LWOutlineCover
