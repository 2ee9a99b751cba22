#include "editor/editor.h"

#include "model/format.h"
#include "model/units.h"

#include <cmath>

bool LWEditor::mmUnits() const
{
    return m_doc.sizeID == QLatin1String("eu-card") || m_doc.sizeID == QLatin1String("a4");
}

QString LWEditor::unitName() const
{
    return mmUnits() ? QStringLiteral("mm") : QStringLiteral("in");
}

double LWEditor::toUnit(double points) const
{
    return mmUnits() ? LWUnits::mm(points) : LWUnits::inches(points);
}

double LWEditor::fromUnit(double value) const
{
    return value * (mmUnits() ? LWUnits::ptPerMM : LWUnits::ptPerInch);
}

QString LWEditor::bleedText() const
{
    if (m_doc.bleed == 9)
        return mmUnits() ? QStringLiteral("3 mm") : QStringLiteral("0.125 in");
    return LWFormat::num(toUnit(m_doc.bleed), 3) + u' ' + unitName();
}

namespace {

constexpr qsizetype swatchLimit = 12;

// Adds the opaque colour unless a listed one is indistinguishable from it.
void offer(QList<LWColor> &list, const LWColor &color)
{
    const LWColor c = color.withAlpha(1);
    for (const LWColor &listed : list) {
        const double difference = std::abs(c.r - listed.r) + std::abs(c.g - listed.g) + std::abs(c.b - listed.b);
        if (LWColor::contrast(c, listed) < 1.05 && difference < 0.04)
            return;
    }
    list.append(c);
}

void offer(QList<LWColor> &list, const LWFill &fill)
{
    switch (fill.kind) {
    case LWFillKind::none:
        return;
    case LWFillKind::solid:
        offer(list, fill.color);
        return;
    case LWFillKind::linear:
    case LWFillKind::radial:
        offer(list, fill.color);
        offer(list, fill.color2);
        return;
    }
}

} // namespace

QList<LWColor> LWEditor::docColors() const
{
    // Colours only ever append, so once twelve are listed the rest of the walk changes nothing.
    QList<LWColor> list;
    for (const LWPage &page : m_doc.pages) {
        offer(list, page.background);
        for (const LWElement &top : page.elements) {
            if (list.size() >= swatchLimit)
                return list.mid(0, swatchLimit);
            for (const LWElement &e : top.flattened()) {
                offer(list, e.fill);
                if (e.text)
                    offer(list, e.text->color);
                if (e.stroke)
                    offer(list, e.stroke->color);
            }
        }
    }
    return list.mid(0, swatchLimit);
}
