#include "kit/zoom/zoomhost.h"

#include "kit/views/scrollstyle.h"
#include "model/file/prefs.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <cmath>

namespace {

// Tab past the content's last control comes round to its first (Backtab the other way), as in a
// window of its own: Qt's proxy would leave the keyboard on the last one.
class WrappingProxy : public QGraphicsProxyWidget {
protected:
    bool focusNextPrevChild(bool next) override
    {
        QWidget *content = widget();
        const QWidget *before = content ? content->focusWidget() : nullptr;
        const bool moved = QGraphicsProxyWidget::focusNextPrevChild(next);
        if (!content || (content->focusWidget() != before && content->focusWidget()))
            return moved;
        for (QWidget *w = next ? content->nextInFocusChain() : content->previousInFocusChain(); w && w != content;
             w = next ? w->nextInFocusChain() : w->previousInFocusChain())
            if (w->isVisibleTo(content) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy()) {
                w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                return true;
            }
        return moved;
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

    VKScrollStyle::apply(this);

    // Empty spots show the window's background, unscaled.
    content->setAttribute(Qt::WA_NoSystemBackground);
    auto *scene = new QGraphicsScene(this);
    m_proxy = new WrappingProxy;
    m_proxy->setWidget(content);
    scene->addItem(m_proxy);
    setScene(scene);

    // A content that cannot be laid out as small as offered keeps its own minimum: the scene grows
    // with it, so its bottom and right edges (the status strip) can still be scrolled to.
    connect(m_proxy, &QGraphicsWidget::geometryChanged, this, &VKZoomHost::fitScene);
    m_home = new VKZoom::ScrollHome(this);
    qApp->installEventFilter(this); // the content's focus changes: the view follows the keyboard
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

void VKZoomHost::mousePressEvent(QMouseEvent *event)
{
    // The release of a press that opened a popup goes to the popup: the content would keep the
    // press's control as its grabber and hand it the next press, wherever that lands. A press
    // with no other button held starts afresh.
    if (event->buttons() == event->button() && !scene()->mouseGrabberItem()) {
        QEvent ungrab(QEvent::UngrabMouse);
        scene()->sendEvent(m_proxy, &ungrab);
    }
    QGraphicsView::mousePressEvent(event);
}

bool VKZoomHost::eventFilter(QObject *watched, QEvent *event)
{
    // A control that Tab, a shortcut or an opening popover gave the keyboard is scrolled into
    // view (in the content or in a popup drawn in the scene): zoomed, the content is larger than
    // the window, and the keyboard must never go where it cannot be seen.
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        const auto *w = static_cast<QWidget *>(watched);
        const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
        if (w != w->window() && showing(w) == this &&
            (why == Qt::TabFocusReason || why == Qt::BacktabFocusReason || why == Qt::ShortcutFocusReason ||
             why == Qt::PopupFocusReason)) {
            showControl(w);
            // Again once the key is done: a scroll view inside scrolls to it only after this.
            QTimer::singleShot(0, this, [this, control = QPointer<const QWidget>(w)] {
                if (control && control->hasFocus())
                    showControl(control);
            });
        }
    }
    return QGraphicsView::eventFilter(watched, event);
}

bool VKZoomHost::event(QEvent *event)
{
    // The proxy keeps the scene's focus after a click on an empty spot or when the control with
    // the keyboard went, and then drops Tab: without a focus item the scene gives it the first
    // (Backtab: the last) control instead.
    if (event->type() == QEvent::KeyPress && m_proxy->hasFocus() && !m_content->focusWidget()) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            scene()->setFocusItem(nullptr);
    }
    return QGraphicsView::event(event);
}

void VKZoomHost::showControl(const QWidget *w, const QRect &part)
{
    const QGraphicsProxyWidget *proxy = w->window()->graphicsProxyWidget();
    if (!proxy)
        return;
    m_home->stop(); // the keyboard's scroll is the user's: no late turn home undoes it
    // 8 units of room around it, as laid out: a bar's control brings its bar's edge along.
    const int room = int(std::ceil(8 * m_layout.zoom));
    const QRect area = part.isNull() ? w->rect() : part;
    ensureVisible(proxy->mapRectToScene(QRectF(area.translated(w->mapTo(w->window(), QPoint())))), room, room);
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
    fitScene();
    // A write of the same zoom is no change; the first show always scrolls home.
    if (!m_homed || m_layout.zoom != before.zoom || size() != m_homedSize) {
        m_homed = m_shown;
        m_homedSize = size();
        m_home->request();
    }
}

void VKZoomHost::fitScene()
{
    // The proxy keeps at least the content's minimum size, whatever it was asked for (and is
    // otherwise the logical size rounded up, which adds no scrolling).
    const QSizeF proxy = m_proxy->size(), &logical = m_layout.logical;
    const QSizeF laid(proxy.width() > std::ceil(logical.width()) ? proxy.width() : logical.width(),
                      proxy.height() > std::ceil(logical.height()) ? proxy.height() : logical.height());
    const QRectF area(QPointF(0, 0), laid * m_layout.zoom);
    m_layout.scaled = area.size();
    m_layout.indicators = area.width() > width() + 1 || area.height() > height() + 1;
    if (scene()->sceneRect() != area) {
        scene()->setSceneRect(area);
        setSceneRect(area);
    }
    const Qt::ScrollBarPolicy bars = m_layout.indicators ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(bars);
    setVerticalScrollBarPolicy(bars);
}

VKZoomHost *VKZoomHost::showing(const QWidget *inner)
{
    // The content's proxy, or a popup's drawn in the same scene.
    const QGraphicsProxyWidget *proxy = inner ? inner->window()->graphicsProxyWidget() : nullptr;
    if (!proxy || !proxy->scene())
        return nullptr;
    for (QGraphicsView *view : proxy->scene()->views())
        if (auto *host = qobject_cast<VKZoomHost *>(view); host && host->m_proxy->scene() == proxy->scene())
            return host;
    return nullptr;
}

void VKZoomHost::reveal(const QWidget *inner, const QRect &part)
{
    if (VKZoomHost *host = showing(inner))
        host->showControl(inner, part);
}

QRect VKZoomHost::visiblePart(const QWidget *inner)
{
    const QWidget *window = inner->window();
    const VKZoomHost *host = showing(inner);
    if (!host)
        return window->rect();
    const QRectF shown = host->mapToScene(host->viewport()->rect()).boundingRect();
    return window->graphicsProxyWidget()->mapRectFromScene(shown).toAlignedRect() & window->rect();
}

void VKZoomHost::home(const QWidget *inner)
{
    if (VKZoomHost *host = showing(inner))
        host->m_home->request();
}

QWidget *VKZoomHost::outerWindow(QWidget *inner)
{
    QWidget *window = inner ? inner->window() : nullptr;
    const QGraphicsProxyWidget *proxy = window ? window->graphicsProxyWidget() : nullptr;
    if (proxy && proxy->scene() && !proxy->scene()->views().isEmpty())
        return proxy->scene()->views().constFirst()->window();
    return window;
}
