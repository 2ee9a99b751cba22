#include "layouttest.h"
#include "render/text/fonts.h"
#include "templates/cardlayouts.h"

#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

LWKit withFonts(const LWContent &c, const QString &fontKey)
{
    return LWKit(c, LWTemplates::palette(c.palettes.first()), LWTemplates::fonts(fontKey), 252, 144);
}

// How each stored element follows a taller card: '0' stays, 'h' moves down by half the extra
// height, 'D' by all of it, 'G' stays at the top and grows by it. One letter per element.
struct Layout {
    const LWCardLayout &(*get)();
    const char *name;
    int front, back;
    const char *frontMoves, *backMoves;
};
const Layout ten[] = {
    {LWCardLayouts::splitPanel, "Split Panel", 8, 11, "Ghh000DD", "hhhhhhhhhhD"},
    {LWCardLayouts::centered, "Centered Classic", 5, 7, "hhhhh", "hhhhhhh"},
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
    ASSERT_EQ(LWCardLayouts::all().size(), 10);
    for (int k = 0; k < 10; ++k) {
        const Layout &l = ten[k];
        EXPECT_EQ(LWCardLayouts::all()[k].name, QLatin1String(l.name));
        EXPECT_EQ(LWCardLayouts::all()[k].make, l.get().make) << l.name;
        ASSERT_EQ(std::strlen(l.frontMoves), size_t(l.front));
        ASSERT_EQ(std::strlen(l.backMoves), size_t(l.back));
    }
    // Every trade, and one with its texts emptied, fills every row with finite frames.
    QList<LWContent> subjects;
    for (const QString &id : LWTemplates::cardSubjects())
        subjects << LWTemplates::subject(id);
    LWContent blank = trade("contractor");
    for (QString *s :
         {&blank.business, &blank.tagline, &blank.person, &blank.title, &blank.phone, &blank.category})
        s->clear();
    ASSERT_TRUE(blank.initials().isEmpty());
    subjects << blank;
    for (const LWContent &c : subjects) {
        for (double h : {144.0, euH}) {
            for (const Layout &l : ten) {
                const auto [front, back] = l.get().make(card(c, h));
                EXPECT_EQ(front.elements.size(), l.front) << l.name << " " << c.id.toStdString();
                EXPECT_EQ(back.elements.size(), l.back) << l.name << " " << c.id.toStdString();
                EXPECT_EQ(front.name, QStringLiteral("Front"));
                EXPECT_EQ(back.name, QStringLiteral("Back"));
                const QList<LWElement> all = front.elements + back.elements;
                EXPECT_TRUE(std::any_of(all.cbegin(), all.cend(),
                                        [&](const LWElement &e) { return e.icon == c.icon; }))
                    << l.name << " " << c.id.toStdString();
                for (const LWPage *page : {&front, &back})
                    for (const LWElement &e : page->elements) {
                        const LWRect r = e.frame;
                        EXPECT_TRUE(std::isfinite(r.x + r.y + r.w + r.h)) << l.name;
                    }
            }
        }
    }
}

TEST_F(CardLayouts, SplitPanelAnchorsToTheBottomEdge)
{
    const LWContent c = trade("contractor");
    const auto [us, usBack] = LWCardLayouts::splitPanel().make(card(c));
    EXPECT_EQ(one(us, "Color panel").frame, LWRect(-9, -9, 105, 162));
    EXPECT_EQ(one(usBack, "Business name").frame.y, 108);

    LWContent longPhone = c;
    longPhone.phone = QStringLiteral("(555) 012-3401 office, (555) 012-3499 mobile, (555) 012-3400 fax");
    const LWPage wrapped = LWCardLayouts::splitPanel().make(card(longPhone)).second;
    const double contactBottom = one(wrapped, "Address").frame.maxY();
    ASSERT_GT(contactBottom, 96);
    EXPECT_DOUBLE_EQ(one(wrapped, "Business name").frame.y, contactBottom + 12);

    LWContent longName = c;
    longName.business = QStringLiteral("Summit Ridge Builders and Remodelers of the Valley");
    const LWPage pushed = LWCardLayouts::splitPanel().make(card(longName)).first;
    const double grew = one(pushed, "Business name").frame.height() - one(us, "Business name").frame.height();
    ASSERT_GT(grew, 0);
    EXPECT_DOUBLE_EQ(one(pushed, "Tagline").frame.y, one(us, "Tagline").frame.y + grew);
    EXPECT_DOUBLE_EQ(one(pushed, "Rule").frame.y, one(us, "Rule").frame.y + grew);
    EXPECT_EQ(one(pushed, "Name").frame, one(us, "Name").frame);
    EXPECT_EQ(one(pushed, "Title").frame, one(us, "Title").frame);
}

