#include "kit/views/caption.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/paint/uifont.h"

#include <QPainter>

#include <cmath>

VKCaption::VKCaption(const QString &text, QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setFont(vkTracked(vkFont(10, VKWeight::Heavy), 1.1));
    setCaption(text);
}

void VKCaption::setCaption(const QString &text)
{
    setText(text.toUpper());
}

QSize VKCaption::sizeHint() const
{
    const QSizeF size = vkTextSize(font(), text());
    const QMargins m = contentsMargins();
    return QSize(static_cast<int>(std::ceil(size.width())) + m.left() + m.right(),
                 static_cast<int>(std::ceil(size.height())) + m.top() + m.bottom());
}

void VKCaption::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(VELKKitHost::theme().dim);
    vkDrawText(p, QRectF(contentsRect()), static_cast<int>(alignment()), text(), font());
}

namespace {
constexpr QSizeF pillPadding(9, 3);
}

VKAnodizedPill::VKAnodizedPill(const QString &text, const QColor &colour, QWidget *parent)
    : QWidget(parent), text_(text), colour_(colour)
{
    setFont(vkTracked(vkFont(10, VKWeight::Heavy), 0.6));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void VKAnodizedPill::setColour(const QColor &colour)
{
    colour_ = colour;
    update();
}

QSize VKAnodizedPill::sizeHint() const
{
    const QSizeF text = vkTextSize(font(), text_);
    return QSize(static_cast<int>(std::ceil(text.width() + 2 * pillPadding.width())),
                 static_cast<int>(std::ceil(text.height() + 2 * pillPadding.height())));
}

void VKAnodizedPill::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(rect());
    QColor top = colour_, bottom = colour_;
    top.setAlphaF(colour_.alphaF() * 0.95f);
    bottom.setAlphaF(colour_.alphaF() * 0.55f);
    p.fillPath(VKPaint::capsule(shape), VKPaint::vertical(shape, {top, bottom}));
    p.strokePath(VKPaint::capsuleEdge(shape, 0.8), QPen(QColor(255, 255, 255, 89), 0.8));
    p.setPen(Qt::white);
    vkDrawText(p, shape, Qt::AlignCenter, text_, font());
}
