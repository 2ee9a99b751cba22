#include "kit/divider.h"

#include <QPainter>

VKDivider::VKDivider(int inset, int padding, QWidget *parent) : QWidget(parent), inset_(inset), padding_(padding)
{
    setFixedHeight(1 + 2 * padding);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumWidth(2 * inset);
}

QRect VKDivider::line() const
{
    return QRect(inset_, padding_, std::max(0, width() - 2 * inset_), 1);
}

void VKDivider::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(line(), QColor(255, 255, 255, 38));
}
