#include "ui/inspector/sections/elementsection.h"

#include "editor/editor.h"
#include "kit/controls/labeledslider.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/keys.h"
#include "ui/inspector/strokeeditor.h"

#include <algorithm>

ElementSection::ElementSection(LWEditor &editor, QUuid id, QWidget *parent)
    : InspectorSection(editor, parent), id_(id)
{
    reread();
}

void ElementSection::reread()
{
    if (const auto e = editor().element(id_))
        element_ = *e;
}

void ElementSection::edit(const QString &label, const std::optional<QString> &key,
                          const std::function<void(LWElement &)> &body)
{
    editor().updateElements({id_}, label, key, body, false);
}

FillEditor *ElementSection::makeFillEditor(const QString &label)
{
    auto *fill = new FillEditor;
    connect(fill, &FillEditor::changed, this, [this, label](const LWFill &f, const std::optional<QString> &key) {
        edit(label, extendKey(key, id_), [f](LWElement &e) { e.fill = f; });
    });
    return fill;
}

StrokeEditor *ElementSection::makeStrokeEditor(const QString &label, double defaultWidth)
{
    auto *stroke = new StrokeEditor(defaultWidth);
    connect(stroke, &StrokeEditor::changed, this,
            [this, label](const std::optional<LWStroke> &s, const std::optional<QString> &key) {
                edit(label, extendKey(key, id_), [s](LWElement &e) {
                    e.stroke = !s && e.isLine() ? std::optional<LWStroke>(LWStroke(LWColor::black, 0.5, 0)) : s;
                });
            });
    return stroke;
}

void ElementSection::showPaints(FillEditor *fill, StrokeEditor *stroke) const
{
    const QList<LWColor> colors = editor().docColors();
    if (fill)
        fill->setFill(element_.fill, colors);
    if (stroke)
        stroke->setStroke(element_.stroke, colors);
}

LabeledSlider *ElementSection::makeCornersSlider()
{
    return new LabeledSlider(
        QStringLiteral("Corners"), [this] { return element_.cornerRadius; },
        [this](double v) {
            edit(QStringLiteral("Corner Radius"), elementKey(QStringLiteral("rad-"), id_),
                 [v](LWElement &e) { e.cornerRadius = v; });
        },
        0, 0, 0.5, QStringLiteral("%.1f"));
}

void ElementSection::showCorners(LabeledSlider *corners) const
{
    corners->setRange(0, std::max(0.0, std::min(element_.frame.width(), element_.frame.height()) * 0.5));
    corners->update();
}
