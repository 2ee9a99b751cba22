#pragma once
#include "kit/theme/theme.h"

#include <QList>
#include <QString>

// The registry of themes: six built in, then those a host registers at start-up, and the user's
// choice, kept only in the settings under `key`. Main thread only.
namespace VELKThemes {
inline const QString key = QStringLiteral("velk.theme");
// The id used when nothing is stored, and the fallback of named().
inline QString defaultID = QStringLiteral("cobalt-gunmetal");

// The six built-in themes, in menu order.
const QList<VELKTheme> &builtIn();
// Themes registered so far, in order of registration.
const QList<VELKTheme> &extras();
// Appends each theme whose id no theme has yet (built-in, registered, or earlier in `themes`).
void registerThemes(const QList<VELKTheme> &themes);
// builtIn() followed by extras().
QList<VELKTheme> all();
// The theme with exactly that id, else the one with defaultID, else the first built-in.
VELKTheme named(const QString &id);

// The stored text under `key`, or defaultID when nothing is stored.
QString currentID();
// Stores the text as it is, through LWSettings (no check that a theme has that id).
void setCurrentID(const QString &id);
inline VELKTheme current() { return named(currentID()); }
} // namespace VELKThemes

// The application's own theme.
namespace LWThemes {
inline const QString forestID = QStringLiteral("forest-green");
// "Forest Green", the one theme the application adds.
const QList<VELKTheme> &extras();
} // namespace LWThemes
