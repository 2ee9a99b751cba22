#include "kit/controls/iconpicker.h"

#include "kit/paint/iconglyph.h"
#include "kit/paint/paint.h"
#include "kit/views/scrollview.h"
#include "kit/controls/searchfield.h"
#include "kit/theme/style.h"
#include "kit/paint/uifont.h"

#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>

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
