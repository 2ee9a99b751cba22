#pragma once
#include <QFont>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the text section and the font picker ask of the font registry. system() answers from
// LWFonts; tests pass a registry of their own (and count its lookups). Main thread only.
class LWFontSource {
public:
    virtual ~LWFontSource() = default;

    // The bundled families in manifest order.
    virtual QStringList bundledFamilies() = 0;
    // The installed families as the registry lists them.
    virtual QStringList families() = 0;
    // (PostScript name, style name) of each face, in the registry's order; empty for an unknown family.
    virtual QList<QPair<QString, QString>> members(const QString &family) = 0;
    // The face's family; the name itself when no such face exists.
    virtual QString familyName(const QString &postScriptName) = 0;
    // The PostScript name of the face that draws the name (a platform name's stand-in); the name
    // itself when the registry knows no other.
    virtual QString faceName(const QString &postScriptName) { return postScriptName; }
    // The named face, or the registry's fallback. Never fails.
    virtual QFont font(const QString &postScriptName, double size) = 0;
    virtual bool has(const QString &postScriptName, unsigned trait) = 0;
    // The family member with `trait` switched; the face's own name when there is none.
    virtual QString toggled(const QString &postScriptName, unsigned trait) = 0;

    // The application's registry (LWFonts), one instance.
    static LWFontSource &system();
};