TEST_F(CardLayouts, CenteredClassicBackStacksTwoBlocksAroundItsRule)
{
    const LWPage back = LWCardLayouts::centered().make(card(trade("salon"))).second;
    const double titleBottom = back.elements[1].frame.maxY();
    EXPECT_EQ(back.elements[2].name, QStringLiteral("Rule"));
    EXPECT_DOUBLE_EQ(back.elements[2].frame.y, titleBottom + 9);
    EXPECT_DOUBLE_EQ(back.elements[3].frame.y, titleBottom + 17);
    for (const LWElement &e : back.elements)
        EXPECT_TRUE(!e.text || e.text->align == LWTextAlign::center) << e.name.toStdString();
}

TEST_F(CardLayouts, EuCardMovesEachRowByItsAnchor)
{
    const double D = euH - 144;
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
        for (const Layout &l : ten) {
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
    // The title sits on a fixed bottom line and the name hangs from it, whatever their lines; a
    // taller card moves both down (EuCardMovesEachRowByItsAnchor).
    for (const Case &t : {Case{LWCardLayouts::splitPanel, 122}, Case{LWCardLayouts::cornerArc, 124},
                          Case{LWCardLayouts::stripes, 122}}) {
        const LWPage page = t.get().make(card(c)).first, tall = t.get().make(card(longTitle)).first;
        const LWElement title = one(page, "Title"), name = one(page, "Name");
        EXPECT_DOUBLE_EQ(title.frame.maxY(), t.titleBottom);
        EXPECT_DOUBLE_EQ(name.frame.maxY(), title.frame.minY() - 1);
        const double added = one(tall, "Title").frame.height() - title.frame.height();
        ASSERT_GT(added, 0) << t.get().name.toStdString();
        EXPECT_DOUBLE_EQ(one(tall, "Title").frame.maxY(), t.titleBottom);
        EXPECT_DOUBLE_EQ(one(tall, "Name").frame.maxY(), name.frame.maxY() - added);
    }

    // At the base height; a taller card moves them by their anchors (EuCardMovesEachRowByItsAnchor).
    EXPECT_DOUBLE_EQ(one(LWCardLayouts::minimal().make(card(c)).first, "Business name").frame.maxY(), 124);
    EXPECT_DOUBLE_EQ(one(LWCardLayouts::stripes().make(card(c)).second, "Business name").frame.maxY(), 124);
    const LWPage arc = LWCardLayouts::cornerArc().make(card(c)).first;
    for (const char *circle : {"Arc", "Arc ring"}) {
        EXPECT_DOUBLE_EQ(one(arc, circle).frame.midX(), 235);
        EXPECT_DOUBLE_EQ(one(arc, circle).frame.midY(), 131);
    }
    EXPECT_EQ(one(arc, "Arc ring").frame.width(), one(arc, "Arc").frame.width() + 28);

    const auto [front, back] = LWCardLayouts::framed().make(card(c));
    const LWRect outer(12, 12, 252 - 24, 144 - 24);
    EXPECT_EQ(one(front, "Frame").frame, outer);
    EXPECT_EQ(one(back, "Frame").frame, outer);
    EXPECT_EQ(one(front, "Inner frame").frame, LWRect(15.5, 15.5, 228 - 7, 120 - 7));

    // A longer first stack on Framed's back pushes the rule and the second stack down.
    const LWPage pushed = LWCardLayouts::framed().make(card(longTitle)).second;
    const double added = one(pushed, "Title").frame.height() - one(back, "Title").frame.height();
    ASSERT_GT(added, 0);
    for (const char *row : {"Rule", "Phone", "Email", "Website", "Address"})
        EXPECT_DOUBLE_EQ(one(pushed, row).frame.y, one(back, row).frame.y + added) << row;
    EXPECT_DOUBLE_EQ(one(back, "Rule").frame.y, one(back, "Title").frame.maxY() + 6);
    EXPECT_DOUBLE_EQ(one(back, "Phone").frame.y, one(back, "Title").frame.maxY() + 12);
}

TEST_F(CardLayouts, CentredBlocksStayOnTheirMiddle)
{
    const LWContent c = trade("contractor");
    LWContent longName = c;
    longName.business = c.business + QStringLiteral(" and Remodelers of the Valley");
    const double mid = 72;
    const auto [front, back] = LWCardLayouts::hexBadge().make(card(c));
    const LWElement business = one(front, "Business name"), tagline = one(front, "Tagline");
    EXPECT_NEAR(business.frame.minY() + tagline.frame.maxY(), 2 * mid, 1e-9);
    EXPECT_DOUBLE_EQ(tagline.frame.minY(), business.frame.maxY() + 6);

    const LWPage wider = LWCardLayouts::hexBadge().make(card(longName)).first;
    const double added = one(wider, "Business name").frame.height() - business.frame.height();
    ASSERT_GT(added, 0);
    EXPECT_NEAR(one(wider, "Business name").frame.minY(), business.frame.minY() - added / 2, 1e-9);
    EXPECT_NEAR(one(wider, "Tagline").frame.minY(), tagline.frame.minY() + added / 2, 1e-9);

    // The hexagons and their icons (stored right after them) share a centre.
    const std::pair<const LWPage &, QPointF> badges[] = {{front, {66, mid}}, {back, {217, 35}}};
    for (const auto &[page, centre] : badges) {
        ASSERT_GT(page.elements.size(), 1);
        ASSERT_TRUE(page.elements[1].icon);
        for (const LWElement &e : {one(page, "Hexagon"), page.elements[1]}) {
            EXPECT_NEAR(e.frame.midX(), centre.x(), 1e-9) << e.name.toStdString();
            EXPECT_NEAR(e.frame.midY(), centre.y(), 1e-9) << e.name.toStdString();
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
        const LWPage front = LWCardLayouts::monogram().make(withFonts(c, key)).first;
        EXPECT_NEAR(one(front, "Initials").frame.midY(), mid, 1e-9) << key.toStdString();
        for (const char *ring : {"Ring", "Inner ring"}) {
            EXPECT_DOUBLE_EQ(one(front, ring).frame.midX(), 70);
            EXPECT_DOUBLE_EQ(one(front, ring).frame.midY(), mid);
        }
    }
}

TEST_F(CardLayouts, PaintsShapesAndStringsAsDrawn)
{
    const LWContent c = trade("realtor");
    const LWKit k = card(c);
    const LWPalette &p = k.pal;

    const LWPage band = LWCardLayouts::boldBand().make(k).first;
    EXPECT_EQ(one(band, "Band").fill, LWFill::linear(p.accent, p.accent.mix(LWColor::white, 0.25), 0));
    EXPECT_EQ(one(band, "Thin band").fill, LWFill::solid(p.accent.withAlpha(0.5)));
    EXPECT_EQ(LWCardLayouts::monogram().make(k).first.background, LWFill::linear(p.primary, p.deep, 45));

    const auto [hexFront, hexBack] = LWCardLayouts::hexBadge().make(k);
    const LWElement hex = one(hexFront, "Hexagon");
    EXPECT_EQ(hex.shape, LWShapeKind::polygon);
    EXPECT_EQ(hex.sides, 6);
    EXPECT_EQ(hex.cornerRadius, 0);
    EXPECT_EQ(hex.fill, LWFill::solid(LWColor::white.withAlpha(0.07)));
    EXPECT_EQ(hex.stroke, LWStroke(p.accent, 1.6, 0));
    EXPECT_EQ(one(hexBack, "Hexagon").fill, LWFill::none());
    EXPECT_EQ(one(hexBack, "Hexagon").stroke, LWStroke(p.primary, 1.2, 0));

    const auto [waveFront, waveBack] = LWCardLayouts::wave().make(k);
    for (const LWElement &e : {one(waveFront, "Wave behind"), one(waveFront, "Wave"), one(waveBack, "Wave")})
        EXPECT_TRUE(e.smooth && e.points && e.corners) << e.name.toStdString();
    EXPECT_EQ(one(waveFront, "Wave").fill, k.gradPrimarySide());
    EXPECT_EQ(one(waveFront, "Phone & website").text->string,
              c.phone + QStringLiteral("   \u00B7   ") + QStringLiteral("www.example.com"));
    EXPECT_EQ(one(waveFront, "Phone & website").text->align, LWTextAlign::right);
}

} // namespace
