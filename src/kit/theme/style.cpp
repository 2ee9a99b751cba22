#include "kit/theme/style.h"

#include "kit/host/kithost.h"

namespace LWStyle {

VKKitTheme t()
{
    return VELKKitHost::theme();
}

// Function-local statics: built once on first use, safely under concurrent first use.
const QColor &moss() { static const QColor c = QColor::fromRgbF(0.47f, 0.80f, 0.42f); return c; }
const QColor &cyan() { static const QColor c = QColor::fromRgbF(0.2f, 0.7f, 0.9f); return c; }
const QColor &orange() { static const QColor c = QColor::fromRgbF(1.0f, 0.6f, 0.0f); return c; }
const QColor &amber() { static const QColor c = QColor::fromRgbF(1.0f, 0.72f, 0.22f); return c; }
const QColor &ruby() { static const QColor c = QColor::fromRgbF(1.0f, 0.33f, 0.30f); return c; }
const QColor &lcdBG() { static const QColor c = QColor::fromRgbF(0.04f, 0.09f, 0.06f); return c; }
const QColor &lcdText() { static const QColor c = QColor::fromRgbF(0.62f, 0.98f, 0.70f); return c; }
const QColor &lcdDim() { static const QColor c = QColor::fromRgbF(0.36f, 0.66f, 0.44f); return c; }
const QColor &walnut1() { static const QColor c = QColor::fromRgbF(0.35f, 0.21f, 0.12f); return c; }
const QColor &walnut2() { static const QColor c = QColor::fromRgbF(0.22f, 0.12f, 0.06f); return c; }

QLinearGradient chromeRim(const QRectF &bounds)
{
    static const QGradientStops stops = {{0.0, QColor::fromRgbF(1, 1, 1, 0.65f)},
                                         {0.5, QColor::fromRgbF(1, 1, 1, 0.12f)},
                                         {1.0, QColor::fromRgbF(0, 0, 0, 0.55f)}};
    QLinearGradient g(QPointF(bounds.center().x(), bounds.top()), QPointF(bounds.center().x(), bounds.bottom()));
    g.setStops(stops);
    return g;
}

} // namespace LWStyle
