#pragma once
#include "model/color.h"

#include <QColor>
#include <QString>
#include <optional>

// The seven colours every themed view reads, taken afresh from VELKKitHost::theme().
// `text` for body text, `dim` for secondary text and dashed outlines, `accent` for emphasis.
struct VKKitTheme {
    QColor bg, text, dim, rim, accent, panelTop, panelBottom;
    friend bool operator==(const VKKitTheme &, const VKKitTheme &) = default;
};

// One colour theme. Themes are identified by `id` alone: equality ignores names and colours.
struct VELKTheme {
    // sRGB at opacity 1; luminance uses the 0.03928 threshold.
    using RGB = LWColor;

    enum class Family { masculine, feminine, black, gray, extra };
    static QString familyText(Family family);
    // Nothing for any text but the five family names.
    [[nodiscard]] static std::optional<Family> familyFromText(const QString &text);

    QString id;
    QString name;
    Family family = Family::extra;
    RGB bg, panelTop, panelBottom, text, dim, accent;

    // Each colour at opacity 1, except `rim`: white at 25 % in every theme.
    VKKitTheme kitTheme() const;

    friend bool operator==(const VELKTheme &a, const VELKTheme &b) { return a.id == b.id; }
};
