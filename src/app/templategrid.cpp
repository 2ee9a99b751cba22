#include "app/templategrid.h"

#include "app/templatethumb.h"
#include "app/thumbs.h"
#include "kit/paint/paint.h"
#include "kit/theme/appstyle.h"
#include "kit/theme/focusring.h"
#include "kit/views/scrollstyle.h"
#include "kit/theme/style.h"
#include "kit/paint/uifont.h"
#include "templates/templates.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QFont nameFont()
{
    return vkFont(11, VKWeight::Semibold);
}

QFont labelFont()
{
    return vkFont(9.5);
}

double lineHeight(const QFont &font)
{
    return vkTextSize(font, QStringLiteral("Ag")).height();
}

} // namespace

double TemplateGrid::thumbHeight(const LWTemplate &t)
{
    return t.kind == LWDocKind::businessCard ? 100 : 200;
}

TemplateGridLayout TemplateGrid::layout(double width, const QList<LWTemplate> &list)
{
    TemplateGridLayout out;
    const double avail = std::max(0.0, width - 2 * padding);
    out.columns = std::max(1, static_cast<int>(std::floor((avail + columnGap) / (minColumn + columnGap))));
    out.columnWidth = (avail - columnGap * (out.columns - 1)) / out.columns;
    out.tiles.reserve(list.size());

    const QFont name = nameFont(), label = labelFont();
    const double textHeight = lineHeight(name) + itemGap + lineHeight(label);
    // Whole pixels keep the outline crisp; a tile never spills out of its column.
    const double widest = std::max(1.0, std::floor(out.columnWidth));
    QList<QSizeF> sizes;
    sizes.reserve(list.size());
    for (const LWTemplate &t : list) {
        const QSizeF thumb = templateThumbFrame(t, thumbHeight(t));
        const double content = std::max({thumb.width(), vkTextSize(name, t.name).width(),
                                         vkTextSize(label, LWTemplates::sizeLabel(t.sizeID)).width()});
        sizes.append({std::min(widest, std::ceil(content + 2 * tilePadding)),
                      std::ceil(thumb.height() + itemGap + textHeight + 2 * tilePadding)});
    }

    double top = padding;
    for (qsizetype first = 0; first < sizes.size(); first += out.columns) {
        const qsizetype end = std::min(sizes.size(), first + out.columns);
        double rowHeight = 0;
        for (qsizetype i = first; i < end; ++i)
            rowHeight = std::max(rowHeight, sizes[i].height());
        for (qsizetype i = first; i < end; ++i) {
            const double cell = padding + static_cast<double>(i - first) * (out.columnWidth + columnGap);
            const QSizeF s = sizes[i];
            out.tiles.append(QRectF(std::floor(cell + (out.columnWidth - s.width()) / 2),
                                    std::floor(top + (rowHeight - s.height()) / 2), s.width(), s.height()));
        }
        out.rows.append({top, rowHeight});
        top += rowHeight + rowGap;
    }
    out.height = out.rows.isEmpty() ? 2 * padding : out.rows.constLast().first + out.rows.constLast().second + padding;
    return out;
}

QRectF TemplateGrid::thumbFrame(const QRectF &tile, const LWTemplate &t)
{
    const QSizeF size = templateThumbFrame(t, thumbHeight(t));
    return {QPointF(std::floor(tile.center().x() - size.width() / 2), tile.top() + tilePadding), size};
}

void TemplateGrid::paintTile(QPainter &p, const QRectF &tile, const LWTemplate &t, bool selected,
                             const std::optional<QImage> &image, std::optional<double> spinnerPhase)
{
    const VKKitTheme theme = LWStyle::t();
    if (selected) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        QColor tint = theme.accent;
        tint.setAlphaF(0.18f);
        p.fillPath(VKPaint::roundedRect(tile, radius), tint);
        p.strokePath(VKPaint::roundedEdge(tile, radius, 1.5), QPen(theme.accent, 1.5));
        p.restore();
    }
    const QRectF frame = thumbFrame(tile, t);
    paintTemplateThumb(p, frame, image, spinnerPhase);

    const QFont name = nameFont(), label = labelFont();
    const double textWidth = tile.width() - 2 * tilePadding;
    QRectF line(tile.left() + tilePadding, frame.bottom() + itemGap, textWidth, lineHeight(name));
    p.setPen(selected ? VKAppStyle::accentText(theme) : theme.text);
    vkDrawText(p, line, Qt::AlignHCenter | Qt::AlignTop, vkElidedText(name, t.name, textWidth), name);
    line = QRectF(line.left(), line.bottom() + itemGap, textWidth, lineHeight(label));
    p.setPen(theme.dim);
    vkDrawText(p, line, Qt::AlignHCenter | Qt::AlignTop,
               vkElidedText(label, LWTemplates::sizeLabel(t.sizeID), textWidth), label);
}

