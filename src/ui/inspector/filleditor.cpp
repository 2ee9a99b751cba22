#include "ui/inspector/filleditor.h"

#include "kit/controls/colorwell.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/controls/symbolbutton.h"
#include "kit/paint/symbols.h"
#include "ui/inspector/hextext.h"
#include "ui/inspector/swatches.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

namespace {

const QString colorKey = QStringLiteral("fill-color"), color2Key = QStringLiteral("fill-color2"),
              angleKey = QStringLiteral("fill-angle");

bool gradient(LWFillKind kind)
{
    return kind == LWFillKind::linear || kind == LWFillKind::radial;
}

} // namespace

FillEditor::FillEditor(QWidget *parent)
    : QWidget(parent), picker_(new SegmentedPicker({}, {QStringLiteral("None"), QStringLiteral("Color"),
                                                        QStringLiteral("Linear"), QStringLiteral("Radial")})),
      colorRow_(new QWidget), well1_(new LWColorWell(fill_.color)),
      arrow_(new VKSymbolButton(VKSymbols::arrowRight, 10, {}, true)), well2_(new LWColorWell(fill_.color2)),
      swap_(new VKSymbolButton(VKSymbols::arrowLeftArrowRight, 14, QStringLiteral("Swap the two colors"))),
      hex_(new HexText(fill_.color)), swatches_(new Swatches),
      angle_(new LabeledSlider(
          QStringLiteral("Angle"), [this] { return fill_.angle; },
          [this](double v) {
              LWFill next = fill_;
              next.angle = v;
              Q_EMIT changed(next, angleKey);
          },
          0, 360, 5, QStringLiteral("%.0f"), QStringLiteral("°")))
{
    arrow_->setDecorative(true);
    auto *row = new QHBoxLayout(colorRow_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    for (QWidget *w : std::initializer_list<QWidget *>{well1_, arrow_, well2_, swap_, hex_})
        row->addWidget(w, 0, Qt::AlignVCenter);
    row->addStretch();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(7);
    for (QWidget *w : std::initializer_list<QWidget *>{picker_, colorRow_, swatches_, angle_})
        column->addWidget(w);

    connect(picker_, &SegmentedPicker::picked, this, &FillEditor::pickKind);
    connect(well1_, &LWColorWell::colorPicked, this, [this](const LWColor &c) { setFirst(c, colorKey); });
    connect(swatches_, &Swatches::picked, this, [this](const LWColor &c) { setFirst(c, std::nullopt); });
    connect(well2_, &LWColorWell::colorPicked, this, [this](const LWColor &c) {
        LWFill next = fill_;
        next.color2 = c;
        Q_EMIT changed(next, color2Key);
    });
    connect(swap_, &QAbstractButton::clicked, this, [this] {
        LWFill next = fill_;
        std::swap(next.color, next.color2);
        Q_EMIT changed(next, std::nullopt);
    });
    showKind();
}

void FillEditor::setFill(const LWFill &fill, const QList<LWColor> &swatches)
{
    const bool sameKind = fill.kind == fill_.kind;
    fill_ = fill;
    well1_->setColor(fill.color);
    well2_->setColor(fill.color2);
    hex_->setColor(fill.color);
    if (swatches != swatches_->colors())
        swatches_->setColors(swatches);
    angle_->update();
    if (!sameKind)
        showKind();
}

void FillEditor::showKind()
{
    const LWFillKind kind = fill_.kind;
    picker_->setCurrent(static_cast<int>(kind));
    colorRow_->setVisible(kind != LWFillKind::none);
    swatches_->setVisible(kind != LWFillKind::none);
    for (QWidget *w : std::initializer_list<QWidget *>{arrow_, well2_, swap_})
        w->setVisible(gradient(kind));
    angle_->setVisible(kind == LWFillKind::linear);
}

void FillEditor::pickKind(int index)
{
    const auto kind = static_cast<LWFillKind>(index);
    if (kind == fill_.kind)
        return;
    LWFill next = fill_;
    next.kind = kind;
    if (gradient(kind) && next.color == next.color2)
        next.color2 = next.color.mix(LWColor::white, 0.45);
    const QPointer<FillEditor> alive(this);
    Q_EMIT changed(next, std::nullopt);
    // The picker checked the segment itself; it shows the caller's kind, whatever the answer.
    if (alive)
        picker_->setCurrent(static_cast<int>(fill_.kind));
}

void FillEditor::setFirst(const LWColor &color, const std::optional<QString> &key)
{
    LWFill next = fill_;
    next.color = color;
    if (next.kind == LWFillKind::solid)
        next.color2 = color;
    Q_EMIT changed(next, key);
}
