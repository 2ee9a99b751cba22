#include "templates/kit.h"

#include "render/text/textlayout.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int nameLength = 28;
constexpr double fitReference = 100; // points
constexpr double fitFactor = 0.97;
constexpr double unwrapped = 100000; // a box wide enough that nothing wraps

LWText textOf(const QString &s, const QString &font, double size, const LWColor &color, double track = 0,
              double lead = 1.0, LWTextAlign align = LWTextAlign::left, bool upper = false,
              bool sample = false)
{
    return LWText(s, font, size, color, track, lead, align, LWVAlign::top, false, upper, sample);
}

// W of the fitting rules: a measured width, and 1 where there is nothing to measure.
double fitted(double measured, double maxSize, double width)
{
    return std::min(maxSize, width / std::max(1.0, measured) * fitReference * fitFactor);
}

} // namespace

LWKit::LWKit(LWContent c_, LWPalette pal_, LWFontPair fonts_, double w_, double h_)
    : c(std::move(c_)), pal(std::move(pal_)), fonts(std::move(fonts_)), w(w_), h(h_)
{
}

LWElement LWKit::text(const QString &s, const QString &font, double size, const LWColor &color, double x,
                      double y, double w, const TextOptions &o) const
{
    const LWText t = textOf(s, font, size, color, o.track, o.lead, o.align, o.upper, o.sample);
    const double height = LWTextLayout::height(t, w);
    return LWElement::makeText(t, {x, y, w, height},
                               o.name ? *o.name : LWText::leadingCharacters(s, nameLength));
}

LWElement LWKit::textUp(const QString &s, const QString &font, double size, const LWColor &color, double x,
                        double bottom, double w, const TextOptions &o) const
{
    TextOptions up = o;
    up.sample = true;
    LWElement e = text(s, font, size, color, x, 0, w, up);
    e.offset(0, bottom - e.frame.height());
    return e;
}

LWKit::Block LWKit::centeredLines(const QList<Line> &lines, double top, double x, double w, double gap,
                                  double track) const
{
    Block out;
    double y = top;
    for (const Line &l : lines) {
        out.elements.append(text(l.text, l.font, l.size, l.color, x, y, w,
                                 {.align = LWTextAlign::center, .track = track, .name = l.name}));
        y = out.elements.last().frame.maxY() + gap;
    }
    out.bottom = y - gap;
    return out;
}

LWKit::Block LWKit::bullets(const QStringList &items, double x, double y, double colW, int cols, double size,
                            const LWColor &color, const LWColor &mark, double rowGap,
                            const QString &iconName) const
{
    const int perRow = std::max(cols, 1); // a zero column count would divide by zero
    const double lh = lineHeight(fonts.body, size);
    const double s = 1.15 * size;
    Block out;
    out.elements.reserve(items.size() * 2);
    double top = y, lowest = y;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const qsizetype col = i % perRow;
        if (col == 0 && i > 0)
            top = lowest + rowGap;
        const double cx = x + col * (colW + 20);
        out.elements.append(icon(iconName, {cx, top + (lh - s) / 2, s, s}, mark));
        out.elements.append(text(items[i], fonts.body, size, color, cx + s + 10, top, colW - s - 10,
                                 {.name = QStringLiteral("List item")}));
        lowest = std::max(lowest, out.elements.last().frame.maxY());
    }
    out.bottom = lowest;
    return out;
}

LWKit::Block LWKit::contacts(double x, double y, double w, double size, const LWColor &color,
                             const LWColor &iconColor, double gap, const QList<Contact> &items,
                             const std::optional<QString> &font, bool iconRight) const
{
    const QString face = font ? *font : fonts.body;
    const double lh = lineHeight(face, size);
    const double s = 1.25 * size, space = 0.8 * size;
    const double tw = w - s - space;
    Block out;
    out.elements.reserve(items.size() * 2);
    double top = y;
    for (Contact kind : items) {
        const TextOptions o{.align = iconRight ? LWTextAlign::right : LWTextAlign::left,
                            .name = contactName(kind)};
        const LWElement t =
            text(contactText(kind), face, size, color, iconRight ? x : x + s + space, top, tw, o);
        const LWElement i =
            icon(contactIcon(kind), {iconRight ? x + w - s : x, top + (lh - s) / 2, s, s}, iconColor);
        if (iconRight)
            out.elements << t << i;
        else
            out.elements << i << t;
        top = t.frame.maxY() + gap;
    }
    out.bottom = top - gap;
    return out;
}

QString LWKit::contactText(Contact kind) const
{
    switch (kind) {
    case Contact::phone:
        return c.phone;
    case Contact::email:
        return c.email();
    case Contact::web:
        return c.web();
    case Contact::address:
        break;
    }
    return c.address();
}

QString LWKit::contactIcon(Contact kind) const
{
    switch (kind) {
    case Contact::phone:
        return QStringLiteral("phone");
    case Contact::email:
        return QStringLiteral("mail");
    case Contact::web:
        return QStringLiteral("globe");
    case Contact::address:
        break;
    }
    return QStringLiteral("pin");
}

