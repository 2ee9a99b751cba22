#include "kit/zoom.h"

#include "model/prefs.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <cmath>

namespace VKZoom {

double clamp(double zoom)
{
    if (std::isnan(zoom))
        return 1.0;
    const double rounded = std::round(zoom * 100) / 100;
    return std::min(std::max(rounded, min), max);
}

double value()
{
    bool ok = false;
    const double stored = LWSettings::shared().value(key).toDouble(&ok);
    // Qt parses "nan" and "inf": a value no one could have stored through setValue.
    if (!ok || stored == 0 || !std::isfinite(stored))
        return 1.0;
    return clamp(stored);
}

void setValue(double zoom) { LWSettings::shared().setValue(key, clamp(zoom)); }

QString levelTitle(int percent) { return QString::number(percent) + u'%'; }

Layout layout(QSizeF offered, double zoom, QSizeF minSize)
{
    Layout out;
    out.zoom = clamp(zoom);
    const auto side = [&](double offer, double least) {
        const double fit = offer / out.zoom;
        return fit > least ? fit : least;
    };
    out.logical = QSizeF(side(offered.width(), minSize.width()), side(offered.height(), minSize.height()));
    out.scaled = out.logical * out.zoom;
    out.indicators = out.scaled.width() > offered.width() + 1 || out.scaled.height() > offered.height() + 1;
    return out;
}

void scrollHome(QAbstractScrollArea *area)
{
    const auto home = [area] {
        for (QScrollBar *bar : {area->horizontalScrollBar(), area->verticalScrollBar()})
            bar->setValue(bar->minimum());
    };
    home();
    for (const int ms : {0, 150, 400, 900, 1600})
        QTimer::singleShot(ms, area, home);
}

} // namespace VKZoom
