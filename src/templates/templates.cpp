#include "templates/templates.h"

#include "render/text/textlayout.h"
#include "templates/cardlayouts.h"
#include "templates/flyerlayouts.h"
#include "templates/kit.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace {

const QString separator = QStringLiteral(" \u00B7 ");

// What differs between card and flyer generation.
struct Family {
    const QStringList &subjects;
    QList<int> offsets; // layout offset per variant
    const char *idFormat;
    LWDocKind kind;
    QString kindWords; // brings its own blanks
};

QString keywordsOf(const QString &first, const QString &second, const LWContent &c, const QString &style,
                   const Family &family, const LWPalette &pal, const LWFontPair &fonts,
                   const LWSizePreset &preset)
{
    const QChar blank = QLatin1Char(' ');
    return first + blank + second + blank + c.category + blank + style + family.kindWords + pal.name + blank +
           fonts.name + blank + LWTemplates::sizeLabel(preset.id);
}

// The records of one family in one size. build makes the pages of layout `layout` for a kit.
template <typename Layout, typename Build>
QList<LWTemplate> generate(const LWSizePreset &preset, const Family &family, const QList<Layout> &layouts,
                           Build build)
{
    const bool card = family.kind == LWDocKind::businessCard;
    QList<LWTemplate> out;
    out.reserve(family.subjects.size() * family.offsets.size());
    for (qsizetype i = 0; i < family.subjects.size(); ++i) {
        const LWContent &c = LWTemplates::subject(family.subjects[i]);
        for (qsizetype j = 0; j < family.offsets.size(); ++j) {
            const Layout layout = layouts[(i + family.offsets[j]) % layouts.size()];
            const LWPalette pal = LWTemplates::palette(c.palettes[j % c.palettes.size()]);
            const LWFontPair fonts = LWTemplates::fonts(c.fonts[j % c.fonts.size()]);
            LWTemplate t;
            t.baseID = QString::asprintf(family.idFormat, int(out.size() + 1));
            t.id = t.baseID + LWTemplates::idSuffix(preset);
            t.sizeID = preset.id;
            t.name = c.category + separator + layout.name;
            t.kind = family.kind;
            t.category = c.category;
            t.style = layout.name;
            t.keywords = card
                             ? keywordsOf(c.business, c.tagline, c, layout.name, family, pal, fonts, preset)
                             : keywordsOf(c.headline, c.business, c, layout.name, family, pal, fonts, preset);
            const double baseW = card ? LWTemplates::cardBaseWidth : LWTemplates::flyerBaseWidth;
            const QString docName = card ? c.business : c.headline;
            t.make = [preset, c, layout, pal, fonts, id = t.id, baseW, docName, build] {
                return LWTemplates::sized(preset, baseW, docName, id, [&](double w, double h) {
                    return build(layout, LWKit(c, pal, fonts, w, h));
                });
            };
            out.append(std::move(t));
        }
    }
    return out;
}

const Family &cardFamily()
{
    static const Family f{LWTemplates::cardSubjects(),
                          {0, 3, 5, 8},
                          "card-%03d",
                          LWDocKind::businessCard,
                          QStringLiteral(" business card ")};
    return f;
}

const Family &flyerFamily()
{
    static const Family f{LWTemplates::flyerSubjects(),
                          {0, 3, 5, 7, 9},
                          "flyer-%03d",
                          LWDocKind::flyer,
                          QStringLiteral(" flyer poster ")};
    return f;
}

} // namespace

LWSizePreset LWTemplate::preset() const
{
    if (const std::optional<LWSizePreset> p = LWSizePreset::named(sizeID))
        return *p;
    return kind == LWDocKind::businessCard ? LWSizePreset::usCard : LWSizePreset::letter;
}

double LWTemplate::aspect() const
{
    const LWSizePreset p = preset();
    return p.height / p.width;
}

