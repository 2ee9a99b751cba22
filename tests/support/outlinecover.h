#pragma once
// Where an outline covers a point, worked out from its geometry alone, as a PDF reader strokes a
// line with round joins: each piece covers the band `radius` to either side of it between its
// ends, each corner the pie slice of `radius` on its outer side, each end a half disc with round
// caps (butt caps add nothing).
#include <QImage>
#include <QLineF>
#include <QPolygonF>
#include <cmath>
#include <functional>

namespace LWOutlineCover {

inline bool covers(const QPolygonF &d, double radius, bool roundCaps, QPointF p)
{
    const auto dot = [](QPointF a, QPointF b) { return a.x() * b.x() + a.y() * b.y(); };
    const auto near = [&](QPointF c) { return QLineF(p, c).length() <= radius; };
    const qsizetype n = d.size();
    for (qsizetype i = 0; i + 1 < n; ++i) {
        const QPointF u = d[i + 1] - d[i], v = p - d[i];
        if (dot(v, u) >= 0 && dot(v, u) <= dot(u, u) &&
            std::abs(v.x() * u.y() - v.y() * u.x()) <= radius * std::sqrt(dot(u, u)))
            return true;
        if (i > 0 && dot(v, d[i] - d[i - 1]) >= 0 && dot(v, u) <= 0 && near(d[i])) // the corner at d[i]
            return true;
    }
    return roundCaps && n > 1 &&
           ((dot(p - d[0], d[1] - d[0]) <= 0 && near(d[0])) ||
            (dot(p - d[n - 1], d[n - 1] - d[n - 2]) >= 0 && near(d[n - 1])));
}

// Samples of a drawing, about 50 across and 60 down, each at the page point `toPage` gives its
// pixel: those within `area` that no edge of the outline comes within `margin` points of, and how
// many of them are not the outline's `ink` where it covers or white where not.
struct Tally {
    int seen = 0, wrong = 0;
};
inline Tally check(const QImage &image, const std::function<QPointF(QPointF)> &toPage, const QPolygonF &line,
                   double radius, bool roundCaps, double margin, QColor ink, const QRectF &area)
{
    Tally tally;
    for (int y = 0; y < image.height(); y += std::max(1, image.height() / 60))
        for (int x = 0; x < image.width(); x += std::max(1, image.width() / 50)) {
            const QPointF at = toPage(QPointF(x + 0.5, y + 0.5));
            const bool here = covers(line, radius, roundCaps, at);
            bool clear = area.contains(at);
            for (int k = 0; k < 8 && clear; ++k)
                clear = covers(line, radius, roundCaps, at + QLineF::fromPolar(margin, k * 45).p2()) == here;
            const QColor got = image.pixelColor(x, y), want = here ? ink : QColor(Qt::white);
            tally.seen += clear;
            tally.wrong +=
                clear && std::abs(got.red() - want.red()) + std::abs(got.blue() - want.blue()) > 24;
        }
    return tally;
}

} // namespace LWOutlineCover
