// Element updates, selection and hit testing of LWEditor.
#include "editor/editor.h"

#include "model/geometry.h"

#include <QSet>

namespace {

// Whether any id of the element's subtree is already in the design.
bool holdsAnyId(const LWDocument &doc, const LWElement &element)
{
    QSet<QUuid> ids;
    for (const LWElement &e : doc.allElements())
        ids.insert(e.id);
    for (const LWElement &e : element.flattened())
        if (ids.contains(e.id))
            return true;
    return false;
}

} // namespace

QList<QUuid> LWEditor::targets(const QList<QUuid> &ids, bool includeLocked) const
{
    if (includeLocked)
        return ids;
    // One pass over the page, not one search an id: a selection may hold thousands.
    QHash<QUuid, bool> locked;
    locked.reserve(elements().size());
    for (auto it = elements().crbegin(); it != elements().crend(); ++it) // the first of a repeated id wins
        locked.insert(it->id, it->locked);
    QList<QUuid> out;
    for (const QUuid &id : ids)
        if (const auto it = locked.constFind(id); it != locked.cend() && !*it)
            out.append(id);
    return out;
}

bool LWEditor::updateElements(const QList<QUuid> &ids, const QString &label, const std::optional<QString> &key,
                              const ElementBody &body, bool includeLocked)
{
    const QList<QUuid> chosen = targets(ids, includeLocked);
    if (chosen.isEmpty())
        return false;
    const QSet<QUuid> wanted(chosen.cbegin(), chosen.cend());
    const int at = pageIndex();
    return change(label, key, [&](LWDocument &d) {
        // Find the places first, then write: only the one page's list detaches, and only when
        // something on it is targeted.
        QList<qsizetype> places;
        const QList<LWElement> &read = std::as_const(d.pages).at(at).elements;
        for (qsizetype i = 0; i < read.size(); ++i)
            if (wanted.contains(read.at(i).id))
                places.append(i);
        if (places.isEmpty())
            return;
        QList<LWElement> &list = d.pages[at].elements;
        for (const qsizetype i : places)
            body(list[i]);
    });
}

bool LWEditor::updateSelected(const QString &label, const std::optional<QString> &key, const ElementBody &body)
{
    return updateElements(selection(), label, key, body);
}

bool LWEditor::add(const LWElement &element, bool select)
{
    Q_ASSERT(!holdsAnyId(m_doc, element)); // callers make new ids (duplicated(), factories)
    const int at = pageIndex();
    change(QStringLiteral("Add"), std::nullopt, [&](LWDocument &d) { d.pages[at].elements.append(element); });
    if (select)
        setSelection({element.id});
    return true;
}

void LWEditor::deleteSelection()
{
    const QList<QUuid> chosen = targets(selection(), false);
    if (chosen.isEmpty())
        return;
    const QSet<QUuid> gone(chosen.cbegin(), chosen.cend());
    const int at = pageIndex();
    change(
        QStringLiteral("Delete"), std::nullopt,
        [&](LWDocument &d) { d.pages[at].elements.removeIf([&](const LWElement &e) { return gone.contains(e.id); }); },
        QList<QUuid>());
    setSelection({});
}

void LWEditor::selectAll()
{
    QList<QUuid> ids;
    for (const LWElement &e : elements())
        if (!e.locked && !e.hidden)
            ids.append(e.id);
    setSelection(std::move(ids));
}

void LWEditor::nudge(double dx, double dy)
{
    updateSelected(QStringLiteral("Nudge"), QStringLiteral("nudge"), [=](LWElement &e) { e.offset(dx, dy); });
}

void LWEditor::setFrame(const QUuid &id, const LWRect &frame, const std::optional<QString> &key)
{
    updateElements({id}, QStringLiteral("Frame"), key, [&](LWElement &e) {
        if (e.isLine())
            e.frame = frame; // a line's frame is its two ends; nothing inside to follow
        else
            e.setFrame(frame);
    });
}

void LWEditor::setLocked(bool locked, const std::optional<QList<QUuid>> &ids)
{
    updateElements(ids ? *ids : selection(), QStringLiteral("Lock"), std::nullopt,
                   [=](LWElement &e) { e.locked = locked; }, true);
}

void LWEditor::setHidden(bool hidden, const QList<QUuid> &ids)
{
    updateElements(ids, QStringLiteral("Hide"), std::nullopt, [=](LWElement &e) { e.hidden = hidden; }, true);
}

std::optional<LWElement> LWEditor::hitTest(QPointF point, double tolerance, bool includeLocked) const
{
    const QList<LWElement> &list = elements();
    for (auto it = list.crbegin(); it != list.crend(); ++it) {
        const LWElement &e = *it;
        if (e.hidden || (e.locked && !includeLocked))
            continue;
        // A group is one target: its whole outline, with the full tolerance around it.
        const bool isHit = e.kind == LWElementKind::group
                               ? LWGeometry::bounds(e).insetBy(-tolerance, -tolerance).contains(point)
                               : LWGeometry::hit(e, point, tolerance);
        if (isHit)
            return e;
    }
    return std::nullopt;
}

void LWEditor::setBackground(const LWFill &fill, const std::optional<QString> &key)
{
    const int at = pageIndex();
    change(QStringLiteral("Background"), key, [&](LWDocument &d) { d.pages[at].background = fill; });
}
