#include "ui/inspector/inspectorlabel.h"

#include "kit/theme/style.h"

InspectorLabel::InspectorLabel(const QString &text, const QFont &font, bool dim, QWidget *parent)
    : VKTextLine(text, font, std::nullopt, parent), dim_(dim)
{
}

QColor InspectorLabel::colour() const
{
    return dim_ ? LWStyle::t().dim : LWStyle::t().text;
}
