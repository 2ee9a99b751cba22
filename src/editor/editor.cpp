#include "editor/editor.h"

#include "model/file/prefs.h"
#include "model/testflags.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <utility>

LWEditor::LWEditor(LWDocument doc, std::optional<QUrl> url, Clock clock, QObject *parent)
    : QObject(parent), m_doc(std::move(doc)), m_fileURL(std::move(url)), m_clock(std::move(clock))
{
    // A decoded file may hold no page at all; every reader needs one.
    if (m_doc.pages.isEmpty())
        m_doc.pages.append({m_doc.kind == LWDocKind::businessCard ? QStringLiteral("Front") : QStringLiteral("Page 1"),
                            LWFill::solid(LWColor::white), {}});
    m_showBleed = LWPrefs::flagValue(LWPrefs::showBleedKey, true);
    m_showTrim = LWPrefs::flagValue(LWPrefs::showTrimKey, true);
    m_showSafe = LWPrefs::flagValue(LWPrefs::showSafeKey, true);
    m_snapping = LWPrefs::flagValue(LWPrefs::snapKey, true);
    m_showGrid = LWPrefs::flagValue(LWPrefs::gridKey, false);
}

void LWEditor::setDoc(LWDocument doc) { assign(m_doc, std::move(doc), &LWEditor::docChanged); }
void LWEditor::setSide(int side) { assign(m_side, side, &LWEditor::sideChanged); }
void LWEditor::setSelection(QList<QUuid> selection)
{
    assign(m_selection, std::move(selection), &LWEditor::selectionChanged);
}
void LWEditor::setTool(LWTool tool) { assign(m_tool, tool, &LWEditor::toolChanged); }
void LWEditor::setFileURL(std::optional<QUrl> url) { assign(m_fileURL, std::move(url), &LWEditor::fileURLChanged); }
void LWEditor::setDirty(bool dirty) { assign(m_dirty, dirty, &LWEditor::dirtyChanged); }
void LWEditor::setEditingTextID(std::optional<QUuid> id)
{
    assign(m_editingTextID, std::move(id), &LWEditor::editingTextIDChanged);
}
void LWEditor::setSnapLines(QList<LWSnapLine> lines)
{
    assign(m_snapLines, std::move(lines), &LWEditor::snapLinesChanged);
}
void LWEditor::setCanvasZoom(double zoom) { assign(m_canvasZoom, zoom, &LWEditor::canvasZoomChanged); }
void LWEditor::setFitScale(double scale) { assign(m_fitScale, scale, &LWEditor::fitScaleChanged); }
void LWEditor::setIconForTool(QString name)
{
    assign(m_iconForTool, std::move(name), &LWEditor::iconForToolChanged);
}
void LWEditor::setMessage(std::optional<QString> message)
{
    assign(m_message, std::move(message), &LWEditor::messageChanged);
}

void LWEditor::assignToggle(bool &field, bool on, const QString &key, void (LWEditor::*changed)())
{
    field = on;
    if (!VELKTestFlags::running)
        LWSettings::shared().setValue(key, on);
    Q_EMIT(this->*changed)();
}

void LWEditor::setShowBleed(bool on) { assignToggle(m_showBleed, on, LWPrefs::showBleedKey, &LWEditor::showBleedChanged); }
void LWEditor::setShowTrim(bool on) { assignToggle(m_showTrim, on, LWPrefs::showTrimKey, &LWEditor::showTrimChanged); }
void LWEditor::setShowSafe(bool on) { assignToggle(m_showSafe, on, LWPrefs::showSafeKey, &LWEditor::showSafeChanged); }
void LWEditor::setSnapping(bool on) { assignToggle(m_snapping, on, LWPrefs::snapKey, &LWEditor::snappingChanged); }
void LWEditor::setShowGrid(bool on) { assignToggle(m_showGrid, on, LWPrefs::gridKey, &LWEditor::showGridChanged); }

int LWEditor::pageIndex() const
{
    const int last = int(m_doc.pages.size()) - 1;
    return std::min(std::max(m_side, 0), last);
}

const LWPage &LWEditor::page() const
{
    static const LWPage none;
    const int i = pageIndex();
    return i < 0 ? none : m_doc.pages.at(i); // no page only after setDoc of a page-less design
}

const QList<LWElement> &LWEditor::elements() const { return page().elements; }

std::optional<qsizetype> LWEditor::index(const QUuid &id) const
{
    const QList<LWElement> &list = elements();
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list.at(i).id == id)
            return i;
    return std::nullopt;
}

