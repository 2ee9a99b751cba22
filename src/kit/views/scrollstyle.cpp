#include "kit/views/scrollstyle.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <algorithm>

VKScrollStyle *VKScrollStyle::shared()
{
    // A child of the application object, so it outlives every widget that uses it.
    static QPointer<VKScrollStyle> style;
    if (!style) {
        style = new VKScrollStyle;
        style->setParent(qApp);
    }
    return style;
}

// Fusion underneath, as every window uses it.
VKScrollStyle::VKScrollStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

void VKScrollStyle::apply(QAbstractScrollArea *area)
{
    VKScrollStyle *style = shared();
    // A widget's style does not pass to its children: each bar gets it.
    for (QScrollBar *bar : {area->horizontalScrollBar(), area->verticalScrollBar()})
        if (bar->style() != style)
            bar->setStyle(style);
    // Shift + wheel scrolls sideways (the Linux convention), turned at the viewport.
    area->viewport()->installEventFilter(style);
    // A graphics view sizes its range with its own style's bar extent.
    if (qobject_cast<QGraphicsView *>(area) && area->style() != style)
        area->setStyle(style);
}

int VKScrollStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent:
        // Asked by the scroll area itself the bars take no room; the bars keep their strip.
        return qobject_cast<const QAbstractScrollArea *>(widget) ? 0 : extent;
    case PM_ScrollView_ScrollBarOverlap:
        return extent; // the bars lie over the viewport
    case PM_ScrollView_ScrollBarSpacing:
        return 0;
    case PM_ScrollBarSliderMin:
        return sliderMin;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int VKScrollStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                             QStyleHintReturn *returnData) const
{
    // Shown while the content exceeds the view, never faded out: no animation runs on an idle view.
    if (hint == SH_ScrollBar_Transient)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QRect VKScrollStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                                    const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::subControlRect(control, option, sub, widget);
    // The whole strip is the groove: no arrow buttons.
    const QRect r = bar->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? r.width() : r.height();
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int thumb = length;
    if (range > 0 && length > 0) {
        const qint64 page = std::max(0, bar->pageStep);
        thumb = std::min(length, std::max(sliderMin, int(qint64(length) * page / (range + page))));
    }
    const int start = sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition, length - thumb,
                                              bar->upsideDown);
    const auto along = [&](int from, int size) {
        return horizontal ? QRect(r.x() + from, r.y(), size, r.height()) : QRect(r.x(), r.y() + from, r.width(), size);
    };
    switch (sub) {
    case SC_ScrollBarGroove:
        return r;
    case SC_ScrollBarSlider:
        return along(start, thumb);
    case SC_ScrollBarSubPage:
        return along(0, start);
    case SC_ScrollBarAddPage:
        return along(start + thumb, length - start - thumb);
    default:
        return {};
    }
}

void VKScrollStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                                       const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    if (bar->maximum <= bar->minimum)
        return;
    const bool pressed = (bar->state & State_Sunken) && (bar->activeSubControls & SC_ScrollBarSlider);
    const bool over = bar->state & State_MouseOver;
    const double breadth = pressed || over ? wide : thin;
    const QRectF slider = proxy()->subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
    const QRectF strip = bar->rect;
    // A capsule at the trailing edge, short of the slider's ends by the inset.
    const QRectF capsule = bar->orientation == Qt::Horizontal
                               ? QRectF(slider.left() + inset, strip.bottom() + 1 - inset - breadth,
                                        slider.width() - 2 * inset, breadth)
                               : QRectF(strip.right() + 1 - inset - breadth, slider.top() + inset, breadth,
                                        slider.height() - 2 * inset);
    QColor colour = VELKKitHost::theme().text;
    colour.setAlphaF(pressed ? 0.7f : over ? 0.55f : 0.4f);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(VKPaint::capsule(capsule), colour);
    painter->restore();
}

bool VKScrollStyle::sideways(QObject *viewport, QWheelEvent *event)
{
    const auto *area = qobject_cast<QAbstractScrollArea *>(viewport->parent());
    const QPoint angle = event->angleDelta();
    if (!area || area->viewport() != viewport || !(event->modifiers() & Qt::ShiftModifier) || angle.y() == 0 ||
        angle.x() != 0 || area->horizontalScrollBar()->maximum() <= area->horizontalScrollBar()->minimum())
        return false;
    // Without Shift, which would make the bar jump a page.
    QWheelEvent turned(event->position(), event->globalPosition(), event->pixelDelta().transposed(), angle.transposed(),
                       event->buttons(), event->modifiers() & ~Qt::ShiftModifier, event->phase(), event->inverted(),
                       event->source(), event->pointingDevice());
    QCoreApplication::sendEvent(viewport, &turned);
    event->setAccepted(turned.isAccepted());
    return true;
}

void VKScrollStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    if (auto *bar = qobject_cast<QScrollBar *>(widget)) {
        bar->setAttribute(Qt::WA_Hover);
        bar->setAttribute(Qt::WA_OpaquePaintEvent, false);
        bar->setAutoFillBackground(false);
        bar->installEventFilter(this);
    }
}

void VKScrollStyle::unpolish(QWidget *widget)
{
    if (qobject_cast<QScrollBar *>(widget))
        widget->removeEventFilter(this);
    QProxyStyle::unpolish(widget);
}

bool VKScrollStyle::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return sideways(watched, static_cast<QWheelEvent *>(event));
    // The bar repaints only the parts whose hover state changed; the whole capsule widens.
    if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave)
        if (auto *bar = qobject_cast<QScrollBar *>(watched))
            bar->update();
    return QProxyStyle::eventFilter(watched, event);
}
