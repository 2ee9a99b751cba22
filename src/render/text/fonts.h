#pragma once
#include <QByteArray>
#include <QFont>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

class LWJsonIn;

// The font registry: the one place where a PostScript name and a size become a QFont.
//
// The bundled families live in <executable dir>/Resources/Fonts: fonts-manifest.json lists the
// families templates name directly; fonts-standins.json lists the faces that stand in for the
// platform template fonts (which do not exist here) and the alias table from those names to their
// stand-in faces; fonts-ui.json lists the faces of the application's own interface, which Qt knows
// by family name but which stay out of the index, the listings and the aliases below. Every file is
// registered for this process only.
//
// Qt has no lookup by PostScript name, so registration builds an index from each face's own name
// table; system faces are indexed the same way, lazily, the first time a name is not bundled.
// Traits and family members come from that index, never from Qt's synthetic styles.
namespace LWFonts {

// One entry of fonts-manifest.json. All eight keys are required; other keys are ignored.
struct Bundled {
    QString family;
    QString group;
    QString folder;
    QStringList files;
    QString license;
    QString source;
    QStringList fileURLs;
    QString licenseURL;

    static Bundled fromJson(const LWJsonIn &in);
    friend bool operator==(const Bundled &, const Bundled &) = default;
};

// Trait bits, as the inspector passes them.
inline constexpr unsigned italicTrait = 1;
inline constexpr unsigned boldTrait = 2;

// The PostScript names of the platform fonts that templates use (74 names, fixed order).
const QStringList &platformTemplateFonts();

// One-time registration of every bundled file; later calls return at once. Ends by emptying
// the font cache. Call on the main thread before any text is measured or drawn.
void registerBundled();

// Resources/Fonts next to the executable; nothing when there is no such folder (or no
// application object yet).
std::optional<QString> bundledFolder();
// Tests only: use another folder. Has an effect only before the first use of the folder.
void overrideBundledFolder(const QString &folder);

// The decoded manifest, loaded once; empty when it is missing or any entry fails to decode.
const QList<Bundled> &manifest();
// The decoder behind manifest(): a JSON array of entries, or nothing at all.
QList<Bundled> decodeManifest(const QByteArray &json);
QStringList bundledFamilies();

// Faces registered from the manifest's files (stand-ins excluded), in registration order, and the
// manifest and interface file names that failed to register.
const QStringList &registeredPostScript();
const QStringList &registrationFailures();
// platformTemplateFonts() followed by registeredPostScript().
QStringList templateFonts();

// True when a face of that PostScript name (or platform name with a stand-in) exists. No fallback.
bool isInstalled(const QString &postScriptName);
// The bundled file (absolute path) a face, or a platform name's stand-in, was registered from;
// nothing for an installed face or an unknown name.
std::optional<QString> fileOf(const QString &postScriptName);
// Cached lookup: the named face, else "HelveticaNeue" (its stand-in), else the system font.
// Never fails. Thread-safe.
QFont font(const QString &postScriptName, double size);
// The cache key: name, "|", the size as its shortest round-trip decimal (12 -> "12.0").
QString cacheKey(const QString &postScriptName, double size);
// Number of cached fonts (diagnostics and tests).
qsizetype cachedFontCount();

// The face's typographic family / full name; the argument itself when no such face exists.
QString familyName(const QString &postScriptName);
QString displayName(const QString &postScriptName);
// The PostScript name of the face that draws the name: its own, or a platform name's stand-in;
// the argument itself when no such face exists (no fallback).
QString faceName(const QString &postScriptName);

// Installed families (stand-ins under their typographic names), without names starting with "."
// and without the manifest's families or any other name Qt derived from a bundled file. Sorted.
QStringList families();
// (PostScript name, style name) of each member of a family; empty for an unknown family.
QList<QPair<QString, QString>> members(const QString &family);

// The PostScript name of the same family's member with `trait` switched (set when not all of its
// bits are set, cleared otherwise); the name of the looked-up face itself when no such member exists.
QString toggled(const QString &postScriptName, unsigned trait);
bool has(const QString &postScriptName, unsigned trait);

// The face's own PostScript name, read from the font's name table (tests and diagnostics).
QString postScriptNameOf(const QFont &font);

} // namespace LWFonts
