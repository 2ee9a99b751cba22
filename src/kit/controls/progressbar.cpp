#include "kit/controls/progressbar.h"

#include "kit/controls/slider.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int barHeight = 12;
constexpr double trackHeight = 6;
constexpr double inset = 4; // room for the fill's glow

} // namespace

VKProgressBar::VKProgressBar(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Progress"));
    setAccessibleDescription(QStringLiteral("0 %"));
}

void VKProgressBar::setValue(double fraction)
{
    const double v = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    if (v == value_)
        return;
    value_ = v;
    setAccessibleDescription(QStringLiteral("%1 %").arg(std::lround(v * 100)));
    update();
}

QSize VKProgressBar::sizeHint() const { return {160, barHeight}; }

QSize VKProgressBar::minimumSizeHint() const { return {40, barHeight}; }

void VKProgressBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(inset, (height() - trackHeight) / 2, std::max(0.0, width() - 2 * inset), trackHeight);
    LWSlider::paintTrack(p, track, value_, rect());
}
