// Grouping and stacking order of LWEditor.
#include "editor/editor.h"
#include "model/geometry.h"

#include <QSet>
#include <algorithm>

namespace {

// The element list of page pi inside a document being changed; none for a design without it.
QList<LWElement> *pageElements(LWDocument &doc, int pi)
{
    return pi >= 0 && pi < doc.pages.size() ? &doc.pages[pi].elements : nullptr;
}

qsizetype indexOf(const QList<LWElement> &list, const QUuid &id)
{
    const auto it = std::find_if(list.cbegin(), list.cend(), [&](const LWElement &e) { return e.id == id; });
    return it == list.cend() ? -1 : it - list.cbegin();
}

} // namespace

void LWEditor::group()
{
    const QSet<QUuid> chosen(m_selection.cbegin(), m_selection.cend());
    const auto isMember = [&](const LWElement &e) { return !e.locked && chosen.contains(e.id); };
    QList<LWElement> members;
    QList<LWRect> frames;
    qsizetype top = -1;
    const QList<LWElement> &list = elements();
    for (qsizetype i = 0; i < list.size(); ++i)
        if (isMember(list.at(i))) {
            members.append(list.at(i));
            frames.append(list.at(i).frame);
            top = i;
        }
    if (members.size() < 2) {
        setMessage(QStringLiteral("Select two or more items to group them."));
        return;
    }

    // Rotations stay with the members, so the group encloses their unturned frames.
    LWElement group(LWElementKind::group, QStringLiteral("Group"), LWGeometry::unionOf(frames));
    group.children = members;
    const qsizetype at = top - (members.size() - 1);
    const int pi = pageIndex();
    change(QStringLiteral("Group"), std::nullopt, [&](LWDocument &d) {
        QList<LWElement> *els = pageElements(d, pi);
        els->removeIf(isMember);
        els->insert(std::min(at, els->size()), group);
    });
    setSelection({group.id});
}

void LWEditor::ungroup()
{
    QList<QUuid> groups;
    for (const LWElement &e : selected())
        if (e.kind == LWElementKind::group && !e.locked)
            groups.append(e.id);
    if (groups.isEmpty())
        return;

    QList<QUuid> released;
    const int pi = pageIndex();
    change(QStringLiteral("Ungroup"), std::nullopt, [&](LWDocument &d) {
        QList<LWElement> *els = pageElements(d, pi);
        for (const QUuid &id : groups) {
            const qsizetype i = indexOf(*els, id);
            if (i < 0) // listed twice in the selection and already released
                continue;
            const QList<LWElement> children = els->takeAt(i).children.value_or(QList<LWElement>{});
            for (qsizetype k = 0; k < children.size(); ++k) {
                els->insert(i + k, children.at(k));
                released.append(children.at(k).id);
            }
        }
    });
    setSelection(std::move(released));
}

void LWEditor::arrange(LWArrange how)
{
    if (m_selection.isEmpty())
        return;
    const QSet<QUuid> chosen(m_selection.cbegin(), m_selection.cend());
    const auto isChosen = [&](const LWElement &e) { return chosen.contains(e.id); };
    const int pi = pageIndex();
    change(QStringLiteral("Arrange"), std::nullopt, [&](LWDocument &d) {
        QList<LWElement> *els = pageElements(d, pi);
        if (!els)
            return;
        const qsizetype n = els->size();
        switch (how) {
        case LWArrange::front:
            std::stable_partition(els->begin(), els->end(), [&](const LWElement &e) { return !isChosen(e); });
            break;
        case LWArrange::back:
            std::stable_partition(els->begin(), els->end(), isChosen);
            break;
        // Walking against the direction of travel moves each run of selected items as a block.
        case LWArrange::forward:
            for (qsizetype i = n - 2; i >= 0; --i)
                if (isChosen(els->at(i)) && !isChosen(els->at(i + 1)))
                    els->swapItemsAt(i, i + 1);
            break;
        case LWArrange::backward:
            for (qsizetype i = 1; i < n; ++i)
                if (isChosen(els->at(i)) && !isChosen(els->at(i - 1)))
                    els->swapItemsAt(i, i - 1);
            break;
        }
    });
}

void LWEditor::move(const QUuid &id, int toIndex)
{
    const int pi = pageIndex();
    change(QStringLiteral("Move"), std::nullopt, [&](LWDocument &d) {
        QList<LWElement> *els = pageElements(d, pi);
        const qsizetype from = els ? indexOf(*els, id) : -1;
        if (from < 0)
            return;
        LWElement moved = els->takeAt(from);
        els->insert(std::clamp<qsizetype>(toIndex, 0, els->size()), std::move(moved));
    });
}
