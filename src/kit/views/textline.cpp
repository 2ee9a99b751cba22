#include "kit/views/textline.h"

#include "kit/paint/uifont.h"

#include <QPainter>

#include <cmath>

VKTextLine::VKTextLine(const QString &text, const QFont &font, std::optional<QColor> colour, QWidget *parent)
    : QWidget(parent), m_text(text), m_font(font), m_colour(colour)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void VKTextLine::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QColor VKTextLine::colour() const
{
    return m_colour.value_or(palette().color(QPalette::WindowText));
}

QSize VKTextLine::sizeHint() const
{
    const QSizeF size = vkTextSize(m_font, m_text.isEmpty() ? QStringLiteral(" ") : m_text);
    return QSize(m_text.isEmpty() ? 0 : static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())));
}

void VKTextLine::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(colour());
    vkDrawText(p, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, vkElidedText(m_font, m_text, width()), m_font);
}
