// Copy, cut, paste and duplicate of LWEditor.
#include "editor/clipboard.h"
#include "editor/editor.h"

#include "model/documentio.h"

#include <QSet>

namespace {

constexpr double pasteOffset = 9;

// The selected top-level items of the shown page, back to front (never in selection order).
QList<LWElement> copiedItems(const LWEditor &editor)
{
    const QSet<QUuid> chosen(editor.selection().cbegin(), editor.selection().cend());
    QList<LWElement> items;
    for (const LWElement &e : editor.elements())
        if (chosen.contains(e.id))
            items.append(e);
    return items;
}

// Other programs get the first top-level text as stored; texts inside groups are not looked at.
std::optional<QString> firstText(const QList<LWElement> &items)
{
    for (const LWElement &e : items)
        if (e.text)
            return e.text->string;
    return std::nullopt;
}

// New copies, moved and unlocked, appended on top in one step and selected.
QList<LWElement> insertCopies(LWEditor &editor, const QList<LWElement> &items, const QString &label)
{
    QList<LWElement> copies;
    QList<QUuid> ids;
    copies.reserve(items.size());
    for (const LWElement &item : items) {
        LWElement copy = item.duplicated();
        copy.offset(pasteOffset, pasteOffset);
        copy.locked = false; // members keep theirs
        ids.append(copy.id);
        copies.append(std::move(copy));
    }
    const int at = editor.pageIndex();
    editor.change(label, std::nullopt, [&](LWDocument &d) { d.pages[at].elements.append(copies); });
    editor.setSelection(std::move(ids));
    return copies;
}

} // namespace

void LWEditor::copy()
{
    const QList<LWElement> items = copiedItems(*this);
    if (items.isEmpty())
        return;
    LWClipboard::elements = items;
    if (!m_usePasteboard)
        return;
    LWPasteboard &board = LWClipboard::pasteboard();
    const LWDocumentIO::Result<QByteArray> bytes = LWDocumentIO::encodeElements(items);
    // Older contents must not outlive a failed copy, or the next paste would bring them back.
    if (!bytes) {
        board.clear();
        return;
    }
    board.write({{LWClipboard::pasteboardType, bytes.value()}}, firstText(items));
}

void LWEditor::cut()
{
    copy();
    deleteSelection();
}

void LWEditor::paste()
{
    QList<LWElement> items = LWClipboard::elements;
    if (m_usePasteboard) {
        const LWPasteboard &board = LWClipboard::pasteboard();
        std::optional<LWDocumentIO::Result<QList<LWElement>>> ours;
        if (const std::optional<QByteArray> bytes = board.data(LWClipboard::pasteboardType))
            ours = LWDocumentIO::decodeElements(*bytes);
        if (ours && ours->ok()) {
            items = std::move(*ours).value();
        } else {
            // Our items absent (or refused): another program copied last, and what it left wins.
            std::optional<QByteArray> picture = board.data(LWClipboard::pngType);
            if (!picture)
                picture = board.data(LWClipboard::tiffType);
            if (picture) {
                (void)placeImage(*picture);
                return;
            }
            if (const std::optional<QString> text = board.text(); text && !text->isEmpty()) {
                addText(*text, QPointF(m_doc.width / 2, m_doc.height / 2));
                return;
            }
        }
    }
    if (items.isEmpty())
        return;
    LWClipboard::elements = insertCopies(*this, items, QStringLiteral("Paste"));
}

void LWEditor::duplicate()
{
    const QList<LWElement> items = copiedItems(*this);
    if (!items.isEmpty())
        insertCopies(*this, items, QStringLiteral("Duplicate"));
}
