#pragma once
#include "model/document.h"
#include "model/element.h"
#include "model/page.h"
#include "templates/template.h"
#include "templates/templatedata.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The template library: 500 templates generated from the trades, palettes, font pairs and
// layouts, their documents built and scaled to size on demand, lookup and search. Every list
// is built once on first use (safe from several threads at once) and never changes.
namespace LWTemplates
{

// Layouts build at a base width and are scaled to the size afterwards.
inline constexpr double cardBaseWidth = 252;
inline constexpr double flyerBaseWidth = 612;

const QList<LWSizePreset> &cardSizes();  // US card, EU card
const QList<LWSizePreset> &flyerSizes(); // Letter, A4, half-letter

// The 100 designs of a kind in one size, in generation order.
QList<LWTemplate> cardTemplates(const LWSizePreset &preset);
QList<LWTemplate> flyerTemplates(const LWSizePreset &preset);

const QList<LWTemplate> &cards();      // US card
const QList<LWTemplate> &cardsEU();    // EU card
const QList<LWTemplate> &flyers();     // Letter
const QList<LWTemplate> &flyersA4();   // A4
const QList<LWTemplate> &flyersHalf(); // half-letter
// The five lists above in that order: 500 templates.
const QList<LWTemplate> &all();
// cards() followed by flyers(): one template per design.
QList<LWTemplate> base();

// A template's document: a blank document of the preset, pages built at baseW by the preset's
// aspect and scaled to the preset's width (items that reached the bleed are stretched back to it).
LWDocument sized(const LWSizePreset &preset, double baseW, const QString &name, const QString &id,
                 const std::function<QList<LWPage>(double w, double h)> &pages);
// e scaled uniformly about the page origin; a text's size too, after which its box, half a point
// wider, grows to fit the text.
LWElement scaled(const LWElement &e, double factor);
// e with each side that crosses the trim edge but stops short of the bleed edge moved out to the
// bleed edge. Texts, lines and rotated elements are returned unchanged.
LWElement reachBleed(const LWElement &e, const LWRect &trim, double bleed);

QString idSuffix(const LWSizePreset &preset); // "-eu", "-a4", "-half" or nothing
QString sizeLabel(const QString &sizeID);     // "US card 3.5 × 2 in" ...; an unknown id itself

// The categories of base(), sorted by code unit.
QStringList categories();
// The template with this id, or none.
[[nodiscard]] std::optional<LWTemplate> named(const QString &id);
// The templates of all() (order kept) of the size (none: any), the category ("All", "Business
// Cards", "Flyers" or a trade category) and containing every blank-separated word of the query,
// case-insensitively, in their name and keywords.
QList<LWTemplate> filtered(const QString &category, const std::optional<QString> &sizeID,
                           const QString &query);

} // namespace LWTemplates
