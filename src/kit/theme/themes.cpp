#include "kit/theme/themes.h"

#include "model/file/prefs.h"

#include <algorithm>

namespace {

using Family = VELKTheme::Family;
using RGB = VELKTheme::RGB;

VELKTheme make(const char *id, const char *name, Family family, std::uint32_t bg, std::uint32_t panelTop,
               std::uint32_t panelBottom, std::uint32_t text, std::uint32_t dim, std::uint32_t accent)
{
    return {QString::fromLatin1(id), QString::fromLatin1(name), family,       RGB::hex(bg),
            RGB::hex(panelTop),      RGB::hex(panelBottom),     RGB::hex(text), RGB::hex(dim),
            RGB::hex(accent)};
}

QList<VELKTheme> &registered()
{
    static QList<VELKTheme> list;
    return list;
}

} // namespace

namespace VELKThemes {

const QList<VELKTheme> &builtIn()
{
    static const QList<VELKTheme> list{
        make("cobalt-gunmetal", "Cobalt Gunmetal", Family::masculine, 0x14181F, 0x353C48, 0x1C2129, 0xF2F5FA,
             0xA3AEC0, 0x2F7BF2),
        make("candy-red-titanium", "Candy Red Titanium", Family::masculine, 0x1A1616, 0x403736, 0x231D1D, 0xFAF3F2,
             0xC2AAA7, 0xD3262E),
        make("rose-gold", "Rose Gold", Family::feminine, 0x24161D, 0x4A3039, 0x2C1B23, 0xFFF2F5, 0xD6AFBC, 0xE0789A),
        make("lavender-pearl", "Lavender Pearl", Family::feminine, 0x1C1726, 0x40375A, 0x241D33, 0xF6F2FF, 0xBDB1DA,
             0x9B7BE8),
        make("midnight-black", "Midnight Black", Family::black, 0x050506, 0x26272B, 0x0E0E10, 0xFFFFFF, 0x9C9EA6,
             0x5AA9FF),
        make("brushed-gray", "Brushed Gray", Family::gray, 0x3A3D42, 0x6A6E75, 0x45484E, 0xFFFFFF, 0xD9DCE1,
             0x1F6FD1),
    };
    return list;
}

const QList<VELKTheme> &extras() { return registered(); }

void registerThemes(const QList<VELKTheme> &themes)
{
    for (const VELKTheme &theme : themes) {
        if (!all().contains(theme)) // equality is by id
            registered().append(theme);
    }
}

QList<VELKTheme> all() { return builtIn() + registered(); }

VELKTheme named(const QString &id)
{
    const QList<VELKTheme> list = all();
    const auto byID = [&](const QString &wanted) {
        return std::find_if(list.cbegin(), list.cend(), [&](const VELKTheme &t) { return t.id == wanted; });
    };
    if (auto it = byID(id); it != list.cend())
        return *it;
    if (auto it = byID(defaultID); it != list.cend())
        return *it;
    return builtIn().first();
}

QString currentID()
{
    const QVariant v = LWSettings::shared().value(key);
    return v.isValid() ? v.toString() : defaultID;
}

void setCurrentID(const QString &id) { LWSettings::shared().setValue(key, id); }

} // namespace VELKThemes

namespace LWThemes {

const QList<VELKTheme> &extras()
{
    static const QList<VELKTheme> list{make("forest-green", "Forest Green", Family::extra, 0x0F1A13, 0x2E4535,
                                            0x17241B, 0xF1F7F2, 0xA9C4B0, 0x2B7F47)};
    return list;
}

} // namespace LWThemes
