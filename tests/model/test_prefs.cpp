#include "model/prefs.h"
#include "model/recent.h"
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

    QUrl file(const QString &name, bool create = true)
    {
        const QString p = dir.filePath(name);
        if (create) {
            QFile f(p);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        }
        return QUrl::fromLocalFile(p);
    }
    // A second store reading the same settings text from disk, as the next run would.
    std::shared_ptr<QSettings> reread()
    {
        LWPrefs::store().sync();
        const QString copy = dir.filePath(QStringLiteral("copy%1.ini").arg(++copies));
        EXPECT_TRUE(QFile::copy(LWPrefs::store().fileName(), copy));
        return LWPrefs::makeStore(copy);
    }
    void writeSettingsText(const QByteArray &text)
    {
        const QString p = dir.filePath(QStringLiteral("written%1.ini").arg(++copies));
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        LWPrefs::setStore(LWPrefs::makeStore(p));
    }

    QTemporaryDir dir;
    int copies = 0;
};

QStringList pathsOf(const QList<QUrl> &urls)
{
    QStringList out;
    for (const QUrl &u : urls)
        out.append(u.toLocalFile());
    return out;
}

} // namespace

TEST_F(RecentAndPrefs, AddMovesToFrontAndKeepsTwelveNewest)
{
    EXPECT_TRUE(LWRecent::urls().isEmpty());
    const QUrl a = file("a.velkfolio"), b = file("b.velkfolio");
    LWRecent::add(a);
    EXPECT_EQ(LWRecent::paths(), QStringList{a.toLocalFile()});
    LWRecent::add(b);
    LWRecent::add(a);
    EXPECT_EQ(LWRecent::paths(), (QStringList{a.toLocalFile(), b.toLocalFile()}));

    LWRecent::clear();
    QList<QUrl> added;
    for (int i = 0; i < 13; ++i) {
        added.append(file(QStringLiteral("f%1.velkfolio").arg(i)));
        LWRecent::add(added.last());
    }
    const QStringList urls = pathsOf(LWRecent::urls());
    ASSERT_EQ(urls.size(), LWRecent::limit);
    EXPECT_EQ(urls.first(), added[12].toLocalFile());
    EXPECT_EQ(urls.last(), added[1].toLocalFile());
    EXPECT_FALSE(urls.contains(added[0].toLocalFile()));
}

TEST_F(RecentAndPrefs, PathsAreExactText)
{
    const QUrl lower = file("card.velkfolio"), upper = file("CARD.velkfolio");
    LWRecent::add(lower);
    LWRecent::add(upper);
    EXPECT_EQ(LWRecent::paths().size(), 2);
    // No standardising: the same file spelled another way is another entry.
    LWRecent::add(QUrl::fromLocalFile(dir.path() + QStringLiteral("/./card.velkfolio")));
    EXPECT_EQ(LWRecent::paths().size(), 3);
}

TEST_F(RecentAndPrefs, MissingFilesAreHiddenButKept)
{
    const QUrl gone = file("gone.velkfolio"), kept = file("kept.velkfolio");
    const QUrl folder = QUrl::fromLocalFile(dir.path());
    LWRecent::add(gone);
    LWRecent::add(kept);
    LWRecent::add(folder);
    ASSERT_TRUE(QFile::remove(gone.toLocalFile()));

    EXPECT_EQ(LWRecent::urls(), (QList<QUrl>{folder, kept}));
    EXPECT_EQ(LWRecent::paths().size(), 3); // reading did not rewrite the list
    LWRecent::add(file("other.velkfolio"));
    EXPECT_EQ(LWRecent::paths().last(), gone.toLocalFile());

    file("gone.velkfolio"); // the file comes back, so does the entry
    EXPECT_EQ(LWRecent::urls().size(), 4);
}

TEST_F(RecentAndPrefs, RemoveDropsEveryCopyAndClearEmpties)
{
    const QUrl a = file("a.velkfolio"), b = file("b.velkfolio");
    // Written by someone else, with a duplicate.
    LWPrefs::store().setValue(LWPrefs::recentKey, QVariantList{a.toLocalFile(), b.toLocalFile(), a.toLocalFile()});
    LWRecent::remove(file("absent.velkfolio", false));
    EXPECT_EQ(LWRecent::paths().size(), 3);
    LWRecent::remove(a);
    EXPECT_EQ(LWRecent::paths(), QStringList{b.toLocalFile()});

    LWRecent::clear();
    EXPECT_TRUE(LWRecent::urls().isEmpty());
    EXPECT_TRUE(LWPrefs::store().contains(LWPrefs::recentKey));
}

TEST_F(RecentAndPrefs, StoredValueOfWrongTypeReadsAsEmpty)
{
    const QUrl a = file("a.velkfolio");
    for (const QVariant &wrong : {QVariant(QStringLiteral("just text")), QVariant(7), QVariant(true),
                                  QVariant(QVariantList{a.toLocalFile(), 3})}) {
        LWPrefs::store().setValue(LWPrefs::recentKey, wrong);
        EXPECT_TRUE(LWRecent::paths().isEmpty()) << qPrintable(wrong.toString());
        EXPECT_TRUE(LWRecent::urls().isEmpty());
    }
    LWRecent::add(a);
    EXPECT_EQ(LWRecent::paths(), QStringList{a.toLocalFile()});
}

TEST_F(RecentAndPrefs, ListSurvivesRereadingTheFile)
{
    // One entry, commas and non-ASCII: the INI format must give back a list of exactly these.
    const QUrl odd = file(QStringLiteral("Caf\u00e9, menu \"2\".velkfolio"));
    LWRecent::add(odd);
    LWPrefs::setStore(reread());
    EXPECT_EQ(LWRecent::paths(), QStringList{odd.toLocalFile()});

    LWRecent::clear();
    LWPrefs::setStore(reread());
    EXPECT_TRUE(LWRecent::paths().isEmpty());
}

TEST_F(RecentAndPrefs, AddStillStoresDuringTestRuns)
{
    VELKTestFlags::running = true;
    LWRecent::add(file("a.velkfolio"));
    VELKTestFlags::running = false;
    EXPECT_EQ(LWRecent::paths().size(), 1);
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

TEST_F(RecentAndPrefs, StoredValuesAreHonoured)
{
    LWPrefs::store().setValue(LWPrefs::showBleedKey, false);
    LWPrefs::store().setValue(LWPrefs::gridKey, true);
    LWPrefs::store().setValue(LWPrefs::exportDPIKey, 600);
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::showBleedKey));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::gridKey));
    EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 600);

    // Read back from the file every value is text.
    LWPrefs::setStore(reread());
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::showBleedKey));
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::gridKey));
    EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 600);
}

TEST_F(RecentAndPrefs, UnusableStoredValuesGiveDefaults)
{
    writeSettingsText("[General]\nlf.showSafe=maybe\nlf.snap=False\nlf.exportDPI=72.5\nlf.exportBleed=0\n");
    EXPECT_TRUE(LWPrefs::boolValue(LWPrefs::showSafeKey));
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::snapKey));
    EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::exportBleedKey));
    EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 300);
}
