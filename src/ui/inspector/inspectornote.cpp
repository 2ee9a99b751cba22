#include "ui/inspector/inspectornote.h"

#include "kit/theme/style.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"

#include <QEvent>
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

int InspectorNote::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int align = int(alignment());
    if (text() != measuredText_ || font() != measuredFont_ || margins != measuredMargins_ ||
        margin() != measuredMargin_ || indent() != measuredIndent_ || align != measuredAlignment_ || heights_.size() > 16) {
        heights_.clear();
        measuredText_ = text();
        measuredFont_ = font();
        measuredMargins_ = margins;
        measuredMargin_ = margin();
        measuredIndent_ = indent();
        measuredAlignment_ = align;
    }
    const auto known = heights_.constFind(width);
    if (known != heights_.cend())
        return *known;
    const int height = QLabel::heightForWidth(width);
    heights_.insert(width, height);
    return height;
}

void InspectorNote::changeEvent(QEvent *event)
{
    // The same font may measure differently once the application's fonts or the style change.
    if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::StyleChange)
        heights_.clear();
    QLabel::changeEvent(event);
}

void InspectorNote::paintEvent(QPaintEvent *)
{
    // QLabel's own layout and height, drawn in the colour of the moment.
    QPainter p(this);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour_());
    style()->drawItemText(&p, contentsRect(), int(alignment()) | Qt::TextWordWrap, pal, isEnabled(), text(),
                          QPalette::WindowText);
}
