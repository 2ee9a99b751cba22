// Copy, cut, paste and duplicate of LWEditor.
#include "editor/clipboard.h"
#include "editor/editor.h"

#include "model/file/documentio.h"
#include "render/pictures/imageproperties.h"

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

// The picture another program left: the first offered type, in the order of preference, whose
// bytes the picture reader recognises; else the first picture at all (placing it reports it
// unreadable); none without pictures.
std::optional<QByteArray> offeredPicture(const LWPasteboard &board)
{
    const QStringList offered = board.types();
    QStringList types;
    for (const QString &type : LWClipboard::pictureTypes)
        if (offered.contains(type))
            types.append(type);
    for (const QString &type : offered)
        if (type.startsWith(u"image/") && !types.contains(type))
            types.append(type);
    std::optional<QByteArray> first;
    for (const QString &type : std::as_const(types)) {
        std::optional<QByteArray> bytes = board.data(type);
        if (!bytes)
            continue;
        if (LWImageProperties::read(*bytes))
            return bytes;
        if (!first)
            first = std::move(bytes);
    }
    return first;
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
            if (const std::optional<QByteArray> picture = offeredPicture(board)) {
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
