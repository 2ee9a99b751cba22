#include "layouttest.h"
#include "masked.h"
#include "render/text/fonts.h"
#include "render/text/textlayout.h"
#include "templates/cardlayouts.h"
#include "templates/flyerlayouts.h"
#include "templates/templates.h"

#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

namespace
{

using namespace LWTemplates;

QStringList ids(const QList<LWTemplate> &list)
{
    QStringList out;
    for (const LWTemplate &t : list)
        out.append(t.id);
    return out;
}

LWTemplate get(const char *id)
{
    const std::optional<LWTemplate> t = named(QString::fromLatin1(id));
    EXPECT_TRUE(t) << id;
    return t.value_or(LWTemplate{});
}

class Templates : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_F(Templates, ListsNumberEveryDesignInEverySize)
{
    ASSERT_EQ(all().size(), 500);
    const struct {
        const QList<LWTemplate> &list;
        const char *format;
    } sizes[] = {{cards(), "card-%03d"},
                 {cardsEU(), "card-%03d-eu"},
                 {flyers(), "flyer-%03d"},
                 {flyersA4(), "flyer-%03d-a4"},
                 {flyersHalf(), "flyer-%03d-half"}};
    for (const auto &s : sizes) {
        ASSERT_EQ(s.list.size(), 100);
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(s.list[i].id, QString::asprintf(s.format, i + 1));
    }

