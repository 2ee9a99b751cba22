#include "kit/controls/iconpicker.h"

#include "kit/paint/iconglyph.h"
#include "kit/paint/paint.h"
#include "kit/views/scrollview.h"
#include "kit/controls/searchfield.h"
#include "kit/theme/focusring.h"
#include "kit/theme/style.h"
#include "kit/paint/uifont.h"
#include "kit/zoom/zoomhost.h"

#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int glyphEdge = 30, glyphGap = 2;

QFont titleFont()
{
    return vkFont(8.5);
}

} // namespace

IconPickerGrid::IconPickerGrid(QWidget *parent) : QWidget(parent)
{
    setFixedWidth(gridWidth);
    setIcons(LWIcons::catalog());
}

void IconPickerGrid::setIcons(const QList<LWIcons::Info> &icons)
{
    icons_ = icons;
    pressed_ = -1;
    current_ = -1;
    // No Tab stop that would show nothing.
    setFocusPolicy(icons.isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
    const qsizetype rows = (icons.size() + columns - 1) / columns;
    setFixedHeight(rows > 0 ? static_cast<int>(rows * (cellHeight + gap) - gap) : 0);
    update();
}

QRect IconPickerGrid::cellRect(qsizetype index) const
{
    const int col = static_cast<int>(index % columns), row = static_cast<int>(index / columns);
    return QRect(col * (cellWidth + gap), row * (cellHeight + gap), cellWidth, cellHeight);
}

qsizetype IconPickerGrid::cellAt(QPoint pos) const
{
    if (pos.x() < 0 || pos.y() < 0)
        return -1;
    const int col = pos.x() / (cellWidth + gap), row = pos.y() / (cellHeight + gap);
    if (col >= columns || pos.x() % (cellWidth + gap) >= cellWidth || pos.y() % (cellHeight + gap) >= cellHeight)
        return -1;
    const qsizetype index = qsizetype(row) * columns + col;
    return index < icons_.size() ? index : -1;
}

void IconPickerGrid::setCurrent(qsizetype index)
{
    index = icons_.isEmpty() ? -1 : std::clamp<qsizetype>(index, -1, icons_.size() - 1);
    if (index == current_)
        return;
    if (current_ >= 0)
        update(cellRect(current_));
    current_ = index;
    if (current_ >= 0)
        update(cellRect(current_));
    Q_EMIT currentChanged(current_);
}

void IconPickerGrid::keyPressEvent(QKeyEvent *event)
{
    const qsizetype n = icons_.size(), at = current_;
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier) || n == 0)
        return QWidget::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (at >= 0)
            Q_EMIT picked(icons_[at].id); // last: the receiver may close the picker
        return;
    case Qt::Key_Left:
        return setCurrent(std::max<qsizetype>(0, at - 1));
    case Qt::Key_Right:
        return setCurrent(at < 0 ? 0 : std::min(n - 1, at + 1));
    case Qt::Key_Up:
        return setCurrent(at < 0 ? 0 : at >= columns ? at - columns : at);
    case Qt::Key_Down:
        return setCurrent(at < 0 ? 0 : std::min(n - 1, at + columns));
    case Qt::Key_Home:
        return setCurrent(0);
    case Qt::Key_End:
        return setCurrent(n - 1);
    default:
        return QWidget::keyPressEvent(event);
    }
}

void IconPickerGrid::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (current_ < 0)
        setCurrent(0);
    else
        update(cellRect(current_));
}

void IconPickerGrid::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    if (current_ >= 0)
        update(cellRect(current_));
}

bool IconPickerGrid::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const qsizetype cell = cellAt(help->pos());
        if (cell >= 0)
            QToolTip::showText(help->globalPos(), icons_[cell].title, this, cellRect(cell));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void IconPickerGrid::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFont font = titleFont();
    const double lineHeight = vkTextSize(font, QStringLiteral("Ag")).height();
    const double top = (cellHeight - glyphEdge - glyphGap - lineHeight) / 2;
    const QColor ink = palette().color(QPalette::WindowText);
    p.setPen(ink);
    for (qsizetype i = 0; i < icons_.size(); ++i) {
        const QRect cell = cellRect(i);
        if (!cell.intersects(event->rect()))
            continue;
        p.fillPath(VKPaint::roundedRect(QRectF(cell), 8), QColor(255, 255, 255, 15));
        paintIconGlyph(p, icons_[i].id, QRectF(cell.x() + (cellWidth - glyphEdge) / 2.0, cell.y() + top, glyphEdge, glyphEdge),
                       Qt::white);
        const QRectF line(cell.x(), cell.y() + top + glyphEdge + glyphGap, cellWidth, lineHeight);
        vkDrawText(p, line, Qt::AlignHCenter | Qt::AlignTop, vkElidedText(font, icons_[i].title, cellWidth), font);
        if (i == current_ && hasFocus())
            VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(cell), 8));
    }
}