std::optional<LWElement> LWEditor::element(const QUuid &id) const
{
    if (const auto i = index(id))
        return elements().at(*i);
    return std::nullopt;
}

QList<LWElement> LWEditor::selected() const
{
    QList<LWElement> out;
    // A long selection looks its elements up in one pass, not one search each.
    constexpr qsizetype searched = 8;
    if (m_selection.size() <= searched) {
        for (const QUuid &id : m_selection)
            if (const auto i = index(id))
                out.append(elements().at(*i));
        return out;
    }
    const QList<LWElement> &list = elements();
    QHash<QUuid, qsizetype> at;
    at.reserve(list.size());
    for (qsizetype i = list.size() - 1; i >= 0; --i) // the first of a repeated id wins, as index() finds it
        at.insert(list.at(i).id, i);
    out.reserve(m_selection.size());
    for (const QUuid &id : m_selection)
        if (const auto it = at.constFind(id); it != at.cend())
            out.append(list.at(*it));
    return out;
}

std::optional<LWElement> LWEditor::single() const
{
    if (m_selection.size() != 1)
        return std::nullopt;
    return element(m_selection.first());
}

double LWEditor::gridStep() const { return m_doc.kind == LWDocKind::businessCard ? 9 : 18; }

bool LWEditor::change(const QString &label, const std::optional<QString> &key, const DocBody &body,
                      const std::optional<QList<QUuid>> &selection)
{
    Q_UNUSED(label);
    LWDocument copy = m_doc;
    body(copy);
    copy.modified = m_doc.modified;
    // Lists and pictures the body did not write are still shared and compare at once.
    if (copy == m_doc)
        return false;
    if (key) {
        const auto now = m_clock.monotonic();
        const bool joins = m_lastCoalesce && m_lastCoalesce->key == *key && now - m_lastCoalesce->at < coalesceWindow;
        if (!joins)
            pushUndo();
        m_lastCoalesce = Coalesce{*key, now};
    } else {
        pushUndo();
        m_lastCoalesce.reset();
    }
    copy.modified = std::round(double(m_clock.wall().toMSecsSinceEpoch()) / 1000.0);
    if (selection)
        setSelection(*selection);
    setDoc(std::move(copy));
    setDirty(true);
    return true;
}

void LWEditor::pushUndo()
{
    m_undoStack.append(current());
    if (m_undoStack.size() > undoLimit)
        m_undoStack.remove(0, m_undoStack.size() - undoLimit);
    m_redoStack.clear();
}

void LWEditor::undo() { travel(m_undoStack, m_redoStack); }
void LWEditor::redo() { travel(m_redoStack, m_undoStack); }

// No trimming on the way: the two stacks together never exceed the limit, since every new step
// empties redo.
void LWEditor::travel(QList<Snap> &from, QList<Snap> &to)
{
    if (from.isEmpty())
        return;
    const Snap snap = from.takeLast();
    to.append(current());
    m_interaction.reset(); // a running drag's elements are stale now
    ++m_restores;
    restore(snap);
}

void LWEditor::restore(const Snap &snap)
{
    setDoc(snap.doc);
    setSide(std::min(snap.side, int(m_doc.pages.size()) - 1));
    QList<QUuid> kept;
    for (const QUuid &id : snap.selection)
        if (index(id))
            kept.append(id);
    setSelection(std::move(kept));
    setEditingTextID(std::nullopt);
    m_lastCoalesce.reset();
    setDirty(true);
}

bool LWEditor::beginInteraction()
{
    m_interaction = Interaction{current(), m_redoStack, m_dirty};
    pushUndo();
    m_lastCoalesce.reset();
    return true;
}

void LWEditor::endInteraction()
{
    const std::optional<Interaction> ended = std::exchange(m_interaction, std::nullopt);
    // Only while the drag's own step is the newest and the design is back where it started.
    if (!ended || m_undoStack.isEmpty() || m_undoStack.constLast() != ended->before || m_doc != ended->before.doc)
        return;
    m_undoStack.removeLast();
    m_redoStack = ended->redo;
    setDirty(ended->dirty);
}

void LWEditor::liveUpdate(const DocBody &body)
{
    LWDocument copy = m_doc;
    body(copy);
    setDoc(std::move(copy));
    setDirty(true);
}

void LWEditor::markSaved(const QUrl &url)
{
    setFileURL(url);
    setDirty(false);
}
