#include "ui/inspector/sections/geometrysection.h"

#include "editor/editor.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/numberfield.h"
#include "kit/host/focusedtext.h"
#include "kit/paint/uifont.h"
#include "model/format.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/inspectorlabel.h"
#include "ui/inspector/keys.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

NumberField *field(const QString &label)
{
    return new NumberField(label, 0, QString(), 3, 64);
}

QWidget *pair(NumberField *a, NumberField *b)
{
    auto *row = new QWidget;
    auto *l = new QHBoxLayout(row);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(10);
    l->addWidget(a, 0, Qt::AlignVCenter);
    l->addWidget(b, 0, Qt::AlignVCenter);
    l->addStretch();
    return row;
}

} // namespace

GeometrySection::GeometrySection(LWEditor &editor, QUuid id, QWidget *parent)
    : ElementSection(editor, id, parent), group_(new InspectorGroup(QString())),
      x_(field(QStringLiteral("X"))), y_(field(QStringLiteral("Y"))), w_(field(QStringLiteral("W"))),
      h_(field(QStringLiteral("H"))), sizeRow_(pair(w_, h_)),
      length_(new InspectorLabel(QString(), vkFont(10.5), true)),
      rotation_(new LabeledSlider(
          QStringLiteral("Rotation"), [this] { return element().rotation; },
          [this](double v) { edit(QStringLiteral("Rotate"), elementKey(QStringLiteral("rot-"), this->id()),
                                    [v](LWElement &e) { e.rotation = v; }); },
          -180, 180, 1, QStringLiteral("%.0f"), QStringLiteral("°"))),
      opacity_(new LabeledSlider(
          QStringLiteral("Opacity"), [this] { return element().opacity * 100; },
          [this](double v) { edit(QStringLiteral("Opacity"), elementKey(QStringLiteral("op-"), this->id()),
                                    [v](LWElement &e) { e.opacity = v / 100; }); },
          0, 100, 1, QStringLiteral("%.0f"), QStringLiteral("%"))),
      name_(new QLineEdit)
{
    name_->setPlaceholderText(QStringLiteral("Name"));
    name_->setToolTip(QStringLiteral("Layer name (only shown in the Layers list)"));
    name_->setFont(vkFont(11));

    group_->addRow(pair(x_, y_));
    group_->addRow(length_);
    group_->addRow(sizeRow_);
    group_->addRow(rotation_);
    group_->addRow(opacity_);
    group_->addRow(name_);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(group_);

    connect(x_, &NumberField::committed, this, [this](double v) { commitPosition(true, v); });
    connect(y_, &NumberField::committed, this, [this](double v) { commitPosition(false, v); });
    connect(w_, &NumberField::committed, this, [this](double v) { commitSize(true, v); });
    connect(h_, &NumberField::committed, this, [this](double v) { commitSize(false, v); });
    // textEdited only: a programmatic setText in refresh() must never write the document.
    connect(name_, &QLineEdit::textEdited, this, [this](const QString &text) {
        edit(QStringLiteral("Rename"), elementKey(QStringLiteral("name-"), this->id()),
               [text](LWElement &e) { e.name = text; });
    });
    connect(name_, &QLineEdit::returnPressed, this, [this] { vkGiveKeyboardHome(name_); });
    refresh();
}

void GeometrySection::refresh()
{
    reread();
    const LWElement &e = element();
    group_->setTitle(QStringLiteral("Position & size (") + editor().unitName() + QLatin1Char(')'));
    x_->setValue(editor().toUnit(e.frame.minX()));
    y_->setValue(editor().toUnit(e.frame.minY()));
    w_->setValue(editor().toUnit(e.frame.width()));
    h_->setValue(editor().toUnit(e.frame.height()));

    const bool line = e.isLine();
    if (line) {
        const auto [a, b] = e.lineEnds();
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        length_->setText(QStringLiteral("Length %1 %2").arg(LWFormat::num(editor().toUnit(length), 3), editor().unitName()));
    }
    length_->setVisible(line);
    sizeRow_->setVisible(!line);
    rotation_->setVisible(!line && e.kind != LWElementKind::group);
    rotation_->update();
    opacity_->update();

    if (name_->text() != e.name) {
        const int cursor = name_->cursorPosition();
        name_->setText(e.name);
        name_->setCursorPosition(std::min<int>(cursor, static_cast<int>(e.name.size())));
    }
}

void GeometrySection::commitPosition(bool horizontal, double value)
{
    const double target = std::clamp(editor().fromUnit(value), -maxPosition, maxPosition);
    edit(QStringLiteral("Move"), std::nullopt, [horizontal, target](LWElement &e) {
        if (horizontal)
            e.offset(target - e.frame.minX(), 0);
        else
            e.offset(0, target - e.frame.minY());
    });
}

void GeometrySection::commitSize(bool horizontal, double value)
{
    const double size = std::clamp(editor().fromUnit(value), minSize, maxSize);
    edit(QStringLiteral("Size"), std::nullopt, [horizontal, size](LWElement &e) {
        const LWRect f = e.frame;
        e.setFrame(horizontal ? LWRect(f.minX(), f.minY(), size, f.height()) : LWRect(f.minX(), f.minY(), f.width(), size));
        if (horizontal)
            LWEditor::growToFit(e);
    });
}
