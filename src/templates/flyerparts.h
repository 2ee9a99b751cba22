#pragma once
// Pieces shared by the flyer builders; not part of the library's interface.
#include "model/page.h"
#include "templates/kit.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace LWFlyerParts
{

// Short names for what every flyer table reads; d is how much taller the page is than a Letter
// page at the base width.
struct Roles {
    const LWPalette &p;
    const LWFontPair &f;
    const LWContent &c;
    double d;
    explicit Roles(const LWKit &k) : p(k.pal), f(k.fonts), c(k.c), d(k.h - 792) {}
};

inline LWPage page(const LWFill &background)
{
    return {QStringLiteral("Page 1"), background, {}};
}

inline LWPage page(const LWKit &k)
{
    return page(LWFill::solid(k.pal.paper));
}

// e, moved so that its top is at y (it was built at y 0).
inline LWElement at(LWElement e, double y)
{
    e.offset(0, y - e.frame.y);
    return e;
}

// The short facts of a flyer: an event's day ("Saturday, JUN 07"), time and place; otherwise the
// first three bullets (fewer when there are fewer).
inline QStringList infoList(const LWContent &c)
{
    if (c.date)
        return {c.date->weekday + QStringLiteral(", ") + c.date->month + QLatin1Char(' ') + c.date->day,
                c.time, c.place};
    return c.bullets.mid(0, 3);
}

// Where Spotlight's text stack and disc go, from the stack's height T and the page's extra
// height d. The stack ends at 712 + d but starts no lower than 394 + d/2; a taller stack shrinks
// the disc (0 at the least) and lifts its centre.
struct SpotlightFrame {
    double top = 0;  // the headline's top
    double disc = 0; // the disc's diameter
    QPointF centre;  // the disc's centre
};

inline SpotlightFrame spotlightFrame(double T, double d)
{
    const double lowest = 394 + 0.5 * d;
    const double top = std::min(712 + d - T, lowest);
    const double overflow = lowest - top;
    return {top, std::max(0.0, 240 - 0.8 * overflow), {306, 238 + 0.3 * d - 0.6 * overflow}};
}

} // namespace LWFlyerParts
