#include "render/fonts.h"
#include "render/preflight.h"
#include "templates/cardlayouts.h"
#include "templates/templatedata.h"
#include "templates/templates.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QSet>
#include <cmath>
#include <cstring>

namespace
{

const double euH = LWSizePreset::euCard.height / LWSizePreset::euCard.width * 252;

LWKit card(const LWContent &c, double h = 144, const QString &fontKey = {})
{
    return LWKit(c, LWTemplates::palette(c.palettes.first()),
                 LWTemplates::fonts(fontKey.isEmpty() ? c.fonts.first() : fontKey), 252, h);
}
LWContent trade(const char *id)
{
    return LWTemplates::subject(QString::fromLatin1(id));
}

// The single element of that name; a failure and a blank element when there is not exactly one.
LWElement only(const LWPage &page, const char *name)
{
    std::optional<LWElement> found;
    for (const LWElement &e : page.elements)
        if (e.name == QLatin1String(name)) {
            EXPECT_FALSE(found) << "two elements named " << name;
            found = e;
        }
    EXPECT_TRUE(found) << "no element named " << name;
    return found.value_or(LWElement());
}

QStringList names(const LWPage &page)
{
    QStringList out;
    for (const LWElement &e : page.elements)
        out << e.name;
    return out;
}

// How each stored element follows a taller card: '0' stays, 'h' moves down by half the extra
// height, 'D' by all of it, 'G' stays at the top and grows by it. One letter per element.
struct Layout {
    const LWCardLayout &(*get)();
    const char *name;
    int front, back;
    const char *frontMoves, *backMoves;
};
const Layout eight[] = {
    {LWCardLayouts::boldBand, "Bold Band", 5, 12, "DD000", "Gh0000000000"},
    {LWCardLayouts::cornerArc, "Corner Arc", 7, 11, "DDD00DD", "00000000000"},
    {LWCardLayouts::minimal, "Minimal", 11, 3, "0000DDDDDDD", "hhh"},
    {LWCardLayouts::wave, "Wave", 6, 9, "DD000D", "0hhhhhhhh"},
    {LWCardLayouts::framed, "Framed", 6, 8, "GGhhhh", "Ghhhhhhh"},
    {LWCardLayouts::stripes, "Side Stripes", 8, 11, "GGG00DDD", "GGhhhhhhhhD"},
    {LWCardLayouts::hexBadge, "Hex Badge", 4, 12, "hhhh", "000000000000"},
    {LWCardLayouts::monogram, "Monogram", 6, 11, "hhhhhh", "000hhhhhhhh"},
};

class CardLayouts : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_F(CardLayouts, TakeTheirPlacesAndBuildEverySubject)
{
    for (int k = 2; k < 10; ++k) {
        const Layout &l = eight[k - 2];
        EXPECT_EQ(LWCardLayouts::all()[k].name, QLatin1String(l.name));
        EXPECT_EQ(LWCardLayouts::all()[k].make, l.get().make) << l.name;
        ASSERT_EQ(std::strlen(l.frontMoves), size_t(l.front));
        ASSERT_EQ(std::strlen(l.backMoves), size_t(l.back));
    }
    ASSERT_EQ(LWTemplates::cardSubjects().size(), 25);
    for (const QString &id : LWTemplates::cardSubjects()) {
        const LWKit k = card(LWTemplates::subject(id));
        for (const Layout &l : eight) {
            const auto [front, back] = l.get().make(k);
            EXPECT_EQ(front.name, QStringLiteral("Front"));
            EXPECT_EQ(back.name, QStringLiteral("Back"));
            EXPECT_EQ(front.elements.size(), l.front) << l.name << " " << id.toStdString();
            EXPECT_EQ(back.elements.size(), l.back) << l.name << " " << id.toStdString();
        }
    }
}

TEST_F(CardLayouts, EuCardMovesEachRowByItsAnchor)
{
    const double D = euH - 144;
    EXPECT_NEAR(D, 19.0588, 1e-4);
    auto compare = [&](const LWPage &us, const LWPage &eu, const char *moves, const std::string &what) {
        ASSERT_EQ(eu.elements.size(), us.elements.size()) << what;
        for (qsizetype i = 0; i < us.elements.size(); ++i) {
            const LWRect a = us.elements[i].frame, b = eu.elements[i].frame;
            const char m = moves[i];
            const std::string where =
                what + " #" + std::to_string(i) + " " + us.elements[i].name.toStdString();
            EXPECT_NEAR(b.y - a.y, m == 'D' ? D : m == 'h' ? D * 0.5 : 0, 1e-9) << where;
            EXPECT_NEAR(b.h - a.h, m == 'G' ? D : 0, 1e-9) << where;
            EXPECT_EQ(b.x, a.x) << where;
            EXPECT_EQ(b.w, a.w) << where;
        }
    };
    for (const char *id : {"contractor", "salon"}) {
        const LWContent c = trade(id);
        for (const Layout &l : eight) {
            const auto us = l.get().make(card(c)), eu = l.get().make(card(c, euH));
            compare(us.first, eu.first, l.frontMoves, std::string(l.name) + " front");
            compare(us.second, eu.second, l.backMoves, std::string(l.name) + " back");
        }
    }
}

TEST_F(CardLayouts, RowsHangFromTheBottomEdge)
{
    const LWContent c = trade("contractor");
    LWContent longTitle = c;
    longTitle.title = QStringLiteral(
        "Owner, General Contractor and Licensed Master Builder of Fine Homes across the Valley");
    struct Case {
        const LWCardLayout &(*get)();
        double titleBottom;
    };
    for (const Case &t : {Case{LWCardLayouts::cornerArc, 124}, Case{LWCardLayouts::stripes, 122}}) {
        for (double h : {144.0, euH}) {
            const double D = h - 144;
            const LWPage page = t.get().make(card(c, h)).first, tall = t.get().make(card(longTitle, h)).first;
            const LWElement title = only(page, "Title"), name = only(page, "Name");
            EXPECT_DOUBLE_EQ(title.frame.maxY(), D + t.titleBottom);
            EXPECT_DOUBLE_EQ(name.frame.maxY(), title.frame.minY() - 1);
            const double added = only(tall, "Title").frame.height() - title.frame.height();
            ASSERT_GT(added, 0) << t.get().name.toStdString();
            EXPECT_DOUBLE_EQ(only(tall, "Title").frame.maxY(), D + t.titleBottom);
            EXPECT_DOUBLE_EQ(only(tall, "Name").frame.maxY(), name.frame.maxY() - added);
        }
    }

    for (double h : {144.0, euH}) {
        const double D = h - 144;
        EXPECT_DOUBLE_EQ(only(LWCardLayouts::minimal().make(card(c, h)).first, "Business name").frame.maxY(),
                         D + 124);
        EXPECT_DOUBLE_EQ(only(LWCardLayouts::stripes().make(card(c, h)).second, "Business name").frame.maxY(),
                         D + 124);
        const LWPage arc = LWCardLayouts::cornerArc().make(card(c, h)).first;
        for (const char *circle : {"Arc", "Arc ring"}) {
            EXPECT_DOUBLE_EQ(only(arc, circle).frame.midX(), 235);
            EXPECT_DOUBLE_EQ(only(arc, circle).frame.midY(), D + 131);
        }
        EXPECT_EQ(only(arc, "Arc ring").frame.width(), only(arc, "Arc").frame.width() + 28);

        const auto [front, back] = LWCardLayouts::framed().make(card(c, h));
        const LWRect outer(12, 12, 252 - 24, h - 24);
        EXPECT_EQ(only(front, "Frame").frame, outer);
        EXPECT_EQ(only(back, "Frame").frame, outer);
        const LWRect inner = only(front, "Inner frame").frame;
        EXPECT_EQ(inner.x, 15.5);
        EXPECT_EQ(inner.y, 15.5);
        EXPECT_DOUBLE_EQ(inner.maxX(), outer.maxX() - 3.5);
        EXPECT_DOUBLE_EQ(inner.maxY(), outer.maxY() - 3.5);
    }

    // A longer first stack on Framed's back pushes the rule and the second stack down.
    const LWPage back = LWCardLayouts::framed().make(card(c)).second;
    const LWPage pushed = LWCardLayouts::framed().make(card(longTitle)).second;
    const double added = only(pushed, "Title").frame.height() - only(back, "Title").frame.height();
    ASSERT_GT(added, 0);
    for (const char *row : {"Rule", "Phone", "Email", "Website", "Address"})
        EXPECT_DOUBLE_EQ(only(pushed, row).frame.y, only(back, row).frame.y + added) << row;
    EXPECT_DOUBLE_EQ(only(back, "Rule").frame.y, only(back, "Title").frame.maxY() + 6);
    EXPECT_DOUBLE_EQ(only(back, "Phone").frame.y, only(back, "Title").frame.maxY() + 12);
}

TEST_F(CardLayouts, CentredBlocksStayOnTheirMiddle)
{
    const LWContent c = trade("contractor");
    LWContent longName = c;
    longName.business = c.business + QStringLiteral(" and Remodelers of the Valley");
    for (double h : {144.0, euH}) {
        const double mid = 72 + (h - 144) * 0.5;
        const auto [front, back] = LWCardLayouts::hexBadge().make(card(c, h));
        const LWElement business = only(front, "Business name"), tagline = only(front, "Tagline");
        EXPECT_NEAR(business.frame.minY() + tagline.frame.maxY(), 2 * mid, 1e-9);
        EXPECT_DOUBLE_EQ(tagline.frame.minY(), business.frame.maxY() + 6);

        const LWPage wider = LWCardLayouts::hexBadge().make(card(longName, h)).first;
        const double added = only(wider, "Business name").frame.height() - business.frame.height();
        ASSERT_GT(added, 0);
        EXPECT_NEAR(only(wider, "Business name").frame.minY(), business.frame.minY() - added / 2, 1e-9);
        EXPECT_NEAR(only(wider, "Tagline").frame.minY(), tagline.frame.minY() + added / 2, 1e-9);

        // The hexagons and their icons (stored right after them) share a centre.
        const std::pair<const LWPage &, QPointF> badges[] = {{front, {66, mid}}, {back, {217, 35}}};
        for (const auto &[page, centre] : badges) {
            ASSERT_GT(page.elements.size(), 1);
            ASSERT_TRUE(page.elements[1].icon);
            for (const LWElement &e : {only(page, "Hexagon"), page.elements[1]}) {
                EXPECT_NEAR(e.frame.midX(), centre.x(), 1e-9) << e.name.toStdString();
                EXPECT_NEAR(e.frame.midY(), centre.y(), 1e-9) << e.name.toStdString();
            }
        }
    }

    // Monogram: two font pairs whose heading lines differ in height, initials always centred.
    QStringList keys = LWTemplates::fontPairs().keys();
    keys.sort();
    QList<QString> pairs;
    QSet<double> heights;
    const LWKit probe = card(c);
    for (const QString &key : keys) {
        const double lh = probe.lineHeight(LWTemplates::fonts(key).head, 34);
        if (!heights.contains(lh) && pairs.size() < 2) {
            heights.insert(lh);
            pairs << key;
        }
    }
    ASSERT_EQ(pairs.size(), 2);
    for (const QString &key : pairs) {
        for (double h : {144.0, euH}) {
            const double mid = 72 + (h - 144) * 0.5;
            const LWPage front = LWCardLayouts::monogram().make(card(c, h, key)).first;
            EXPECT_NEAR(only(front, "Initials").frame.midY(), mid, 1e-9) << key.toStdString();
            for (const char *ring : {"Ring", "Inner ring"}) {
                EXPECT_DOUBLE_EQ(only(front, ring).frame.midX(), 70);
                EXPECT_DOUBLE_EQ(only(front, ring).frame.midY(), mid);
            }
        }
    }
}

TEST_F(CardLayouts, PaintsShapesAndStringsAsDrawn)
{
    const LWContent c = trade("realtor");
    const LWKit k = card(c);
    const LWPalette &p = k.pal;

    const LWPage band = LWCardLayouts::boldBand().make(k).first;
    EXPECT_EQ(only(band, "Band").fill, LWFill::linear(p.accent, p.accent.mix(LWColor::white, 0.25), 0));
    EXPECT_EQ(only(band, "Thin band").fill, LWFill::solid(p.accent.withAlpha(0.5)));
    EXPECT_EQ(LWCardLayouts::monogram().make(k).first.background, LWFill::linear(p.primary, p.deep, 45));

    const auto [hexFront, hexBack] = LWCardLayouts::hexBadge().make(k);
    const LWElement hex = only(hexFront, "Hexagon");
    EXPECT_EQ(hex.shape, LWShapeKind::polygon);
    EXPECT_EQ(hex.sides, 6);
    EXPECT_EQ(hex.cornerRadius, 0);
    EXPECT_EQ(hex.fill, LWFill::solid(LWColor::white.withAlpha(0.07)));
    EXPECT_EQ(hex.stroke, LWStroke(p.accent, 1.6, 0));
    EXPECT_EQ(only(hexBack, "Hexagon").fill, LWFill::none());
    EXPECT_EQ(only(hexBack, "Hexagon").stroke, LWStroke(p.primary, 1.2, 0));

    struct WaveCase {
        bool front;
        const char *name;
        QList<QPointF> points;
        QList<qint64> corners;
    };
    const WaveCase waves[] = {
        {true, "Wave behind", {{0, 0.3}, {0.3, 0.02}, {0.62, 0.34}, {1, 0.1}, {1, 1}, {0, 1}}, {0, 3, 4, 5}},
        {true,
         "Wave",
         {{0, 0.3}, {0.25, 0.12}, {0.55, 0.36}, {0.8, 0.18}, {1, 0.3}, {1, 1}, {0, 1}},
         {0, 4, 5, 6}},
        {false, "Wave", {{0, 0}, {1, 0}, {1, 0.7}, {0.7, 1}, {0.35, 0.55}, {0, 0.85}}, {0, 1, 2, 5}},
    };
    const auto [waveFront, waveBack] = LWCardLayouts::wave().make(k);
    for (const WaveCase &w : waves) {
        const LWElement e = only(w.front ? waveFront : waveBack, w.name);
        EXPECT_EQ(e.points, w.points) << w.name;
        EXPECT_EQ(e.corners, w.corners) << w.name;
        EXPECT_TRUE(e.smooth) << w.name;
    }
    EXPECT_EQ(only(waveFront, "Wave").fill, k.gradPrimarySide());
    EXPECT_EQ(only(waveFront, "Phone & website").text->string,
              c.phone + QStringLiteral("   \u00B7   ") + QStringLiteral("www.example.com"));
    EXPECT_EQ(only(waveFront, "Phone & website").text->align, LWTextAlign::right);
}

TEST_F(CardLayouts, EmptyTextsKeepEveryRow)
{
    LWContent blank = trade("contractor");
    for (QString *s :
         {&blank.business, &blank.tagline, &blank.person, &blank.title, &blank.phone, &blank.category})
        s->clear();
    ASSERT_TRUE(blank.initials().isEmpty());
    for (double h : {144.0, euH}) {
        for (const Layout &l : eight) {
            const auto [front, back] = l.get().make(card(blank, h));
            EXPECT_EQ(front.elements.size(), l.front) << l.name;
            EXPECT_EQ(back.elements.size(), l.back) << l.name;
            for (const LWPage *page : {&front, &back})
                for (const LWElement &e : page->elements) {
                    const LWRect r = e.frame;
                    EXPECT_TRUE(std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.w) &&
                                std::isfinite(r.h))
                        << l.name << " " << e.name.toStdString();
                }
        }
    }
}

