#include "model/file/prefs.h"
#include "model/file/recent.h"
#include "model/testflags.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every test here runs against a throw-away settings file, never the user's own.
class RecentAndPrefs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    }
    void TearDown() override { LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini")))); }

    QUrl file(const QString &name)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return QUrl::fromLocalFile(f.fileName());
    }
    // A second store reading the same settings text from disk, as the next run would.
    std::shared_ptr<QSettings> reread()
    {
        LWPrefs::store().sync();
        const QString copy = dir.filePath(QStringLiteral("copy%1.ini").arg(++copies));
        EXPECT_TRUE(QFile::copy(LWPrefs::store().fileName(), copy));
        return LWPrefs::makeStore(copy);
    }

    QTemporaryDir dir;
    int copies = 0;
};

} // namespace

TEST_F(RecentAndPrefs, AddMovesToFrontAndKeepsTwelveNewest)
{
    const QUrl a = file("a.velkfolio"), b = file("b.velkfolio");
    LWRecent::add(a);
    LWRecent::add(b);
    LWRecent::add(a);
    EXPECT_EQ(LWRecent::paths(), (QStringList{a.toLocalFile(), b.toLocalFile()}));

    LWRecent::clear();
    QList<QUrl> added;
    for (int i = 0; i < 13; ++i) {
        added.append(file(QStringLiteral("f%1.velkfolio").arg(i)));
        LWRecent::add(added.last());
    }
    const QStringList paths = LWRecent::paths();
    ASSERT_EQ(paths.size(), LWRecent::limit);
    EXPECT_EQ(paths.first(), added[12].toLocalFile());
    EXPECT_EQ(paths.last(), added[1].toLocalFile());

    // Paths are exact text: two letter cases are two entries.
    LWRecent::clear();
    const QUrl lower = file("card.velkfolio"), upper = file("CARD.velkfolio");
    LWRecent::add(lower);
    VELKTestFlags::running = true; // test runs still store the list
    LWRecent::add(upper);
    VELKTestFlags::running = false;
    EXPECT_EQ(LWRecent::paths().size(), 2);
}

TEST_F(RecentAndPrefs, MissingFilesAreHiddenButKept)
{
    const QUrl gone = file("gone.velkfolio"), kept = file("kept.velkfolio");
    LWRecent::add(gone);
    LWRecent::add(kept);
    ASSERT_TRUE(QFile::remove(gone.toLocalFile()));
    EXPECT_EQ(LWRecent::urls(), QList<QUrl>{kept});
    EXPECT_EQ(LWRecent::paths().size(), 2); // reading did not rewrite the list
}

TEST_F(RecentAndPrefs, RemoveDropsEveryCopyAndWrongTypesReadAsEmpty)
{
    const QUrl a = file("a.velkfolio"), b = file("b.velkfolio");
    // Written by someone else, with a duplicate.
    LWPrefs::store().setValue(LWPrefs::recentKey, QVariantList{a.toLocalFile(), b.toLocalFile(), a.toLocalFile()});
    LWRecent::remove(a);
    EXPECT_EQ(LWRecent::paths(), QStringList{b.toLocalFile()});

    // A stored value of the wrong type reads as empty, and the next add starts afresh.
    for (const QVariant &wrong :
         {QVariant(QStringLiteral("just text")), QVariant(QVariantList{a.toLocalFile(), 3})}) {
        LWPrefs::store().setValue(LWPrefs::recentKey, wrong);
        EXPECT_TRUE(LWRecent::paths().isEmpty()) << qPrintable(wrong.toString());
        EXPECT_TRUE(LWRecent::urls().isEmpty());
    }
    LWRecent::add(a);
    EXPECT_EQ(LWRecent::paths(), QStringList{a.toLocalFile()});
}

TEST_F(RecentAndPrefs, SettingsDefaultsWhenAbsent)
{
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::showBleedKey));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::showSafeKey));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::showTrimKey));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::snapKey));
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::gridKey));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::exportBleedKey));
    EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 300);
}

TEST_F(RecentAndPrefs, StoredValuesSurviveRereadingTheFile)
{
    // One entry with commas and non-ASCII must come back as a list of exactly that entry.
    const QUrl odd = file(QStringLiteral("Caf\u00e9, menu \"2\".velkfolio"));
    LWRecent::add(odd);
    LWPrefs::store().setValue(LWPrefs::showBleedKey, false);
    LWPrefs::store().setValue(LWPrefs::gridKey, true);
    LWPrefs::store().setValue(LWPrefs::exportDPIKey, 600);
    // Read back from the file every value is text ("false" must still read as false).
    LWPrefs::setStore(reread());
    EXPECT_EQ(LWRecent::paths(), QStringList{odd.toLocalFile()});
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::showBleedKey));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::gridKey));
    EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 600);
}

TEST_F(RecentAndPrefs, UnusableStoredValuesGiveDefaults)
{
    QFile f(dir.filePath(QStringLiteral("written.ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[General]\nlf.showSafe=maybe\nlf.snap=False\nlf.exportDPI=72.5\nlf.exportBleed=0\n");
    f.close();
    LWPrefs::setStore(LWPrefs::makeStore(f.fileName()));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::showSafeKey));
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::snapKey));
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::exportBleedKey));
    EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 300);
}

TEST_F(RecentAndPrefs, RecentWritesAreAnnounced)
{
    QStringList keys;
    const auto connection = QObject::connect(&LWSettings::shared(), &LWSettings::changed,
                                             [&](const QString &key) { keys.append(key); });
    LWRecent::add(file("a.velkfolio"));
    LWRecent::clear();
    QObject::disconnect(connection);
    EXPECT_EQ(keys, (QStringList{LWPrefs::recentKey, LWPrefs::recentKey}));
}
