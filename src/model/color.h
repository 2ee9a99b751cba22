#pragma once
#include <QColor>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <optional>

class LWJsonIn;

// An sRGB colour with straight alpha. Channels are meant to lie in 0...1 but are never clamped.
struct LWColor {
    double r = 0, g = 0, b = 0, a = 1;

    constexpr LWColor() = default;
    constexpr LWColor(double r_, double g_, double b_, double a_ = 1) : r(r_), g(g_), b(b_), a(a_) {}
    // 0xRRGGBB; bits above the low 24 are ignored.
    static constexpr LWColor hex(std::uint32_t rgb, double alpha = 1)
    {
        return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
    }

    static const LWColor white;
    static const LWColor black;
    static const LWColor clear;

    QColor qcolor() const;
    // "#RRGGBB" upper case; alpha is not written. A channel above 1 writes as many digits as it
    // needs ("1FE" for 2); a negative channel writes as 00.
    QString hexString() const;
    // Six hex digits with an optional "#", surrounded by optional spaces/tabs; nothing otherwise.
    [[nodiscard]] static std::optional<LWColor> fromHex(const QString &text);

    LWColor withAlpha(double alpha) const { return {r, g, b, alpha}; }
    LWColor mix(const LWColor &other, double t) const
    {
        return {r + (other.r - r) * t, g + (other.g - g) * t, b + (other.b - b) * t, a + (other.a - a) * t};
    }
    double luminance() const;
    static double contrast(const LWColor &x, const LWColor &y);

    QJsonObject toJson() const;
    static LWColor fromJson(const LWJsonIn &in);

    friend bool operator==(const LWColor &, const LWColor &) = default;
};

inline constexpr LWColor LWColor::white{1, 1, 1, 1};
inline constexpr LWColor LWColor::black{0, 0, 0, 1};
inline constexpr LWColor LWColor::clear{0, 0, 0, 0};

size_t qHash(const LWColor &c, size_t seed = 0) noexcept;
