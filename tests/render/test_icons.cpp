#include "render/icons/iconrecipes.h"
#include "render/icons/icons.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QSet>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

namespace {

constexpr int kScale = 4; // pixels per design unit in probe renders

QImage render(const QPainterPath &outline, Qt::FillRule rule = Qt::WindingFill)
{
    QImage img(100 * kScale, 100 * kScale, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(kScale, kScale);
    QPainterPath path = outline;
    path.setFillRule(rule);
    p.fillPath(path, Qt::black);
    return img;
}

bool filled(const QImage &img, double x, double y)
{
    return qAlpha(img.pixel(int(x * kScale), int(y * kScale))) > 128;
}

QImage renderIcon(const char *id)
{
    const auto outline = LWIcons::path(QString::fromLatin1(id));
    EXPECT_TRUE(outline) << id;
    return outline ? render(*outline) : QImage();
}

// Whether two paths are copies of one shared outline object. QPainterPath holds nothing but its
// shared-data pointer, so the object bytes are that pointer.
bool sameData(const QPainterPath &a, const QPainterPath &b)
{
    static_assert(sizeof(QPainterPath) == sizeof(void *));
    void *da = nullptr, *db = nullptr;
    std::memcpy(&da, &a, sizeof da);
    std::memcpy(&db, &b, sizeof db);
    return da && da == db;
}

} // namespace

TEST(Icons, CatalogueOrderAndRows)
{
    const QStringList ids = LWIcons::names();
    ASSERT_EQ(ids.size(), 69);
    EXPECT_EQ(ids.mid(0, 3), (QStringList{"phone", "mail", "globe"}));
    EXPECT_EQ(ids.mid(67), (QStringList{"scales", "bag"}));
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 69);

    const QRegularExpression wordsForm(QStringLiteral("^[a-z]+( [a-z]+)*$"));
    for (const LWIcons::Info &row : LWIcons::catalog())
        EXPECT_TRUE(wordsForm.match(row.keywords).hasMatch()) << row.id.toStdString();

    EXPECT_EQ(LWIcons::title("mail"), "Email");
    EXPECT_EQ(LWIcons::title("Phone"), "Phone"); // ids are case-sensitive: no row, so the id itself
}

TEST(Icons, EveryOutlineFitsTheBoxAndFillsAlikeUnderBothRules)
{
    for (const QString &id : LWIcons::names()) {
        SCOPED_TRACE(id.toStdString());
        const auto outline = LWIcons::path(id);
        ASSERT_TRUE(outline);
        EXPECT_FALSE(outline->isEmpty());
        EXPECT_EQ(outline->fillRule(), Qt::WindingFill);
        const QRectF box = outline->boundingRect();
        EXPECT_GE(box.width(), 20);
        EXPECT_GE(box.left(), -1);
        EXPECT_GE(box.top(), -1);
        EXPECT_LE(box.right(), 101);
        EXPECT_LE(box.bottom(), 101);
        // Holes must stay holes under the non-zero rule: its fill matches the even-odd fill.
        EXPECT_EQ(render(*outline, Qt::WindingFill), render(*outline, Qt::OddEvenFill));
    }
}

TEST(Icons, CacheSharesOutlinesAndSkipsUnknownIds)
{
    const auto a = LWIcons::path("sun");
    const auto b = LWIcons::path("sun");
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(sameData(*a, *b));

    const qsizetype before = LWIconParts::cachedCount();
    EXPECT_FALSE(LWIcons::path("nosuchicon"));
    EXPECT_FALSE(LWIcons::path("nosuchicon", LWRect(0, 0, 10, 10)));
    EXPECT_EQ(LWIconParts::cachedCount(), before);
}

TEST(Icons, PlacingScalesAboutTheRectCentre)
{
    const QRectF design = LWIcons::path("heart")->boundingRect();
    auto near = [](const QRectF &a, const QRectF &b) {
        return std::abs(a.left() - b.left()) < 1e-9 && std::abs(a.top() - b.top()) < 1e-9 &&
               std::abs(a.width() - b.width()) < 1e-9 && std::abs(a.height() - b.height()) < 1e-9;
    };

    // Wider than tall: s = 1 and the box moves right by 50, so (50, 50) lands on (100, 50).
    const QRectF wide = LWIcons::path("heart", LWRect(0, 0, 200, 100))->boundingRect();
    EXPECT_TRUE(near(wide, design.translated(50, 0)));

    // Half size, moved to the rect's corner; a negative size counts from the other edge.
    const QRectF half = LWIcons::path("heart", LWRect(60, 60, -50, -50))->boundingRect();
    EXPECT_TRUE(near(half, QRectF(10 + design.left() / 2, 10 + design.top() / 2, design.width() / 2,
                                  design.height() / 2)));
}

