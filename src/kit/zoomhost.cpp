#include "kit/zoomhost.h"

#include "model/prefs.h"

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QProxyStyle>
#include <QScrollBar>
#include <cmath>

namespace {

// Scroll bars laid over the viewport, as overlay indicators are: they never shrink the space the
// content is laid out in.
class OverlayBars : public QProxyStyle {
public:
    OverlayBars() : QProxyStyle(QApplication::style()->name()) {}
    // The graphics view sizes its scroll ranges as if the bars took room beside the viewport:
    // asked by the view itself, they take none. The bars still get their own width.
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_ScrollBarExtent && qobject_cast<const QGraphicsView *>(widget))
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ScrollBar_Transient)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

VKZoomHost::VKZoomHost(QWidget *content, QSizeF minSize, QWidget *parent)
    : QGraphicsView(parent), m_content(content), m_minSize(minSize)
{
    Q_ASSERT(content && !content->parentWidget());
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    viewport()->setAutoFillBackground(false);
    setBackgroundBrush(Qt::NoBrush);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    setCacheMode(CacheNone);

    auto *style = new OverlayBars;
    style->setParent(this);
    setStyle(style);
    // A widget's style does not pass to its children, and the bars ask their own.
    horizontalScrollBar()->setStyle(style);
    verticalScrollBar()->setStyle(style);

    // Empty spots show the window's background, unscaled.
    content->setAttribute(Qt::WA_NoSystemBackground);
    auto *scene = new QGraphicsScene(this);
    m_proxy = scene->addWidget(content);
    setScene(scene);

    m_home = new VKZoom::ScrollHome(this);
    connect(&LWSettings::shared(), &LWSettings::changed, this, [this](const QString &key) {
        if (key == VKZoom::key)
            relayout();
    });
    relayout();
}

void VKZoomHost::showEvent(QShowEvent *event)
{
    QGraphicsView::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        relayout();
    }
}

void VKZoomHost::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    relayout();
}

void VKZoomHost::relayout()
{
    const VKZoom::Layout before = m_layout;
    m_layout = VKZoom::layout(QSizeF(size()), VKZoom::value(), m_minSize);
    const QSizeF &logical = m_layout.logical;
    // Whole units, rounded up, so no uncovered strip is left at the right or bottom edge.
    m_proxy->resize(std::ceil(logical.width()), std::ceil(logical.height()));
    m_proxy->setScale(m_layout.zoom);
    const QRectF area(QPointF(0, 0), m_layout.scaled);
    scene()->setSceneRect(area);
    setSceneRect(area);
    const Qt::ScrollBarPolicy bars = m_layout.indicators ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(bars);
    setVerticalScrollBarPolicy(bars);
    // A write of the same zoom is no change; the first show always scrolls home.
    if (!m_homed || m_layout.zoom != before.zoom || size() != m_homedSize) {
        m_homed = m_shown;
        m_homedSize = size();
        m_home->request();
    }
}
