#include "kit/cabinet/led.h"

#include "kit/cabinet/decorative.h"
#include "kit/paint/paint.h"

#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace {
constexpr double glowRadius = 4;
}

LED::LED(const QColor &colour, bool on, double size, QWidget *parent)
    : QWidget(parent), colour_(colour), on_(on), size_(size)
{
    vkHideDecorationsFromAccessibility();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LED::setColour(const QColor &colour)
{
    colour_ = colour;
    updateGeometry();
    update();
}

void LED::setOn(bool on)
{
    on_ = on;
    updateGeometry();
    update();
}

void LED::setLampSize(double size)
{
    size_ = size;
    updateGeometry();
    update();
}

QMargins LED::shadowMargins()
{
    return VKPaint::shadowMargins(glowRadius, {});
}

QSize LED::sizeHint() const
{
    const int edge = static_cast<int>(std::ceil(size_));
    return QSize(edge, edge).grownBy(shadowMargins());
}

void LED::paint(QPainter &p, const QRectF &frame, const QColor &colour, bool on)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(frame);
    if (on) {
        QColor glow = colour;
        glow.setAlphaF(colour.alphaF() * 0.9f);
        VKPaint::drawShadow(p, circle, glow, glowRadius, {});
    }
    // The light sits up and left of the middle; the gradient reaches the whole diameter.
    const QPointF centre(frame.left() + 0.35 * frame.width(), frame.top() + 0.30 * frame.height());
    QRadialGradient light(centre, frame.width());
    if (on) {
        QColor faded = colour;
        faded.setAlphaF(colour.alphaF() * 0.7f);
        light.setStops({{0.0, Qt::white}, {0.5, colour}, {1.0, faded}});
    } else {
        light.setStops({{0.0, QColor::fromRgbF(0.35f, 0.35f, 0.35f)}, {1.0, QColor::fromRgbF(0.15f, 0.15f, 0.15f)}});
    }
    p.fillPath(circle, light);
    QPainterPath rim;
    rim.addEllipse(VKPaint::edgeRect(frame, 0.8));
    p.strokePath(rim, QPen(QColor(0, 0, 0, 153), 0.8));
    p.restore();
}

void LED::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QMargins m = shadowMargins();
    paint(p, QRectF(m.left(), m.top(), size_, size_), colour_, on_);
}
