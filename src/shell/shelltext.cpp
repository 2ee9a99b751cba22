#include "shell/shelltext.h"

#include "kit/cabinet/led.h"
#include "kit/views/overhangitem.h"
#include "kit/paint/uifont.h"

#include <QHBoxLayout>


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

LampText::LampText(const QColor &lamp, const QString &text, const QFont &font, std::optional<QColor> colour,
                   QWidget *parent)
    : QWidget(parent), m_lamp(new LED(lamp, true, 7)), m_label(new VKTextLine(text, font, colour))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    shellAddCentred(row, m_lamp, LED::shadowMargins());
    row->addWidget(m_label, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}