TEST(Icons, ArcsRunTheStatedWay)
{
    // 180 -> 360 passes over the top of the centre.
    const QImage headphones = renderIcon("headphones");
    EXPECT_TRUE(filled(headphones, 50, 21));  // top of the band (centre y 56, radius 35)
    EXPECT_FALSE(filled(headphones, 50, 90)); // where a band hanging below would be
    const QImage bag = renderIcon("bag");
    EXPECT_TRUE(filled(bag, 50, 17)); // top of the handle (centre y 34, radius 17)
    EXPECT_FALSE(filled(bag, 50, 12));

    // 0 -> 180 hangs below its centre (50, 42): probe 45 degrees below and above the side.
    const QImage mic = renderIcon("mic");
    EXPECT_TRUE(filled(mic, 66.9, 58.9));
    EXPECT_FALSE(filled(mic, 66.9, 25.1));
}

TEST(Icons, RecipesApplyLeftToRight)
{
    // The closing intersection of globe trims every earlier part, so the round cap of the
    // parallel at y 31 is cut off at the rim instead of poking out of it.
    const QImage globe = renderIcon("globe");
    EXPECT_FALSE(filled(globe, 11.5, 31));
    EXPECT_TRUE(filled(globe, 30, 31));
    EXPECT_FALSE(filled(globe, 25, 40));  // inside the rim, away from bars and meridian

    // hardhat: the dome is cut to the rect before the brim is added, and the ridges are cut after.
    const QImage hat = renderIcon("hardhat");
    EXPECT_FALSE(filled(hat, 50, 75)); // the dome below y 63 (and below the brim) is gone
    EXPECT_FALSE(filled(hat, 40, 45)); // ridge groove

    // Rings and subtracted groups leave real holes.
    const QImage vinyl = renderIcon("vinyl");
    EXPECT_FALSE(filled(vinyl, 50, 14.8)); // first groove (between radius 34.3 and 36)
    EXPECT_FALSE(filled(vinyl, 50, 50));   // spindle hole
    EXPECT_TRUE(filled(vinyl, 50, 45));    // label

    // Radius 0 is a plain rectangle: four straight edges.
    const QPainterPath plain = LWIconParts::RR(50, 50, 20, 10, 0);
    EXPECT_EQ(plain.boundingRect(), QRectF(40, 45, 20, 10));
    for (int i = 0; i < plain.elementCount(); ++i)
        EXPECT_NE(plain.elementAt(i).type, QPainterPath::CurveToElement);
    EXPECT_TRUE(plain.contains(QPointF(40.2, 45.2)));

    // The hammer's claw slot keeps sharp corners: just inside one corner nothing is left.
    const QImage hammer = renderIcon("hammer");
    EXPECT_FALSE(filled(hammer, 74.5, 51.3));
    EXPECT_TRUE(filled(hammer, 70, 45));
}

TEST(Icons, SheetForVisualCheck)
{
    constexpr int cell = 150, cols = 10;
    const QStringList ids = LWIcons::names();
    const int rows = int((ids.size() + cols - 1) / cols);
    QImage sheet(cols * cell, rows * cell, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < ids.size(); ++i) {
        const int x = (i % cols) * cell, y = (i / cols) * cell;
        p.setPen(QColor(220, 220, 220));
        p.setBrush(Qt::NoBrush);
        p.drawRect(x + 10, y + 5, 120, 120);
        const auto outline = LWIcons::path(ids[i], LWRect(x + 10, y + 5, 120, 120));
        ASSERT_TRUE(outline);
        p.fillPath(*outline, QColor(30, 60, 120));
        p.setPen(Qt::black);
        p.drawText(QRect(x, y + 126, cell, 22), Qt::AlignCenter, ids[i]);
    }
    p.end();
    // Kept only where LW_ICON_SHEET names a file; a test writes nowhere but its own folder.
    QTemporaryDir dir;
    const QString file = qEnvironmentVariableIsSet("LW_ICON_SHEET") ? qEnvironmentVariable("LW_ICON_SHEET")
                                                                     : dir.filePath(QStringLiteral("icons-sheet.png"));
    ASSERT_TRUE(sheet.save(file));
    if (qEnvironmentVariableIsSet("LW_ICON_SHEET"))
        std::printf("icon sheet: %s\n", qPrintable(file));
}
