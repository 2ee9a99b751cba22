#include "kit/cabinet/engravedlabel.h"

#include "kit/theme/style.h"
#include "kit/paint/uifont.h"

#include <QPainter>

#include <cmath>

EngravedLabel::EngravedLabel(const QString &text, QWidget *parent) : QWidget(parent), text_(text.toUpper())
{
    setFont(labelFont());
    setAccessibleName(text_);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void EngravedLabel::setText(const QString &text)
{
    text_ = text.toUpper();
    setAccessibleName(text_);
    updateGeometry();
    update();
}

QFont EngravedLabel::labelFont()
{
    return vkTracked(vkFont(10, VKWeight::Heavy), 1.3);
}

QSize EngravedLabel::sizeHint() const
{
    const QSizeF size = vkTextSize(font(), text_);
    return QSize(static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())) + 1);
}

void EngravedLabel::paint(QPainter &p, const QRectF &rect, const QString &upperText, const QFont &font)
{
    const QRectF line(rect.left(), rect.top(), rect.width(), rect.height() - 1);
    p.setPen(QColor(0, 0, 0, 153));
    vkDrawText(p, line.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, upperText, font);
    p.setPen(LWStyle::t().dim);
    vkDrawText(p, line, Qt::AlignLeft | Qt::AlignVCenter, upperText, font);
}

void EngravedLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paint(p, QRectF(rect()), text_, font());
}
