#include "ui/canvas/inlinetexteditor.h"

#include "kit/host/focusedtext.h"
#include "kit/paint/paint.h"
#include "kit/paint/uifont.h"
#include "render/text/fonts.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTimer>

#include <cmath>

InlineGeometry InlineGeometry::of(const LWElement &element, double bleed, double scale)
{
    const LWRect &f = element.frame;
    const double type = element.text ? element.text->size * scale : 0;
    return {QSizeF(f.width() * scale + 12, std::max(f.height() * scale, type * 1.4) + 8),
            QPointF((f.midX() + bleed) * scale + 1, (f.midY() + bleed) * scale + 4), element.rotation};
}

InlineTextEditor::InlineTextEditor(LWEditor &editor, const QUuid &id, QWidget *pageView)
    : m_editor(editor), m_id(id), m_pageView(pageView)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setBackgroundVisible(false);
    document()->setDocumentMargin(2);
    // A minimum of its own would hold the proxy taller than the box and push the line out of view.
    setMinimumSize(1, 1);
    syncFromDesign();
    // Sample words go at the first key; anything else is added to at its end.
    const std::optional<LWElement> e = editor.element(id);
    if (e && e->text && e->text->placeholder)
        selectAll();
    else
        moveCursor(QTextCursor::End);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        m_editor.setText(m_id, toPlainText());
        syncFromDesign(); // a locked box keeps its string
    });
}

void InlineTextEditor::setScale(double scale)
{
    m_scale = scale;
    const std::optional<LWElement> e = m_editor.element(m_id);
    if (!e || !e->text)
        return;
    const LWText &t = *e->text;
    setFont(LWFonts::font(t.fontName, vkPointSize(t.size * scale)));
    QPalette pal = palette();
    pal.setColor(QPalette::Text, t.color.qcolor());
    pal.setColor(QPalette::Base, Qt::transparent);
    setPalette(pal);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(t.align == LWTextAlign::center  ? Qt::AlignHCenter
                        : t.align == LWTextAlign::right ? Qt::AlignRight
                                                        : Qt::AlignLeft);
    document()->setDefaultTextOption(option);
}

void InlineTextEditor::syncFromDesign()
{
    const std::optional<LWElement> e = m_editor.element(m_id);
    const QString stored = e && e->text ? e->text->string : QString();
    if (stored == toPlainText())
        return;
    const QSignalBlocker quiet(this);
    QTextCursor cursor = textCursor();
    const int at = std::min(cursor.position(), int(stored.size()));
    setPlainText(stored);
    cursor = textCursor();
    cursor.setPosition(at);
    setTextCursor(cursor);
}

void InlineTextEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        m_editor.setEditingTextID(std::nullopt);
        if (m_pageView)
            m_pageView->setFocus(Qt::OtherFocusReason);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void InlineTextEditor::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen = VKPaint::dashedPen(QColor::fromRgbF(0.18f, 0.6f, 1.0f), 1, 4, 3);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    p.strokePath(VKPaint::roundedRect(QRectF(viewport()->rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2), pen);
}

namespace {

// The window a widget shows in, through the graphics views it is embedded in; null when a popup
// or menu lies on the way.
QWidget *shownIn(QWidget *w)
{
    for (int depth = 0; w && depth < 8; ++depth) {
        QWidget *window = w->window();
        if (window->windowType() == Qt::Popup)
            return nullptr;
        const QGraphicsProxyWidget *proxy = window->graphicsProxyWidget();
        if (!proxy || !proxy->scene() || proxy->scene()->views().isEmpty())
            return window;
        w = proxy->scene()->views().constFirst();
    }
    return nullptr;
}

} // namespace

// Sees the application's presses and moves of the keyboard while the editor is shown.
class InlineEditorHost::Keeper : public QObject {
public:
    explicit Keeper(InlineEditorHost *host) : QObject(host), m_host(host) { qApp->installEventFilter(this); }
    ~Keeper() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!watched->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(watched);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_host->pressed(w);
            break;
        case QEvent::Hide:
            // A menu, popup or dialog closing gives the keyboard back to whatever had it before,
            // or to the menu bar after Escape: the text takes it.
            if (w->isWindow() && (w->windowType() == Qt::Popup || w->windowType() == Qt::Dialog ||
                                  w->windowType() == Qt::Sheet))
                m_host->reclaimSoon();
            break;
        case QEvent::WindowActivate:
            m_host->reclaimSoon();
            break;
        case QEvent::FocusIn:
            // Widgets inside graphics views take the focus without the application's focus widget
            // changing: their own focus events tell. Activation and popups only lend it.
            switch (static_cast<QFocusEvent *>(event)->reason()) {
            case Qt::ActiveWindowFocusReason:
            case Qt::PopupFocusReason:
            case Qt::MenuBarFocusReason:
                break;
            default:
                m_host->keyboardMoved(w);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    InlineEditorHost *m_host;
};

InlineEditorHost::InlineEditorHost(LWEditor &editor, const QUuid &id, QWidget *pageView)
    : QGraphicsView(pageView), m_editor(editor), m_text(new InlineTextEditor(editor, id, pageView))
{
    new Keeper(this);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("background: transparent"));
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    auto *scene = new QGraphicsScene(this);
    setScene(scene);
    m_proxy = scene->addWidget(m_text);
}

