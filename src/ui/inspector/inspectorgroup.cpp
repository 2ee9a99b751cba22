#include "ui/inspector/inspectorgroup.h"

#include "kit/cabinet/engravedlabel.h"
#include "kit/paint/paint.h"

#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr double radius = 12;

} // namespace

InspectorGroup::InspectorGroup(const QString &title, QWidget *parent)
    : QWidget(parent), title_(title), caption_(new EngravedLabel(title, this)), column_(new QVBoxLayout(this))
{
    column_->setContentsMargins(padding, padding, padding, padding);
    column_->setSpacing(spacing);
    column_->addWidget(caption_);
}

void InspectorGroup::setTitle(const QString &title)
{
    title_ = title;
    caption_->setText(title);
}

void InspectorGroup::addRow(QWidget *row)
{
    column_->addWidget(row);
}

void InspectorGroup::addLayout(QLayout *layout)
{
    column_->addLayout(layout);
}

void InspectorGroup::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    p.fillPath(VKPaint::roundedRect(r, radius), QColor(0, 0, 0, 51));
    p.strokePath(VKPaint::roundedEdge(r, radius, 1), QPen(QColor(255, 255, 255, 20), 1));
}
