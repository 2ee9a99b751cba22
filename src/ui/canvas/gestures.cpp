#include "ui/canvas/gestures.h"

#include "model/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

bool shiftIn(Qt::KeyboardModifiers modifiers)
{
    return modifiers.testFlag(Qt::ShiftModifier);
}

double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

// Closed overlap, so a horizontal line's flat bounds still meet a marquee across it.
bool meets(const LWRect &a, const LWRect &b)
{
    return a.minX() <= b.maxX() && b.minX() <= a.maxX() && a.minY() <= b.maxY() && b.minY() <= a.maxY();
}

} // namespace

QPointF CanvasGestures::toView(QPointF page) const
{
    const double b = m_editor.doc().bleed;
    return {(page.x() + b) * m_scale, (page.y() + b) * m_scale};
}

QPointF CanvasGestures::toPage(QPointF view) const
{
    const double b = m_editor.doc().bleed;
    return {view.x() / m_scale - b, view.y() / m_scale - b};
}

std::array<QPointF, 8> CanvasGestures::handlePoints(const LWElement &element)
{
    const QTransform turn = LWGeometry::rotation(element);
    std::array<QPointF, 8> points;
    for (int i = 0; i < 8; ++i)
        points[size_t(i)] = turn.map(LWEditor::handlePoint(i, element.frame));
    return points;
}

QPointF CanvasGestures::rotateHandle(const LWElement &element, double scale)
{
    return LWGeometry::rotation(element).map(QPointF(element.frame.midX(), element.frame.minY() - knobOffset / scale));
}

LWRect CanvasGestures::spanned(QPointF from, QPointF to, bool square)
{
    if (!square)
        return LWGeometry::rect(from, to, false);
    const QPointF d = to - from;
    const double side = std::min(std::abs(d.x()), std::abs(d.y()));
    return LWGeometry::rect(from, from + QPointF(d.x() < 0 ? -side : side, d.y() < 0 ? -side : side), false);
}

bool CanvasGestures::smallPage(const LWDocument &doc)
{
    return doc.kind == LWDocKind::businessCard || std::min(doc.width, doc.height) < 300;
}

CanvasGestures::Drag CanvasGestures::begin(QPointF p, bool shift)
{
    Drag drag;
    drag.start = p;
    drag.restores = m_editor.restores();
    if (m_editor.tool() != LWTool::select) {
        drag.mode = Mode::create;
        return drag;
    }
    // The text being typed into shows no handles, so none can be grabbed.
    if (const std::optional<LWElement> one = m_editor.single();
        one && !one->locked && m_editor.editingTextID() != one->id) {
        const double t = handleReach / m_scale;
        auto near = [&](QPointF q) { return length(p - q) <= t; };
        drag.element = *one;
        if (one->isLine()) {
            const auto [a, b] = one->lineEnds();
            if (near(a) || near(b)) {
                drag.mode = Mode::lineEnd;
                drag.handle = near(a) ? 0 : 1;
                return drag;
            }
        } else {
            if (one->kind != LWElementKind::group && near(rotateHandle(*one))) {
                drag.mode = Mode::rotate;
                return drag;
            }
            const std::array<QPointF, 8> handles = handlePoints(*one);
            for (int i = 0; i < 8; ++i) {
                if (near(handles[size_t(i)])) {
                    drag.mode = Mode::resize;
                    drag.handle = i;
                    return drag;
                }
            }
        }
        drag.element.reset();
    }
    const QList<LWGuide> &guides = m_editor.doc().guides;
    for (auto g = guides.crbegin(); g != guides.crend(); ++g) {
        if (std::abs(g->position - (g->vertical ? p.x() : p.y())) <= guideReach / m_scale) {
            drag.mode = Mode::guide;
            drag.guide = g->id;
            return drag;
        }
    }
    const std::optional<LWElement> hit = m_editor.hitTest(p, itemReach / m_scale, false);
    if (!hit) {
        if (!shift)
            m_editor.setSelection({});
        m_editor.setEditingTextID(std::nullopt);
        drag.mode = Mode::marquee;
        return drag;
    }
    if (m_editor.editingTextID() && *m_editor.editingTextID() != hit->id)
        m_editor.setEditingTextID(std::nullopt);
    QList<QUuid> selection = m_editor.selection();
    if (shift) {
        if (selection.contains(hit->id))
            selection.removeAll(hit->id);
        else
            selection.append(hit->id);
        m_editor.setSelection(selection);
        drag.mode = Mode::none;
        return drag;
    }
    if (!selection.contains(hit->id))
        m_editor.setSelection({hit->id});
    drag.mode = Mode::move;
    for (const LWElement &e : m_editor.selected()) {
        if (!e.locked)
            drag.moved.append(e);
    }
    return drag;
}

bool CanvasGestures::startOnce(bool moved)
{
    if (!moved || m_drag->began)
        return m_drag->began;
    m_editor.beginInteraction();
    m_drag->began = true;
    return true;
}

