#include "ui/inspector/inspectornote.h"

#include "kit/theme/style.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"

#include <QPainter>
#include <QStyle>

InspectorNote::InspectorNote(const QString &text, Colour colour, QWidget *parent)
    : QLabel(parent), colour_(colour ? std::move(colour) : Colour([] { return LWStyle::t().dim; }))
{
    setFont(vkFont(10.5));
    setWordWrap(true);
    setNote(text);
}

void InspectorNote::setNote(const QString &text) { vkPlain(this, text); }

void InspectorNote::paintEvent(QPaintEvent *)
{
    // QLabel's own layout and height, drawn in the colour of the moment.
    QPainter p(this);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour_());
    style()->drawItemText(&p, contentsRect(), int(alignment()) | Qt::TextWordWrap, pal, isEnabled(), text(),
                          QPalette::WindowText);
}