    for (const auto &[first, others] :
         {std::pair{&cards(), QList{&cardsEU()}}, {&flyers(), {&flyersA4(), &flyersHalf()}}}) {
        for (const QList<LWTemplate> *other : others) {
            for (int i = 0; i < 100; ++i) {
                const LWTemplate &a = first->at(i), &b = other->at(i);
                EXPECT_EQ(a.baseID, b.baseID);
                EXPECT_EQ(a.name, b.name);
                EXPECT_EQ(a.category, b.category);
                EXPECT_EQ(a.style, b.style);
                EXPECT_EQ(a.keywords.chopped(sizeLabel(a.sizeID).size()),
                          b.keywords.chopped(sizeLabel(b.sizeID).size()));
            }
        }
    }
}

TEST_F(Templates, GenerationCrossesTradesLayoutsPalettesAndFonts)
{
    const LWContent &contractor = subject(QStringLiteral("contractor"));
    const QString cardLabel = sizeLabel(QStringLiteral("us-card")),
                  flyerLabel = sizeLabel(QStringLiteral("letter"));
    for (int j = 0; j < 4; ++j) {
        const LWTemplate &t = cards()[j];
        const QString style = LWCardLayouts::all()[QList{0, 3, 5, 8}[j]].name;
        EXPECT_EQ(t.style, style);
        EXPECT_EQ(t.keywords, contractor.business + " " + contractor.tagline + " Contractor " + style +
                                  " business card " + contractor.palettes[j % 2] + " " + contractor.fonts[j] +
                                  " " + cardLabel);
    }
    for (int j = 0; j < 5; ++j) {
        const LWTemplate &t = flyers()[j];
        const QString style = LWFlyerLayouts::all()[QList{0, 3, 5, 7, 9}[j]].name;
        EXPECT_EQ(t.keywords, contractor.headline + " " + contractor.business + " Contractor " + style +
                                  " flyer poster " + contractor.palettes[j % 2] + " " +
                                  contractor.fonts[j % 4] + " " + flyerLabel);
    }
    EXPECT_EQ(cards()[4].style, LWCardLayouts::all()[1].name);
    EXPECT_EQ(flyers()[5].style, LWFlyerLayouts::all()[1].name);
    for (const QList<LWTemplate> *list : {&cards(), &flyers()}) { // the other sizes share the styles
        QHash<QString, int> uses;
        for (const LWTemplate &t : *list)
            ++uses[t.style];
        EXPECT_EQ(uses.size(), 10);
        for (int n : uses)
            EXPECT_EQ(n, 10);
    }

    const LWTemplate first = cards().first();
    EXPECT_EQ(first.name, QStringLiteral("Contractor \u00B7 Split Panel"));
    EXPECT_EQ(first.keywords,
              QStringLiteral("Summit Ridge Builders Custom Homes \u00B7 Remodels \u00B7 Decks Contractor "
                             "Split Panel business card navyGold rugged US card 3.5 \u00D7 2 in"));
    EXPECT_EQ(first.kind, LWDocKind::businessCard);
    EXPECT_EQ(flyers().first().kind, LWDocKind::flyer);
}

TEST_F(Templates, BaseSizesHoldTheLayoutsPagesUnchanged)
{
    const LWContent &c = subject(QStringLiteral("contractor"));
    const LWDocument card = get("card-001").make();
    EXPECT_EQ(card.templateID, QStringLiteral("card-001"));
    EXPECT_EQ(card.name, c.business);
    EXPECT_EQ(card.sizeID, QStringLiteral("us-card"));
    const LWKit cardKit(c, palette(c.palettes[0]), fonts(c.fonts[0]), 252, 144);
    const auto [front, back] = LWCardLayouts::splitPanel().make(cardKit);
    EXPECT_EQ(masked(card).pages, (QList<LWPage>{masked(front), masked(back)}));

    const LWDocument flyer = get("flyer-001").make();
    EXPECT_EQ(flyer.name, c.headline);
    const LWKit flyerKit(c, palette(c.palettes[0]), fonts(c.fonts[0]), 612, 792);
    EXPECT_EQ(masked(flyer).pages, QList<LWPage>{masked(LWFlyerLayouts::heroBlock().make(flyerKit))});
}

TEST_F(Templates, OtherSizesScaleAndReachTheBleedAgain)
{
    const double euFactor = LWSizePreset::euCard.width / 252;
    const LWDocument eu = get("card-001-eu").make();
    EXPECT_EQ(eu.width, LWSizePreset::euCard.width);
    const LWElement panel = one(eu.pages[0], QStringLiteral("Color panel"));
    EXPECT_EQ(panel.frame.x, -9);
    EXPECT_EQ(panel.frame.y, -9);
    EXPECT_NEAR(panel.frame.maxX(), 96 * euFactor, 1e-9);
    EXPECT_NEAR(panel.frame.maxY(), eu.height + 9, 1e-9);

    const LWRect atBleed{-9, -9, 60, 40};
    const LWElement shape =
        LWElement::makeShape(LWShapeKind::rectangle, atBleed, LWFill::none(), std::nullopt);
    EXPECT_NEAR(scaled(shape, euFactor).frame.x, -8.6052, 1e-4);
    LWElement turned = shape;
    turned.rotation = 15;
    const LWElement text =
        LWElement::makeText(LWText("Hi", "AvenirNext-Regular", 9, LWColor::black), atBleed);
    for (const LWElement &kept : {turned, text})
        EXPECT_EQ(reachBleed(scaled(kept, euFactor), eu.trimRect(), 9).frame.x, -9 * euFactor);

    // Strokes, dashes, corners and children scale too; a text box grows to fit its scaled text.
    LWElement outlined = LWElement::makeShape(LWShapeKind::rectangle, {10, 20, 40, 30}, LWFill::none(),
                                              LWStroke(LWColor::black, 2, 6));
    outlined.cornerRadius = 4;
    const LWElement tight =
        LWElement::makeText(LWText("Hello there", "AvenirNext-Regular", 20, LWColor::black), {0, 0, 200, 1});
    outlined.children = QList<LWElement>{outlined, tight};
    const LWElement halved = scaled(outlined, 0.5);
    EXPECT_EQ(halved.frame, LWRect(5, 10, 20, 15));
    EXPECT_EQ(halved.stroke, LWStroke(LWColor::black, 1, 3));
    EXPECT_EQ(halved.cornerRadius, 2);
    ASSERT_TRUE(halved.children && halved.children->size() == 2);
    EXPECT_EQ(halved.children->at(0).stroke, halved.stroke);
    const LWElement small = halved.children->at(1);
    EXPECT_EQ(small.text->size, 10);
    EXPECT_EQ(small.frame.width(), 100.5);
    EXPECT_DOUBLE_EQ(small.frame.height(), LWTextLayout::height(*small.text, 100.5));

    const double halfFactor = 396.0 / 612;
    const LWDocument half = get("flyer-001-half").make();
    const LWElement offer = one(half.pages[0], QStringLiteral("Offer"));
    EXPECT_DOUBLE_EQ(offer.text->size, 30 * halfFactor);
    EXPECT_DOUBLE_EQ(offer.frame.width(), 292 * halfFactor + 0.5);
    EXPECT_GE(offer.frame.height(), LWTextLayout::height(*offer.text, offer.frame.width()));

    // One edge at a time, on a 100 x 100 trim with a 9 pt bleed.
    const LWRect trim{0, 0, 100, 100};
    const struct {
        double outside; // how far the edge lies past the trim
        bool stretches;
    } cases[] = {{-5, false}, {0.01, false}, {0.02, true}, {8.5, true}, {9, false}, {12, false}};
    for (const auto &c : cases) {
        const double o = c.outside, to = c.stretches ? 9 : o;
        const struct {
            LWRect in, out;
        } edges[] = {{{-o, 20, 50, 50}, {-to, 20, 50 + to - o, 50}},
                     {{50, 20, 50 + o, 50}, {50, 20, 50 + to, 50}},
                     {{20, -o, 50, 50}, {20, -to, 50, 50 + to - o}},
                     {{20, 50, 50, 50 + o}, {20, 50, 50, 50 + to}}};
        for (const auto &e : edges) {
            const LWElement r =
                LWElement::makeShape(LWShapeKind::ellipse, e.in, LWFill::none(), std::nullopt);
            const LWRect got = reachBleed(r, trim, 9).frame;
            EXPECT_NEAR(got.minX(), e.out.minX(), 1e-9) << o;
            EXPECT_NEAR(got.minY(), e.out.minY(), 1e-9) << o;
            EXPECT_NEAR(got.maxX(), e.out.maxX(), 1e-9) << o;
            EXPECT_NEAR(got.maxY(), e.out.maxY(), 1e-9) << o;
        }
    }
}

TEST_F(Templates, LookupAndSearch)
{
    const LWTemplate card = get("card-001");
    EXPECT_EQ(card.sizeID, QStringLiteral("us-card"));
    EXPECT_EQ(card.category, QStringLiteral("Contractor"));
    EXPECT_FALSE(named(QStringLiteral("card-101")));
    EXPECT_FALSE(named(QString()));

    const struct {
        const char *category;
        std::optional<QString> size;
        const char *query;
        QList<LWTemplate> want;
    } searches[] = {
        {"All", std::nullopt, "", all()},
        {"Flyers", QStringLiteral("a4"), "", flyersA4()},
        {"Business Cards", QStringLiteral("letter"), "", {}},
        {"All", std::nullopt, "  Business   CARD ", cards() + cardsEU()},
        {"All", std::nullopt, "poster", flyers() + flyersA4() + flyersHalf()},
        {"contractor", std::nullopt, "", {}}, // categories match exactly
    };
    for (const auto &s : searches)
        EXPECT_EQ(ids(filtered(QString::fromLatin1(s.category), s.size, QString::fromLatin1(s.query))),
                  ids(s.want))
            << s.category << " " << s.query;
    const QStringList bus = ids(filtered(QStringLiteral("All"), std::nullopt, QStringLiteral("bus")));
    for (const LWTemplate &t : cards() + cardsEU())
        EXPECT_TRUE(bus.contains(t.id)) << t.id.toStdString();
    EXPECT_EQ(filtered(QStringLiteral("Contractor"), QStringLiteral("eu-card"), QString()).size(), 4);
    const QList<LWTemplate> upper =
        filtered(QStringLiteral("All"), std::nullopt, QStringLiteral("CONTRACTOR split"));
    EXPECT_EQ(ids(upper),
              ids(filtered(QStringLiteral("All"), std::nullopt, QStringLiteral("contractor SPLIT"))));
    EXPECT_TRUE(ids(upper).contains(QStringLiteral("card-001"))); // "Contractor · Split Panel"

    EXPECT_EQ(sizeLabel(QStringLiteral("tabloid")), QStringLiteral("tabloid"));
    LWTemplate odd = card;
    odd.sizeID = QStringLiteral("nope");
    EXPECT_EQ(odd.preset(), LWSizePreset::usCard);
    odd.kind = LWDocKind::flyer;
    EXPECT_EQ(odd.preset(), LWSizePreset::letter);
    EXPECT_DOUBLE_EQ(odd.aspect(), 792.0 / 612);

    const QStringList names = categories();
    EXPECT_EQ(names.size(), 32);
    EXPECT_TRUE(std::is_sorted(names.cbegin(), names.cend()));
    EXPECT_LT(names.indexOf(QStringLiteral("DJ / Music")), names.indexOf(QStringLiteral("Dental")));
    for (const char *word : {"All", "Business Cards", "Flyers"})
        EXPECT_FALSE(names.contains(QString::fromLatin1(word)));
}

} // namespace