void CanvasGestures::dropStaleDrag()
{
    if (!m_drag || m_drag->restores == m_editor.restores() || m_drag->mode == Mode::none)
        return;
    m_drag->mode = Mode::none;
    m_drag->began = false;
    m_marquee.reset();
    m_creating.reset();
    m_editor.setSnapLines({});
}

void CanvasGestures::liveElement(const QUuid &id, const std::function<void(LWElement &)> &body)
{
    const int index = m_editor.pageIndex();
    m_editor.liveUpdate([&](LWDocument &doc) {
        if (index < 0 || index >= doc.pages.size())
            return;
        for (LWElement &e : doc.pages[index].elements) {
            if (e.id == id)
                body(e);
        }
    });
}

void CanvasGestures::changed(QPointF start, QPointF current, Qt::KeyboardModifiers modifiers)
{
    const bool shift = shiftIn(modifiers);
    if (!m_drag) {
        m_drag = begin(toPage(start), shift);
        m_editor.setPressing(true);
    }
    dropStaleDrag();
    const bool moved = length(current - start) > dragThreshold;
    const QPointF p = toPage(current);
    const Drag &drag = *m_drag;
    switch (drag.mode) {
    case Mode::move: {
        if (drag.moved.isEmpty() || !startOnce(moved))
            return;
        QPointF d = p - drag.start;
        if (shift)
            d = std::abs(d.x()) > std::abs(d.y()) ? QPointF(d.x(), 0) : QPointF(0, d.y());
        QList<LWRect> boxes;
        QSet<QUuid> ids;
        for (const LWElement &e : drag.moved) {
            boxes.append(LWGeometry::bounds(e).offsetBy(d.x(), d.y()));
            ids.insert(e.id);
        }
        const LWEditor::SnapResult snap = m_editor.snap(LWGeometry::unionOf(boxes), ids, snapReach / m_scale);
        d += snap.offset;
        m_editor.setSnapLines(snap.lines);
        QHash<QUuid, qsizetype> at;
        for (qsizetype i = 0; i < drag.moved.size(); ++i)
            at.insert(drag.moved[i].id, i);
        const int index = m_editor.pageIndex();
        m_editor.liveUpdate([&](LWDocument &doc) {
            if (index < 0 || index >= doc.pages.size())
                return;
            for (LWElement &e : doc.pages[index].elements) {
                if (const auto found = at.constFind(e.id); found != at.cend()) {
                    e = drag.moved[*found];
                    e.offset(d.x(), d.y());
                }
            }
        });
        return;
    }
    case Mode::resize: {
        if (!startOnce(moved))
            return;
        const LWElement &e = *drag.element;
        QPointF q = p;
        if (e.rotation == 0) {
            const LWEditor::SnapResult snap = m_editor.snap(LWRect(p.x(), p.y(), 0, 0), {e.id}, snapReach / m_scale);
            q += snap.offset;
            m_editor.setSnapLines(snap.lines);
        }
        const bool keepAspect = shift || e.kind == LWElementKind::image;
        const LWRect frame = LWEditor::resized(e, drag.handle, q, keepAspect);
        liveElement(e.id, [&](LWElement &now) {
            now = e;
            now.setFrame(frame);
        });
        return;
    }
    case Mode::rotate: {
        if (!startOnce(moved))
            return;
        const LWElement &e = *drag.element;
        const QPointF c = e.frame.center();
        double angle = std::atan2(p.y() - c.y(), p.x() - c.x()) * 180 / std::numbers::pi + 90;
        if (shift)
            angle = std::round(angle / 15) * 15;
        while (angle > 180)
            angle -= 360;
        while (angle <= -180)
            angle += 360;
        liveElement(e.id, [angle](LWElement &now) { now.rotation = angle; });
        return;
    }
    case Mode::lineEnd: {
        if (!startOnce(moved))
            return;
        const LWElement &e = *drag.element;
        auto [a, b] = e.lineEnds();
        const QPointF other = drag.handle == 0 ? b : a;
        const QPointF q = shift ? LWGeometry::constrain45(other, p) : p;
        (drag.handle == 0 ? a : b) = q;
        const LWElement line = LWEditor::lineElement(e, a, b);
        liveElement(e.id, [&line](LWElement &now) { now = line; });
        return;
    }
    case Mode::guide: {
        if (!startOnce(moved))
            return;
        const QUuid id = drag.guide;
        m_editor.liveUpdate([&](LWDocument &doc) {
            for (LWGuide &g : doc.guides) {
                if (g.id == id)
                    g.position = g.vertical ? p.x() : p.y();
            }
        });
        return;
    }
    case Mode::create:
        m_creating = m_editor.tool() == LWTool::line ? LWGeometry::rect(drag.start, p, false)
                                                     : spanned(drag.start, p, shift);
        return;
    case Mode::marquee:
        m_marquee = LWGeometry::rect(drag.start, p, false);
        return;
    case Mode::none:
        return;
    }
}

