#include "render/text/fonts.h"
#include "render/text/textlayout.h"
#include "templates/kit.h"
#include "templates/templatedata.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

LWKit kitFor(const QString &trade, double h = 144)
{
    return LWKit(LWTemplates::subject(trade), LWTemplates::palette(QStringLiteral("navyGold")),
                 LWTemplates::fonts(QStringLiteral("modern")), 252, h);
}

const QString font = QStringLiteral("AvenirNext-DemiBold");

class Kit : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
    LWKit k = kitFor(QStringLiteral("contractor"));
};

TEST_F(Kit, TextBoxesAreNamedFlaggedAndExactlyAsTallAsTheirText)
{
    const QString longText = QStringLiteral("Twenty-eight characters exactly, and then some");
    const LWElement named = k.text(longText, font, 9, LWColor::black, 10, 20, 100);
    EXPECT_EQ(named.name, longText.left(28));
    EXPECT_EQ(k.text(QStringLiteral("Short"), font, 9, LWColor::black, 0, 0, 100).name,
              QStringLiteral("Short"));
    EXPECT_EQ(k.text(longText, font, 9, LWColor::black, 0, 0, 100, {.name = QStringLiteral("Mine")}).name,
              QStringLiteral("Mine"));

    EXPECT_TRUE(named.text->placeholder);
    EXPECT_FALSE(k.text(longText, font, 9, LWColor::black, 0, 0, 100, {.sample = false}).text->placeholder);
    EXPECT_TRUE(k.textUp(longText, font, 9, LWColor::black, 0, 50, 100, {.sample = false}).text->placeholder);

    for (double width : {40.0, 100.0, 300.0}) {
        const LWElement e = k.text(longText, font, 11, LWColor::black, 10, 20, width,
                                   {.align = LWTextAlign::center, .track = 80, .lead = 1.3, .upper = true});
        EXPECT_EQ(e.frame, LWRect(10, 20, width, LWTextLayout::height(*e.text, width)));
        EXPECT_EQ(e.text->align, LWTextAlign::center);
        EXPECT_EQ(e.text->tracking, 80);
        EXPECT_EQ(e.text->leading, 1.3);
        EXPECT_TRUE(e.text->uppercase);
    }

    const LWElement one = k.textUp(QStringLiteral("Word"), font, 11, LWColor::black, 10, 80, 200);
    const LWElement two =
        k.textUp(QStringLiteral("Word word"), font, 11, LWColor::black, 10, 80, 40);
    EXPECT_EQ(LWTextLayout::layout(*two.text, 40).lines, 2);
    EXPECT_DOUBLE_EQ(one.frame.maxY(), 80);
    EXPECT_DOUBLE_EQ(two.frame.maxY(), 80);
    EXPECT_LT(two.frame.minY(), one.frame.minY());
}

TEST_F(Kit, FittingDividesTheReferenceWidth)
{
    const QString s = QStringLiteral("Spring cleanup special");
    const double W = k.width(s, font, 100);
    ASSERT_GT(W, 100);
    EXPECT_DOUBLE_EQ(k.fitLine(s, font, 100, W / 2), 48.5);
    EXPECT_DOUBLE_EQ(k.fitLine(s, font, 40, W / 2), 40);

    double widest = 0;
    QString widestWord;
    for (const QString &word : s.split(QLatin1Char(' '))) {
        if (const double ww = k.width(word, font, 100); ww > widest) {
            widest = ww;
            widestWord = word;
        }
    }
    EXPECT_DOUBLE_EQ(k.fitSize(s, font, 200, 150), k.fitLine(widestWord, font, 200, 150));

    EXPECT_EQ(k.width(QString(), font, 100), 0);
    for (const QString &blank : {QString(), QStringLiteral("   ")}) {
        for (double maxSize : {12.0, 40.0, 97.0}) {
            for (double width : {maxSize / 97, 1.0, 500.0}) {
                EXPECT_DOUBLE_EQ(k.fitSize(blank, font, maxSize, width), maxSize) << maxSize << " " << width;
                if (blank.isEmpty()) {
                    EXPECT_DOUBLE_EQ(k.fitLine(blank, font, maxSize, width), maxSize);
                }
            }
        }
    }

    // fitOffer switches to fitSize exactly when the one-line size drops below 60 % of the maximum.
    const double maxSize = 56, boundary = 0.6 * maxSize * W / 97;
    const double above = boundary * 1.001, below = boundary * 0.999;
    EXPECT_GE(k.fitLine(s, font, maxSize, above), 0.6 * maxSize);
    EXPECT_EQ(k.fitOffer(s, font, maxSize, above), k.fitLine(s, font, maxSize, above));
    EXPECT_LT(k.fitLine(s, font, maxSize, below), 0.6 * maxSize);
    EXPECT_EQ(k.fitOffer(s, font, maxSize, below), k.fitSize(s, font, maxSize, below));
    EXPECT_NE(k.fitSize(s, font, maxSize, below), k.fitLine(s, font, maxSize, below));
}

