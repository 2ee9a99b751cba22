#include "model/file/prefs.h"
#include "model/file/recent.h"
#include "model/testflags.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

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

// Ends the test program unless destroyed within `limit`: code that waits on a named pipe for
// good then fails the run instead of hanging it.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : m_thread([this, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_ended.wait_for(lock, limit, [this] { return m_done; })) {
                  std::fputs("Watchdog: still waiting after the time limit\n", stderr);
                  std::_Exit(1);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    std::thread m_thread; // last: it starts once the others exist
};

mode_t kind(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

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

TEST_F(RecentAndPrefs, SettingsFileThatIsNoOrdinaryFileGivesDefaults)
{
    // The program's own settings file, in a configuration folder of this test's.
    const auto restore = qScopeGuard([home = qgetenv("XDG_CONFIG_HOME")] { qputenv("XDG_CONFIG_HOME", home); });
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    LWPrefs::setStore(nullptr);
    EXPECT_EQ(LWPrefs::store().fileName(),
              QSettings(QSettings::NativeFormat, QSettings::UserScope, "VELK", "Leafwrighter").fileName());
    const QString folder = dir.filePath(QStringLiteral("config/VELK"));
    const QString user = folder + QStringLiteral("/Leafwrighter.conf");
    const QString stored = dir.filePath(QStringLiteral("stored.conf"));
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    const auto fifo = [](const QString &path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    };
    const auto entries = [&folder] {
        return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden);
    };

    const struct Case {
        const char *what;
        std::function<bool()> make;
        bool read; // the stored values, not the defaults
    } cases[] = {
        {"a named pipe", [&] { return fifo(user); }, false},
        {"a link to a named pipe", [&] { return fifo(pipe) && QFile::link(pipe, user); }, false},
        {"a folder", [&] { return QDir().mkpath(user); }, false},
        {"an ordinary file with a named pipe as its lock",
         [&] { return QFile::copy(stored, user) && fifo(user + QStringLiteral(".lock")); }, false},
        {"a link to an ordinary file", [&] { return QFile::link(stored, user); }, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile text(stored);
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("[General]\nlf.showBleed=false\nlf.exportDPI=600\n");
        text.close();
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(c.make());
        const QStringList before = entries();
        const mode_t type = kind(user);
        {
            const Watchdog guard(std::chrono::seconds(30));
            LWPrefs::setStore(nullptr); // as at the program's start
            EXPECT_EQ(LWPrefs::boolValue(LWPrefs::showBleedKey), !c.read);
            EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), c.read ? 600 : 300);
            EXPECT_TRUE(LWRecent::paths().isEmpty());
            // Kept for the session; a store that reads nothing there writes nothing there either.
            const QUrl design = file(QStringLiteral("design.velkfolio"));
            LWRecent::add(design);
            EXPECT_EQ(LWRecent::paths(), QStringList{design.toLocalFile()});
            LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini"))));
        }
        EXPECT_EQ(kind(user), type);
        EXPECT_EQ(entries(), before);
        EXPECT_EQ(QSettings(stored, QSettings::IniFormat).contains(LWPrefs::recentKey), c.read);
        ASSERT_TRUE(QDir(folder).removeRecursively());
        QFile::remove(pipe);
    }
}
