#pragma once
#include "templates/content.h"
#include "templates/fontpair.h"
#include "templates/palette.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The fixed tables that templates are made from. Each is built once on first use (thread-safe)
// and never changes, so references stay valid and may be read from any thread.
namespace LWTemplates {

// Palette key -> palette (24 entries).
const QHash<QString, LWPalette> &palettes();
// Font-pair key -> font pair (34 entries).
const QHash<QString, LWFontPair> &fontPairs();
// The 32 trades in table order.
const QList<LWContent> &content();
// Trade ids walked by card generation (25) and flyer generation (20), in order.
const QStringList &cardSubjects();
const QStringList &flyerSubjects();

// The named palette, or "navyGold" for an unknown key.
const LWPalette &palette(const QString &name);
// The named font pair, or "modern" for an unknown key.
const LWFontPair &fonts(const QString &key);
// The trade with this id. An unknown id is a programming error: asserts in debug builds and
// gives the first trade otherwise.
const LWContent &subject(const QString &id);

} // namespace LWTemplates
