#include "diagnostics/snapshot.h"
#include "render/text/fonts.h"
#include "templates/templates.h"

#include <QImage>
#include <QTemporaryDir>
#include <QThreadPool>
#include <cmath>
#include <gtest/gtest.h>

namespace
{

constexpr QRgb background = 0xFFE6E9EC;
constexpr QRgb red = 0xFFFF0000, blue = 0xFF0000FF, green = 0xFF00FF00;

// A hand-made template whose design is one plain colour per page.
LWTemplate plain(const LWSizePreset &preset, const QList<QRgb> &pages, std::optional<LWDocKind> kind = {})
{
    LWTemplate t;
    t.id = t.baseID = QStringLiteral("t");
    t.sizeID = preset.id;
    t.name = QStringLiteral("Plain");
    t.kind = kind.value_or(preset.kind);
    t.make = [preset, pages] {
        LWDocument d = LWDocument::blank(preset, std::nullopt);
        d.pages.clear();
        for (QRgb c : pages)
            d.pages.append({QStringLiteral("Page"), LWFill::solid(LWColor::hex(c & 0xFFFFFF)), {}});
        return d;
    };
    return t;
}

class ContactSheet : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // The sheet written and read back; the output lines collected.
    QImage sheet(const QList<LWSnapshot::Section> &sections)
    {
        const QString file = dir.filePath(QStringLiteral("sheet.png"));
        EXPECT_TRUE(LWSnapshot::writeContactSheet(
            QStringLiteral("Template Library \u2014 Test"), sections, file,
            [this](const QByteArray &l, bool) { lines << QString::fromUtf8(l); }));
        return QImage(file).convertToFormat(QImage::Format_ARGB32);
    }
    // Pixels in the rectangle that are not the sheet's background.
    static int inked(const QImage &image, const QRect &r)
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += image.pixel(x, y) != background;
        return n;
    }

    QTemporaryDir dir;
    QStringList lines;
};

} // namespace

TEST_F(ContactSheet, EmptySectionsLeaveTheHeaderOnly)
{
    const QImage image = sheet({{QStringLiteral("NOTHING"), {}}, {QStringLiteral("NOTHING EITHER"), {}}});
    ASSERT_EQ(image.size(), QSize(2598, 138));
    EXPECT_EQ(lines, QStringList{"Contact sheet: " + dir.filePath("sheet.png") + " (2598 \u00D7 138 px)"});
    EXPECT_TRUE(inked(image, QRect(18, 28, 1200, 50)) > 1000 && inked(image, QRect(18, 80, 1200, 24)) > 300); // title, credit
    // Nothing above, no section title, nothing in the right margin.
    EXPECT_EQ(inked(image, QRect(0, 0, 2598, 20)) + inked(image, QRect(0, 112, 2598, 26)) +
                  inked(image, QRect(2586, 0, 12, 138)),
              0);
}

TEST_F(ContactSheet, EleventhTemplateStartsTheSecondRow)
{
    QList<LWTemplate> flyers;
    for (int i = 0; i < 11; ++i)
        flyers << plain(LWSizePreset::letter, {i == 10 ? blue : green});
    const QImage image = sheet({{QStringLiteral("FLYERS"), flyers}});
    const double tile = 240 * 792.0 / 612, pitch = tile + 40;
    ASSERT_EQ(image.size(), QSize(2598, int(138 + 2 * pitch + 70)));
    const int row2 = int(std::ceil(120 + 70 + pitch)) + 1;
    // Across the second row: margin, the eleventh tile's two edges, the gap, no twelfth.
    const QList<QRgb> row{image.pixel(17, row2), image.pixel(18, row2), image.pixel(18 + 239, row2), image.pixel(18 + 240, row2),
                          image.pixel(18 + 258 + 10, row2)};
    EXPECT_EQ(row, QList<QRgb>({background, blue, blue, background, background}));
    EXPECT_EQ(image.pixel(18 + 9 * 258 + 120, 120 + 70 + 10), green); // tenth, first row
    EXPECT_GT(inked(image, QRect(18, 120 + 22, 300, 30)), 100);       // section title
    // Captions under each tile, none under the empty slot.
    EXPECT_GT(inked(image, QRect(18, int(190 + tile + 4), 240, 16)), 20);
    EXPECT_EQ(inked(image, QRect(18 + 258, int(190 + pitch + tile + 4), 240, 16)), 0);
}

