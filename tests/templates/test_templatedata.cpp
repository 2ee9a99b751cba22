#include "render/text/fonts.h"
#include "render/icons/icons.h"
#include "templates/templatedata.h"

#include <QSet>
#include <gtest/gtest.h>

namespace
{

using namespace LWTemplates;

QString q(const char *s)
{
    return QString::fromUtf8(s);
}

// Every text a trade places, for the character-set check.
QStringList texts(const LWContent &c)
{
    QStringList out = {c.id,    c.category, c.business, c.tagline, c.person,    c.title, c.phone, c.icon,
                       c.icon2, c.headline, c.sub,      c.offer,   c.offerNote, c.time,  c.place, c.cta};
    out << c.palettes << c.fonts << c.bullets;
    if (c.date)
        out << c.date->month << c.date->day << c.date->weekday;
    for (const LWContent::Item &item : c.items)
        out << item.name << item.price;
    return out;
}

} // namespace

TEST(TemplateData, TablesAreCompleteAndConsistent)
{
    LWFonts::registerBundled();
    EXPECT_EQ(palettes().size(), 24);
    EXPECT_EQ(fontPairs().size(), 34);
    for (const auto &[key, p] : palettes().asKeyValueRange())
        EXPECT_EQ(key, p.name);
    for (const auto &[key, f] : fontPairs().asKeyValueRange()) {
        EXPECT_EQ(key, f.name);
        for (const QString &face : {f.head, f.body, f.bold, f.display, f.script})
            EXPECT_TRUE(LWFonts::isInstalled(face)) << key.toStdString() << ": " << face.toStdString();
    }

    // The card trades are the table's first 25; the flyer trades 20 distinct ones of it.
    ASSERT_EQ(content().size(), 32);
    QStringList ids;
    for (const LWContent &c : content())
        ids << c.id;
    EXPECT_EQ(cardSubjects(), ids.first(25));
    EXPECT_EQ(flyerSubjects().size(), 20);
    EXPECT_EQ(QSet<QString>(flyerSubjects().cbegin(), flyerSubjects().cend()).size(), 20);
    for (const QString &id : flyerSubjects())
        EXPECT_TRUE(ids.contains(id)) << id.toStdString();

    const QStringList icons = LWIcons::names();
    QSet<QString> categories;
    int n = 0, dated = 0;
    for (const LWContent &c : content()) {
        SCOPED_TRACE(c.id.toStdString());
        ++n;
        EXPECT_EQ(c.phone, QString::asprintf("(555) 012-34%02d", n));
        ASSERT_EQ(c.palettes.size(), 2);
        ASSERT_EQ(c.fonts.size(), 4);
        EXPECT_EQ(c.bullets.size(), 4);
        EXPECT_EQ(c.items.size(), 6);
        for (const QString &key : c.palettes)
            EXPECT_TRUE(palettes().contains(key)) << key.toStdString();
        for (const QString &key : c.fonts)
            EXPECT_TRUE(fontPairs().contains(key)) << key.toStdString();
        EXPECT_TRUE(icons.contains(c.icon)) << c.icon.toStdString();
        EXPECT_TRUE(icons.contains(c.icon2)) << c.icon2.toStdString();
        dated += c.date.has_value();
        categories.insert(c.category);
        EXPECT_EQ(&subject(c.id), &c);
        for (const QString &text : texts(c)) {
            EXPECT_FALSE(text.isEmpty());
            for (const QChar ch : text)
                EXPECT_TRUE(ch.unicode() < 0x80 || ch == QChar(0x00B7) || ch == QChar(0x2013))
                    << text.toStdString();
        }
    }
    EXPECT_EQ(dated, 12);
    EXPECT_EQ(categories.size(), 32);
}

TEST(TemplateData, PaletteMixesTowardPaper)
{
    const LWPalette &navy = palette("navyGold");
    const auto between = [](const LWColor &a, const LWColor &b, double t) {
        return LWColor(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, 1);
    };
    const std::pair<LWColor, LWColor> cases[] = {{navy.muted(), between(navy.ink, navy.paper, 0.32)},
                                                 {navy.tint(), between(navy.primary, navy.paper, 0.88)}};
    for (const auto &[got, want] : cases) {
        EXPECT_NEAR(got.r, want.r, 1e-12);
        EXPECT_NEAR(got.g, want.g, 1e-12);
        EXPECT_NEAR(got.b, want.b, 1e-12);
        EXPECT_DOUBLE_EQ(got.a, 1);
    }
}

TEST(TemplateData, LookupsAndFallbacks)
{
    EXPECT_EQ(palette("ocean").name, q("ocean"));
    EXPECT_EQ(fonts("slab").name, q("slab"));
    EXPECT_EQ(palette("nope").name, q("navyGold"));
    EXPECT_EQ(fonts("nope").name, q("modern"));

    // An unknown trade is a caller's bug: loud in debug builds, the first trade otherwise.
    [[maybe_unused]] const LWContent *got = nullptr;
    EXPECT_DEBUG_DEATH(got = &subject("nope"), "unknown trade id");
#ifdef NDEBUG
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->id, q("contractor"));
#endif
}

TEST(TemplateData, InitialsEmailAndAddresses)
{
    const struct {
        const char *business, *initials;
    } initials[] = {
        {"Harper & Cole Law", "HC"},
        {"Grace Community Church", "GC"},
        {"Your Business Name", "YB"},
        {"The Your Band Name", "YB"},
        {"& 123", ""},
        {"  of  willow  and rose", "WR"},
    };
    for (const auto &row : initials) {
        LWContent c;
        c.business = q(row.business);
        EXPECT_EQ(c.initials(), q(row.initials)) << row.business;
    }

    const struct {
        const char *person, *email;
    } emails[] = {
        {"Your Name", "your@example.com"},
        {"Dr. Anita Rao", "dr@example.com"},
        {"", "hello@example.com"},
        {"123 Smith", "hello@example.com"},
        {"  Ann-Marie Lee", "annmarie@example.com"},
    };
    for (const auto &row : emails) {
        LWContent c;
        c.person = q(row.person);
        EXPECT_EQ(c.email(), q(row.email)) << row.person;
    }
    const LWContent c;
    EXPECT_EQ(c.web(), q("www.example.com"));
    EXPECT_EQ(c.address(), q("123 Main Street, Your Town, ST 00000"));
}

// The cells whose wording was ours to choose fit the layouts' short slots.
TEST(TemplateData, ChosenCellsStayShort)
{
    const struct {
        QString LWContent::*field;
        QStringList ids;
    } chosen[] = {
        {&LWContent::category, {"salon", "restaurant", "dj", "auto", "photography", "church", "coffee", "electrician",
                                "law", "pets", "tech", "barber", "concert", "carwash"}},
        {&LWContent::title, {"photography", "church", "bakery", "coffee", "dental", "pets", "events", "concert",
                             "market", "carwash"}},
        {&LWContent::headline, {"realtor", "florist"}},
        {&LWContent::offer, {"salon", "landscaping", "cleaning", "coffee", "plumbing", "pets", "opening"}},
        {&LWContent::offerNote, {"contractor", "realtor", "photography", "coffee", "fitness", "yoga", "party",
                                 "market"}},
        {&LWContent::time, {"dj", "yoga", "yardsale", "market", "carwash"}},
        {&LWContent::cta, {"events", "yardsale"}},
    };
    for (const auto &row : chosen) {
        for (const QString &id : row.ids) {
            const QString &text = subject(id).*row.field;
            EXPECT_TRUE(!text.isEmpty() && text.size() <= 15) << id.toStdString() << ": " << text.toStdString();
        }
    }
}
