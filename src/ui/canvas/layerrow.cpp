#include "ui/canvas/layerrow.h"

#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "model/file/json.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <functional>

namespace {

constexpr double symbolSize = 10.5;

// The eye and the lock: a symbol in plain style whose colour the row decides when painting.
class FlagButton : public QAbstractButton {
public:
    FlagButton(std::function<QColor()> ink, QWidget *parent) : QAbstractButton(parent), m_ink(std::move(ink))
    {
        setFocusPolicy(Qt::NoFocus); // the list's keys act on the current row's flags
        setCursor(Qt::ArrowCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {16, 16}; }
    void setSymbol(const QString &symbol, const QString &help)
    {
        m_symbol = symbol;
        setToolTip(help);
        setAccessibleName(help);
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            p.setOpacity(0.75);
        const QRectF box((width() - symbolSize) / 2, (height() - symbolSize) / 2, symbolSize, symbolSize);
        VKSymbols::paint(p, m_symbol, box, m_ink());
    }

private:
    QString m_symbol;
    std::function<QColor()> m_ink;
};

} // namespace

LayerRow::LayerRow(LWEditor &editor, const LWElement &element, int index, QWidget *parent)
    : QWidget(parent), m_editor(editor), m_element(element), m_index(index)
{
    setToolTip(help);
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_eye = new FlagButton([this] { return isSelected() ? QColor(Qt::white) : LWStyle::t().dim; }, this);
    m_lock = new FlagButton(
        [this] { return m_element.locked ? LWStyle::orange() : isSelected() ? QColor(Qt::white) : LWStyle::t().dim; }, this);
    // The flags as the row shows them, not as the design may hold them by now.
    connect(m_eye, &QAbstractButton::clicked, this, [this] { m_editor.setHidden(!m_element.hidden, {m_element.id}); });
    connect(m_lock, &QAbstractButton::clicked, this,
            [this] { m_editor.setLocked(!m_element.locked, QList<QUuid>{m_element.id}); });
    showFlags();

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 5, 8, 5);
    row->setSpacing(6);
    row->addStretch(1); // the symbol and the name are painted in front of it
    row->addWidget(m_eye);
    row->addWidget(m_lock);
}

void LayerRow::setElement(const LWElement &element, int index)
{
    const bool looks = element.name != m_element.name || element.kind != m_element.kind ||
                       element.shape != m_element.shape || element.hidden != m_element.hidden ||
                       element.locked != m_element.locked || element.id != m_element.id;
    m_element = element;
    m_index = index;
    if (!looks)
        return;
    m_press.reset();
    showFlags();
    update();
}

void LayerRow::showFlags()
{
    const bool hidden = m_element.hidden, locked = m_element.locked;
    static_cast<FlagButton *>(m_eye)->setSymbol(hidden ? VKSymbols::eyeSlash : VKSymbols::eye,
                                           hidden ? QStringLiteral("Show") : QStringLiteral("Hide"));
    static_cast<FlagButton *>(m_lock)->setSymbol(locked ? VKSymbols::lockFill : VKSymbols::lockOpen,
                                            locked ? QStringLiteral("Unlock")
                                                   : QStringLiteral("Lock (stops moving by accident)"));
}

bool LayerRow::isSelected() const
{
    return m_editor.selection().contains(m_element.id);
}

void LayerRow::followSelection()
{
    if (isSelected() != m_paintedSelected)
        update();
}

QFont LayerRow::nameFont() const
{
    return vkFont(11.5, isSelected() ? VKWeight::Bold : VKWeight::Medium);
}

QColor LayerRow::nameColour() const
{
    if (isSelected())
        return Qt::white;
    return m_element.hidden ? LWStyle::t().dim : LWStyle::t().text;
}

QString LayerRow::kindSymbol(const LWElement &element)
{
    switch (element.kind) {
    case LWElementKind::text:
        return VKSymbols::textFormat;
    case LWElementKind::image:
        return VKSymbols::photo;
    case LWElementKind::icon:
        return VKSymbols::leaf;
    case LWElementKind::group:
        return VKSymbols::squareOnSquare;
    case LWElementKind::shape:
        break;
    }
    switch (element.shape) {
    case LWShapeKind::ellipse:
        return VKSymbols::circle;
    case LWShapeKind::triangle:
        return VKSymbols::triangle;
    case LWShapeKind::polygon:
        return VKSymbols::hexagon;
    case LWShapeKind::star:
        return VKSymbols::star;
    case LWShapeKind::line:
        return VKSymbols::lineDiagonal;
    case LWShapeKind::rectangle:
    case LWShapeKind::path:
        break;
    }
    return VKSymbols::rectangle;
}

void LayerRow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const VKKitTheme theme = LWStyle::t();
    const bool selected = isSelected();
    m_paintedSelected = selected;
    QColor back = selected ? theme.accent : QColor(Qt::black);
    back.setAlphaF(selected ? 0.85f : 0.15f);
    p.fillPath(VKPaint::roundedRect(rect(), 8), back);

    VKSymbols::paint(p, kindSymbol(m_element), QRectF(8, (height() - 11) / 2.0, 16, 11),
                     selected ? QColor(Qt::white) : theme.dim);
    // The name runs from after the symbol to the flexible gap (2) before the eye, 6 apart each.
    const double left = 8 + 16 + 6, right = m_eye->geometry().left() - 6 - 2 - 6;
    if (right <= left)
        return;
    const QFont font = nameFont();
    p.setPen(nameColour());
    vkDrawText(p, QRectF(left, 0, right - left, height()), Qt::AlignLeft | Qt::AlignVCenter,
               vkElidedText(font, m_element.name, right - left), font);
}

void LayerRow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_press = event->position().toPoint();
}

void LayerRow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_press || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - *m_press).manhattanLength() < QApplication::startDragDistance())
        return;
    const QPoint hotSpot = *m_press;
    m_press.reset();
    startDrag(hotSpot);
}

void LayerRow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_press)
        return QWidget::mouseReleaseEvent(event);
    m_press.reset();
    select(event->modifiers());
    Q_EMIT clicked();
}

void LayerRow::select(Qt::KeyboardModifiers modifiers)
{
    const QUuid id = m_element.id;
    QList<QUuid> selection = m_editor.selection();
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) {
        if (selection.contains(id))
            selection.removeAll(id);
        else
            selection.append(id);
    } else {
        selection = {id};
    }
    m_editor.setSelection(selection);
}

void LayerRow::startDrag(QPoint hotSpot)
{
    auto *mime = new QMimeData;
    mime->setText(LWJson::uuidText(m_element.id));
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(grab());
    drag->setHotSpot(hotSpot);
    Q_EMIT dragStarted();
    QPointer<LayerRow> self(this);
    drag->exec(Qt::MoveAction);
    if (self)
        Q_EMIT dragFinished();
}

// The zoom host's proxy starts a drag-move as refused: both must accept, or no drop arrives.
void LayerRow::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void LayerRow::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
    else
        event->ignore();
}

// Refused unless the text names an element of the shown page: then one restacking step.
void LayerRow::dropEvent(QDropEvent *event)
{
    const QUuid id = QUuid::fromString(event->mimeData()->text());
    if (id.isNull() || !m_editor.index(id)) {
        event->ignore();
        return;
    }
    m_editor.move(id, m_index);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}
