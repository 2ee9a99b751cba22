// Align and distribute of LWEditor.
#include "editor/editor.h"

#include "model/geometry.h"

#include <QHash>
#include <algorithm>
#include <vector>

namespace {

struct Item {
    QUuid id;
    LWRect bounds;
};

// Each id once, with its element's rotated bounds, in the given order.
std::vector<Item> itemsOf(const LWEditor &ed, const QList<QUuid> &ids)
{
    std::vector<Item> out;
    QSet<QUuid> seen;
    for (const QUuid &id : ids)
        if (!seen.contains(id)) {
            seen.insert(id);
            out.push_back({id, LWGeometry::bounds(ed.elements().at(*ed.index(id)))});
        }
    return out;
}

// One keyless step; every id here names an unlocked element of the shown page.
void moveBy(LWEditor &ed, const QString &label, const QHash<QUuid, QPointF> &offsets)
{
    ed.updateElements(offsets.keys(), label, std::nullopt, [&](LWElement &e) {
        const QPointF d = offsets.value(e.id);
        e.offset(d.x(), d.y());
    });
}

} // namespace

void LWEditor::align(LWAlign how)
{
    const std::vector<Item> items = itemsOf(*this, targets(selection(), false));
    if (items.empty())
        return;
    LWRect target = m_doc.trimRect(); // a single item aligns to the page
    if (items.size() > 1) {
        QList<LWRect> all;
        all.reserve(qsizetype(items.size()));
        for (const Item &it : items)
            all.append(it.bounds);
        target = LWGeometry::unionOf(all);
    }
    QHash<QUuid, QPointF> offsets;
    for (const Item &it : items) {
        const LWRect &b = it.bounds;
        QPointF d;
        switch (how) {
        case LWAlign::left: d.setX(target.minX() - b.minX()); break;
        case LWAlign::hCenter: d.setX(target.midX() - b.midX()); break;
        case LWAlign::right: d.setX(target.maxX() - b.maxX()); break;
        case LWAlign::top: d.setY(target.minY() - b.minY()); break;
        case LWAlign::vMiddle: d.setY(target.midY() - b.midY()); break;
        case LWAlign::bottom: d.setY(target.maxY() - b.maxY()); break;
        }
        offsets.insert(it.id, d);
    }
    moveBy(*this, QStringLiteral("Align"), offsets); // a step even when nothing moves
}

void LWEditor::distribute(bool horizontal)
{
    std::vector<Item> items = itemsOf(*this, targets(selection(), false));
    if (items.size() < 3) {
        setMessage(QStringLiteral("Select three or more items to distribute them."));
        return;
    }
    const auto lo = [horizontal](const LWRect &r) { return horizontal ? r.minX() : r.minY(); };
    const auto hi = [horizontal](const LWRect &r) { return horizontal ? r.maxX() : r.maxY(); };
    const auto mid = [horizontal](const LWRect &r) { return horizontal ? r.midX() : r.midY(); };
    // Equal centres keep their selection order.
    std::stable_sort(items.begin(), items.end(),
                     [&](const Item &a, const Item &b) { return mid(a.bounds) < mid(b.bounds); });

    const double start = lo(items.front().bounds);
    double end = hi(items.front().bounds), total = 0;
    for (const Item &it : items) {
        end = std::max(end, hi(it.bounds));
        total += hi(it.bounds) - lo(it.bounds);
    }
    const double gap = (end - start - total) / double(items.size() - 1); // negative when they overlap

    QHash<QUuid, QPointF> offsets;
    double cursor = start;
    for (const Item &it : items) {
        const double d = cursor - lo(it.bounds);
        offsets.insert(it.id, horizontal ? QPointF(d, 0) : QPointF(0, d));
        cursor += hi(it.bounds) - lo(it.bounds) + gap;
    }
    moveBy(*this, QStringLiteral("Distribute"), offsets);
}
