#include "ui/canvas/editorscreen.h"

#include "kit/cabinet/bezel.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/canvastoolbar.h"
#include "ui/canvas/editorkeys.h"
#include "ui/canvas/layerspanel.h"
#include "ui/canvas/toolrail.h"
#include "ui/inspector/inspector.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr double canvasRadius = 14, rimWidth = 1.2;

// Over the canvas area, taking no clicks: the theme's background in the four corners outside
// the rounded rectangle (a widget mask is not antialiased) and the chrome rim inside its edge.
class CanvasFrame : public QWidget {
public:
    explicit CanvasFrame(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        QPainterPath corners;
        corners.addRect(r);
        corners = corners.subtracted(VKPaint::roundedRect(r, canvasRadius));
        p.fillPath(corners, LWStyle::t().bg);
        const QRectF edge = r.adjusted(rimWidth / 2, rimWidth / 2, -rimWidth / 2, -rimWidth / 2);
        p.strokePath(VKPaint::roundedRect(edge, canvasRadius - rimWidth / 2), QPen(QBrush(LWStyle::chromeRim(r)), rimWidth));
    }
};

// The canvas area with its frame laid over it at the same size.
class FramedCanvas : public QWidget {
public:
    FramedCanvas(CanvasArea *area, QWidget *parent = nullptr) : QWidget(parent), m_area(area), m_frame(new CanvasFrame(this))
    {
        area->setParent(this);
        m_frame->raise();
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        m_area->setGeometry(rect());
        m_frame->setGeometry(rect());
    }

private:
    CanvasArea *m_area;
    CanvasFrame *m_frame;
};

} // namespace

EditorScreen::EditorScreen(LWApp &app, LWEditor &editor, QWidget *parent)
    : QWidget(parent), m_rail(new ToolRail(editor)), m_layers(new LayersPanel(editor)), m_toolbar(new CanvasToolbar(editor)),
      m_canvas(new CanvasArea(editor)), m_inspector(new Inspector(editor, app)), m_keys(new EditorKeys(app, editor, this))
{
    setAttribute(Qt::WA_NoSystemBackground);
    auto *row = new QHBoxLayout(this);
    // The rail, layers and inspector are bezels whose shadows keep 12 px around each panel: that
    // room is the gap at the sides and between neighbours, so the screen adds none of its own
    // (a two-sided design's toolbar still fits the first window size).
    row->setContentsMargins(0, 10, 0, 10);
    row->setSpacing(0);
    row->addWidget(m_rail, 0, Qt::AlignVCenter);
    // The widths are the panels'; each bezel keeps its shadow's room around it.
    const int shadow = Bezel::shadowMargins().left() + Bezel::shadowMargins().right();
    m_layers->setFixedWidth(220 + shadow);
    row->addWidget(m_layers);
    auto *column = new QVBoxLayout;
    column->setSpacing(8);
    column->addWidget(m_toolbar);
    column->addWidget(new FramedCanvas(m_canvas), 1);
    row->addLayout(column, 1);
    m_inspector->setFixedWidth(300 + shadow);
    row->addWidget(m_inspector);
}

void EditorScreen::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_keys->install();
}

void EditorScreen::hideEvent(QHideEvent *event)
{
    m_keys->uninstall();
    QWidget::hideEvent(event);
}
