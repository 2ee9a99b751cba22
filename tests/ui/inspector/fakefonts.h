#pragma once
#include "render/text/fonts.h"
#include "ui/inspector/sections/fontsource.h"

#include <QHash>
#include <QMap>

// A font registry of a few made-up families that counts its face lookups.
class FakeFonts : public LWFontSource {
public:
    struct Face {
        QString postScript, style, family;
        unsigned traits = 0;
    };

    QStringList bundled = {"Alpha Sans", "Beta Serif"};
    // An installed copy of an included family and a hidden name, both left out of the picker.
    QStringList installed = {"Courier Y", "Gamma Sans", "Sansita", "Delta Mono", "Epsilon", "Zeta", ".Hidden",
                             "Alpha Sans"};
    QList<Face> faces = {
        {"AlphaSans-Regular", "Regular", "Alpha Sans", 0},
        {"AlphaSans-Bold", "Bold", "Alpha Sans", LWFonts::boldTrait},
        {"AlphaSans-DemiBold", "Demi Bold", "Alpha Sans", 0},
        {"BetaSerif-Regular", "Regular", "Beta Serif", 0},
        {"BetaSerif-Italic", "Italic", "Beta Serif", LWFonts::italicTrait},
        {"CourierY-Regular", "Regular", "Courier Y", 0},
        {"GammaSans-Light", "Light", "Gamma Sans", 0},
        {"GammaSans-Heavy", "Heavy", "Gamma Sans", 0},
        {"Sansita-Regular", "Regular", "Sansita", 0},
        {"Epsilon-Regular", "Regular", "Epsilon", 0},
        {"Epsilon-DemiBold", "Demi Bold", "Epsilon", 0},
        {"Zeta-Demi", "demi bold", "Zeta", 0},
        {"Zeta-Regular", "Regular", "Zeta", 0},
    };
    // Names whose family is known although no member lists them.
    QHash<QString, QString> strays = {{"AlphaSans-Black", "Alpha Sans"}};

    QStringList membersAsked; // one entry per members() call
    int fontCalls = 0;

    QStringList bundledFamilies() override { return bundled; }
    QStringList families() override { return installed; }
    QList<QPair<QString, QString>> members(const QString &family) override
    {
        membersAsked << family;
        QList<QPair<QString, QString>> out;
        for (const Face &f : faces)
            if (f.family == family)
                out.append({f.postScript, f.style});
        return out;
    }
    QString familyName(const QString &name) override
    {
        if (const Face *f = find(name))
            return f->family;
        return strays.value(name, name);
    }
    QFont font(const QString &, double size) override
    {
        ++fontCalls;
        QFont f;
        f.setPointSizeF(size);
        return f;
    }
    bool has(const QString &name, unsigned trait) override
    {
        const Face *f = find(name);
        return f && (f->traits & trait) == trait;
    }
    QString toggled(const QString &name, unsigned trait) override
    {
        const Face *f = find(name);
        if (!f)
            return name;
        for (const Face &o : faces)
            if (o.family == f->family && o.traits == (f->traits ^ trait))
                return o.postScript;
        return name;
    }

private:
    const Face *find(const QString &name) const
    {
        for (const Face &f : faces)
            if (f.postScript == name)
                return &f;
        return nullptr;
    }
};
