#include "ui/canvas/canvasarea.h"

#include "kit/paint/paint.h"
#include "kit/views/scrollstyle.h"

#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

// The scroll view's content: at least the area's size, the page view centred in it with the
// margin around, and the page's drop shadow under it.
class CanvasContent : public QWidget {
public:
    explicit CanvasContent(QWidget *parent = nullptr) : QWidget(parent)
    {
        setAttribute(Qt::WA_NoSystemBackground);
    }
    QWidget *page = nullptr;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!page)
            return;
        QPainter p(this);
        // Nine slices of one small blurred rectangle: a page-sized mask at zoom 8 would be huge.
        VKPaint::drawRoundedShadow(p, QRectF(page->geometry()), 0, QColor(0, 0, 0, 140), 10, QPointF(0, 5));
    }
};

CanvasArea::CanvasArea(LWEditor &editor, QWidget *parent)
    : QWidget(parent), m_editor(editor), m_scroll(new QScrollArea(this)), m_content(new CanvasContent),
      m_page(new PageCanvas(editor, m_content))
{
    m_content->page = m_page;
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_scroll->setFocusPolicy(Qt::NoFocus); // no Tab stop that shows nothing
    m_scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setWidget(m_content);
    VKScrollStyle::apply(m_scroll);
    m_content->setAutoFillBackground(false);
    connect(&editor, &LWEditor::docChanged, this, &CanvasArea::relayout);
    connect(&editor, &LWEditor::canvasZoomChanged, this, &CanvasArea::relayout);
}

double CanvasArea::fit(QSizeF area, const LWDocument &doc)
{
    const double w = doc.width + 2 * doc.bleed, h = doc.height + 2 * doc.bleed;
    if (!(w > 0) || !(h > 0))
        return 0.05;
    return std::max(0.05, std::min((area.width() - 2 * pad) / w, (area.height() - 2 * pad) / h));
}

void CanvasArea::relayout()
{
    const double f = fit(QSizeF(size()), m_editor.doc());
    if (std::abs(f - m_editor.fitScale()) > 0.0005)
        m_editor.setFitScale(f);
    m_scroll->setGeometry(rect());
    // A zoom change keeps the scroll offsets (the scroll area clamps them to the new range).
    m_page->setScale(f * m_editor.canvasZoom());
    const QSize page = m_page->size();
    const QSize content(std::max(width(), page.width() + int(2 * pad)), std::max(height(), page.height() + int(2 * pad)));
    m_content->resize(content);
    m_page->move((content.width() - page.width()) / 2, (content.height() - page.height()) / 2);
}

void CanvasArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void CanvasArea::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    relayout();
}

void CanvasArea::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient ground(0, 0, 0, height());
    ground.setColorAt(0, QColor::fromRgbF(0.20, 0.20, 0.20));
    ground.setColorAt(1, QColor::fromRgbF(0.11, 0.11, 0.11));
    p.fillRect(rect(), ground);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 18)); // 7 %
    for (double y = 12; y < height(); y += 22)
        for (double x = 12; x < width(); x += 22)
            p.drawEllipse(QRectF(x, y, 1.4, 1.4));
}