TEST_F(CardLayouts, LibraryBuildsEveryCardTemplate)
{
    // Every layout has its own sequence of element names: no design stands in for another.
    const LWKit k = card(trade("bakery"));
    QHash<QString, std::pair<qsizetype, qsizetype>> counts;
    QSet<QStringList> sequences;
    for (const LWCardLayout &l : LWCardLayouts::all()) {
        const auto [front, back] = l.make(k);
        counts.insert(l.name, {front.elements.size(), back.elements.size()});
        sequences.insert(names(front) + QStringList{QStringLiteral("|")} + names(back));
    }
    EXPECT_EQ(sequences.size(), 10);

    QList<LWTemplate> cards = LWTemplates::cards();
    const QList<LWTemplate> &eu = LWTemplates::cardsEU();
    ASSERT_EQ(cards.size() + eu.size(), 200);
    cards << eu;
    const QString shortOfBleed = QStringLiteral("stops short of the bleed");
    for (const LWTemplate &t : cards) {
        const LWDocument doc = t.make();
        ASSERT_EQ(doc.pages.size(), 2) << t.id.toStdString();
        EXPECT_EQ(doc.pages[0].elements.size(), counts.value(t.style).first) << t.id.toStdString();
        EXPECT_EQ(doc.pages[1].elements.size(), counts.value(t.style).second) << t.id.toStdString();
        if (t.sizeID != LWSizePreset::euCard.id)
            continue;
        for (const LWExport::Issue &issue : LWExport::preflight(doc))
            EXPECT_FALSE(issue.message.contains(shortOfBleed))
                << t.id.toStdString() << " " << issue.message.toStdString();
    }
}

} // namespace