TEST_F(ContactSheet, CardTilesShowTheSidesTheDesignHas)
{
    const QImage image = sheet(
        {{QStringLiteral("CARDS"),
          {plain(LWSizePreset::usCard, {red, blue}), plain(LWSizePreset::usCard, {red}),
           plain(LWSizePreset::usCard, {}), plain(LWSizePreset::usCard, {green, blue}, LWDocKind::flyer)}}});
    const double h = 240 * 144.0 / 252;
    const int top = 190, centre = 18 + 120;
    ASSERT_EQ(image.size(), QSize(2598, int(138 + 2 * h + 6 + 40 + 70)));
    // Front, gap and back of each column: a one-page card leaves its back tile empty; a card
    // without pages draws nothing; a flyer shows its first page only.
    const QList<QRgb> want[] = {{red, background, blue}, {red, background, background},
                                {background, background, background}, {green, background, background}};
    for (int column = 0; column < 4; ++column) {
        const int x = centre + column * 258;
        const int front = top + int(h / 2), gap = top + int(h) + 3, back = top + int(h + 6 + h / 2);
        EXPECT_EQ(QList<QRgb>({image.pixel(x, front), image.pixel(x, gap), image.pixel(x, back)}),
                  want[column]) << column;
    }
    // The bleed is cut off at the tile's edge.
    EXPECT_TRUE(image.pixel(17, top + 20) == background && image.pixel(18, top - 1) == background);
}

TEST_F(ContactSheet, HeightFollowsTheFirstTemplateOfEachSection)
{
    using LWSnapshot::Section;
    const LWTemplate card = plain(LWSizePreset::usCard, {red, blue});
    const LWTemplate a4 = plain(LWSizePreset::a4, {green});
    const double cardPitch = 2 * 240 * 144.0 / 252 + 6 + 40, a4Pitch = 240 * 297.0 / 210 + 40;
    const QList<std::pair<QList<Section>, double>> cases{ // sections, height
        {{}, 138},
        {{{"x", {card}}}, 138 + cardPitch + 70},
        {{{"x", QList<LWTemplate>(10, card)}}, 138 + cardPitch + 70},
        {{{"x", QList<LWTemplate>(21, card)}}, 138 + 3 * cardPitch + 70},
        // A section mixing kinds takes its rows from the first.
        {{{"x", {a4, card}}, {"y", {}}, {"z", {card}}}, 138 + (a4Pitch + 70) + (cardPitch + 70)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LWSnapshot::contactSheetHeight(c.first), int(c.second)) << c.second;
}

// Each band draws only the tiles and texts that meet its rows: the banded sheet equals the one
// drawn in a single pass.
TEST_F(ContactSheet, BandsMatchOnePass)
{
    const QList<LWSnapshot::Section> sections{{"CARDS", LWTemplates::cards().mid(0, 13)},
                                              {"FLYERS", LWTemplates::flyersHalf().mid(0, 3)}};
    QThreadPool &pool = *QThreadPool::globalInstance();
    const int saved = pool.maxThreadCount();
    pool.setMaxThreadCount(std::max(saved, 6));
    const QImage banded = sheet(sections);
    pool.setMaxThreadCount(1);
    const QImage single = sheet(sections);
    pool.setMaxThreadCount(saved);
    ASSERT_FALSE(banded.isNull());
    EXPECT_EQ(banded, single);
}
