// LWCupsBackend against a stand-in for the scheduler, handed to it in place of the libcups calls
// that reach one, so no job leaves the test.
#include "app_fixture.h"

#include "modalanswerer.h"
#include "support/picturepages.h"
#include "support/standinscheduler.h"
#include "support/testpictures.h"
#include "support/waitfor.h"

#include "app/cupsbackend.h"
#include "app/printing.h"
#include "app/sheets/printpanel.h"
#include "render/export.h"
#include "kit/controls/chromebutton.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QLabel>
#include <QTemporaryDir>
#include <QPrintEngine>
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <map>
#include <thread>

namespace {

// Where a slow scheduler (or printer) waits until the test has pressed Escape.
enum class Hold { none, create, write, finish, gone, page };

struct Spool {
    std::map<QString, QString> saved = {{"sides", "two-sided-long-edge"}, {"media", "Letter"}, {"print-quality", "5"}};
    QString refusal;
    bool printedAlready = false; // a cancel after the last piece comes too late
    Hold hold = Hold::none;
    QString printer, title;
    QByteArray file;
    bool finished = false;
    QList<int> cancelled;
    std::map<QString, QString> options;
    int unfreed = 0; // queues handed out and not yet given back to freeDests
    int connections = 0;
} spool;
std::atomic<bool> holding, released;

int wait(Hold at, int answer)
{
    if (spool.hold == at)
        holding = true;
    for (int ms = 0; spool.hold == at && !released && ms < 10000; ++ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return answer;
}

cups_dest_t *getNamedDest(http_t *, const char *name, const char *instance)
{
    if (!name || qstrcmp(name, "desk") != 0)
        return nullptr;
    ++spool.unfreed;
    auto *dest = new cups_dest_t{};
    dest->name = qstrdup(name);
    dest->instance = instance ? qstrdup(instance) : nullptr;
    for (const auto &[key, value] : spool.saved)
        dest->num_options = cupsAddOption(key.toUtf8().constData(), value.toUtf8().constData(), dest->num_options,
                                          &dest->options);
    return dest;
}

void freeDests(int count, cups_dest_t *dests)
{
    spool.unfreed -= count;
    for (int i = 0; i < count; ++i) {
        delete[] dests[i].name;
        delete[] dests[i].instance;
        cupsFreeOptions(dests[i].num_options, dests[i].options);
    }
    delete dests;
}

int createJob(http_t *, const char *name, const char *title, int count, cups_option_t *options)
{
    spool.printer = QString::fromUtf8(name);
    spool.title = QString::fromUtf8(title);
    for (int i = 0; i < count; ++i)
        spool.options[QString::fromUtf8(options[i].name)] = QString::fromUtf8(options[i].value);
    return wait(Hold::create, spool.refusal.isEmpty() ? 7 : 0);
}

const char *lastErrorString()
{
    static QByteArray text;
    text = spool.refusal.toUtf8();
    return text.constData();
}

const LWCupsCalls standIn = {
    getNamedDest, freeDests, lastErrorString,
    [](int *, int) { return ++spool.connections, reinterpret_cast<http_t *>(&spool); },
    [](http_t *) { --spool.connections; },
    createJob, [](http_t *, const char *, int, const char *) { return int(HTTP_STATUS_CONTINUE); },
    [](http_t *, const char *bytes, size_t length) {
        spool.file.append(bytes, qsizetype(length));
        return wait(Hold::write, HTTP_STATUS_CONTINUE);
    },
    [](http_t *, const char *) {
        spool.finished = true;
        return wait(Hold::finish, IPP_STATUS_OK);
    },
    [](http_t *http, const char *, int job) {
        spool.cancelled.append(job);
        return int(spool.printedAlready ? IPP_STATUS_ERROR_NOT_POSSIBLE : IPP_STATUS_OK);
    },
    nullptr, nullptr,
    [] { return int(spool.refusal.isEmpty() ? IPP_STATUS_OK : IPP_STATUS_ERROR_NOT_FOUND); },
    nullptr, [](http_t *) { return true; }};

// The stand-in calls with a cancel, or the job's making, that waits as libcups does for a "100
// Continue", without asking whether to go on: until the connection is cut while it waits.
enum class Deaf { none, cancel, create, gone }; // gone: the document's start fails, nothing refused
std::atomic<bool> cut, deafNow;
void deafWait()
{
    deafNow = holding = true;
    for (int ms = 0; !cut && ms < 10000; ++ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    deafNow = false;
}
LWCupsCalls deafTo(Deaf deaf)
{
    LWCupsCalls calls = standIn;
    if (deaf == Deaf::gone) {
        calls.startDocument = [](http_t *, const char *, int, const char *) { return int(HTTP_STATUS_ERROR); };
        calls.lastError = [] { return int(IPP_STATUS_OK); }; // still Create-Job's
        calls.lastErrorString = [] { return "successful-ok"; };
    } else if (deaf == Deaf::cancel)
        calls.cancelJob = [](http_t *, const char *, int job) {
            spool.cancelled.append(job);
            deafWait();
            return int(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
        };
    else
        calls.createJob = [](http_t *, const char *, const char *, int, cups_option_t *) {
            deafWait();
            return 0;
        };
    calls.interrupt = [](http_t *) { cut = true; }; // any wait on the connection ends from now on
    return calls;
}

// libcups' own calls, to a stand-in scheduler on `schedulerSocket`, with the stand-in's queues
// (or, `asked`, the queue libcups asks the scheduler for).
// With `unreachablePort`, to the loopback port of an UnreachableScheduler instead.
QByteArray schedulerSocket;
int unreachablePort = 0;
LWCupsCalls toScheduler(bool asked = false)
{
    LWCupsCalls calls = LWCupsCalls::library();
    if (!asked)
        calls.getNamedDest = getNamedDest, calls.freeDests = freeDests;
    calls.connect = [](int *cancel, int msec) {
        if (unreachablePort)
            return httpConnect2("127.0.0.1", unreachablePort, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, msec,
                                cancel);
        return httpConnect2(schedulerSocket.constData(), 0, nullptr, AF_LOCAL, HTTP_ENCRYPTION_NEVER, 1, msec,
                            cancel);
    };
    return calls;
}

// LWCupsBackend to the stand-in, from the fixture's PDF printer as the dialog names `printer`.
// Drawing pages, it waits after the first (Hold::page) and keeps how far it got after.
class StandInBackend final : public LWPrintBackend {
public:
    explicit StandInBackend(const QString &printer)
    {
        printers.defaults = [printer](QPrinter &p) {
            p.printEngine()->setProperty(QPrintEngine::PPK_PrinterName, printer);
        };
    }
    FakePrintBackend printers;
    LWCupsBackend cups{standIn};
    QList<double> later;
    explicit StandInBackend(const QString &printer, const LWCupsCalls &calls, LWCupsLimits limits = {})
        : StandInBackend(printer)
    {
        cups = LWCupsBackend(calls, limits);
    }
    bool rastered = false;

    std::unique_ptr<QPrinter> makePrinter() override { return printers.makePrinter(); }
    std::optional<bool> hasQueue(const QString &printer, const LWPrintSteps &steps) const override
    {
        return cups.hasQueue(printer, steps);
    }
    std::optional<QString> submit(const LWPrintJob &job, const LWPrintSteps &steps) override
    {
        LWPrintSteps held = steps;
        held.gone = [&steps] {
            steps.gone();
            wait(Hold::gone, 0);
        };
        return cups.submit(job, held);
    }
    std::optional<QString> printRaster(const QByteArray &pdf, const QList<int> &pages, QPrinter &printer,
                                       const LWPrintOptions &options, const LWPrintSteps &steps) override
    {
        rastered = true;
        bool held = false;
        LWPrintSteps slow = steps;
        slow.progress = [&](double done) {
            steps.advance(done);
            held ? later.append(done) : void(held = wait(Hold::page, true));
        };
        return cups.printRaster(pdf, pages, printer, options, slow);
    }
};

} // namespace

TEST(CupsBackend, DialogChoicesOverrideTheQueuesOptionsAndPagesKeepTheirSize)
{
    LWCupsBackend cups(standIn);
    EXPECT_EQ(cups.hasQueue(QStringLiteral("desk"), {}), true);
    EXPECT_EQ(cups.hasQueue(QStringLiteral("desk/draft"), {}), true);
    EXPECT_EQ(cups.hasQueue(QStringLiteral("hall"), {}), false);
    // The stand-in's queues go back to it, not to libcups, which did not allocate them.
    EXPECT_EQ(spool.unfreed, 0);

    const LWPrintJob job{QStringLiteral("desk/draft"), QStringLiteral("Card"), QByteArray("%PDF-1.4 card"), 2,
                         QStringLiteral("2"),
                         {{"media", "A4"}, {"print-color-mode", "monochrome"}, {"print-scaling", "fit"}}};
    EXPECT_EQ(cups.submit(job, {}), QString());
    EXPECT_EQ(spool.printer, QStringLiteral("desk"));
    EXPECT_EQ(spool.title, QStringLiteral("Card"));
    EXPECT_EQ(spool.file, job.pdf);
    EXPECT_TRUE(spool.finished);
    EXPECT_EQ(spool.options, (std::map<QString, QString>{{"sides", "two-sided-long-edge"},
                                                         {"media", "A4"},
                                                         {"print-quality", "5"},
                                                         {"print-color-mode", "monochrome"},
                                                         {"copies", "2"},
                                                         {"page-ranges", "2"},
                                                         {"print-scaling", "none"}}));

    spool.refusal = QStringLiteral("Not Found");
    EXPECT_EQ(cups.submit(job, {}), QStringLiteral("The printer refused the job: Not Found"));
    spool.refusal.clear();
    EXPECT_EQ(spool.unfreed, 0);
    EXPECT_EQ(spool.connections, 0);
}

// Escape once the scheduler has the job, or between pages drawn for a printer without a queue:
// nothing prints, and nothing is said; where the queue had printed already, the user is told.
TEST_F(AppTest, CancelWhileHandingOverPrintsNothingOrSaysWhy)
{
    const QStringList told = {"alert", "Couldn't cancel printing", "The pages had already gone to the printer."};
    const QString gone = QStringLiteral("The pages have gone to the printer.");
    const struct {
        const char *name;
        Hold hold;
        bool printedAlready, finished;
        bool heard = true; // Escape cancels: false once nothing can be stopped, and nothing is offered
    } cases[] = {
        {"while the queue makes the job", Hold::create, false, false},
        {"while the pages go over", Hold::write, false, false},
        {"while the queue takes the last piece", Hold::finish, false, true},
        {"once the queue has printed", Hold::finish, true, true},
        {"once the pages have gone", Hold::gone, false, true, false},
        {"between pages drawn", Hold::page, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        spool = {};
        spool.printedAlready = c.printedAlready, spool.hold = c.hold;
        holding = released = false;
        const bool queued = c.hold != Hold::page;
        auto cups = std::make_shared<StandInBackend>(queued ? "desk" : "hall");
        app.setPrintBackend(cups);
        openNew(LWDocument::blank(LWSizePreset::usCard, std::nullopt)); // two sides, one band each
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::printStep([](QPrinter &) { return true; })};
        if (c.printedAlready)
            prompts->script.append(ScriptedPrompts::alertStep());
        QString before, shown;
        bool offered = true;
        const ModalAnswerer escape([&](QWidget *modal) {
            if (holding && !released) {
                QCoreApplication::sendPostedEvents(); // what the hand-over said before it waited
                auto *panel = qobject_cast<LWPrintPanel *>(modal);
                before = panel->text()->text();
                offered = panel->cancelButton()->isEnabled();
                QTest::keyClick(panel, Qt::Key_Escape);
                shown = panel->text()->text();
                released = true;
            }
        });
        app.print(false);
        EXPECT_EQ(shown, c.heard ? QStringLiteral("Cancelling\u2026") : gone);
        EXPECT_EQ(before == gone, !c.heard);
        EXPECT_EQ(offered, c.heard);
        EXPECT_EQ(spool.finished, c.finished);
        EXPECT_EQ(spool.cancelled, queued && c.heard ? QList<int>{7} : QList<int>());
        EXPECT_EQ(spool.printer, queued ? QStringLiteral("desk") : QString()); // drawn pages: none sent
        EXPECT_EQ(cups->later, QList<double>()); // no page drawn after Escape
        EXPECT_EQ(spool.connections, 0);
        EXPECT_EQ(prompts->calls.constLast(), c.printedAlready ? told : prompts->calls.constFirst());
    }
}

// A stop while the pages go over, and a scheduler that misbehaves at any moment: the hand-over
// returns within a second of Escape, the job is cancelled where it was made, and what happened is
// told; pages count as gone only when the scheduler says it has them all.
TEST(CupsBackend, AStopOrALostSchedulerEndsTheUploadAndIsToldSo)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    schedulerSocket = QDir(dir.path()).filePath(QStringLiteral("scheduler")).toLocal8Bit();
    const QString lost = QStringLiteral("The connection to the printing system was lost while sending the pages.");
    const QString queued = QStringLiteral("The job may still be in the printer\u2019s queue: the printing system "
                                          "couldn\u2019t be reached to remove it.");
    const QString unconfirmed = QStringLiteral("The printing system stopped answering before it confirmed that it "
                                               "had the pages.");
    constexpr qint64 piece = 256 << 10, mib = 1 << 20;
    using Upload = StandInScheduler::Upload;
    enum class Escape { never, begun, late }; // late: 1.5 s after the hand-over began
    const struct {
        const char *name;
        std::optional<Upload> scheduler; // none: the stand-in calls
        qint64 size;
        Escape escape;
        std::optional<QString> answer;
        Deaf deaf = Deaf::none; // the stand-in calls' cancel or job's making waits until cut off
        qint64 bytes = 8 * piece; // the stand-in scheduler's
        bool cancels = true;      // the job made is cancelled
        double idle = LWCupsBackend::idleLimit;
        bool unreachable = false;
    } rows[] = {
        {"Escape between the pieces of a job", std::nullopt, 4 * piece, Escape::begun, std::nullopt},
        {"Escape while the scheduler takes nothing", Upload::stall, 4 * piece, Escape::begun, std::nullopt, Deaf::none,
         0},
        {"the scheduler dropping the connection", Upload::drop, 32 * piece, Escape::never, lost},
        {"Escape, and a cancel that waits unasked", std::nullopt, 4 * piece, Escape::begun,
         QStringLiteral("Printing was cancelled. ") + queued, Deaf::cancel},
        {"Escape while the job is made, and a wait that asks nothing", std::nullopt, 4 * piece, Escape::begun,
         std::nullopt, Deaf::create},
        {"the connection gone as the document begins", std::nullopt, 4 * piece, Escape::never, lost, Deaf::gone},
        {"Escape, the scheduler mute once the job is made", Upload::muteLater, 8 * mib, Escape::begun,
         QStringLiteral("Printing was cancelled. ") + queued, Deaf::none, 0, false},
        {"Escape, the scheduler no longer reading nor taking connections", Upload::deaf, 64 * mib, Escape::begun,
         QStringLiteral("Printing was cancelled. ") + queued, Deaf::none, mib, false},
        {"Escape, the scheduler never reached", Upload::stall, piece, Escape::late, std::nullopt, Deaf::none, 0,
         false, LWCupsBackend::idleLimit, true},
        {"the end never read", Upload::stall, 8 * mib, Escape::never,
         QStringLiteral("The printing system stopped answering while the pages were being sent."), Deaf::none,
         8 * mib - mib / 10, true, 1},
        {"the end read and never answered", Upload::silentEnd, 8 * mib, Escape::never, unconfirmed, Deaf::none, 0,
         true, 1},
        {"the end read and the connection closed", Upload::closeAtEnd, 8 * mib, Escape::never,
         QStringLiteral("The connection to the printing system was lost before it confirmed that it had the pages."),
         Deaf::none, 0, true, 1},
        {"a refusal mid-way", Upload::refuse, 8 * mib, Escape::never,
         QStringLiteral("The printer refused the job: Request Entity Too Large"), Deaf::none, mib},
        {"a slow scheduler, taking all", Upload::slow, mib, Escape::never, QString(), Deaf::none, 256 << 10, false,
         0.5},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        spool = {};
        holding = released = cut = false;
        spool.hold = row.scheduler ? Hold::none : Hold::write;
        std::optional<StandInScheduler> scheduler;
        std::optional<UnreachableScheduler> unreachable;
        if (row.unreachable) {
            unreachable.emplace();
            ASSERT_NE(unreachable->port(), 0);
        }
        unreachablePort = row.unreachable ? unreachable->port() : 0;
        if (row.scheduler) {
            scheduler.emplace(QString::fromLocal8Bit(schedulerSocket), *row.scheduler, row.bytes);
            ASSERT_TRUE(scheduler->listening());
        }
        LWCupsBackend cups(row.scheduler ? toScheduler() : row.deaf != Deaf::none ? deafTo(row.deaf) : standIn,
                           {row.idle});
        const LWPrintJob job{QStringLiteral("desk"), QStringLiteral("Poster"), QByteArray(row.size, 'x'), 1, {}, {}};
        std::atomic<bool> stop{false};
        LWPrintSteps steps;
        steps.stop = &stop;
        std::atomic<bool> ended{false};
        std::optional<QString> answer;
        QElapsedTimer clock, sinceEscape;
        clock.start();
        std::thread handing([&] {
            answer = cups.submit(job, steps);
            ended = true;
        });
        // Escape once the document has begun to arrive (the stand-in calls: at their first piece),
        // where it stops reading once it did, or at a moment.
        const auto due = [&] {
            if (row.escape == Escape::late)
                return clock.elapsed() >= 1500;
            if (holding)
                return true;
            return scheduler && scheduler->documentBegun() && scheduler->documentBytes() >= row.bytes;
        };
        for (; row.escape != Escape::never && !stop && !ended && clock.elapsed() < 10000;
             std::this_thread::sleep_for(std::chrono::milliseconds(1)))
            if (due()) {
                sinceEscape.start();
                stop = released = true;
            }
        EXPECT_TRUE(waitFor([&] { return ended.load(); }, 15000)) << "the hand-over did not end";
        if (row.escape != Escape::never) {
            EXPECT_TRUE(stop) << "Escape never came";
            EXPECT_LT(sinceEscape.elapsed(), 1000) << "the hand-over went on after Escape";
        }
        const QList<int> cancelled = scheduler ? scheduler->cancelled() : spool.cancelled;
        const bool whole = scheduler && scheduler->documentEnded();
        scheduler.reset(); // its connections gone, anything still waiting on them ends
        handing.join();
        const QString stopped = QStringLiteral("(stopped, nothing said)");
        EXPECT_EQ(answer.value_or(stopped).toStdString(), row.answer.value_or(stopped).toStdString());
        const bool made = row.deaf != Deaf::create && !row.unreachable;
        if (!row.scheduler) {
            EXPECT_EQ(spool.file.size(), made && row.deaf != Deaf::gone ? piece : 0); // nothing after the piece on its way
        }
        if (row.scheduler == Upload::slow) {
            EXPECT_TRUE(whole) << "the document's end never reached the scheduler";
        }
        EXPECT_EQ(cancelled, made && row.cancels ? QList<int>{7} : QList<int>());
        EXPECT_TRUE(LWPrinting::Unfinished::waitForAll(std::chrono::seconds(5))) << "a call left behind goes on";
    }
    unreachablePort = 0;
}

// Printing to a scheduler that stops reading the pages: Escape, the panel's window going and Quit
// each give the window back, nothing is said, and the job is cancelled before the program ends.
// One that answers nothing from the start: Escape while the queue is looked up, no job made.
TEST_F(AppTest, AStalledSchedulerGivesTheWindowBackOnEscapeCloseAndQuit)
{
    schedulerSocket = QDir(dir.path()).filePath(QStringLiteral("scheduler")).toLocal8Bit();
    enum class Act { escape, closeWindow, quit, none };
    using Upload = StandInScheduler::Upload;
    const struct {
        const char *name;
        Act act;
        Upload upload = Upload::stall;
        double idle = LWCupsBackend::idleLimit;
    } rows[] = {{"Escape", Act::escape},
                {"the panel's window closed", Act::closeWindow},
                {"Quit", Act::quit},
                {"Escape, the scheduler answering nothing", Act::escape, Upload::mute},
                {"no key, the scheduler answering nothing", Act::none, Upload::mute, 1}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        spool = {};
        StandInScheduler scheduler(QString::fromLocal8Bit(schedulerSocket), row.upload);
        ASSERT_TRUE(scheduler.listening());
        const auto backend =
            std::make_shared<StandInBackend>("desk", toScheduler(row.upload == Upload::mute), LWCupsLimits{row.idle});
        app.setPrintBackend(backend);
        // A page of a few MiB: more than the connection holds.
        openNew(LWPicturePages::grid({LWTestPictures::encode(LWTestPictures::noise(1200, 1200), "png")}, 1, 1));
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::printStep([](QPrinter &) { return true; }), ScriptedPrompts::alertStep()};
        bool acted = row.act == Act::none;
        QElapsedTimer sinceAct;
        sinceAct.start();
        const ModalAnswerer user([&](QWidget *panel) {
            if (acted || !scheduler.documentBegun())
                return;
            acted = true;
            sinceAct.start();
            if (row.act == Act::escape)
                QTest::keyClick(panel, Qt::Key_Escape);
            else if (row.act == Act::closeWindow)
                delete panel;
            else
                QCoreApplication::exit(0); // what Quit comes to: every event loop ends
        });
        app.print(false);
        EXPECT_TRUE(acted);
        EXPECT_FALSE(backend->rastered) << "pages were drawn for a scheduler that answered nothing";
        if (row.act == Act::none) {
            // Told at once after the look-up, the job's making and the pages left alone.
            EXPECT_EQ(prompts->calls.constLast().join(u" | ").toStdString(),
                      "alert | Couldn't print the design | The printing system stopped answering before the job was "
                      "made; nothing was sent.");
            continue;
        }
        EXPECT_LT(sinceAct.elapsed(), 1000) << "the window came back late";
        EXPECT_TRUE(LWPrintPanel::waitForHandOvers(std::chrono::seconds(5))) << "the hand-over did not end";
        EXPECT_EQ(scheduler.cancelled(), row.upload == Upload::mute ? QList<int>() : QList<int>{7});
        EXPECT_EQ(prompts->calls.size(), 1) << "said: " << prompts->calls.constLast().join(u" | ").toStdString();
        if (row.act == Act::quit) {
            // The application's own loop ends too; it runs here once, so that later loops run again.
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            EXPECT_EQ(QCoreApplication::exec(), 0);
        }
    }
}

// Look-ups cancelled while the scheduler is never reached or answers nothing: each returns at
// once, and none leaves a thread or a connection behind for long.
TEST(CupsBackend, CancelledLookUpsLeaveNothingBehind)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    schedulerSocket = QDir(dir.path()).filePath(QStringLiteral("scheduler")).toLocal8Bit();
    const auto count = [](const char *folder) { return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(); };
    for (const bool reached : {false, true}) {
        SCOPED_TRACE(reached ? "a scheduler answering nothing" : "a scheduler never reached");
        std::optional<UnreachableScheduler> unreachable;
        std::optional<StandInScheduler> mute;
        if (reached)
            mute.emplace(QString::fromLocal8Bit(schedulerSocket), StandInScheduler::Upload::mute);
        else
            unreachable.emplace();
        // libcups' default connection goes to the same scheduler: a look-up over it would not end.
        const QByteArray server = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", reached ? schedulerSocket : QByteArray("127.0.0.1:") + QByteArray::number(unreachable->port()));
        const auto restoring = qScopeGuard([&server] {
            server.isNull() ? qunsetenv("CUPS_SERVER") : qputenv("CUPS_SERVER", server);
        });
        unreachablePort = reached ? 0 : unreachable->port();
        const qsizetype threads = count("/proc/self/task"), files = count("/proc/self/fd");
        const LWCupsBackend cups(toScheduler(true));
        for (int i = 0; i < 10; ++i) {
            std::atomic<bool> stop{false};
            LWPrintSteps steps;
            steps.stop = &stop;
            std::thread escape([&stop] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                stop = true;
            });
            EXPECT_EQ(cups.hasQueue(QStringLiteral("desk"), steps), std::nullopt);
            escape.join();
        }
        EXPECT_TRUE(waitFor([&] { return count("/proc/self/task") <= threads; }, 2000))
            << count("/proc/self/task") - threads << " threads left";
        mute.reset(); // the stand-in's own ends of the connections
        EXPECT_LE(count("/proc/self/fd"), files) << "connections left";
    }
    unreachablePort = 0;
}

