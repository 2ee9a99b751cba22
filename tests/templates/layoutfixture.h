#pragma once
// Building single layouts from a trade's sample content, and finding their elements by name.
#include "model/page.h"
#include "render/fonts.h"
#include "templates/kit.h"
#include "templates/templatedata.h"

#include <gtest/gtest.h>

namespace layoutfixture {

// Page heights at the base widths: EU card, A4 and half-letter flyers.
inline constexpr double euH = 252.0 * 55 / 85, a4H = 612 * 297 / 210.0, halfH = 612.0 * 612 / 396;

// A kit with the trade's first palette and font pair.
inline LWKit kitFor(const LWContent &c, double w, double h)
{
    return LWKit(c, LWTemplates::palette(c.palettes.first()), LWTemplates::fonts(c.fonts.first()), w, h);
}
inline LWKit card(const LWContent &c, double h = 144)
{
    return kitFor(c, 252, h);
}
inline LWKit flyer(const LWContent &c, double h = 792)
{
    return kitFor(c, 612, h);
}
inline LWContent trade(const char *id)
{
    return LWTemplates::subject(QString::fromLatin1(id));
}

inline QList<LWElement> named(const LWPage &page, const QString &name)
{
    QList<LWElement> out;
    for (const LWElement &e : page.elements)
        if (e.name == name)
            out.append(e);
    return out;
}
// The one element of that name; a failure when there are none or several.
inline LWElement one(const LWPage &page, const QString &name)
{
    const QList<LWElement> found = named(page, name);
    EXPECT_EQ(found.size(), 1) << name.toStdString();
    return found.value(0);
}

// Layout tests measure text: the bundled fonts come first.
class LayoutTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

} // namespace layoutfixture