QString LWKit::contactName(Contact kind) const
{
    switch (kind) {
    case Contact::phone:
        return QStringLiteral("Phone");
    case Contact::email:
        return QStringLiteral("Email");
    case Contact::web:
        return QStringLiteral("Website");
    case Contact::address:
        break;
    }
    return QStringLiteral("Address");
}

LWElement LWKit::rect(const LWRect &r, const LWFill &fill, double radius,
                      const std::optional<LWStroke> &stroke, const QString &name) const
{
    return LWElement::makeShape(LWShapeKind::rectangle, r, fill, stroke, radius, name);
}

LWElement LWKit::oval(const LWRect &r, const LWFill &fill, const std::optional<LWStroke> &stroke,
                      const QString &name) const
{
    return LWElement::makeShape(LWShapeKind::ellipse, r, fill, stroke, 0, name);
}

LWElement LWKit::icon(const QString &name, const LWRect &r, const LWColor &color) const
{
    return LWElement::makeIcon(name, r, LWFill::solid(color));
}

LWElement LWKit::line(QPointF from, QPointF to, const LWColor &color, double width, double dash,
                      const QString &name) const
{
    return LWElement::makeLine(from, to, LWStroke(color, width, dash), name);
}

LWElement LWKit::poly(const QList<QPointF> &points, const LWFill &fill, const QString &name) const
{
    if (points.isEmpty()) // nothing to frame: an empty path draws nothing
        return LWElement::makePath({}, {0, 0, 0, 0}, fill, false, std::nullopt, name);
    double minX = std::numeric_limits<double>::infinity(), minY = minX, maxX = -minX, maxY = -minX;
    for (const QPointF &p : points) {
        minX = std::min(minX, p.x());
        minY = std::min(minY, p.y());
        maxX = std::max(maxX, p.x());
        maxY = std::max(maxY, p.y());
    }
    const LWRect box(minX, minY, maxX - minX, maxY - minY);
    QList<QPointF> unit;
    unit.reserve(points.size());
    for (const QPointF &p : points)
        unit.append({(p.x() - minX) / std::max(0.001, box.w), (p.y() - minY) / std::max(0.001, box.h)});
    return LWElement::makePath(unit, box, fill, false, std::nullopt, name);
}

LWElement LWKit::wave(const LWRect &r, const QList<QPointF> &unitPoints, const QList<qint64> &corners,
                      const LWFill &fill, const QString &name) const
{
    return LWElement::makePath(unitPoints, r, fill, true, corners, name);
}

LWElement LWKit::photo(const LWRect &r, LWMask mask, double radius) const
{
    return LWElement::makePhoto(r, mask, radius, QStringLiteral("Photo frame"));
}

LWRect LWKit::full() const
{
    return {-bleed, -bleed, w + 2 * bleed, h + 2 * bleed};
}

LWFill LWKit::gradPrimary() const
{
    return LWFill::linear(pal.primary, pal.deep, 90);
}

LWFill LWKit::gradPrimarySide() const
{
    return LWFill::linear(pal.primary, pal.deep, 0);
}

double LWKit::lineHeight(const QString &font, double size) const
{
    return LWTextLayout::height(textOf(QStringLiteral("Ag"), font, size, LWColor::black), 1000);
}

double LWKit::width(const QString &s, const QString &font, double size, double track) const
{
    if (s.isEmpty()) // the layout gives an empty text one line; here it has none
        return 0;
    const LWTextLayout::Layout l =
        LWTextLayout::layout(textOf(s, font, size, LWColor::black, track), unwrapped);
    return l.lineRects.isEmpty() ? 0 : l.lineRects.first().width();
}

double LWKit::fitLine(const QString &s, const QString &font, double maxSize, double width) const
{
    return fitted(this->width(s, font, fitReference), maxSize, width);
}

double LWKit::fitSize(const QString &s, const QString &font, double maxSize, double width) const
{
    double widest = 0;
    for (const QString &word : s.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        widest = std::max(widest, this->width(word, font, fitReference));
    return fitted(widest, maxSize, width);
}

double LWKit::fitOffer(const QString &s, const QString &font, double maxSize, double width) const
{
    const double line = fitLine(s, font, maxSize, width);
    return line >= 0.6 * maxSize ? line : fitSize(s, font, maxSize, width);
}

QString LWKit::menuTitle() const
{
    static const QStringList menus{QStringLiteral("restaurant"), QStringLiteral("bakery"),
                                   QStringLiteral("coffee")};
    if (menus.contains(c.id))
        return QStringLiteral("Our Menu");
    for (const LWContent::Item &item : c.items) {
        if (item.price.contains(QLatin1Char('$')) || item.price == QStringLiteral("Free"))
            continue;
        return c.id == QStringLiteral("realtor") ? QStringLiteral("Home Details")
                                                 : QStringLiteral("Schedule");
    }
    return QStringLiteral("Services & Prices");
}