// Whether the printing system answers, asked before the print dialog: one not running lets the
// dialog open at once; one that takes the connection and says nothing, or is never reached, is told.
TEST(CupsBackend, AnswersTellsASchedulerThatSaysNothing)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    schedulerSocket = QDir(dir.path()).filePath(QStringLiteral("scheduler")).toLocal8Bit();
    const QString mute = QStringLiteral("The printing system isn't answering.");
    enum class Scheduler { none, answering, mute, unreachable };
    const struct {
        const char *name;
        Scheduler scheduler;
        QString answer;
    } rows[] = {{"none running", Scheduler::none, QString()},
                {"one answering", Scheduler::answering, QString()},
                {"one taking the connection and saying nothing", Scheduler::mute, mute},
                {"one never reached", Scheduler::unreachable, mute}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<StandInScheduler> scheduler;
        std::optional<UnreachableScheduler> unreachable;
        if (row.scheduler == Scheduler::answering || row.scheduler == Scheduler::mute)
            scheduler.emplace(QString::fromLocal8Bit(schedulerSocket), row.scheduler == Scheduler::mute
                                                                           ? StandInScheduler::Upload::mute
                                                                           : StandInScheduler::Upload::stall);
        if (row.scheduler == Scheduler::unreachable)
            unreachable.emplace();
        unreachablePort = unreachable ? unreachable->port() : 0;
        LWCupsBackend cups(toScheduler(true), {LWCupsBackend::idleLimit, LWCupsBackend::cancelLimit, 0.5});
        EXPECT_EQ(cups.answers({}).value_or("(stopped)").toStdString(), row.answer.toStdString());
    }
    unreachablePort = 0;
}

