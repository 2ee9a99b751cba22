#include "ui/inspector/inspectorlabel.h"

#include "kit/style.h"
#include "kit/uifont.h"

#include <QPainter>

#include <cmath>

InspectorLabel::InspectorLabel(const QString &text, const QFont &font, bool dim, QWidget *parent)
    : QWidget(parent), font_(font), dim_(dim)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setText(text);
}

void InspectorLabel::setText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    setAccessibleName(text_);
    updateGeometry();
    update();
}

QSize InspectorLabel::sizeHint() const
{
    const QSizeF s = vkTextSize(font_, text_.isEmpty() ? QStringLiteral(" ") : text_);
    return QSize(static_cast<int>(std::ceil(s.width())), static_cast<int>(std::ceil(s.height())));
}

void InspectorLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(dim_ ? LWStyle::t().dim : LWStyle::t().text);
    vkDrawText(p, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, text_, font_);
}
