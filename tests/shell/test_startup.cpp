#include "app/thumbs.h"
#include "model/file/documentio.h"
#include "model/file/prefs.h"
#include "shell/startup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(Startup, SelfTestOnlyForTheExactArgument)
{
    struct Case {
        QStringList args;
        bool selfTest;
    };
    const QList<Case> cases{
        {QStringList{"p", "--lw-snapshot", "out", "--selftest"}, true},
        {QStringList{"--selftest", "p"}, true},
        {QStringList{"p", "-selftest"}, false},
        {QStringList{"p", "--selftestX"}, false},
        {QStringList{"p", "--selftest="}, false},
        {QStringList{"p", "--SELFTEST"}, false},
        {QStringList{"p", " --selftest"}, false},
        {QStringList{"p"}, false},
        {{}, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LWStartup::selfTestRequested(c.args), c.selfTest) << c.args.join(u' ').toStdString();
        EXPECT_EQ(LWStartup::consoleRequested(c.args, {}), c.selfTest) << c.args.join(u' ').toStdString();
    }
}

TEST(Startup, DisplayFound)
{
    struct Case {
        const char *display, *wayland, *platform;
        bool found;
    };
    const Case cases[] = {{"", "", "", false},           {":0", "", "", true},   {"", "wayland-0", "", true},
                          {"", "", "offscreen:x", true}, {"", "", "xcb", false}, {"", "", "wayland", false}};
    for (const Case &c : cases) {
        QProcessEnvironment env;
        env.insert(QStringLiteral("DISPLAY"), QString::fromUtf8(c.display));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromUtf8(c.wayland));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromUtf8(c.platform));
        EXPECT_EQ(LWStartup::displayFound(env), c.found)
            << c.display << "|" << c.wayland << "|" << c.platform;
    }
}

// Fakes for both modes that record how they were called.
struct FakeRunners {
    int selfTestRuns = 0;
    QList<QStringList> imageWritingCalls;
    std::optional<int> imageWritingResult = 0;

    LWStartup::Runners runners()
    {
        return {[this] {
                    ++selfTestRuns;
                    return 1;
                },
                [](const QStringList &args) { return args.contains(QStringLiteral("--lw-snapshot")); },
                [this](const QStringList &args) {
                    imageWritingCalls.append(args);
                    return imageWritingResult;
                }};
    }
};

TEST(Startup, ConsoleDispatch)
{
    FakeRunners fake;
    const QStringList both{"/bin/leafwrighter", "--lw-snapshot", "out", "--selftest"};
    EXPECT_TRUE(LWStartup::consoleRequested(both, fake.runners()));
    EXPECT_EQ(LWStartup::runConsole(both, fake.runners()), 1);
    EXPECT_EQ(fake.selfTestRuns, 1);
    EXPECT_TRUE(fake.imageWritingCalls.isEmpty());
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    EXPECT_TRUE(LWThumbs::shared().isShutDown());

    const QStringList snapshot{"/bin/leafwrighter", "--lw-snapshot", "out"};
    EXPECT_TRUE(LWStartup::consoleRequested(snapshot, fake.runners()));
    EXPECT_FALSE(LWStartup::consoleRequested(QStringList{"/bin/leafwrighter", "out"}, fake.runners()));
    fake.imageWritingResult = 0;
    EXPECT_EQ(LWStartup::runConsole(snapshot, fake.runners()), 0);
    ASSERT_EQ(fake.imageWritingCalls.size(), 1);
    EXPECT_EQ(fake.imageWritingCalls.first(), snapshot);
    fake.imageWritingResult = std::nullopt;
    EXPECT_EQ(LWStartup::runConsole(snapshot, fake.runners()), 1);
    EXPECT_EQ(fake.selfTestRuns, 1);

    // A recognised mode without its runner ends 1.
    EXPECT_EQ(LWStartup::runConsole(QStringList{"p", "--selftest"}, {}), 1);
    EXPECT_EQ(LWStartup::runConsole(snapshot, {}), 1);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

// The program itself, started without any display.
class StartupProcess : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromUtf8(name));
        // TMPDIR too: a self-test stopped early leaves its folder in the temporary directory.
        for (const char *name :
             {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "TMPDIR"})
            env.insert(QString::fromUtf8(name), dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
    }
    void TearDown() override { end(process); }
    static void end(QProcess &running)
    {
        if (running.state() != QProcess::NotRunning) {
            running.kill();
            running.waitForFinished(10000);
        }
    }
    void start(const QStringList &args)
    {
        process.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("leafwrighter")),
                      args);
        ASSERT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
    }

    QTemporaryDir dir;
    QProcess process;
};

TEST_F(StartupProcess, SelfTestWritesNothingToStandardError)
{
    start({QStringLiteral("--selftest")});
    // Until it ends, or stopped once its first line is out.
    while (process.state() == QProcess::Running && !process.canReadLine())
        process.waitForReadyRead(200);
    if (process.state() == QProcess::Running) {
        process.kill();
        process.waitForFinished(10000);
    } else if (process.readAllStandardOutput().isEmpty()) {
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 1);
    }
    EXPECT_EQ(process.readAllStandardError().toStdString(), "");
}

