#include "app/app_fixture.h"
#include "shell/handover.h"
#include "shell/instance.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"
#include "support/waitfor.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

TEST(Instance, DesignArgument)
{
    const QString cwd = QStringLiteral("/home/u/work");
    struct Case {
        QStringList args;
        std::optional<QString> design;
    };
    const Case cases[] = {
        {{"p", "a.txt", "b.velkfolio", "c.velkfolio"}, QStringLiteral("/home/u/work/b.velkfolio")},
        {{"p", "/d/D.VELKFOLIO"}, QStringLiteral("/d/D.VELKFOLIO")},
        {{"p", "file:///d/my%20card.velkfolio"}, QStringLiteral("/d/my card.velkfolio")},
        {{"p", "x.velkfolio"}, QStringLiteral("/home/u/work/x.velkfolio")},
        {{"p", "../up/./y.velkfolio"}, QStringLiteral("/home/u/up/y.velkfolio")},
        {{"p", "a.velkfolio.txt"}, std::nullopt},
        {{"p", "https://example.org/z.velkfolio", "velkfolio"}, std::nullopt},
        {{"x.velkfolio"}, std::nullopt}, // the program's own name is never a design
        {{}, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LWInstance::designArgument(c.args, cwd), c.design) << c.args.join(u' ').toStdString();
}

TEST(Instance, MessagesRoundTripAndMalformedOnesOpenNothing)
{
    EXPECT_EQ(LWInstance::message(std::nullopt), QByteArray("{}\n"));
    const QString odd = QStringLiteral("/d/\"quoted\" \u00e9\n.velkfolio");
    EXPECT_EQ(LWInstance::pathIn(LWInstance::message(odd)), odd);
    for (const char *text : {"{}", "", "hello", "[\"/a.velkfolio\"]", "{\"open\":\"a.velkfolio\"}",
                             "{\"open\":42}", "{\"open\":\"\"}", "{\"open\":\"/a\\u0000b\"}"})
        EXPECT_EQ(LWInstance::pathIn(text), std::nullopt) << text;
}

// Instances on a throw-away runtime folder, as a later launch and the first one see it.
class InstancePair : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void listen(LWInstance &instance)
    {
        ASSERT_TRUE(instance.claim());
        ASSERT_TRUE(instance.error().isEmpty()) << instance.error().toStdString();
        connect(instance);
    }
    void connect(LWInstance &instance)
    {
        QObject::connect(&instance, &LWInstance::openRequested,
                         [this](const QString &p) { opened.append(p); });
        QObject::connect(&instance, &LWInstance::raiseRequested, [this] { ++raises; });
    }

    QTemporaryDir dir;
    QStringList opened;
    int raises = 0;
};

