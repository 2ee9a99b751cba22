#include "ui/inspector/sections/shapesection.h"

#include "editor/editor.h"
#include "kit/controls/labeledslider.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/keys.h"
#include "ui/inspector/strokeeditor.h"

#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

ShapeSection::ShapeSection(LWEditor &editor, QUuid id, QWidget *parent)
    : ElementSection(editor, id, parent), fillGroup_(new InspectorGroup(QStringLiteral("Fill"))),
      shapeGroup_(new InspectorGroup(QStringLiteral("Shape"))),
      strokeGroup_(new InspectorGroup(element().isLine() ? QStringLiteral("Line") : QStringLiteral("Outline"))),
      fill_(makeFillEditor(QStringLiteral("Fill"))),
      stroke_(makeStrokeEditor(QStringLiteral("Outline"), element().isLine() ? 2 : 1)),
      corners_(makeCornersSlider()),
      sides_(new LabeledSlider(
          element().shape == LWShapeKind::star ? QStringLiteral("Points") : QStringLiteral("Sides"),
          [this] { return static_cast<double>(element().sides); },
          [this](double v) {
              edit(QStringLiteral("Sides"), elementKey(QStringLiteral("sides-"), this->id()),
                   [v](LWElement &e) { e.sides = static_cast<qint64>(std::trunc(v)); });
          },
          3, 24, 1)),
      inner_(new LabeledSlider(
          QStringLiteral("Inner"), [this] { return element().innerRatio * 100; },
          [this](double v) {
              edit(QStringLiteral("Star Shape"), elementKey(QStringLiteral("inner-"), this->id()),
                   [v](LWElement &e) { e.innerRatio = v / 100; });
          },
          10, 95, 1, QStringLiteral("%.0f"), QStringLiteral("%")))
{
    fillGroup_->addRow(fill_);
    for (LabeledSlider *s : {corners_, sides_, inner_})
        shapeGroup_->addRow(s);
    strokeGroup_->addRow(stroke_);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    for (InspectorGroup *g : {fillGroup_, shapeGroup_, strokeGroup_})
        column->addWidget(g);
    refresh();
}

void ShapeSection::refresh()
{
    reread();
    const LWElement &e = element();
    const LWShapeKind kind = e.shape;
    const bool line = e.isLine();
    fillGroup_->setVisible(!line);
    shapeGroup_->setVisible(kind == LWShapeKind::rectangle || kind == LWShapeKind::polygon || kind == LWShapeKind::star);
    corners_->setVisible(kind == LWShapeKind::rectangle);
    sides_->setVisible(kind == LWShapeKind::polygon || kind == LWShapeKind::star);
    inner_->setVisible(kind == LWShapeKind::star);
    strokeGroup_->setTitle(line ? QStringLiteral("Line") : QStringLiteral("Outline"));
    stroke_->setDefaultWidth(line ? 2 : 1);

    showCorners(corners_);
    for (LabeledSlider *s : {sides_, inner_})
        s->update();
    showPaints(line ? nullptr : fill_, stroke_);
}
