#include "diagnostics/selftestaids.h"
#include "diagnostics/snapshot.h"
#include "render/text/fonts.h"
#include "render/icons/icons.h"
#include "templates/templates.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

class SamplesTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    static QStringList ids(const QList<LWTemplate> &list)
    {
        QStringList out;
        for (const LWTemplate &t : list)
            out << t.id;
        return out;
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    static QByteArray bytes(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

LWTemplate withBase(const QString &base)
{
    LWTemplate t;
    t.id = base + "-x";
    t.baseID = base;
    return t;
}

} // namespace

TEST_F(SamplesTest, Selection)
{
    const QList<LWTemplate> &all = LWTemplates::all();
    struct Case {
        std::optional<QString> only;
        qsizetype count;
        QStringList some; // among the chosen
    };
    const QList<Case> cases{
        {std::nullopt, 60, {"card-001", "card-001-eu", "card-010", "flyer-100-half", "flyer-091-a4"}},
        {QString("card-001"), 2, {"card-001", "card-001-eu"}},
        {QString("flyer-01"), 30, {"flyer-010", "flyer-019-half", "flyer-015-a4"}},
        {QString("zzz"), 0, {}},
        {QString("all"), 500, {}},
        {QString(""), 500, {}},
        {QString("ALL"), 0, {}}, // ids are matched as written
    };
    for (const Case &c : cases) {
        const QStringList chosen = ids(LWSnapshot::sampleTemplates(c.only, all));
        EXPECT_EQ(chosen.size(), c.count) << c.only.value_or("(none)").toStdString();
        for (const QString &id : c.some)
            EXPECT_TRUE(chosen.contains(id)) << id.toStdString();
    }
    // The library's order is kept.
    const QStringList two = ids(LWSnapshot::sampleTemplates(QString("card-001"), all));
    EXPECT_EQ(two, QStringList({"card-001", "card-001-eu"}));

    // Base ids that are short or not numbers.
    const QList<LWTemplate> odd{withBase("1"), withBase("19"), withBase("x1"), withBase("abc"),
                                withBase("card-010"), withBase("card-011"), withBase("")};
    EXPECT_EQ(ids(LWSnapshot::sampleTemplates(std::nullopt, odd)), QStringList({"1-x", "19-x", "card-010-x"}));
}

TEST_F(SamplesTest, DefaultSamplesAreWrittenAndReplaced)
{
    // An older file is replaced, not kept.
    QFile old(dir.filePath("card-001.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("not a picture");
    old.close();

    EXPECT_EQ(LWSnapshot::writeSamples(dir.path(), std::nullopt), QStringList());
    QStringList want;
    for (const LWTemplate &t : LWSnapshot::sampleTemplates(std::nullopt, LWTemplates::all()))
        want << t.id + ".png";
    want.sort();
    EXPECT_EQ(files(), want); // no temporaries left
    ASSERT_EQ(want.size(), 60);

    const struct {
        const char *file;
        QSize size;
    } sizes[] = {{"card-001.png", {1602, 492}},     {"flyer-001.png", {765, 990}},
                 {"card-001-eu.png", {1602, 549}}, {"flyer-001-a4.png", {765, 1082}}};
    for (const auto &s : sizes) {
        const std::optional<LWSelfTest::ImageInfo> info = LWSelfTest::imageInfo(bytes(dir.filePath(s.file)));
        ASSERT_TRUE(info) << s.file;
        EXPECT_EQ(QSize(info->w, info->h), s.size) << s.file;
        EXPECT_NEAR(info->dpi, 72, 0.5) << s.file;
    }

    // The grey margin, and both sides drawn inside their places.
    const QImage card(dir.filePath("card-001.png"));
    for (const QPoint at : {QPoint(15, 15), QPoint(801, 246), QPoint(1590, 480)})
        EXPECT_EQ(card.pixelColor(at).rgb(), qRgb(209, 214, 219)) << at.x() << "," << at.y();
    for (const QPoint at : {QPoint(30, 30), QPoint(816, 30)})
        EXPECT_NE(card.pixelColor(at).rgb(), qRgb(209, 214, 219)) << at.x() << "," << at.y();
}

TEST_F(SamplesTest, SelectedSamplesAndACardWithoutABack)
{
    EXPECT_EQ(LWSnapshot::writeSamples(dir.path(), QString("card-001")), QStringList());
    EXPECT_EQ(files(), QStringList({"card-001-eu.png", "card-001.png"}));
    EXPECT_EQ(LWSnapshot::writeSamples(dir.path(), QString("zzz")), QStringList());
    EXPECT_EQ(files().size(), 2);

    // A hand-made card with its front alone cannot make its composite: that file is reported and
    // the next template is still written.
    LWTemplate lone = LWTemplates::cards().first();
    lone.id = "lone-card";
    const auto make = lone.make;
    lone.make = [make] {
        LWDocument doc = make();
        doc.pages.resize(1);
        return doc;
    };
    const QList<LWTemplate> list{lone, LWTemplates::flyers().first()};
    EXPECT_EQ(LWSnapshot::writeSamples(dir.path(), QString("all"), list),
              QStringList{QDir(dir.path()).absoluteFilePath("lone-card.png")});
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("flyer-001.png")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("lone-card.png")));

    // A folder that is a plain file: every chosen sample is reported.
    const QString plain = dir.filePath("plain");
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(LWSnapshot::writeSamples(plain, QString("card-001")),
              QStringList({plain + "/card-001.png", plain + "/card-001-eu.png"}));
}

TEST_F(SamplesTest, IconSheet)
{
    const QString file = dir.filePath("icons.png");
    ASSERT_TRUE(LWSnapshot::writeIconSheet(file));
    ASSERT_EQ(LWIcons::names().size(), 69);
    const std::optional<LWSelfTest::ImageInfo> info = LWSelfTest::imageInfo(bytes(file));
    ASSERT_TRUE(info);
    EXPECT_EQ(QSize(info->w, info->h), QSize(1200, 840));
    EXPECT_NEAR(info->dpi, 72, 0.5);

    const QImage sheet = QImage(file).convertToFormat(QImage::Format_RGB32);
    auto count = [&](QRect r, auto test) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += test(sheet.pixel(x, y)) ? 1 : 0;
        return n;
    };
    const auto ink = [](QRgb c) { return c == qRgb(0x1F, 0x3A, 0x5F); };
    const auto dark = [](QRgb c) { return qGray(c) < 100 && qBlue(c) - qRed(c) < 20; };
    const auto notWhite = [](QRgb c) { return c != qRgb(255, 255, 255); };
    // Every icon cell holds icon colour in its box only and a dark label below it.
    for (int i = 0; i < 69; ++i) {
        const QRect cell((i % 10) * 120, (i / 10) * 120, 120, 120);
        const std::string id = LWIcons::names()[i].toStdString();
        EXPECT_GT(count(QRect(cell.x() + 25, cell.y() + 12, 70, 70), ink), 20) << id;
        EXPECT_EQ(count(QRect(cell.x(), cell.y() + 84, 120, 36), ink), 0) << id;
        EXPECT_GT(count(QRect(cell.x(), cell.y() + 92, 120, 16), dark), 5) << id;
    }
    // The last row's tenth cell is empty.
    EXPECT_EQ(count(QRect(1080, 720, 120, 120), notWhite), 0);
}
