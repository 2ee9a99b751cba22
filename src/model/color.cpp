#include "model/color.h"

#include "model/file/json.h"
#include "model/units.h"

#include <QHashFunctions>
#include <algorithm>
#include <cmath>

QColor LWColor::qcolor() const
{
    // QColor clamps; that is what the output device would do anyway.
    auto c = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(c(r)), float(c(g)), float(c(b)), float(c(a)));
}

QString LWColor::hexString() const
{
    QString out = QStringLiteral("#");
    for (double ch : {r, g, b}) {
        const std::int64_t v = std::max<std::int64_t>(0, LWUnits::roundClamped(ch * 255.0));
        out += QString::number(v, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return out;
}

static bool isHorizontalSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

std::optional<LWColor> LWColor::fromHex(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isHorizontalSpace(text[begin]))
        ++begin;
    while (end > begin && isHorizontalSpace(text[end - 1]))
        --end;
    QString s = text.mid(begin, end - begin).toUpper();
    if (s.startsWith(QLatin1Char('#')))
        s.remove(0, 1);
    if (s.size() != 6)
        return std::nullopt;

    // Like the platform's unsigned parser: "+" may lead five digits, "-" only before a zero value.
    qsizetype i = 0;
    bool negative = false;
    if (s[0] == QLatin1Char('+') || s[0] == QLatin1Char('-')) {
        negative = s[0] == QLatin1Char('-');
        i = 1;
    }
    std::uint32_t value = 0;
    for (; i < s.size(); ++i) {
        const ushort u = s[i].unicode();
        int d;
        if (u >= '0' && u <= '9')
            d = u - '0';
        else if (u >= 'A' && u <= 'F')
            d = u - 'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + std::uint32_t(d);
    }
    if (negative && value != 0)
        return std::nullopt;
    return LWColor::hex(value, 1);
}

static double linearChannel(double c)
{
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double LWColor::luminance() const
{
    return 0.2126 * linearChannel(r) + 0.7152 * linearChannel(g) + 0.0722 * linearChannel(b);
}

double LWColor::contrast(const LWColor &x, const LWColor &y)
{
    const double lx = x.luminance(), ly = y.luminance();
    return (std::max(lx, ly) + 0.05) / (std::min(lx, ly) + 0.05);
}

size_t qHash(const LWColor &c, size_t seed) noexcept
{
    // Adding 0.0 folds -0 into 0 so that equal colours hash alike.
    return qHashMulti(seed, c.r + 0.0, c.g + 0.0, c.b + 0.0, c.a + 0.0);
}

QJsonObject LWColor::toJson() const { return {{"r", r}, {"g", g}, {"b", b}, {"a", a}}; }

LWColor LWColor::fromJson(const LWJsonIn &in)
{
    return {in.get<double>("r"), in.get<double>("g"), in.get<double>("b"), in.get<double>("a")};
}
