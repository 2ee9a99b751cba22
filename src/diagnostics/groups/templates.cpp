// The template-library group: the library's size and shape, the browser's filters, font use
// and trades, then the sweep over every template, the palettes and the icons.
#include "diagnostics/groups/templatesweep.h"
#include "diagnostics/selftest.h"
#include "diagnostics/selftestgroups.h"
#include "render/text/fonts.h"
#include "render/icons/icons.h"
#include "render/parallel.h"
#include "templates/templatedata.h"
#include "templates/templates.h"

#include <QMap>
#include <algorithm>
#include <vector>

namespace LWSelfTest {

namespace {

template <typename Key>
bool allDistinct(const QList<LWTemplate> &list, Key key)
{
    QSet<QString> seen;
    for (const LWTemplate &t : list)
        seen.insert(key(t));
    return seen.size() == list.size();
}

// ["a4": 100, ...] by ascending size id, so every run prints the same line; "[:]" when empty.
QString countText(const QMap<QString, int> &counts)
{
    if (counts.isEmpty())
        return QStringLiteral("[:]");
    QStringList items;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        items << QLatin1Char('"') + it.key() + QStringLiteral("\": ") + QString::number(it.value());
    return QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']');
}

void checkSizes(LWTestRun &run)
{
    const QList<LWTemplate> &all = LWTemplates::all();
    QMap<QString, int> counts;
    for (const LWTemplate &t : all)
        ++counts[t.sizeID];
    const QMap<QString, int> expected{{QStringLiteral("us-card"), 100},
                                      {QStringLiteral("eu-card"), 100},
                                      {QStringLiteral("letter"), 100},
                                      {QStringLiteral("a4"), 100},
                                      {QStringLiteral("half-letter"), 100}};
    run.check(all.size() == 500 && counts == expected,
              QStringLiteral("every card also as an EU 85 \u00D7 55 mm card, every flyer also in A4 and half-letter: "
                             "500 templates ") +
                  countText(counts));
}

bool uniqueNames()
{
    const QList<LWTemplate> &all = LWTemplates::all();
    const QList<LWTemplate> base = LWTemplates::base();
    return all.size() == 500 && allDistinct(all, [](const LWTemplate &t) { return t.id; }) && base.size() == 200 &&
           allDistinct(base, [](const LWTemplate &t) { return t.name; }) &&
           allDistinct(all, [](const LWTemplate &t) { return t.name + t.sizeID; });
}

bool filtersWork()
{
    const QList<LWTemplate> a4 = LWTemplates::filtered(QStringLiteral("Flyers"), QStringLiteral("a4"), QString());
    if (a4.size() != 100 || !std::all_of(a4.cbegin(), a4.cend(), [](const LWTemplate &t) {
            return t.sizeID == QStringLiteral("a4") && t.kind == LWDocKind::flyer;
        }))
        return false;
    const QList<LWTemplate> salon =
        LWTemplates::filtered(QStringLiteral("All"), QStringLiteral("eu-card"), QStringLiteral("salon"));
    if (salon.isEmpty() || !std::all_of(salon.cbegin(), salon.cend(), [](const LWTemplate &t) {
            return t.sizeID == QStringLiteral("eu-card") && t.category == QStringLiteral("Hair Salon");
        }))
        return false;
    return LWTemplates::filtered(QStringLiteral("All"), std::nullopt, QString()).size() == 500;
}

// Designs (first size) with a text in one of the bundled manifest faces, not a stand-in.
qsizetype designsUsingBundledFonts()
{
    const QStringList &registered = LWFonts::registeredPostScript();
    const QSet<QString> bundled(registered.cbegin(), registered.cend());
    const QList<LWTemplate> base = LWTemplates::base();
    std::vector<char> uses(size_t(base.size()), 0);
    LWParallel::forEach(int(base.size()), [&](int i) {
        for (const LWElement &e : base[i].make().allElements())
            if (e.text && bundled.contains(e.text->fontName)) {
                uses[size_t(i)] = 1;
                return;
            }
    });
    return std::count(uses.cbegin(), uses.cend(), 1);
}

bool hasRequiredCategories(const QStringList &categories)
{
    static const char *const required[] = {"Contractor", "Hair Salon",       "Restaurant", "Realtor",
                                           "DJ / Music", "Auto Shop",        "Landscaping", "Cleaning",
                                           "Photography", "Church",          "Yard Sale",  "Weddings & Events",
                                           "Party",       "Grand Opening"};
    return std::all_of(std::begin(required), std::end(required),
                       [&](const char *c) { return categories.contains(QString::fromUtf8(c)); });
}

} // namespace