void IconPickerGrid::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton ? cellAt(event->position().toPoint()) : -1;
}

void IconPickerGrid::mouseReleaseEvent(QMouseEvent *event)
{
    const qsizetype cell = cellAt(event->position().toPoint());
    const bool hit = event->button() == Qt::LeftButton && cell >= 0 && cell == pressed_;
    pressed_ = -1;
    if (hit)
        Q_EMIT picked(icons_[cell].id); // last: the receiver may close the picker
}

IconPicker::IconPicker(QWidget *parent) : QWidget(parent)
{
    setFixedWidth(400);
    // The grid is 6 wider than the 372 inside the 14 padding: the scroll view reaches 3 into the
    // padding on the left and on through the right padding, where its indicator lies clear of the
    // grid. Everything above it keeps the full padding.
    constexpr int reach = (IconPickerGrid::gridWidth - (400 - 2 * 14)) / 2;
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(14 - reach, 14, 0, 14);
    column->setSpacing(10);

    auto *top = new QWidget;
    auto *topColumn = new QVBoxLayout(top);
    topColumn->setContentsMargins(reach, 0, 14, 0);
    topColumn->setSpacing(10);
    auto *header = new QLabel(QStringLiteral("Built-in icons"));
    header->setFont(vkFont(14, VKWeight::Heavy));
    auto *hint = new QLabel(QStringLiteral("Drawn by VELK, sharp at any size. Pick one, then click or drag on the page."));
    hint->setFont(vkFont(10.5));
    hint->setWordWrap(true);
    QPalette dim = hint->palette();
    dim.setColor(QPalette::WindowText, LWStyle::t().dim);
    hint->setPalette(dim);
    search_ = new VKSearchField(QStringLiteral("Search icons"));
    topColumn->addWidget(header);
    topColumn->addWidget(hint);
    topColumn->addWidget(search_);
    column->addWidget(top);

    grid_ = new IconPickerGrid;
    scroll_ = new VKScrollView(grid_);
    scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll_->setFixedSize(IconPickerGrid::gridWidth + 14 - reach, 300);
    column->addWidget(scroll_);

    // The popover focuses its content on opening: letters typed at once go into the search.
    setFocusProxy(search_->lineEdit());
    connect(search_, &VKSearchField::textChanged, this, [this](const QString &q) { grid_->setIcons(filter(q)); });
    connect(grid_, &IconPickerGrid::picked, this, &IconPicker::pick);
    connect(grid_, &IconPickerGrid::currentChanged, this, [this](qsizetype index) {
        if (index < 0)
            return;
        // Into view, with the gap around it: in the list, then in a zoomed window.
        const QRect cell = grid_->cellRect(index);
        scroll_->ensureVisible(cell.center().x(), cell.center().y(), IconPickerGrid::cellWidth / 2 + IconPickerGrid::gap,
                               IconPickerGrid::cellHeight / 2 + IconPickerGrid::gap);
        VKZoomHost::reveal(grid_, cell);
    });
    search_->lineEdit()->installEventFilter(this);
}

bool IconPicker::clearSearch()
{
    if (search_->text().isEmpty())
        return false;
    search_->setText(QString());
    search_->lineEdit()->setFocus(Qt::OtherFocusReason);
    return true;
}

bool IconPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != search_->lineEdit() || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return QWidget::eventFilter(watched, event);
    switch (key->key()) {
    case Qt::Key_Down: // on into the results
        if (grid_->icons().isEmpty())
            return true;
        grid_->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!grid_->icons().isEmpty()) {
            const QString id = grid_->icons()[std::max<qsizetype>(0, grid_->current())].id;
            Q_EMIT pick(id); // last: the receiver may close the picker
        }
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void IconPicker::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && clearSearch())
        return;
    // A letter typed in the grid goes on into the search.
    const QString typed = event->text();
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !typed.isEmpty() &&
        typed.at(0).isPrint() && !typed.at(0).isSpace()) {
        search_->lineEdit()->setFocus(Qt::OtherFocusReason);
        search_->lineEdit()->end(false);
        search_->lineEdit()->insert(typed);
        return;
    }
    QWidget::keyPressEvent(event);
}

QList<LWIcons::Info> IconPicker::filter(const QString &query)
{
    if (query.isEmpty())
        return LWIcons::catalog();
    const QString q = query.toLower();
    QList<LWIcons::Info> out;
    for (const LWIcons::Info &info : LWIcons::catalog()) {
        if ((info.title + u' ' + info.keywords + u' ' + info.id).toLower().contains(q))
            out.append(info);
    }
    return out;
}