void CanvasGestures::finish(QPointF p, bool shift)
{
    const Drag &drag = *m_drag;
    switch (drag.mode) {
    case Mode::create:
        create(drag.start, p, shift ? Qt::ShiftModifier : Qt::NoModifier);
        return;
    case Mode::resize:
        if (drag.began && drag.element->kind == LWElementKind::text)
            liveElement(drag.element->id, [](LWElement &now) { LWEditor::growToFit(now); });
        return;
    case Mode::guide: {
        if (!drag.began)
            return;
        const LWDocument &doc = m_editor.doc();
        const auto g = std::find_if(doc.guides.cbegin(), doc.guides.cend(),
                                    [&](const LWGuide &x) { return x.id == drag.guide; });
        if (g == doc.guides.cend())
            return;
        const double limit = g->vertical ? doc.width : doc.height;
        if (g->position < -doc.bleed || g->position > limit + doc.bleed) {
            const QUuid id = drag.guide;
            m_editor.liveUpdate([id](LWDocument &d) {
                d.guides.removeIf([id](const LWGuide &x) { return x.id == id; });
            });
        }
        return;
    }
    case Mode::marquee: {
        if (!m_marquee || (m_marquee->width() <= 2 && m_marquee->height() <= 2))
            return;
        // The previous selection keeps its order; new hits follow back to front.
        QList<QUuid> selection = shift ? m_editor.selection() : QList<QUuid>();
        for (const LWElement &e : m_editor.elements()) {
            if (!e.locked && !e.hidden && meets(LWGeometry::bounds(e), *m_marquee) && !selection.contains(e.id))
                selection.append(e.id);
        }
        m_editor.setSelection(selection);
        return;
    }
    case Mode::move:
    case Mode::rotate:
    case Mode::lineEnd:
    case Mode::none:
        return;
    }
}

void CanvasGestures::ended(QPointF start, QPointF current, Qt::KeyboardModifiers modifiers)
{
    Q_UNUSED(start);
    if (!m_drag)
        return;
    dropStaleDrag();
    finish(toPage(current), shiftIn(modifiers));
    if (m_drag->began)
        m_editor.endInteraction();
    m_drag.reset();
    m_marquee.reset();
    m_creating.reset();
    m_editor.setSnapLines({});
    m_editor.setPressing(false);
}

void CanvasGestures::create(QPointF a, QPointF b, Qt::KeyboardModifiers modifiers)
{
    const LWTool tool = m_editor.tool();
    if (tool == LWTool::select)
        return;
    const bool small = smallPage(m_editor.doc());
    const bool shift = shiftIn(modifiers);
    LWRect r = tool == LWTool::line ? LWGeometry::rect(a, b, false) : spanned(a, b, shift);
    const bool click = r.width() < 4 && r.height() < 4;
    if (click) {
        const double w = small ? 60 : 160;
        const bool square = tool == LWTool::icon || tool == LWTool::star || tool == LWTool::polygon;
        const double h = square ? w : (small ? 40 : 110);
        r = LWRect(a.x() - w / 2, a.y() - h / 2, w, h);
    }
    const LWFill fill = LWFill::solid(LWColor::hex(fillColor));
    const LWColor ink = LWColor::hex(inkColor);
    std::optional<LWElement> item;
    switch (tool) {
    case LWTool::select:
        return;
    case LWTool::text:
        m_editor.addText(QStringLiteral("Type your text"), QPointF(r.minX(), r.minY()),
                         click ? std::nullopt : std::optional<double>(std::max(r.width(), 20.0)));
        m_editor.setTool(LWTool::select);
        if (!m_editor.selection().isEmpty())
            m_editor.setEditingTextID(m_editor.selection().first());
        return;
    case LWTool::rectangle:
        item = LWElement::makeShape(LWShapeKind::rectangle, r, fill, std::nullopt, 0, QStringLiteral("Rectangle"));
        break;
    case LWTool::ellipse:
        item = LWElement::makeShape(LWShapeKind::ellipse, r, fill, std::nullopt, 0, QStringLiteral("Ellipse"));
        break;
    case LWTool::polygon:
        item = LWElement::makeShape(LWShapeKind::polygon, r, fill, std::nullopt, 0, QStringLiteral("Polygon"));
        item->sides = 6;
        break;
    case LWTool::star:
        item = LWElement::makeShape(LWShapeKind::star, r, fill, std::nullopt, 0, QStringLiteral("Star"));
        break;
    case LWTool::icon: {
        const double side = std::min(r.width(), r.height());
        item = LWElement::makeIcon(m_editor.iconForTool(), LWRect(r.minX(), r.minY(), side, side), LWFill::solid(ink));
        break;
    }
    case LWTool::photo:
        item = LWElement::makePhoto(r, LWMask::none, 0, QStringLiteral("Photo frame"));
        break;
    case LWTool::line: {
        const QPointF end = click ? a + QPointF(small ? 60 : 160, 0) : (shift ? LWGeometry::constrain45(a, b) : b);
        item = LWElement::makeLine(a, end, LWStroke(ink, small ? 1.5 : 3, 0), QStringLiteral("Line"));
        break;
    }
    }
    m_editor.add(*item, true);
    m_editor.setTool(LWTool::select);
}
