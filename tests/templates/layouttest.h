#pragma once
// Helpers of the layout tests: kits at the base widths and elements looked up by name.
#include "model/page.h"
#include "templates/kit.h"
#include "templates/templatedata.h"

#include <gtest/gtest.h>

// Heights at the base widths: EU card, A4 and half-letter flyers.
constexpr double euH = 252.0 * 55 / 85, a4H = 612 * 297 / 210.0, halfH = 612.0 * 612 / 396;

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
inline LWElement one(const LWPage &page, const QString &name)
{
    const QList<LWElement> found = named(page, name);
    EXPECT_EQ(found.size(), 1) << name.toStdString();
    return found.value(0);
}
