// Guides, sides and page size of LWEditor.
#include "editor/editor.h"

#include <algorithm>
#include <cmath>

namespace {

LWPage blankBack() { return {QStringLiteral("Back"), LWFill::solid(LWColor::white), {}}; }

bool positive(double v) { return std::isfinite(v) && v > 0; }

} // namespace

void LWEditor::addGuide(bool vertical)
{
    change(QStringLiteral("Add Guide"), std::nullopt, [&](LWDocument &d) {
        d.guides.append({QUuid::createUuid(), vertical, (vertical ? d.width : d.height) * 0.5});
    });
}

void LWEditor::clearGuides()
{
    change(QStringLiteral("Clear Guides"), std::nullopt, [](LWDocument &d) { d.guides.clear(); });
}

void LWEditor::addBackSide()
{
    if (m_doc.pages.size() != 1)
        return;
    change(QStringLiteral("Add Back Side"), std::nullopt, [](LWDocument &d) {
        d.pages[0].name = QStringLiteral("Front");
        d.pages.append(blankBack());
    });
    setSide(1);
}

void LWEditor::removeBackSide()
{
    if (m_doc.kind == LWDocKind::businessCard || m_doc.pages.size() != 2)
        return;
    change(QStringLiteral("Remove Back Side"), std::nullopt, [](LWDocument &d) {
        d.pages.removeLast();
        d.pages[0].name = QStringLiteral("Page 1");
    });
    setSide(0);
    setSelection({});
}

void LWEditor::switchSide(int n)
{
    if (n < 0 || n >= m_doc.pages.size())
        return;
    setSide(n);
    setSelection({});
    setEditingTextID(std::nullopt);
}

bool LWEditor::resize(double width, double height, const QString &sizeID, double safe, bool scaleContent)
{
    // A NaN or zero size would make the design unsavable or undrawable.
    if (!positive(width) || !positive(height) || !std::isfinite(safe) || safe < 0)
        return false;
    const double w0 = m_doc.width, h0 = m_doc.height;
    // Only a hand-edited file has no size to scale from; it just takes the new one.
    const bool scale = scaleContent && positive(w0) && positive(h0);
    const double sx = width / w0, sy = height / h0, s = std::min(sx, sy);

    change(QStringLiteral("Change Size"), std::nullopt, [&](LWDocument &d) {
        d.width = width;
        d.height = height;
        d.sizeID = sizeID;
        d.safe = safe;
        if (const auto preset = LWSizePreset::named(sizeID))
            d.kind = preset->kind;
        if (d.kind == LWDocKind::businessCard && d.pages.size() == 1) {
            d.pages[0].name = QStringLiteral("Front");
            d.pages.append(blankBack());
        }
        if (!scale)
            return;
        const double dx = (width - w0 * s) * 0.5, dy = (height - h0 * s) * 0.5;
        for (LWPage &page : d.pages)
            for (LWElement &e : page.elements) {
                const LWRect f = e.frame;
                scaleText(e, s);
                // scaleText has reached every depth; the re-framing must not scale member text again.
                e.setFrame({f.minX() * s + dx, f.minY() * s + dy, f.width() * s, f.height() * s},
                           LWElement::MemberText::keep);
            }
        for (LWGuide &g : d.guides)
            g.position *= g.vertical ? sx : sy;
    });
    return true;
}

void LWEditor::scaleText(LWElement &element, double factor)
{
    if (element.text)
        element.text->size *= factor;
    if (element.children)
        for (LWElement &child : *element.children)
            scaleText(child, factor);
    if (element.stroke)
        element.stroke->width *= factor;
}
