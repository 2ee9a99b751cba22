#include "kit/theme/theme.h"

#include <array>

namespace {
constexpr std::array familyNames{u"masculine", u"feminine", u"black", u"gray", u"extra"};
}

QString VELKTheme::familyText(Family family) { return QString::fromUtf16(familyNames[size_t(family)]); }

std::optional<VELKTheme::Family> VELKTheme::familyFromText(const QString &text)
{
    for (size_t i = 0; i < familyNames.size(); ++i) {
        if (text == QStringView(familyNames[i]))
            return Family(i);
    }
    return std::nullopt;
}

VKKitTheme VELKTheme::kitTheme() const
{
    const auto opaque = [](const RGB &c) { return c.withAlpha(1).qcolor(); };
    return {opaque(bg),     opaque(text),     opaque(dim), QColor::fromRgbF(1, 1, 1, 0.25f),
            opaque(accent), opaque(panelTop), opaque(panelBottom)};
}
