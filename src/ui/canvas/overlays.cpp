#include "ui/canvas/overlays.h"

#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "model/geometry.h"
#include "ui/canvas/gestures.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// Traced from the top-left corner to the right, so a dash pattern starts in that corner.
QPainterPath rectPath(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

QPen dashed(const QColor &colour, double on, double off)
{
    QPen pen = VKPaint::dashedPen(colour, 1, on, off);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    return pen;
}

QColor accent()
{
    return QColor::fromRgbF(0.18f, 0.6f, 1.0f);
}

// Page points to view points.
struct ToView {
    double b, s;
    QPointF operator()(QPointF p) const { return {(p.x() + b) * s, (p.y() + b) * s}; }
    QRectF operator()(const LWRect &r) const
    {
        return {(r.minX() + b) * s, (r.minY() + b) * s, r.width() * s, r.height() * s};
    }
};

// A line of the view at `position`, unless it misses the painted area.
void lineAcross(QPainter &p, bool vertical, double position, QSizeF view, const QRectF &area)
{
    const double low = vertical ? area.left() : area.top(), high = vertical ? area.right() : area.bottom();
    if (!(position >= low - 1 && position <= high + 1))
        return;
    if (vertical)
        p.drawLine(QPointF(position, 0), QPointF(position, view.height()));
    else
        p.drawLine(QPointF(0, position), QPointF(view.width(), position));
}

// A selection line over a thin white edge on each side, so that it shows on any colour, the
// accent's own blue included.
void edged(QPainter &p, const QPainterPath &path, const QColor &colour, double width)
{
    p.strokePath(path, QPen(QColor(255, 255, 255, 220), width + 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.strokePath(path, QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

QPainterPath segment(QPointF a, QPointF b)
{
    QPainterPath path(a);
    path.lineTo(b);
    return path;
}

void handle(QPainter &p, QPointF at)
{
    const QPainterPath square = VKPaint::roundedRect(QRectF(at - QPointF(4.5, 4.5), QSizeF(9, 9)), 2);
    p.fillPath(square, Qt::white);
    p.strokePath(square, QPen(accent(), 1.5));
}

void region(QPainter &p, const QRectF &r)
{
    QColor fill = accent();
    fill.setAlphaF(0.12f);
    p.fillRect(r, fill);
    p.strokePath(rectPath(r), dashed(accent(), 4, 3));
}

} // namespace

void paintGuides(QPainter &p, const LWEditor &editor, double s, QSizeF view, QRectF area)
{
    const LWDocument &doc = editor.doc();
    const ToView v{doc.bleed, s};
    const QRectF whole(QPointF(0, 0), view), trim = v(doc.trimRect());
    area = area.isEmpty() ? whole : area.intersected(whole);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath band;
    band.setFillRule(Qt::OddEvenFill);
    band.addRect(whole);
    band.addRect(trim);
    p.fillPath(band, editor.showBleed() ? QColor::fromRgbF(1, 1, 1, 0.28f) : QColor::fromRgbF(0.16f, 0.16f, 0.16f));
    if (editor.showBleed())
        p.strokePath(rectPath(whole.adjusted(0.5, 0.5, -0.5, -0.5)), dashed(QColor::fromRgbF(0.92f, 0.2f, 0.2f), 5, 3));

    if (editor.showGrid()) {
        const double g = editor.gridStep() * s;
        QColor cyan = LWStyle::cyan();
        cyan.setAlphaF(0.22f);
        p.setPen(QPen(cyan, 0.5));
        // Each axis from the first line at or after the area's start (less a pixel, for the pen)
        // to the last before its end or the trim's: the lines are trim.left() + k g, k >= 1.
        const auto lines = [g](double from, double to, double low, double high, const auto &draw) {
            if (!(g > 0) || !std::isfinite(g))
                return;
            const double first = std::max(1.0, std::ceil((low - 1 - from) / g));
            for (double k = first;; ++k) {
                const double at = from + k * g;
                if (!(at < to) || at > high + 1)
                    break;
                draw(at);
            }
        };
        lines(trim.left(), trim.right(), area.left(), area.right(),
              [&](double x) { p.drawLine(QPointF(x, trim.top()), QPointF(x, trim.bottom())); });
        lines(trim.top(), trim.bottom(), area.top(), area.bottom(),
              [&](double y) { p.drawLine(QPointF(trim.left(), y), QPointF(trim.right(), y)); });
    }
    if (editor.showTrim())
        p.strokePath(rectPath(trim), QPen(QColor::fromRgbF(0, 0, 0, 0.75f), 1));
    if (editor.showSafe() && !doc.safeRect().isNull())
        p.strokePath(rectPath(v(doc.safeRect())), dashed(QColor::fromRgbF(0.1f, 0.7f, 0.35f), 4, 3));

    p.setPen(QPen(QColor::fromRgbF(0, 0.8f, 0.95f), 1));
    for (const LWGuide &g : doc.guides)
        lineAcross(p, g.vertical, (g.position + doc.bleed) * s, view, area);
    p.setPen(QPen(QColor::fromRgbF(1, 0.2f, 0.75f), 1));
    for (const LWSnapLine &line : editor.snapLines())
        lineAcross(p, line.vertical, (line.position + doc.bleed) * s, view, area);
    p.restore();
}

void paintSelection(QPainter &p, const LWEditor &editor, double s, const std::optional<LWRect> &marquee,
                    const std::optional<LWRect> &creating)
{
    const ToView v{editor.doc().bleed, s};
    const bool single = editor.selection().size() == 1;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (const LWElement &e : editor.selected()) {
        if (e.isLine()) {
            const auto ends = e.lineEnds();
            edged(p, segment(v(ends.first), v(ends.second)), accent(), 1);
            if (single) {
                handle(p, v(ends.first));
                handle(p, v(ends.second));
            }
            continue;
        }
        const std::array<QPointF, 4> corners = LWGeometry::corners(e);
        if (e.locked)
            VKSymbols::paint(p, VKSymbols::lockFill, QRectF(v(corners[1]) + QPointF(3, -13), QSizeF(10, 10)),
                             LWStyle::orange());
        if (editor.editingTextID() == e.id)
            continue; // the inline editor's dashed border marks it; nothing lies over the words
        QPainterPath outline;
        outline.moveTo(v(corners[0]));
        for (int i = 1; i < 4; ++i)
            outline.lineTo(v(corners[size_t(i)]));
        outline.closeSubpath();
        edged(p, outline, e.locked ? LWStyle::orange() : accent(), 1.2);
        if (single && !e.locked) {
            if (e.kind != LWElementKind::group) {
                const QPointF top = LWGeometry::rotation(e).map(QPointF(e.frame.midX(), e.frame.minY()));
                const QPointF knob = v(CanvasGestures::rotateHandle(e, s));
                edged(p, segment(v(top), knob), accent(), 1);
                QPainterPath circle;
                circle.addEllipse(knob, 5, 5);
                p.fillPath(circle, Qt::white);
                p.strokePath(circle, QPen(accent(), 1.5));
            }
            for (QPointF point : CanvasGestures::handlePoints(e))
                handle(p, v(point));
        }
    }
    if (marquee)
        region(p, v(*marquee));
    if (creating)
        region(p, v(*creating));
    p.restore();
}
