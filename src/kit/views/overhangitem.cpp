#include "kit/views/overhangitem.h"

#include <QBoxLayout>
#include <QWidget>

#include <algorithm>

VKOverhangItem::VKOverhangItem(QWidget *widget, QMargins margins, bool fitHeight)
    : QWidgetItem(widget), margins_(margins), fitHeight_(fitHeight)
{
}

void VKOverhangItem::add(QBoxLayout *layout, QWidget *widget, QMargins margins, bool fitHeight, int stretch)
{
    // As addWidget would: a layout already on a widget adopts the widget now, otherwise when it is
    // set on one.
    if (QWidget *parent = layout->parentWidget(); parent && widget->parentWidget() != parent) {
        const bool hidden = widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
        widget->setParent(parent);
        if (!hidden)
            widget->show();
    }
    layout->addItem(new VKOverhangItem(widget, margins, fitHeight));
    layout->setStretch(layout->count() - 1, stretch);
}

QSize VKOverhangItem::sizeHint() const
{
    return QWidgetItem::sizeHint().shrunkBy(margins_);
}

QSize VKOverhangItem::minimumSize() const
{
    return QWidgetItem::minimumSize().shrunkBy(margins_);
}

QSize VKOverhangItem::maximumSize() const
{
    return QWidgetItem::maximumSize().shrunkBy(margins_);
}

int VKOverhangItem::heightForWidth(int w) const
{
    const int h = QWidgetItem::heightForWidth(w + margins_.left() + margins_.right());
    return h < 0 ? h : h - margins_.top() - margins_.bottom();
}

void VKOverhangItem::setGeometry(const QRect &r)
{
    if (isEmpty())
        return;
    QSize size = r.size().boundedTo(maximumSize());
    if (fitHeight_)
        size.setHeight(std::min(size.height(), hasHeightForWidth() ? heightForWidth(size.width()) : sizeHint().height()));
    widget()->setGeometry(QRect(r.topLeft(), size).marginsAdded(margins_));
}

QRect VKOverhangItem::geometry() const
{
    return QWidgetItem::geometry().marginsRemoved(margins_);
}
