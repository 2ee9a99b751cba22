#include "ui/inspector/sections/fontsource.h"

#include "render/text/fonts.h"

namespace {

class SystemFonts final : public LWFontSource {
public:
    QStringList bundledFamilies() override { return LWFonts::bundledFamilies(); }
    QStringList families() override { return LWFonts::families(); }
    QList<QPair<QString, QString>> members(const QString &family) override { return LWFonts::members(family); }
    QString familyName(const QString &postScriptName) override { return LWFonts::familyName(postScriptName); }
    QString faceName(const QString &postScriptName) override { return LWFonts::faceName(postScriptName); }
    QFont font(const QString &postScriptName, double size) override { return LWFonts::font(postScriptName, size); }
    bool has(const QString &postScriptName, unsigned trait) override { return LWFonts::has(postScriptName, trait); }
    QString toggled(const QString &postScriptName, unsigned trait) override
    {
        return LWFonts::toggled(postScriptName, trait);
    }
};

} // namespace

LWFontSource &LWFontSource::system()
{
    static SystemFonts fonts;
    return fonts;
}
