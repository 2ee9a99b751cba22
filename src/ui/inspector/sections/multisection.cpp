#include "ui/inspector/sections/multisection.h"

#include "editor/editor.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/swatches.h"

#include <QVBoxLayout>

MultiSection::MultiSection(LWEditor &editor, QWidget *parent)
    : InspectorSection(editor, parent), group_(new InspectorGroup(QStringLiteral("Color for all selected shapes"))),
      swatches_(new Swatches)
{
    group_->addRow(swatches_);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(group_);
    connect(swatches_, &Swatches::picked, this, [this](const LWColor &c) {
        this->editor().updateSelected(QStringLiteral("Fill"), std::nullopt, [c](LWElement &e) { apply(e, c); });
    });
    refresh();
}

void MultiSection::refresh()
{
    const QList<LWColor> colors = editor().docColors();
    if (colors != swatches_->colors())
        swatches_->setColors(colors);
}

void MultiSection::apply(LWElement &element, const LWColor &color)
{
    if (element.kind == LWElementKind::text) {
        if (element.text)
            element.text->color = color;
    } else if (element.isLine()) {
        if (element.stroke)
            element.stroke->color = color;
    } else if (element.kind != LWElementKind::image) {
        element.fill = LWFill::solid(color);
    }
}