QString TemplateGrid::toolTip(const LWTemplate &t)
{
    return t.name + QStringLiteral(" \u2014 click to preview, double-click to use");
}

TemplateGrid::TemplateGrid(LWThumbs *store, QWidget *parent)
    : QAbstractScrollArea(parent), m_store(store ? store : &LWThumbs::shared())
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(24);
    VKScrollStyle::apply(this);
    connect(m_store, &LWThumbs::changed, this, &TemplateGrid::thumbReady);
    connect(&LWSpinnerClock::shared(), &LWSpinnerClock::tick, this, &TemplateGrid::tick);
}

TemplateGrid::~TemplateGrid()
{
    spin(false);
}

void TemplateGrid::setTemplates(QList<LWTemplate> list)
{
    m_list = std::move(list);
    m_index.clear();
    m_index.reserve(m_list.size());
    for (qsizetype i = 0; i < m_list.size(); ++i)
        m_index.insert(m_list[i].id, i);
    m_pressed.reset();
    relayout();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void TemplateGrid::setSelected(const std::optional<QString> &id)
{
    if (id == m_selected)
        return;
    m_selected = id;
    viewport()->update();
}

std::optional<qsizetype> TemplateGrid::indexAt(QPoint viewportPos) const
{
    const QPointF at = QPointF(viewportPos) + QPointF(0, verticalScrollBar()->value());
    for (qsizetype i : tilesIn(QRectF(at, QSizeF(0, 0))))
        if (m_layout.tiles[i].contains(at))
            return i;
    return std::nullopt;
}

QRectF TemplateGrid::tileRect(qsizetype index) const
{
    if (index < 0 || index >= m_layout.tiles.size())
        return {};
    return m_layout.tiles[index].translated(0, -verticalScrollBar()->value());
}

QList<qsizetype> TemplateGrid::visibleTiles() const
{
    return tilesIn(QRectF(QPointF(0, verticalScrollBar()->value()), QSizeF(viewport()->size())));
}

QList<qsizetype> TemplateGrid::tilesIn(const QRectF &area) const
{
    QList<qsizetype> found;
    const auto &rows = m_layout.rows;
    // Rows are in order: skip those ending above the area.
    auto row = std::lower_bound(rows.begin(), rows.end(), area.top(),
                                [](const std::pair<double, double> &r, double y) { return r.first + r.second < y; });
    for (; row != rows.end() && row->first <= area.bottom(); ++row) {
        const qsizetype first = (row - rows.begin()) * m_layout.columns;
        const qsizetype end = std::min(m_layout.tiles.size(), first + m_layout.columns);
        for (qsizetype i = first; i < end; ++i) {
            const QRectF &t = m_layout.tiles[i];
            // Closed edges, so a point on a tile's border or a zero-sized area finds it.
            if (t.left() <= area.right() && area.left() <= t.right() && t.top() <= area.bottom() &&
                area.top() <= t.bottom())
                found.append(i);
        }
    }
    return found;
}

QSize TemplateGrid::sizeHint() const
{
    return {static_cast<int>(2 * padding + 2 * minColumn + columnGap), 400};
}

void TemplateGrid::relayout()
{
    m_layout = layout(viewport()->width(), m_list);
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, static_cast<int>(std::ceil(m_layout.height)) - viewport()->height()));
}

void TemplateGrid::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const int scroll = verticalScrollBar()->value();
    p.translate(0, -scroll);
    for (qsizetype i : tilesIn(QRectF(event->rect()).translated(0, scroll))) {
        const LWTemplate &t = m_list[i];
        std::optional<QImage> image;
        if (m_store)
            image = m_store->image(t, 0, thumbHeight(t));
        // A spinner only while a job is still to come, as the thumbnail view shows it.
        paintTile(p, m_layout.tiles[i], t, m_selected == t.id, image,
                  !image && isPending(i) ? std::optional(LWSpinnerClock::shared().phase()) : std::nullopt);
    }
    if (hasFocus()) {
        const std::optional<qsizetype> at = selectedIndex();
        VKFocusRing::paint(p, at ? VKPaint::roundedRect(m_layout.tiles[*at], radius)
                                 : VKPaint::roundedRect(QRectF(viewport()->rect()).translated(0, scroll), radius));
    }
    // Decided from every tile in view, not from the painted rectangle: inside a zoom host paints
    // are partial, and only the tiles tell whether anything still waits.
    spin(!pendingInView().isEmpty());
}

