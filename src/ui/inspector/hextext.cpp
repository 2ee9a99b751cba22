#include "ui/inspector/hextext.h"

#include "kit/style.h"
#include "kit/uifont.h"

#include <QPainter>

#include <cmath>

namespace {

QFont hexFont()
{
    return vkMono(10.5);
}

} // namespace

HexText::HexText(const LWColor &color, QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setColor(color);
}

void HexText::setColor(const LWColor &color)
{
    const QString text = color.hexString();
    if (text == text_)
        return;
    // Out-of-range channels write more digits than "#RRGGBB".
    const bool longer = text.size() != text_.size();
    text_ = text;
    setAccessibleName(text_);
    if (longer)
        updateGeometry();
    update();
}

QSize HexText::sizeHint() const
{
    const QSizeF s = vkTextSize(hexFont(), text_);
    return QSize(static_cast<int>(std::ceil(s.width())), static_cast<int>(std::ceil(s.height())));
}

void HexText::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(LWStyle::t().dim);
    vkDrawText(p, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, text_, hexFont());
}
