#include "shell/shelltext.h"

#include "kit/led.h"
#include "kit/overhangitem.h"
#include "kit/uifont.h"

#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

void shellAddCentred(QBoxLayout *row, QWidget *widget, QMargins margins)
{
    auto *column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    row->addLayout(column);
    column->addStretch(1);
    VKOverhangItem::add(column, widget, margins);
    column->addStretch(1);
}

ShellText::ShellText(const QString &text, const QFont &font, std::optional<QColor> colour, QWidget *parent)
    : QWidget(parent), m_text(text), m_font(font), m_colour(colour)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void ShellText::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QColor ShellText::colour() const
{
    return m_colour.value_or(palette().color(QPalette::WindowText));
}

QSize ShellText::sizeHint() const
{
    const QSizeF size = vkTextSize(m_font, m_text);
    return QSize(static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())));
}

void ShellText::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(colour());
    vkDrawText(p, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, vkElidedText(m_font, m_text, width()), m_font);
}

LampText::LampText(const QColor &lamp, const QString &text, const QFont &font, std::optional<QColor> colour,
                   QWidget *parent)
    : QWidget(parent), m_lamp(new LED(lamp, true, 7)), m_label(new ShellText(text, font, colour))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    shellAddCentred(row, m_lamp, LED::shadowMargins());
    row->addWidget(m_label, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}