TEST_F(InstancePair, LaterLaunchHandsItsDesignToTheFirst)
{
    LWInstance first(dir.path());
    listen(first);
    // However old the living holder's lock is.
    QFile lock(dir.filePath(LWInstance::lockName));
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        lock.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    lock.close();
    LWInstance second(dir.path());
    EXPECT_FALSE(second.claim());
    const QString design = dir.filePath(QStringLiteral("b.velkfolio"));
    ASSERT_TRUE(second.send(design, 2000)) << second.error().toStdString();
    EXPECT_TRUE(waitFor([&] { return raises == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(opened, QStringList{design});
    EXPECT_EQ(raises, 1);

    ASSERT_TRUE(second.send(std::nullopt, 2000));
    EXPECT_TRUE(waitFor([&] { return raises == 2; }));
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(InstancePair, OversizedOrMalformedMessagesOnlyRaise)
{
    LWInstance first(dir.path());
    listen(first);
    const QByteArray oversized = "{\"open\":\"/" + QByteArray(100 * 1024, 'a') + ".velkfolio\"}\n";
    for (const QByteArray &text :
         {oversized, QByteArray("not json\n"), QByteArray("{\"open\":\"rel.velkfolio\"}"), QByteArray()}) {
        const int before = raises;
        QLocalSocket socket;
        socket.connectToServer(dir.filePath(LWInstance::socketName));
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(text);
        socket.flush();
        if (text.size() < LWInstance::maxMessage)
            socket.disconnectFromServer();
        EXPECT_TRUE(waitFor([&] { return raises == before + 1; }));
        EXPECT_TRUE(waitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }));
    }
    QTest::qWait(100);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(raises, 4);
}

TEST_F(InstancePair, DeadHoldersLockAndSocketAreTakenOver)
{
    // A process that has ended: its number names no running program.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    ASSERT_TRUE(gone.waitForStarted(10000));
    const qint64 pid = gone.processId(); // none once it has finished
    ASSERT_TRUE(gone.waitForFinished(10000));
    QFile lock(dir.filePath(LWInstance::lockName));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    // The lines QLockFile writes: process, program, host, machine and boot.
    lock.write(QByteArray::number(pid) + "\ntrue\n" + QSysInfo::machineHostName().toUtf8() + '\n' +
               QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n');
    lock.close();
    // A socket file nobody listens on any more.
    const QByteArray socketPath = QFile::encodeName(dir.filePath(LWInstance::socketName));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(socketPath.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(dir.filePath(LWInstance::socketName)));

    LWInstance next(dir.path());
    listen(next);
    LWInstance later(dir.path());
    EXPECT_FALSE(later.claim());
    ASSERT_TRUE(later.send(std::nullopt, 2000));
    EXPECT_TRUE(waitFor([&] { return raises == 1; }));
}

TEST_F(InstancePair, SendGivesUpWithoutAFirstInstance)
{
    LWInstance lonely(dir.path());
    EXPECT_FALSE(lonely.send(std::nullopt, 300));
    EXPECT_FALSE(lonely.error().isEmpty());
}

// The hand-over and the close question against a state under test.
class ShellState : public AppTest
{
  protected:
    void SetUp() override
    {
        AppTest::SetUp();
        LWSetup::configure();
    }
};

TEST_F(ShellState, HandOverWaitsForModalDialogsAndSheets)
{
    const LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    ASSERT_TRUE(LWDocumentIO::save(doc, url(QStringLiteral("one.velkfolio"))).ok());
    ASSERT_TRUE(LWDocumentIO::save(doc, url(QStringLiteral("two.velkfolio"))).ok());
    QWidget window;
    window.show();
    LWHandOver handOver(app);

    QDialog dialog(&window);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.open();
    handOver.request(path(QStringLiteral("one.velkfolio")));
    QTest::qWait(3 * LWHandOver::retryMs);
    EXPECT_EQ(app.editor(), nullptr);
    EXPECT_EQ(handOver.pending().size(), 1);
    dialog.reject();
    ASSERT_TRUE(waitFor([&] { return app.editor() != nullptr; }));
    EXPECT_EQ(app.editor()->fileURL(), url(QStringLiteral("one.velkfolio")));

    // Two requests queued behind a sheet both open, in order.
    QStringList shown;
    QObject::connect(&app, &LWApp::editorChanged, &app, [&] {
        if (app.editor() && app.editor()->fileURL())
            shown.append(app.editor()->fileURL()->fileName());
    });
    app.setSheet(LWAppSheet::exportSheet);
    handOver.request(path(QStringLiteral("two.velkfolio")));
    handOver.request(path(QStringLiteral("one.velkfolio")));
    QTest::qWait(3 * LWHandOver::retryMs);
    EXPECT_EQ(app.editor()->fileURL(), url(QStringLiteral("one.velkfolio")));
    EXPECT_TRUE(shown.isEmpty());
    app.setSheet(std::nullopt);
    EXPECT_TRUE(waitFor([&] { return shown.size() == 2; })) << shown.join(u' ').toStdString();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("two.velkfolio"), QStringLiteral("one.velkfolio")}));
    EXPECT_TRUE(handOver.pending().isEmpty());
}

TEST_F(ShellState, ClosingTheWindowAsksFirstAndQuitsOnce)
{
    struct Case {
        const char *what;
        QList<ScriptedPrompts::Step> script;
        bool closed;
    };
    const Case cases[] = {
        {"Cancel", {ScriptedPrompts::ask(LWPrompts::Answer::cancel)}, false},
        {"Save, then a cancelled save panel",
         {ScriptedPrompts::ask(LWPrompts::Answer::save), ScriptedPrompts::saveStep(std::nullopt)},
         false},
        {"Don't Save", {ScriptedPrompts::ask(LWPrompts::Answer::dontSave)}, true},
    };
    // Quit, Close Window and the window manager all reach the same question.
    const char *ways[] = {"Quit VELK Leafwrighter", "Close Window", "close()"};
    for (const char *way : ways) {
        for (const Case &c : cases) {
            LWShellWindow window(app);
            int quits = 0;
            window.setQuit([&quits] { ++quits; });
            window.show();
            QWidget help; // another window (help, about) would keep the program alive
            help.show();
            LWEditor *editor = newDirty();
            prompts->script = c.script;
            prompts->calls.clear();
            const QString title = QString::fromUtf8(way);
            if (title == QLatin1String("close()")) {
                window.close();
            } else {
                for (QAction *menuAction : window.menuBar()->actions())
                    for (QAction *action : menuAction->menu()->actions())
                        if (action->text() == title)
                            action->trigger();
            }
            EXPECT_EQ(prompts->calls.size(), c.script.size()) << way << ": " << c.what;
            EXPECT_EQ(window.isVisible(), !c.closed) << way << ": " << c.what;
            EXPECT_EQ(quits, c.closed ? 1 : 0) << way << ": " << c.what;
            EXPECT_EQ(app.editor(), editor) << way << ": " << c.what;
            app.setEditor(nullptr);
        }
    }
}

TEST_F(InstancePair, UnusableRuntimeFolderStillStartsTheProgram)
{
    QFile blocker(dir.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LWInstance instance(blocker.fileName());
    EXPECT_TRUE(instance.claim());
    EXPECT_FALSE(instance.error().isEmpty());
}
