// Snapping and resize handles of LWEditor.
#include "editor/editor.h"

#include "model/geometry.h"

#include <QtGlobal>
#include <array>
#include <cmath>
#include <optional>

namespace {

struct Match {
    double offset;
    double position;
};

// The nearest target within the threshold; on a tie the earlier candidate, then the earlier
// target, keeps it. The grid point is a last target of each candidate, never carried over;
// a grid step of 0 means no grid.
std::optional<Match> best(const std::array<double, 3> &candidates, const QList<double> &targets, double threshold,
                          double gridStep)
{
    // Until the first match the threshold itself counts; after it only a strictly nearer one.
    double limit = threshold;
    bool found = false;
    Match match{0, 0};
    const auto consider = [&](double c, double t) {
        const double distance = std::abs(t - c);
        if (distance < limit || (!found && distance == limit)) {
            limit = distance;
            found = true;
            match = {t - c, t};
        }
    };
    const double *data = targets.constData();
    const qsizetype n = targets.size();
    for (const double c : candidates) {
        for (qsizetype i = 0; i < n; ++i)
            consider(c, data[i]);
        if (gridStep > 0)
            consider(c, gridStep * std::round(c / gridStep));
    }
    return found ? std::optional(match) : std::nullopt;
}

void appendSpan(QList<double> &list, double lo, double mid, double hi)
{
    list.append(lo);
    list.append(mid);
    list.append(hi);
}

} // namespace

LWEditor::SnapTargets LWEditor::snapTargets(const QSet<QUuid> &excluding) const
{
    const double w = m_doc.width, h = m_doc.height, s = m_doc.safe;
    const QList<LWElement> &list = elements();
    SnapTargets out;
    const qsizetype size = 5 + m_doc.guides.size() + 3 * list.size();
    out.xs.reserve(size);
    out.ys.reserve(size);
    for (const double x : {0.0, w * 0.5, w, s, w - s})
        out.xs.append(x);
    for (const double y : {0.0, h * 0.5, h, s, h - s})
        out.ys.append(y);
    for (const LWGuide &g : m_doc.guides)
        (g.vertical ? out.xs : out.ys).append(g.position);
    for (const LWElement &e : list) {
        if (e.hidden || excluding.contains(e.id))
            continue;
        const LWRect b = LWGeometry::bounds(e);
        appendSpan(out.xs, b.minX(), b.midX(), b.maxX());
        appendSpan(out.ys, b.minY(), b.midY(), b.maxY());
    }
    return out;
}

LWEditor::SnapResult LWEditor::snap(const LWRect &rect, const QSet<QUuid> &excluding, double threshold) const
{
    SnapResult out;
    if (!m_snapping)
        return out;
    const SnapTargets targets = snapTargets(excluding);
    const double grid = m_showGrid ? gridStep() : 0;
    if (const auto x = best({rect.minX(), rect.midX(), rect.maxX()}, targets.xs, threshold, grid)) {
        out.offset.setX(x->offset);
        out.lines.append({true, x->position});
    }
    if (const auto y = best({rect.minY(), rect.midY(), rect.maxY()}, targets.ys, threshold, grid)) {
        out.offset.setY(y->offset);
        out.lines.append({false, y->position});
    }
    return out;
}

QPointF LWEditor::handlePoint(int handle, const LWRect &r)
{
    static constexpr int xs[8] = {0, 1, 2, 2, 2, 1, 0, 0}; // 0 min, 1 mid, 2 max
    static constexpr int ys[8] = {0, 0, 0, 1, 2, 2, 2, 1};
    Q_ASSERT(handle >= 0 && handle < 8);
    if (handle < 0 || handle >= 8)
        return r.center();
    const double x[3] = {r.minX(), r.midX(), r.maxX()};
    const double y[3] = {r.minY(), r.midY(), r.maxY()};
    return {x[xs[handle]], y[ys[handle]]};
}

LWRect LWEditor::resized(const LWElement &el, int handle, QPointF to, bool keepAspect, double minSize)
{
    Q_ASSERT(handle >= 0 && handle < 8);
    const LWRect &f = el.frame;
    const QPointF p = LWGeometry::unrotate(to, el);
    // A pointer off the page's number line (a zero zoom) must not write NaN into the design.
    if (handle < 0 || handle >= 8 || !std::isfinite(p.x()) || !std::isfinite(p.y()))
        return f;

    const bool left = handle == 0 || handle == 6 || handle == 7;
    const bool right = handle >= 2 && handle <= 4;
    const bool top = handle <= 2;
    const bool bottom = handle >= 4 && handle <= 6;
    double x0 = f.minX(), x1 = f.maxX(), y0 = f.minY(), y1 = f.maxY();
    if (left)
        x0 = std::min(p.x(), x1 - minSize);
    if (right)
        x1 = std::max(p.x(), x0 + minSize);
    if (top)
        y0 = std::min(p.y(), y1 - minSize);
    if (bottom)
        y1 = std::max(p.y(), y0 + minSize);
    LWRect out(x0, y0, x1 - x0, y1 - y0);

    // The largest rectangle of the old proportions inside the dragged one, held at the opposite
    // corner. The minimum is deliberately not applied again.
    const bool corner = handle % 2 == 0;
    if (keepAspect && corner && f.width() > 0 && f.height() > 0) {
        const double a = f.width() / f.height();
        if (out.w / out.h > a)
            out.w = out.h * a;
        else
            out.h = out.w / a;
        out.x = left ? x1 - out.w : x0;
        out.y = top ? y1 - out.h : y0;
    }

    if (el.rotation != 0) {
        const int anchor = (handle + 4) % 8;
        const QPointF before = LWGeometry::rotation(el).map(handlePoint(anchor, f));
        LWElement moved = el;
        moved.frame = out;
        const QPointF after = LWGeometry::rotation(moved).map(handlePoint(anchor, out));
        out = out.offsetBy(before.x() - after.x(), before.y() - after.y());
    }
    return out;
}

LWElement LWEditor::lineElement(const LWElement &e, QPointF a, QPointF b)
{
    LWElement line = LWElement::makeLine(a, b, e.stroke.value_or(LWStroke(LWColor::black, 1, 0)));
    line.id = e.id;
    line.name = e.name;
    line.opacity = e.opacity;
    line.locked = e.locked;
    line.hidden = e.hidden;
    return line;
}
