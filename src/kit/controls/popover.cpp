#include "kit/controls/popover.h"

#include "kit/theme/style.h"
#include "kit/theme/velkroot.h"
#include "kit/zoom/zoomhost.h"

#include <QGraphicsProxyWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {

int openCount = 0;

} // namespace

VKPopover::VKPopover(QWidget *content, QWidget *parent) : QWidget(parent, Qt::Popup), content_(content)
{
    Q_ASSERT(parent && content);
    velkRoot(this);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->addWidget(content);
}

VKPopover::~VKPopover()
{
    setOpen(false);
}

bool VKPopover::isAnyOpen()
{
    return openCount > 0;
}

QPoint VKPopover::placement(const QRect &anchor, QSize frame, const QRect &area, bool beside)
{
    int x = anchor.center().x() + 1 - frame.width() / 2;
    int y = anchor.bottom() + 1 + gap;
    const int above = anchor.top() - gap - frame.height();
    if (beside) {
        x = anchor.right() + 1 + gap;
        y = anchor.center().y() + 1 - frame.height() / 2;
    } else if (y + frame.height() > area.bottom() + 1 && above >= area.top()) {
        y = above;
    }
    // Right edge first, so a frame wider than the area keeps its left edge in view.
    x = std::max(std::min(x, area.right() + 1 - frame.width()), area.left());
    y = std::max(std::min(y, area.bottom() + 1 - frame.height()), area.top());
    return {x, y};
}

void VKPopover::open(QWidget *anchor)
{
    openAt(anchor, false);
}

void VKPopover::openBeside(QWidget *anchor)
{
    openAt(anchor, true);
}

void VKPopover::openAt(QWidget *anchor, bool beside)
{
    adjustSize();
    if (anchor->window()->graphicsProxyWidget()) {
        // Shown first: Qt embeds the popup as a child item of the content's proxy, whose
        // coordinates are the content's own.
        show();
        QWidget *content = anchor->window();
        const QRect where(anchor->mapTo(content, QPoint(0, 0)), anchor->size());
        // In the part of the zoomed content in view where it fits there, so it opens where it is seen.
        const QRect shown = VKZoomHost::visiblePart(anchor);
        const bool fits = shown.width() >= width() && shown.height() >= height();
        const QPoint at = placement(where, size(), fits ? shown : content->rect(), beside);
        if (QGraphicsProxyWidget *inner = graphicsProxyWidget())
            inner->setPos(at);
    } else {
        const QRect where(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
        show(); // moved once shown: before, the platform may still add a frame it then leaves off
        move(placement(where, size(), anchor->screen()->availableGeometry(), beside));
    }
    raise();
    activateWindow();
    content_->setFocus(Qt::PopupFocusReason);
}

void VKPopover::setOpen(bool open)
{
    if (open == open_)
        return;
    open_ = open;
    openCount += open ? 1 : -1;
}

void VKPopover::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void VKPopover::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    setOpen(true);
}

void VKPopover::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!open_)
        return;
    setOpen(false);
    Q_EMIT closed();
}

void VKPopover::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), LWStyle::t().bg);
    p.setPen(QPen(LWStyle::t().rim, 1));
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