TEST_F(StartupProcess, WindowWithoutDisplayEnds2)
{
    start({QStringLiteral("-selftest")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("no display found"));
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

TEST_F(StartupProcess, ImageWritingOptionsRunWithoutDisplay)
{
    struct Case {
        QStringList args;
        int exitCode;
        QByteArray out;
    };
    const QList<Case> cases{
        // The mode's own failure line, with the path made absolute, and its status.
        {{"--lw-contact-sheet", "missing/sheet.png"}, 1, "Could not write " + QFile::encodeName(dir.filePath("missing/sheet.png")) + "\n"},
        // An option without its value is no console mode: the window would start.
        {{"--lw-contact-sheets"}, 2, ""},
    };
    for (const Case &c : cases) {
        start(c.args);
        ASSERT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.exitCode) << c.args.join(u' ').toStdString();
        EXPECT_EQ(process.readAllStandardOutput(), c.out);
        if (c.exitCode != 2) {
            EXPECT_EQ(process.readAllStandardError().toStdString(), "");
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

// The window mode, offscreen.
class WindowStart : public StartupProcess
{
  protected:
    void SetUp() override
    {
        StartupProcess::SetUp();
        QProcessEnvironment env = process.processEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
    }
};

TEST_F(WindowStart, NamedPipeAsSettingsFileStartsWithDefaults)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("VELK")));
    const QString settings = dir.filePath(QStringLiteral("VELK/Leafwrighter.conf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
    const QString design = dir.filePath(QStringLiteral("Card.velkfolio"));
    const LWDocument blank = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    ASSERT_TRUE(LWDocumentIO::save(blank, QUrl::fromLocalFile(design)).ok());
    // The design named at start is opened once the window's event loop runs.
    const int events = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(events, 0);
    ASSERT_GE(::inotify_add_watch(events, QFile::encodeName(design).constData(), IN_OPEN), 0);
    start({design});
    pollfd ready{events, POLLIN, 0};
    const bool opened = ::poll(&ready, 1, 60000) == 1;
    ::close(events);
    EXPECT_TRUE(opened) << "the design was never opened: the window did not come up";
    EXPECT_EQ(process.state(), QProcess::Running);
    // No reader waits on the pipe, the recent list went nowhere, and the pipe is still a pipe.
    const int writer = ::open(QFile::encodeName(settings).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(writer < 0 ? errno : 0, ENXIO);
    if (writer >= 0)
        ::close(writer);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(settings).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    const QDir folder(dir.filePath(QStringLiteral("VELK")));
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("Leafwrighter.conf")});
}

// The window mode twice on one runtime folder.
class SecondLaunch : public WindowStart
{
  protected:
    void SetUp() override
    {
        WindowStart::SetUp();
        later.setProcessEnvironment(process.processEnvironment());
        later.setWorkingDirectory(dir.path());
    }
    void TearDown() override
    {
        end(later);
        WindowStart::TearDown();
    }
    // Starts the first instance and waits until it holds the lock (it listens right after).
    void startFirst()
    {
        start({});
        const QByteArray pid = QByteArray::number(process.processId());
        QFile lock(dir.filePath(QStringLiteral("velk-leafwrighter.lock")));
        QElapsedTimer clock;
        clock.start();
        bool held = false;
        while (!held && clock.elapsed() < 60000 && process.state() == QProcess::Running) {
            QThread::msleep(50);
            held = lock.open(QIODevice::ReadOnly) && lock.readLine().trimmed() == pid;
            lock.close();
        }
        ASSERT_TRUE(held) << "the first instance holds no lock";
    }
    // The design's path in the first instance's stored recent list, once it opened it.
    bool openedByFirst(const QString &design, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        do {
            const QSettings stored(dir.filePath(QStringLiteral("VELK/Leafwrighter.conf")), QSettings::IniFormat);
            if (stored.value(LWPrefs::recentKey).toStringList().contains(design))
                return true;
            QThread::msleep(100);
        } while (clock.elapsed() < timeoutMs);
        return false;
    }

    QProcess later;
};

TEST_F(SecondLaunch, HandsItsDesignOverAndEndsSilently)
{
    const QString design = dir.filePath(QStringLiteral("Hand Over.velkfolio"));
    ASSERT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::usCard, std::nullopt), QUrl::fromLocalFile(design)).ok());
    startFirst();
    // Relative to the second launch's own folder.
    later.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("leafwrighter")),
                {QStringLiteral("Hand Over.velkfolio")});
    // It gives up after 10 s of retrying; the margin is for a loaded sanitizer run.
    ASSERT_TRUE(later.waitForFinished(30000));
    EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_EQ(later.readAllStandardOutput().toStdString(), "");
    EXPECT_EQ(later.readAllStandardError().toStdString(), "");
    EXPECT_TRUE(openedByFirst(design, 20000));
    EXPECT_EQ(process.state(), QProcess::Running);
}

TEST_F(SecondLaunch, KilledFirstInstanceLeavesNoObstacle)
{
    startFirst();
    process.kill(); // its lock file and socket stay behind
    ASSERT_TRUE(process.waitForFinished(10000));
    ASSERT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("velk-leafwrighter.lock"))));
    startFirst();
    later.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("leafwrighter")), {});
    ASSERT_TRUE(later.waitForFinished(10000));
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_EQ(process.state(), QProcess::Running);
}
