#include "kit/paint/iconglyph.h"

#include "render/icons/icons.h"

#include <QPainter>

void paintIconGlyph(QPainter &painter, const QString &id, const QRectF &rect, const QColor &colour)
{
    // The library's path keeps its non-zero rule; a path built anew here would fill even-odd.
    const std::optional<QPainterPath> path = LWIcons::path(id, LWRect::fromQRectF(rect));
    if (!path)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(*path, colour);
    painter.restore();
}

IconGlyph::IconGlyph(const QString &name, const QColor &color, QWidget *parent)
    : QWidget(parent), name_(name), color_(color)
{
}

void IconGlyph::setName(const QString &name)
{
    name_ = name;
    update();
}

void IconGlyph::setColor(const QColor &color)
{
    color_ = color;
    update();
}

void IconGlyph::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintIconGlyph(p, name_, QRectF(rect()), color_);
}