// pdfium busy for as long as the test wants: a document loaded from here holds Qt PDF's one lock
// (every pdfium call waits for it) while it reads, and its first read waits for `free`.
class PdfiumHeld final : public QIODevice {
public:
    explicit PdfiumHeld(QByteArray pdf) : pdf_(std::move(pdf)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return false; }
    qint64 size() const override { return pdf_.size(); }
    std::atomic<bool> held{false}, free{false};

protected:
    qint64 readData(char *data, qint64 most) override
    {
        held = true;
        for (int ms = 0; !free && ms < 10000; ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const qint64 n = std::clamp<qint64>(pdf_.size() - pos(), 0, most);
        std::memcpy(data, pdf_.constData() + pos(), size_t(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray pdf_;
};

// A printer without a queue, its pages drawn and not sent whole: the temporary folder full (here:
// no file may grow past 64 KiB), which is said with its reason; Escape while pdfium draws a band
// (held busy from the second page on), heard at once, the band left to end by itself. No job.
TEST(CupsBackend, APrintFileNotDrawnOrWrittenWholeIsNeverSent)
{
    const std::optional<QByteArray> pdf =
        LWExport::pdfData(LWPicturePages::grid({LWTestPictures::encode(LWTestPictures::noise(600, 600), "png")}, 1, 1),
                          {0}, false);
    ASSERT_TRUE(pdf);
    const struct {
        const char *name;
        bool full, busy;
        std::optional<QString> answer;
    } rows[] = {
        {"the temporary folder full", true, false,
         "The print file couldn't be written: " + QString::fromLocal8Bit(strerror(EFBIG))},
        {"Escape while a band is drawn", false, true, std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        spool = {};
        LWCupsBackend cups(standIn);
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(QStringLiteral("hall"));
        printer.setResolution(150);
        std::atomic<bool> stop{false}, ended{false};
        LWPrintSteps steps;
        steps.stop = &stop;
        PdfiumHeld busy(*pdf);
        std::thread holder;
        if (row.busy)
            steps.progress = [&](double) { // the first page drawn: pdfium is held before the next
                if (!holder.joinable()) {
                    holder = std::thread([&busy] { QPdfDocument().load(&busy); });
                    while (!busy.held)
                        std::this_thread::yield();
                    EXPECT_TRUE(LWPrinting::Unfinished::waitForAll(std::chrono::seconds(10))); // the first band's
                }
            };
        rlimit before{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit full = before;
        full.rlim_cur = 64 << 10;
        const auto signal = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, row.full ? &full : &before), 0);
        std::optional<QString> answer;
        std::thread drawing([&] {
            answer = cups.printRaster(*pdf, {0, 0}, printer, {}, steps);
            ended = true;
        });
        if (row.busy) {
            // Escape once the second page's band waits for pdfium, and the answer while it still does.
            EXPECT_TRUE(waitFor([&] { return busy.held && !LWPrinting::Unfinished::waitForAll({}); }, 10000));
            stop = true;
            EXPECT_TRUE(waitFor([&] { return ended.load(); }, 10000));
            busy.free = true;
        }
        drawing.join();
        if (holder.joinable())
            holder.join();
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, signal);
        EXPECT_EQ(answer.has_value(), row.answer.has_value());
        EXPECT_EQ(answer.value_or(QString()).toStdString(), row.answer.value_or(QString()).toStdString());
        EXPECT_EQ(spool.printer, QString()); // no job
        EXPECT_EQ(spool.file.size(), 0); // nothing sent
        EXPECT_TRUE(LWPrinting::Unfinished::waitForAll(std::chrono::seconds(10))); // the band left behind ended
    }
}
