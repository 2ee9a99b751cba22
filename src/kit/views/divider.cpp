#include "kit/views/divider.h"

#include <QPainter>

VKDivider::VKDivider(int inset, int padding, QWidget *parent) : QWidget(parent), inset_(inset), padding_(padding)
{
    setFixedHeight(1 + 2 * padding);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumWidth(2 * inset);
}

VKDivider::VKDivider(Qt::Orientation orientation, int length, QWidget *parent)
    : QWidget(parent), vertical_(orientation == Qt::Vertical)
{
    if (vertical_)
        setFixedSize(1, length);
    else
        setFixedHeight(1);
}

QRect VKDivider::line() const
{
    if (vertical_)
        return QRect(0, 0, 1, height());
    return QRect(inset_, padding_, std::max(0, width() - 2 * inset_), 1);
}

void VKDivider::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(line(), QColor(255, 255, 255, 38));
}
