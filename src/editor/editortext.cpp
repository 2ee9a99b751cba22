// Text boxes of LWEditor.
#include "editor/editor.h"

#include "model/file/json.h"
#include "render/text/textlayout.h"

#include <algorithm>

void LWEditor::growToFit(LWElement &element) { LWTextLayout::growToFit(element); }

void LWEditor::addText(const QString &string, QPointF at, std::optional<double> width)
{
    const bool card = m_doc.kind == LWDocKind::businessCard;
    const LWText text(string, houseFont, card ? 10 : 28, LWColor::hex(0x1D2733), 0, 1.05);
    const double w = width ? *width : std::min(card ? 120.0 : 300.0, m_doc.width - 2 * m_doc.safe);
    // The right-hand limit wins: a box wider than the page starts left of the margin.
    const double x = std::min(m_doc.width - w, std::max(m_doc.safe, at.x()));
    add(LWElement::makeText(text, LWRect(x, at.y(), w, LWTextLayout::height(text, w)), QStringLiteral("Text")));
}

void LWEditor::setText(const QUuid &id, const QString &string)
{
    updateElements({id}, QStringLiteral("Edit Text"), QStringLiteral("text-") + LWJson::uuidText(id),
                   [&](LWElement &e) {
                       if (!e.text)
                           return;
                       e.text->string = string;
                       e.text->placeholder = false;
                       LWTextLayout::growToFit(e);
                   });
}

void LWEditor::updateText(const QString &label, const std::optional<QString> &key, const TextBody &body)
{
    updateText(selection(), label, key, body);
}

void LWEditor::updateText(const QList<QUuid> &ids, const QString &label, const std::optional<QString> &key,
                          const TextBody &body)
{
    updateElements(ids, label, key, [&](LWElement &e) {
        if (!e.text)
            return;
        body(*e.text);
        LWTextLayout::growToFit(e);
    });
}

void LWEditor::fitBoxToText()
{
    updateSelected(QStringLiteral("Fit Box to Text"), std::nullopt, [](LWElement &e) {
        if (!e.text)
            return;
        e.frame.y = e.frame.minY();
        e.frame.h = LWTextLayout::height(*e.text, e.frame.width());
    });
}