QStringList paletteFailures(const QHash<QString, LWPalette> &palettes)
{
    struct Pair {
        LWColor LWPalette::*text;
        LWColor LWPalette::*background;
        double minimum;
        const char *suffix;
    };
    static const Pair pairs[] = {{&LWPalette::onPrimary, &LWPalette::primary, 4.5, " on/primary"},
                                 {&LWPalette::onPrimary, &LWPalette::deep, 4.5, " on/deep"},
                                 {&LWPalette::ink, &LWPalette::paper, 7.0, " ink/paper"},
                                 {&LWPalette::accentInk, &LWPalette::paper, 4.5, " accentInk/paper"},
                                 {&LWPalette::accent, &LWPalette::deep, 4.5, " accent/deep"}};
    QStringList keys = palettes.keys();
    std::sort(keys.begin(), keys.end()); // the table has no order of its own
    QStringList out;
    for (const QString &key : std::as_const(keys)) {
        const LWPalette p = palettes.value(key);
        for (const Pair &pair : pairs)
            if (LWColor::contrast(p.*pair.text, p.*pair.background) < pair.minimum)
                out << key + QString::fromUtf8(pair.suffix);
    }
    return out;
}

QStringList iconFailures(const QStringList &ids,
                         const std::function<std::optional<QPainterPath>(const QString &)> &outline)
{
    QStringList out;
    for (const QString &id : ids) {
        const std::optional<QPainterPath> path = outline(id);
        const QRectF box = path ? path->boundingRect() : QRectF();
        if (!path || path->isEmpty() || box.width() < 20 || box.left() < -1 || box.right() > 101 ||
            box.top() < -1 || box.bottom() > 101)
            out << id;
    }
    return out;
}

void templates(LWTestRun &run)
{
    run.begin(QStringLiteral("Templates: 100 business cards + 100 flyers, original, in every ready-made size; all "
                             "open and pass the print check"));

    const qsizetype cards = LWTemplates::cards().size(), flyers = LWTemplates::flyers().size();
    run.check(cards == 100 && flyers == 100,
              QStringLiteral("100 business-card and 100 flyer designs (%1 + %2)").arg(cards).arg(flyers));
    checkSizes(run);
    run.check(uniqueNames(), QStringLiteral("every template has its own id; each design has one name in each size"));
    run.check(filtersWork(), QStringLiteral("template browser filters by size, category and search"));
    const qsizetype fonted = designsUsingBundledFonts();
    run.check(fonted >= 60, QStringLiteral("%1 of the 200 designs use the new VELK Fonts (at least 60)").arg(fonted));
    const QStringList categories = LWTemplates::categories();
    run.check(hasRequiredCategories(categories),
              QStringLiteral("categories include contractor, salon, restaurant, realtor, DJ, auto, landscaping, "
                             "cleaning, photography, church, yard sale, events (%1 categories)")
                  .arg(categories.size()));

    reportSweep(run, sweep(LWTemplates::all()));

    const QStringList palettes = paletteFailures(LWTemplates::palettes());
    run.check(palettes.isEmpty(),
              QStringLiteral("every template color palette keeps text readable (4.5:1 or better) ") + listText(palettes));
    const QStringList names = LWIcons::names();
    const QStringList icons = iconFailures(names, [](const QString &id) { return LWIcons::path(id); });
    run.check(names.size() >= 60 && icons.isEmpty(),
              QStringLiteral("%1 built-in vector icons, each a clean outline inside its box ").arg(names.size()) +
                  listText(icons));
}

} // namespace LWSelfTest