TEST_F(Kit, MenuTitleFollowsThePrices)
{
    LWContent restaurant = LWTemplates::subject(QStringLiteral("restaurant"));
    restaurant.items = {{QStringLiteral("Soup"), QStringLiteral("4")}};
    const LWContent law = LWTemplates::subject(QStringLiteral("law"));
    LWContent none = LWTemplates::subject(QStringLiteral("contractor"));
    none.items.clear();
    LWContent lowerFree = law;
    lowerFree.items.last().price = QStringLiteral("free");

    const struct {
        LWContent content;
        QString title;
    } cases[] = {
        {LWTemplates::subject(QStringLiteral("restaurant")), QStringLiteral("Our Menu")},
        {restaurant, QStringLiteral("Our Menu")},
        {law, QStringLiteral("Services & Prices")},
        {LWTemplates::subject(QStringLiteral("realtor")), QStringLiteral("Home Details")},
        {LWTemplates::subject(QStringLiteral("church")), QStringLiteral("Schedule")},
        {none, QStringLiteral("Services & Prices")},
        {lowerFree, QStringLiteral("Schedule")},
    };
    for (const auto &c : cases) {
        LWKit kit = k;
        kit.c = c.content;
        EXPECT_EQ(kit.menuTitle(), c.title) << c.content.id.toStdString();
    }
}

TEST_F(Kit, BulletsFillRowsColumnByColumn)
{
    const double x = 30, y = 40, colW = 90, size = 8, gap = 5;
    const QStringList items{QStringLiteral("One"), QStringLiteral("A second item long enough to wrap"),
                            QStringLiteral("Three"), QStringLiteral("Four"), QStringLiteral("Five")};
    const LWKit::Block b = k.bullets(items, x, y, colW, 2, size, LWColor::black, LWColor::white, gap);
    ASSERT_EQ(b.elements.size(), 10);
    const double lh = k.lineHeight(k.fonts.body, size), s = 1.15 * size;
    QList<double> tops;
    for (int i = 0; i < 5; ++i) {
        const LWElement &icon = b.elements[2 * i], &text = b.elements[2 * i + 1];
        EXPECT_EQ(icon.kind, LWElementKind::icon);
        EXPECT_EQ(*icon.icon, QStringLiteral("check"));
        EXPECT_EQ(text.name, QStringLiteral("List item"));
        const double cx = i % 2 ? x + colW + 20 : x;
        EXPECT_EQ(icon.frame.x, cx);
        EXPECT_EQ(text.frame.x, cx + s + 10);
        EXPECT_DOUBLE_EQ(icon.frame.midY(), text.frame.y + lh / 2); // centred on the first line
        tops.append(text.frame.y);
    }
    ASSERT_GT(b.elements[3].frame.height(), b.elements[1].frame.height()); // the wrapped one
    EXPECT_EQ(tops, (QList<double>{y, y, b.elements[3].frame.maxY() + gap, b.elements[3].frame.maxY() + gap,
                                   b.elements[7].frame.maxY() + gap}));
    EXPECT_EQ(b.bottom, b.elements[9].frame.maxY());

    const LWKit::Block empty = k.bullets({}, x, y, colW, 2, size, LWColor::black, LWColor::white, gap);
    EXPECT_TRUE(empty.elements.isEmpty());
    EXPECT_EQ(empty.bottom, y);

    for (int cols : {0, -2}) {
        const LWKit::Block one =
            k.bullets(items, x, y, colW, cols, size, LWColor::black, LWColor::white, gap);
        ASSERT_EQ(one.elements.size(), 10);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(one.elements[2 * i].frame.x, x);
            if (i > 0) {
                EXPECT_DOUBLE_EQ(one.elements[2 * i + 1].frame.y, one.elements[2 * i - 1].frame.maxY() + gap);
            }
        }
    }
}

