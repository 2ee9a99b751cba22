#include "kit/cabinet/woodcheek.h"

#include "kit/cabinet/decorative.h"
#include "kit/theme/style.h"

#include <QPainter>

#include <cmath>

WoodCheek::WoodCheek(double seed, QWidget *parent) : QWidget(parent), seed_(seed)
{
    vkHideDecorationsFromAccessibility();
    setFixedWidth(20);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void WoodCheek::setSeed(double seed)
{
    seed_ = seed;
    updateGeometry();
    update();
}

QPolygonF WoodCheek::grainLine(int i, double w, double h, double seed)
{
    const double x0 = (0.08 + 0.11 * i) * w;
    QPolygonF line{QPointF(x0, 0)};
    if (h <= 0)
        return line;
    for (double y = 6;; y += 6) {
        line.append(QPointF(x0 + 2.2 * std::sin(y / (38 + 7 * i) + seed + i) + 0.5 * std::sin(y / 9 + 3 * i), y));
        if (y >= h)
            break;
    }
    return line;
}

void WoodCheek::paint(QPainter &p, const QRectF &rect, double seed)
{
    const double w = rect.width(), h = rect.height();
    p.save();
    p.translate(rect.topLeft());
    QColor fade = LWStyle::walnut1();
    fade.setAlphaF(0.9f);
    QLinearGradient across(0, 0, w, 0);
    across.setStops({{0.0, LWStyle::walnut1()}, {0.5, LWStyle::walnut2()}, {1.0, fade}});
    p.fillRect(QRectF(0, 0, w, h), across);

    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 9; ++i) {
        QPen pen(QColor(0, 0, 0, i % 3 == 0 ? 71 : 36), i % 2 == 0 ? 0.9 : 0.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        p.setPen(pen);
        p.drawPolyline(grainLine(i, w, h, seed));
    }

    QLinearGradient down(0, 0, 0, h);
    down.setStops({{0.0, QColor(255, 255, 255, 26)}, {0.5, Qt::transparent}, {1.0, QColor(0, 0, 0, 64)}});
    p.fillRect(QRectF(0, 0, w, h), down);
    p.fillRect(QRectF(w - 1, 0, 1, h), QColor(0, 0, 0, 153));
    p.restore();
}

void WoodCheek::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p, QRectF(rect()), seed_);
}
