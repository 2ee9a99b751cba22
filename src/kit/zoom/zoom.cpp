#include "kit/zoom/zoom.h"

#include "model/file/prefs.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <cmath>
#include <iterator>

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

ScrollHome::ScrollHome(QAbstractScrollArea *area) : QObject(area), m_area(area)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ScrollHome::turn);
    // Every user's scroll goes through a slider action or a press on the bar; code that sets a
    // value directly (a layout pass) does not, and is undone by the next turn.
    for (QScrollBar *bar : {area->horizontalScrollBar(), area->verticalScrollBar()}) {
        connect(bar, &QAbstractSlider::actionTriggered, &m_timer, &QTimer::stop);
        connect(bar, &QAbstractSlider::sliderPressed, &m_timer, &QTimer::stop);
    }
}

void ScrollHome::request()
{
    home();
    m_since.start();
    m_next = 0;
    m_timer.start(turnsMs[0]);
}

void ScrollHome::home()
{
    for (QScrollBar *bar : {m_area->horizontalScrollBar(), m_area->verticalScrollBar()})
        bar->setValue(bar->minimum());
}

void ScrollHome::turn()
{
    home();
    if (++m_next < int(std::size(turnsMs)))
        m_timer.start(std::max(0, turnsMs[m_next] - int(m_since.elapsed())));
}

} // namespace VKZoom
