#include "ui/inspector/swatches.h"

#include "kit/paint/paint.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr double chipRadius = 4, edgeWidth = 0.8;

constexpr int span(int count)
{
    return count > 0 ? count * Swatches::chipSize + (count - 1) * Swatches::gap : 0;
}

} // namespace

Swatches::Swatches(const QList<LWColor> &colors, QWidget *parent) : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setColors(colors);
}

const QList<LWColor> &Swatches::fixedColors()
{
    static const QList<LWColor> fixed = {LWColor::white,         LWColor::black,
                                         LWColor::hex(0x1F3A5F), LWColor::hex(0xA81D26),
                                         LWColor::hex(0x2F5D46), LWColor::hex(0xE0B75A)};
    return fixed;
}

QList<LWColor> Swatches::chips(const QList<LWColor> &colors)
{
    QList<LWColor> out = colors;
    for (const LWColor &c : fixedColors())
        if (!colors.contains(c))
            out.append(c);
    if (out.size() > maxChips)
        out.resize(maxChips);
    return out;
}

void Swatches::setColors(const QList<LWColor> &colors)
{
    const qsizetype before = chips_.size();
    colors_ = colors;
    chips_ = chips(colors);
    pressed_ = -1;
    if (chips_.size() != before)
        updateGeometry();
    update();
}

int Swatches::columnsFor(int width)
{
    return std::clamp((width + gap) / (chipSize + gap), 1, columns);
}

int Swatches::rowsFor(int perRow) const
{
    return static_cast<int>((chips_.size() + perRow - 1) / perRow);
}

int Swatches::gridLeft() const
{
    return std::max(0, (width() - span(columnsFor(width()))) / 2);
}

QRect Swatches::chipRect(qsizetype index) const
{
    const int perRow = columnsFor(width());
    const int column = static_cast<int>(index % perRow), row = static_cast<int>(index / perRow);
    return QRect(gridLeft() + column * (chipSize + gap), row * (chipSize + gap), chipSize, chipSize);
}

qsizetype Swatches::chipAt(QPoint pos) const
{
    for (qsizetype i = 0; i < chips_.size(); ++i)
        if (chipRect(i).contains(pos))
            return i;
    return -1;
}

QSize Swatches::sizeHint() const
{
    return QSize(span(columns), span(rowsFor(columns)));
}

QSize Swatches::minimumSizeHint() const
{
    return QSize(chipSize, span(rowsFor(columns)));
}

int Swatches::heightForWidth(int width) const
{
    return span(rowsFor(columnsFor(width)));
}

bool Swatches::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const qsizetype chip = chipAt(help->pos());
        if (chip >= 0)
            QToolTip::showText(help->globalPos(), chips_[chip].hexString(), this, chipRect(chip));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void Swatches::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen edge(QColor(255, 255, 255, 102), edgeWidth);
    for (qsizetype i = 0; i < chips_.size(); ++i) {
        const QRectF r(chipRect(i));
        p.fillPath(VKPaint::roundedRect(r, chipRadius), chips_[i].qcolor());
        p.strokePath(VKPaint::roundedEdge(r, chipRadius, edgeWidth), edge);
    }
}

void Swatches::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton ? chipAt(event->position().toPoint()) : -1;
}

void Swatches::mouseReleaseEvent(QMouseEvent *event)
{
    const qsizetype chip = chipAt(event->position().toPoint());
    const bool hit = event->button() == Qt::LeftButton && chip >= 0 && chip == pressed_;
    pressed_ = -1;
    if (hit)
        Q_EMIT picked(chips_[chip]); // last: a receiver may rebuild or delete this widget
}