namespace LWTemplates
{

const QList<LWSizePreset> &cardSizes()
{
    static const QList<LWSizePreset> list{LWSizePreset::usCard, LWSizePreset::euCard};
    return list;
}

const QList<LWSizePreset> &flyerSizes()
{
    static const QList<LWSizePreset> list{LWSizePreset::letter, LWSizePreset::a4, LWSizePreset::halfLetter};
    return list;
}

QList<LWTemplate> cardTemplates(const LWSizePreset &preset)
{
    return generate(preset, cardFamily(), LWCardLayouts::all(), [](const LWCardLayout &l, const LWKit &k) {
        const auto [front, back] = l.make(k);
        return QList<LWPage>{front, back};
    });
}

QList<LWTemplate> flyerTemplates(const LWSizePreset &preset)
{
    return generate(preset, flyerFamily(), LWFlyerLayouts::all(),
                    [](const LWFlyerLayout &l, const LWKit &k) { return QList<LWPage>{l.make(k)}; });
}

const QList<LWTemplate> &cards()
{
    static const QList<LWTemplate> list = cardTemplates(LWSizePreset::usCard);
    return list;
}

const QList<LWTemplate> &cardsEU()
{
    static const QList<LWTemplate> list = cardTemplates(LWSizePreset::euCard);
    return list;
}

const QList<LWTemplate> &flyers()
{
    static const QList<LWTemplate> list = flyerTemplates(LWSizePreset::letter);
    return list;
}

const QList<LWTemplate> &flyersA4()
{
    static const QList<LWTemplate> list = flyerTemplates(LWSizePreset::a4);
    return list;
}

const QList<LWTemplate> &flyersHalf()
{
    static const QList<LWTemplate> list = flyerTemplates(LWSizePreset::halfLetter);
    return list;
}

const QList<LWTemplate> &all()
{
    static const QList<LWTemplate> list = cards() + cardsEU() + flyers() + flyersA4() + flyersHalf();
    return list;
}

QList<LWTemplate> base()
{
    return cards() + flyers();
}

LWDocument sized(const LWSizePreset &preset, double baseW, const QString &name, const QString &id,
                 const std::function<QList<LWPage>(double w, double h)> &pages)
{
    LWDocument doc = LWDocument::blank(preset, std::nullopt, name);
    const double h = preset.height / preset.width * baseW;
    QList<LWPage> built = pages(baseW, h);
    const double factor = preset.width / baseW;
    if (std::fabs(factor - 1) > 0.0001) {
        const LWRect trim = doc.trimRect();
        for (LWPage &page : built)
            for (LWElement &e : page.elements)
                e = reachBleed(scaled(e, factor), trim, doc.bleed);
    }
    doc.pages = built;
    doc.templateID = id;
    return doc;
}

LWElement scaled(const LWElement &e, double factor)
{
    LWElement out = e;
    out.frame = {e.frame.x * factor, e.frame.y * factor, e.frame.w * factor, e.frame.h * factor};
    if (out.text) {
        out.text->size *= factor;
        out.frame.w += 0.5; // slack so the scaled text breaks its lines as before
        LWTextLayout::growToFit(out);
    }
    if (out.stroke) {
        out.stroke->width *= factor;
        out.stroke->dash *= factor;
    }
    out.cornerRadius *= factor;
    if (out.children)
        for (LWElement &child : *out.children)
            child = scaled(child, factor);
    return out;
}

LWElement reachBleed(const LWElement &e, const LWRect &trim, double bleed)
{
    if (e.kind == LWElementKind::text || e.isLine() || e.rotation != 0)
        return e;
    constexpr double slack = 0.01;
    double x = e.frame.minX(), y = e.frame.minY(), w = e.frame.width(), h = e.frame.height();
    if (x < trim.minX() - slack && x > trim.minX() - bleed) {
        w += x - (trim.minX() - bleed);
        x = trim.minX() - bleed;
    }
    if (x + w > trim.maxX() + slack && x + w < trim.maxX() + bleed)
        w = trim.maxX() + bleed - x;
    if (y < trim.minY() - slack && y > trim.minY() - bleed) {
        h += y - (trim.minY() - bleed);
        y = trim.minY() - bleed;
    }
    if (y + h > trim.maxY() + slack && y + h < trim.maxY() + bleed)
        h = trim.maxY() + bleed - y;
    LWElement out = e;
    out.setFrame({x, y, w, h});
    return out;
}

QString idSuffix(const LWSizePreset &preset)
{
    if (preset.id == LWSizePreset::euCard.id)
        return QStringLiteral("-eu");
    if (preset.id == LWSizePreset::a4.id)
        return QStringLiteral("-a4");
    if (preset.id == LWSizePreset::halfLetter.id)
        return QStringLiteral("-half");
    return {};
}

QString sizeLabel(const QString &sizeID)
{
    static const QHash<QString, QString> labels{
        {QStringLiteral("us-card"), QStringLiteral("US card 3.5 \u00D7 2 in")},
        {QStringLiteral("eu-card"), QStringLiteral("EU card 85 \u00D7 55 mm")},
        {QStringLiteral("letter"), QStringLiteral("Letter 8.5 \u00D7 11 in")},
        {QStringLiteral("a4"), QStringLiteral("A4 210 \u00D7 297 mm")},
        {QStringLiteral("half-letter"), QStringLiteral("Half-letter 5.5 \u00D7 8.5 in")},
    };
    return labels.value(sizeID, sizeID);
}

QStringList categories()
{
    QStringList out;
    QSet<QString> seen;
    for (const LWTemplate &t : base())
        if (!seen.contains(t.category)) {
            seen.insert(t.category);
            out.append(t.category);
        }
    std::sort(out.begin(), out.end()); // code units, never the locale
    return out;
}

std::optional<LWTemplate> named(const QString &id)
{
    static const QHash<QString, LWTemplate> byID = [] {
        QHash<QString, LWTemplate> h;
        h.reserve(all().size());
        for (const LWTemplate &t : all())
            h.insert(t.id, t);
        return h;
    }();
    const auto it = byID.constFind(id);
    if (it == byID.constEnd())
        return std::nullopt;
    return *it;
}

QList<LWTemplate> filtered(const QString &category, const std::optional<QString> &sizeID,
                           const QString &query)
{
    const QStringList words = query.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    auto inCategory = [&](const LWTemplate &t) {
        if (category == QStringLiteral("All"))
            return true;
        if (category == QStringLiteral("Business Cards"))
            return t.kind == LWDocKind::businessCard;
        if (category == QStringLiteral("Flyers"))
            return t.kind == LWDocKind::flyer;
        return t.category == category;
    };
    QList<LWTemplate> out;
    for (const LWTemplate &t : all()) {
        if ((sizeID && t.sizeID != *sizeID) || !inCategory(t))
            continue;
        if (!words.isEmpty()) {
            const QString text = (t.name + QLatin1Char(' ') + t.keywords).toLower();
            if (!std::all_of(words.cbegin(), words.cend(),
                             [&](const QString &w) { return text.contains(w); }))
                continue;
        }
        out.append(t);
    }
    return out;
}

} // namespace LWTemplates
