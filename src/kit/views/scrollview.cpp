#include "kit/views/scrollview.h"

#include "kit/views/scrollstyle.h"

VKScrollView::VKScrollView(QWidget *content, QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    VKScrollStyle::apply(this);
    if (content)
        setContent(content);
}

void VKScrollView::setContent(QWidget *content)
{
    if (QWidget *old = takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    if (!content)
        return;
    setWidget(content);
    // setWidget turns the content's background filling on.
    content->setAutoFillBackground(false);
}