bool TemplateGrid::isPending(qsizetype index) const
{
    const LWTemplate &t = m_list[index];
    const std::optional<QString> key = LWThumbs::key(t.id, 0, thumbHeight(t));
    return m_store && key && m_store->pending().contains(*key);
}

QList<qsizetype> TemplateGrid::pendingInView() const
{
    QList<qsizetype> out;
    for (qsizetype i : visibleTiles())
        if (isPending(i))
            out.append(i);
    return out;
}

void TemplateGrid::tick()
{
    if (!m_spinning)
        return;
    const QList<qsizetype> waiting = pendingInView();
    if (waiting.isEmpty()) {
        // A job ended without an image (it failed): one last paint without spinners.
        spin(false);
        viewport()->update();
        return;
    }
    // Only the spinners turn: the rest of the grid is not painted again.
    for (qsizetype i : waiting)
        viewport()->update(thumbFrame(tileRect(i), m_list[i]).toAlignedRect());
}

void TemplateGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void TemplateGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TemplateGrid::thumbReady(const QString &key)
{
    const auto found = m_index.constFind(key.section(QLatin1Char('#'), 0, 0));
    if (found == m_index.cend() || *found >= m_layout.tiles.size())
        return;
    const QRectF tile = tileRect(*found);
    if (tile.intersects(QRectF(viewport()->rect())))
        viewport()->update(tile.toAlignedRect());
}

void TemplateGrid::mousePressEvent(QMouseEvent *event)
{
    m_pressed.reset();
    if (event->button() == Qt::LeftButton)
        m_pressed = indexAt(event->position().toPoint());
    event->accept();
}

void TemplateGrid::mouseReleaseEvent(QMouseEvent *event)
{
    const std::optional<qsizetype> pressed = std::exchange(m_pressed, std::nullopt);
    if (event->button() != Qt::LeftButton || !pressed || indexAt(event->position().toPoint()) != pressed)
        return;
    Q_EMIT clicked(m_list[*pressed]);
}

void TemplateGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_pressed.reset();
    const std::optional<qsizetype> at =
        event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : std::nullopt;
    if (!at)
        return;
    const LWTemplate t = m_list[*at];
    Q_EMIT clicked(t);
    // May replace the screen: nothing of the grid is touched after this.
    Q_EMIT activated(t);
}

std::optional<qsizetype> TemplateGrid::selectedIndex() const
{
    const auto found = m_selected ? m_index.constFind(*m_selected) : m_index.cend();
    if (found == m_index.cend() || *found >= m_layout.tiles.size())
        return std::nullopt;
    return *found;
}

void TemplateGrid::keyPressEvent(QKeyEvent *event)
{
    const std::optional<qsizetype> at = selectedIndex();
    const qsizetype n = m_list.size(), columns = m_layout.columns;
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier) || n == 0)
        return QAbstractScrollArea::keyPressEvent(event);
    qsizetype to = -1;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (at) {
            const LWTemplate t = m_list[*at];
            Q_EMIT activated(t); // last act: the receiver may replace the screen
        }
        return;
    case Qt::Key_Left:
        to = at ? std::max<qsizetype>(0, *at - 1) : 0;
        break;
    case Qt::Key_Right:
        to = at ? std::min(n - 1, *at + 1) : 0;
        break;
    case Qt::Key_Up:
        to = at ? (*at >= columns ? *at - columns : *at) : 0;
        break;
    case Qt::Key_Down:
        to = at ? std::min(n - 1, *at + columns) : 0;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = n - 1;
        break;
    default:
        return QAbstractScrollArea::keyPressEvent(event);
    }
    // Into view, a gap's room around it.
    const QRectF tile = m_layout.tiles[to];
    QScrollBar *bar = verticalScrollBar();
    if (tile.top() - rowGap < bar->value())
        bar->setValue(int(std::floor(tile.top() - rowGap)));
    else if (tile.bottom() + rowGap > bar->value() + viewport()->height())
        bar->setValue(int(std::ceil(tile.bottom() + rowGap)) - viewport()->height());
    Q_EMIT clicked(m_list[to]);
}

void TemplateGrid::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TemplateGrid::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

bool TemplateGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (const std::optional<qsizetype> at = indexAt(help->pos()))
            QToolTip::showText(help->globalPos(), toolTip(m_list[*at]), viewport(), tileRect(*at).toAlignedRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TemplateGrid::hideEvent(QHideEvent *event)
{
    spin(false);
    QAbstractScrollArea::hideEvent(event);
}

void TemplateGrid::spin(bool on)
{
    // Holding and releasing again change nothing.
    m_spinning = on;
    if (on)
        LWSpinnerClock::shared().hold(this);
    else
        LWSpinnerClock::shared().release(this);
}