bool InlineEditorHost::holds(const QWidget *w) const
{
    return w == this || isAncestorOf(w) || w == m_text || m_text->isAncestorOf(w);
}

void InlineEditorHost::keyboardMoved(QWidget *now)
{
    if (m_focusing || !now || holds(now) || vkFocusedTextInput() == m_text || !isVisible())
        return;
    QWidget *window = shownIn(now);
    if (!window || window != shownIn(this))
        return; // a popup, a menu or another window
    m_leaving = true;
    // A press decides at once (see pressed()); any other move of the keyboard once it is done.
    QTimer::singleShot(0, this, [this] {
        if (m_leaving)
            endEditing();
    });
}

void InlineEditorHost::pressed(QWidget *w)
{
    if (!m_leaving)
        return;
    // Views hand the press on to the widget under it, which the focus went to: judged there.
    const auto *view = qobject_cast<QGraphicsView *>(w->parentWidget());
    if (view && view->viewport() == w)
        return;
    for (QWidget *up = w; up; up = up->parentWidget()) {
        const QVariant target = up->property(vkTypingTargetProperty);
        if (target.isValid() && target.toUuid() == m_text->id()) {
            m_leaving = false;
            focusText();
            return;
        }
    }
    endEditing();
}

void InlineEditorHost::endEditing()
{
    m_leaving = false;
    if (m_editor.editingTextID() == m_text->id())
        m_editor.setEditingTextID(std::nullopt);
}

void InlineEditorHost::showEvent(QShowEvent *event)
{
    QGraphicsView::showEvent(event);
    reclaimSoon(); // a page built anew (another theme) shows its editor before its window is back
}

void InlineEditorHost::reclaimSoon()
{
    if (m_reclaiming)
        return;
    m_reclaiming = true;
    QTimer::singleShot(0, this, &InlineEditorHost::reclaim);
}

void InlineEditorHost::reclaim()
{
    m_reclaiming = false;
    if (!isVisible() || m_leaving || m_editor.editingTextID() != m_text->id() || vkFocusedTextInput() == m_text)
        return;
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return;
    QWidget *window = shownIn(this);
    if (!window || window != QApplication::activeWindow())
        return;
    focusText();
}

void InlineEditorHost::place(const InlineGeometry &g)
{
    m_proxy->resize(g.size);
    m_proxy->setTransformOriginPoint(g.size.width() / 2, g.size.height() / 2);
    m_proxy->setRotation(g.rotation);
    // The view covers the turned box, its centre on the element's nudged centre.
    QTransform turn;
    turn.translate(g.centre.x(), g.centre.y());
    turn.rotate(g.rotation);
    const QPolygonF box = turn.map(QPolygonF(QRectF(QPointF(-g.size.width() / 2, -g.size.height() / 2), g.size)));
    const QRect bounds = box.boundingRect().toAlignedRect();
    setGeometry(bounds);
    setSceneRect(QRectF(m_proxy->mapToScene(m_proxy->boundingRect()).boundingRect().center() -
                            QPointF(bounds.width() / 2.0, bounds.height() / 2.0),
                        QSizeF(bounds.size())));
    setMask(QRegion(box.translated(-bounds.topLeft()).toPolygon()));
}

void InlineEditorHost::focusText()
{
    // The views the text is shown through take the keyboard first, outermost first: a widget in
    // a scene whose view lacks it (the menu bar has it) would only be marked for later.
    QList<QGraphicsView *> views;
    for (QWidget *w = this; w;) {
        const QGraphicsProxyWidget *proxy = w->window()->graphicsProxyWidget();
        if (!proxy || !proxy->scene() || proxy->scene()->views().isEmpty())
            break;
        views.prepend(proxy->scene()->views().constFirst());
        w = views.constFirst();
    }
    const QScopedValueRollback<bool> quiet(m_focusing, true);
    for (QGraphicsView *view : std::as_const(views))
        if (!view->hasFocus())
            view->setFocus(Qt::OtherFocusReason);
    setFocus(Qt::OtherFocusReason);
    scene()->setFocusItem(m_proxy, Qt::OtherFocusReason);
    m_text->setFocus(Qt::OtherFocusReason);
}