TEST_F(Kit, ContactRowsOnEitherSide)
{
    const double x = 20, y = 30, w = 140, size = 7, gap = 6;
    const QStringList names{"Phone", "Email", "Website", "Address"}, icons{"phone", "mail", "globe", "pin"};
    const QStringList texts{k.c.phone, k.c.email(), k.c.web(), k.c.address()};
    for (bool right : {false, true}) {
        const LWKit::Block b =
            k.contacts(x, y, w, size, LWColor::black, LWColor::white, gap,
                       {LWKit::allContacts.begin(), LWKit::allContacts.end()}, std::nullopt, right);
        ASSERT_EQ(b.elements.size(), 8);
        const double s = 1.25 * size;
        double top = y;
        for (int i = 0; i < 4; ++i) {
            const LWElement &text = b.elements[2 * i + (right ? 0 : 1)],
                            &icon = b.elements[2 * i + (right ? 1 : 0)];
            EXPECT_EQ(text.name, names[i]);
            EXPECT_EQ(text.text->string, texts[i]);
            EXPECT_EQ(text.text->fontName, k.fonts.body);
            EXPECT_EQ(*icon.icon, icons[i]);
            EXPECT_EQ(icon.frame.width(), s);
            EXPECT_EQ(text.text->align, right ? LWTextAlign::right : LWTextAlign::left);
            EXPECT_DOUBLE_EQ(text.frame.y, top);
            EXPECT_DOUBLE_EQ(icon.frame.midY(), top + k.lineHeight(k.fonts.body, size) / 2);
            if (right) {
                EXPECT_DOUBLE_EQ(icon.frame.maxX(), x + w);
                EXPECT_DOUBLE_EQ(text.frame.maxX(), icon.frame.x - 0.8 * size);
            } else {
                EXPECT_EQ(icon.frame.x, x);
                EXPECT_DOUBLE_EQ(text.frame.x, icon.frame.maxX() + 0.8 * size);
            }
            top = text.frame.maxY() + gap;
        }
        EXPECT_EQ(b.bottom, b.elements[right ? 6 : 7].frame.maxY());
    }
    const LWKit::Block other =
        k.contacts(x, y, w, size, LWColor::black, LWColor::white, gap, {LWKit::Contact::web}, k.fonts.bold);
    ASSERT_EQ(other.elements.size(), 2);
    EXPECT_EQ(other.elements[1].text->fontName, k.fonts.bold);
}

TEST_F(Kit, ShapesStayFinite)
{
    const LWElement flat = k.poly({{10, 50}, {60, 50}, {30, 50}}, LWFill::solid(LWColor::black));
    EXPECT_EQ(flat.frame, LWRect(10, 50, 50, 0));
    ASSERT_TRUE(flat.points);
    for (const QPointF &p : *flat.points)
        EXPECT_EQ(p.y(), 0);
    EXPECT_EQ(flat.points->at(1).x(), 1);

    const LWElement none = k.poly({}, LWFill::solid(LWColor::black));
    EXPECT_EQ(none.frame, LWRect(0, 0, 0, 0));
    ASSERT_TRUE(none.points);
    EXPECT_TRUE(none.points->isEmpty());
    EXPECT_EQ(k.full(), LWRect(-9, -9, 270, 162));
    EXPECT_EQ(k.rect({1, 2, 3, 4}, LWFill::none()).name, QStringLiteral("Shape"));
    EXPECT_EQ(k.oval({1, 2, 3, 4}, LWFill::none()).name, QStringLiteral("Circle"));
    EXPECT_EQ(k.line({0, 0}, {5, 0}, LWColor::black, 1).name, QStringLiteral("Rule"));
}

} // namespace
