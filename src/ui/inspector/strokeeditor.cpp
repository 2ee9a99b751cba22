#include "ui/inspector/strokeeditor.h"

#include "kit/controls/colorwell.h"
#include "kit/controls/labeledslider.h"
#include "kit/paint/uifont.h"
#include "ui/inspector/hextext.h"
#include "ui/inspector/swatches.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString colorKey = QStringLiteral("stroke-color"), widthKey = QStringLiteral("stroke-width"),
              dashKey = QStringLiteral("stroke-dash");

} // namespace

StrokeEditor::StrokeEditor(double defaultWidth, QWidget *parent)
    : QWidget(parent), defaultWidth_(defaultWidth), toggle_(new QCheckBox(QStringLiteral("Outline"))),
      colorRow_(new QWidget), well_(new LWColorWell(ink)), hex_(new HexText(ink)), swatches_(new Swatches),
      width_(new LabeledSlider(
          QStringLiteral("Width"), [this] { return stroke_ ? stroke_->width : 0.0; },
          [this](double v) { edited([v](LWStroke &s) { s.width = v; }, widthKey); }, 0.25, 24, 0.25,
          QStringLiteral("%.2f"), QStringLiteral("pt"))),
      dash_(new LabeledSlider(
          QStringLiteral("Dashes"), [this] { return stroke_ ? stroke_->dash : 0.0; },
          [this](double v) { edited([v](LWStroke &s) { s.dash = v; }, dashKey); }, 0, 30, 1))
{
    toggle_->setFont(vkFont(11.5, VKWeight::Semibold));
    auto *row = new QHBoxLayout(colorRow_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(well_, 0, Qt::AlignVCenter);
    row->addWidget(hex_, 0, Qt::AlignVCenter);
    row->addStretch();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(7);
    for (QWidget *w : std::initializer_list<QWidget *>{toggle_, colorRow_, swatches_, width_, dash_})
        column->addWidget(w);

    connect(toggle_, &QCheckBox::clicked, this, &StrokeEditor::switchOutline);
    connect(well_, &LWColorWell::colorPicked, this,
            [this](const LWColor &c) { edited([c](LWStroke &s) { s.color = c; }, colorKey); });
    connect(swatches_, &Swatches::picked, this,
            [this](const LWColor &c) { edited([c](LWStroke &s) { s.color = c; }, std::nullopt); });
    showOutline();
}

void StrokeEditor::setStroke(const std::optional<LWStroke> &stroke, const QList<LWColor> &swatches)
{
    const bool sameState = stroke.has_value() == stroke_.has_value();
    stroke_ = stroke;
    const LWColor colour = stroke ? stroke->color : ink;
    well_->setColor(colour);
    hex_->setColor(colour);
    if (swatches != swatches_->colors())
        swatches_->setColors(swatches);
    width_->update();
    dash_->update();
    if (!sameState)
        showOutline();
}

void StrokeEditor::showOutline()
{
    const bool on = stroke_.has_value();
    {
        const QSignalBlocker quiet(toggle_);
        toggle_->setChecked(on);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{colorRow_, swatches_, width_, dash_})
        w->setVisible(on);
}

void StrokeEditor::switchOutline(bool on)
{
    const QPointer<StrokeEditor> alive(this);
    Q_EMIT changed(on ? std::optional<LWStroke>(LWStroke(ink, defaultWidth_, 0)) : std::nullopt,
                   std::nullopt);
    // The box ticked itself; it shows the caller's outline, whatever the answer.
    if (alive)
        showOutline();
}

void StrokeEditor::edited(const std::function<void(LWStroke &)> &edit, const std::optional<QString> &key)
{
    if (!stroke_)
        return;
    LWStroke next = *stroke_;
    edit(next);
    Q_EMIT changed(next, key);
}
