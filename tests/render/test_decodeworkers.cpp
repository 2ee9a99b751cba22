// Pictures decode in worker processes: a decoder that crashes, loops or allocates without end,
// and a worker that answers against the protocol, cost only their picture (the placeholder)
// while the export completes and the next picture decodes; the worker reads nothing it is not
// handed. The misbehaving worker is a test program (lw-misbehaving-decoder) of the same loop.
#include "decodeworkersfixture.h"

#include "render/worker/decodeprotocol.h"

#include <QElapsedTimer>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace LWWorkerRows;

TEST_F(DecodeWorkers, AWorkerThatCannotStartIsNamedOrLeavesThePictureToTheNextTry)
{
    // The worker missing or not executable: the export draws placeholders and names the program's
    // picture decoder, once, as does the print check; put back where it was, the same pictures
    // draw at once (nothing was remembered). So does one asleep before its hello; a worker of the
    // program before, slow to say hello, leaves the trouble found with this one as it was. No
    // descriptor left for its channel: the picture couldn't be drawn this time; restored, an
    // export draws it (the page view waits a while).
    const QString worker = dir.filePath(QStringLiteral("worker"));
    const QString good = misbehavingDecoder();
    const auto executable = [&](bool can) {
        return QFile::setPermissions(worker, QFile::ReadOwner | QFile::WriteOwner | (can ? QFile::ExeOwner : QFile::Permissions()));
    };
    const QString missing = QStringLiteral("VELK Leafwrighter's picture decoder is missing or can't start, so ");
    const QString told = missing + QStringLiteral("placeholders are in the place of \"Harbour\" and \"Quay\". "
                                                  "Reinstall VELK Leafwrighter to mend it.");
    const QString checked = missing + QStringLiteral("pictures would print as placeholders. Reinstall VELK Leafwrighter to mend it.");
    const QByteArray helloAfter = QFile::encodeName(dir.filePath(QStringLiteral("hello")));
    std::optional<std::thread> before; // a decode waiting for a worker of the program before
    const auto slowToSayHello = [&] {
        // With one core a worker's is the only place: the export would wait for it to say hello.
        if (LWParallel::workers() < 2)
            return true;
        qputenv("LW_TEST_HELLO_AFTER", helloAfter);
        LWDecodeWorkers::setForTests(good, 0, 0, 600000);
        before.emplace([] { (void)LWPictureDecoder::check(encode(plain(64, 64, Qt::gray), "png"), {}); });
        const QDeadlineTimer started(30000);
        while (LWDecodeWorkers::stats().running == 0 && !started.hasExpired())
            std::this_thread::yield();
        return LWDecodeWorkers::stats().running > 0;
    };
    const auto saysHelloNow = [&] {
        QFile(QFile::decodeName(helloAfter)).open(QIODevice::WriteOnly);
        if (before)
            before->join();
        qunsetenv("LW_TEST_HELLO_AFTER");
        return LWDecodeWorkers::trouble() == LWPictureDecoder::Failure::decoderMissing;
    };
    const struct {
        const char *way;
        std::function<bool()> breakIt, mendIt;
        LWPictureTally::Why why;
        QString told, checked;
        int helloMs = 0;
    } rows[] = {
        {"missing", [] { return true; }, [&] { return QFile::copy(good, worker) && executable(true); },
         LWPictureTally::Why::decoderMissing, told, checked},
        {"asleep before its hello",
         [&] { return qputenv("LW_TEST_HELLO_AFTER", "/nonexistent") && QFile::copy(good, worker); },
         [&] {
             return qunsetenv("LW_TEST_HELLO_AFTER") && QFile::remove(worker) && QFile::copy(good, worker);
         },
         LWPictureTally::Why::decoderMissing, told, checked, 1000},
        {"missing, a worker of the program before slow to say hello", slowToSayHello,
         [&] { return saysHelloNow() && QFile::copy(good, worker) && executable(true); },
         LWPictureTally::Why::decoderMissing, told, checked},
        {"not executable", [&] { return QFile::copy(good, worker) && executable(false); }, [&] { return executable(true); },
         LWPictureTally::Why::decoderMissing, told, checked},
        {"descriptors", [] { return true; }, [] { return LWDecodeWorkers::setForTests({}, 0, 0), true; }, LWPictureTally::Why::notNow,
         QStringLiteral("Picture \"Harbour\" couldn't be drawn this time"), QStringLiteral("Picture \"Harbour\" couldn't be checked just now")},
    };
    int hue = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.way);
        QFile::remove(worker);
        ASSERT_TRUE(row.breakIt());
        const QColor colour = QColor::fromHsv(hue += 35, 255, 200);
        LWDocument doc = alone(encode(plain(64, 64, colour), "png"));
        LWElement second = LWElement::makePhoto({150, 10, 80, 80});
        second.name = QStringLiteral("Quay");
        second.image->data = encode(plain(64, 64, QColor::fromHsv(hue += 35, 255, 200)), "png");
        doc.pages[0].elements.append(second);
        const QString png = dir.filePath(QStringLiteral("card.png"));
        QList<LWPictureTally::Undrawn> undrawn;
        LWExport::RasterWriteHooks hooks;
        hooks.undrawn = &undrawn;
        const bool notNow = row.why == LWPictureTally::Why::notNow;
        LWDecodeWorkers::setForTests(notNow ? QString() : worker, 0, 0, row.helloMs);
        std::optional<DescriptorsTaken> taken;
        if (notNow)
            taken.emplace(2); // the file written and the picture's bytes, no channel
        EXPECT_EQ(LWExport::writeRaster(doc, 0, 72, false, LWExport::RasterType::png, 0.92, png, hooks), QString());
        const QList<LWExport::Issue> issues = LWExport::preflight(doc);
        taken.reset();
        ASSERT_EQ(undrawn.size(), 2);
        EXPECT_EQ(undrawn[0].why, row.why);
        EXPECT_TRUE(LWPictureTally::describe(undrawn).startsWith(row.told)) << LWPictureTally::describe(undrawn).toStdString();
        // The print check does not call them ready either; the decoder is named once.
        const auto saying = [&](const QString &text) {
            return std::count_if(issues.cbegin(), issues.cend(), [&](const LWExport::Issue &i) { return i.message.startsWith(text); });
        };
        EXPECT_EQ(saying(row.checked), 1);
        EXPECT_EQ(saying(QStringLiteral("Picture \"Quay\" couldn't")), notNow ? 1 : 0);
        // Put back, the view draws at once; after a passing fault it does not wait at every repaint.
        ASSERT_TRUE(row.mendIt());
        if (!notNow) // the mended worker given the usual while to say hello: a loaded machine's
            LWDecodeWorkers::setForTests(worker, 0, 0);
        EXPECT_NE(bool(LWImageCache::image(doc.pages[0].elements[0].image.value(), true)), notNow);
        undrawn.clear();
        EXPECT_EQ(LWExport::writeRaster(doc, 0, 72, false, LWExport::RasterType::png, 0.92, png, hooks), QString());
        EXPECT_TRUE(undrawn.isEmpty());
        EXPECT_EQ(QImage(png).pixel(badSpot.center()), colour.rgb());
    }
}

TEST_F(DecodeWorkers, APictureLeftOutOfItsFirstRowsIsNamedThoughTheRowsAfterDrawIt)
{
    // A card-filling picture the budget holds only a few rows at a time, decoded for each run of
    // rows, checked while a worker could start: then none can for the first run, one can from the
    // second band on. The picture is missing from the top of the file, there below, and named as
    // drawn this time only.
    const qint64 old = LWDecodeBudget::setLimit(qint64(6) << 20);
    const auto restore = qScopeGuard([old] { LWDecodeBudget::setLimit(old); });
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    LWElement photo = LWElement::makePhoto({0, 0, doc.width, doc.height});
    photo.name = QStringLiteral("Harbour");
    photo.image->data = encode(plain(1200, 800, Qt::darkCyan), "png");
    doc.pages[0].elements = {photo};
    ASSERT_TRUE(LWExport::preflight(doc).isEmpty());
    LWDecodeWorkers::setForTests(dir.filePath(QStringLiteral("no-such-worker")), 0, 0);
    QList<LWPictureTally::Undrawn> undrawn;
    LWExport::RasterWriteHooks hooks;
    hooks.undrawn = &undrawn;
    hooks.progressed = [](int done, int) { done == 1 ? LWDecodeWorkers::setForTests({}, 0, 0) : void(); };
    const QString png = dir.filePath(QStringLiteral("rows.png"));
    ASSERT_EQ(LWExport::writeRaster(doc, 0, 300, false, LWExport::RasterType::png, 0.92, png, hooks), QString());
    const QImage written(png);
    ASSERT_EQ(written.size(), QSize(1050, 600));
    EXPECT_NE(written.pixel(525, 4), QColor(Qt::darkCyan).rgb());
    EXPECT_EQ(written.pixel(525, 590), QColor(Qt::darkCyan).rgb());
    ASSERT_EQ(undrawn.size(), 1);
    EXPECT_EQ(undrawn[0].name, QStringLiteral("Harbour"));
    EXPECT_EQ(undrawn[0].why, LWPictureTally::Why::notNow);
}

TEST_F(DecodeWorkers, AWorkerIsBlamedForWhatItDidNotForHowFastTheMachineWas)
{
    // Each row: the worker's words, its CPU seconds and wall clock, what the export says, the
    // workers it starts, those alive after it at most and those ended for holding more than at
    // their hello, and those the next export starts. Past its CPU time (a loop, also with its own timer
    // stopped, or a header read, asked once) the picture is the picture's fault, remembered; so are one
    // asleep past the wall clock (a decode or header read, also after spinning past half its CPU
    // time) and one asking for threads in a loop, after a second go in a fresh worker, each ask
    // refused at once; one that keeps every memfd filled, or shared memory, or seals its answer
    // against being freed, is ended, not reused. An allocation without end meets the data limit even with a
    // minute of CPU, also after the worker tried to raise it, and again with ample room. A
    // decoder starved of a CPU by a loaded machine is the machine's, tried again next time, also
    // one that would sleep after spinning, or sleeps at three times its wall clock after waiting
    // for a CPU beside busy loops; so is one with a thread in uninterruptible sleep (paging). One
    // busy only around the moments a watch once looked at it is blamed; a real decode beside busy
    // loops on its CPU never is (drawn, or on a machine loaded more, not drawn this time), also one
    // done in a thread started and joined for each tile, whose waits end with the thread; nor is
    // one that waits for the program's answers to its thread asks, also 50,000 of them on one CPU
    // it shares with the watcher and busy loops (each answer waits for the watcher's turn there,
    // in all longer than its own CPU time), nor one starved from the start whose wall clock runs
    // out before its waits were sampled. One that never answers, asking for a thread that ends at
    // once every 0.02 to 2 ms (also with its timer stopped), is blamed, also
    // on one CPU it shares with the watcher: only the program's answers are the program's time, and
    // a wait the watcher's own looks caused is not the machine's; so is one busy only about the
    // moments a watch sampling every 20 ms would look.
    using Why = LWPictureTally::Why;
    enum class Load { none, starved, busyLoops, oneCpu, oneCpuBusyLoops };
    struct Row {
        const char *words;
        int cpuSeconds, wallMs;
        Why why;
        int started, kept, endedHolding, startedNextTime;
        Load load = Load::none;
        const char *env = nullptr; // set for the workers the row starts
    };
    const Why drawnOrNotNow = Why(-1);
    std::vector<Row> rows = {{"loop", 1, 60000, Why::unreadable, 1, 0, 0, 0},
                             {"untimed", 1, 60000, Why::unreadable, 1, 0, 0, 0},
                             {"stubborn", 1, 60000, Why::unreadable, 1, 0, 0, 0},
                             {"headerloop", 1, 60000, Why::unreadable, 1, 0, 0, 0},
                             {"sleep 600000", 60, 1000, Why::unreadable, 2, 0, 0, 0},
                             {"headersleep 600000", 60, 1000, Why::unreadable, 2, 0, 0, 0},
                             {"threadloop", 60, 60000, Why::unreadable, 2, 0, 0, 0},
                             {"spinsleep 600", 1, 4000, Why::unreadable, 2, 0, 0, 0},
                             {"headerspinsleep 1100", 60, 6000, Why::unreadable, 2, 0, 0, 0},
                             {"slow", 60, 1000, Why::notNow, 0, 0, 0, 1, Load::starved},
                             {"spinsleep 600", 1, 1000, Why::notNow, 0, 0, 0, 2, Load::starved},
                             {"dodge 4000", 60, 4000, Why::unreadable, 2, 0, 0, 0},
                             {"sampledodge 20", 60, 1000, Why::unreadable, 2, 0, 0, 0},
                             {"rhythm 20 untimed", 1, 1000, Why::unreadable, 2, 0, 0, 0, Load::oneCpu},
                             {"rhythm 100 untimed", 1, 1000, Why::unreadable, 2, 0, 0, 0, Load::oneCpu},
                             {"rhythm 300", 1, 1000, Why::unreadable, 2, 0, 0, 0, Load::oneCpu},
                             {"rhythm 2000 untimed", 1, 1000, Why::unreadable, 2, 0, 0, 0, Load::oneCpu},
                             {"slow", 60, 5, Why::notNow, 0, 0, 0, 1, Load::starved},
                             {"slow", 60, wallMs, drawnOrNotNow, 0, 1, 0, -1, Load::busyLoops},
                             {"spinsleep 720", 60, 1000, Why::notNow, 0, 0, 0, 2, Load::busyLoops},
                             {"tilework 400", 60, 1000, drawnOrNotNow, 0, 1, 0, -1, Load::busyLoops},
                             {"tiles", 60, LWSanitizers::address ? 1200 : 300, drawnOrNotNow, 1, 1, 0, -1},
                             // Judged over seconds: the sampled waits of its ended threads even out.
                             {"tiles 50000", 60, 1200, drawnOrNotNow, 0, 1, 0, -1, Load::oneCpuBusyLoops},
                             {"sleep 600000", 60, 1000, Why::notNow, 1, 0, 0, 1, Load::none, "LW_TEST_DISK"}};
    if (!LWSanitizers::address) { // no data limit there; a worker cannot raise its own
        rows.push_back({"allocate", 60, 60000, Why::tooLarge, 2, 1, 1, 0}); // the first go's worker kept
        rows.push_back({"raise", 60, 60000, Why::tooLarge, 2, 1, 1, 0});
        rows.push_back({"hoard", 60, 60000, Why::tooLarge, 2, 0, 2, 0});
        rows.push_back({"keepshared", 60, 60000, Why::unreadable, 2, 0, 2, 0});
        rows.push_back({"sealshrink", 60, 60000, Why::unreadable, 2, 0, 0, 0});
    }
    const QString program = misbehavingDecoder();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.words);
        LWDecodeWorkers::setForTests(program, row.cpuSeconds, row.wallMs);
        if (row.env)
            qputenv(row.env, "1");
        const QByteArray bytes = asking(row.words);
        std::optional<StarvedWorkers> starved;
        // Loaded only by the machine (on one CPU, it shares it with the watcher alone).
        const bool unloaded = row.load == Load::none || row.load == Load::oneCpu;
        std::optional<OneCpu> oneCpu;
        if (row.load == Load::oneCpu || row.load == Load::oneCpuBusyLoops)
            oneCpu.emplace();
        if (!unloaded) // its header read by a worker, then kept from a CPU (the watcher's too, on one CPU)
            (void)LWPictureDecoder::check(bytes, {}), starved.emplace(row.load == Load::starved, 3);
        const LWDecodeWorkers::Stats before = LWDecodeWorkers::stats();
        std::optional<WorkersKeptWaiting> kept(std::in_place, program);
        const auto got = exportedAlone(bytes);
        starved.reset();
        // Kept from a CPU for a third of the time by a loaded machine (not by the row's busy
        // loops), a worker blamed on a quiet one may honestly be starved instead: not drawn this
        // time, and tried again next time; one drawn there may take a second go in a fresh worker
        // (a single go's verdict can be the machine's, so one go never blames a picture).
        const bool loaded = unloaded && kept->share() > 1.0 / 3;
        kept.reset();
        const LWDecodeWorkers::Stats after = LWDecodeWorkers::stats();
        if (loaded && row.why == drawnOrNotNow) {
            EXPECT_LE(after.started - before.started, row.started + 1);
        } else if (!loaded || row.why != Why::unreadable) {
            EXPECT_EQ(after.started - before.started, row.started);
        }
        EXPECT_LE(after.running, row.kept);
        EXPECT_EQ(after.endedHolding - before.endedHolding, row.endedHolding);
        EXPECT_LE(after.refusedThreads - before.refusedThreads, 2 * (LWWorkerWatch::mostRefusals + 1));
        if (row.why == drawnOrNotNow) {
            EXPECT_TRUE(got.second.isEmpty() || got.second[0].why == Why::notNow);
            EXPECT_EQ(LWImageCache::remembered(*alone(bytes).pages[0].elements[0].image), std::nullopt);
            continue;
        }
        ASSERT_EQ(got.second.size(), 1);
        const bool starvedInstead = loaded && row.why == Why::unreadable && got.second[0].why == Why::notNow;
        EXPECT_EQ(got.second[0].why, starvedInstead ? Why::notNow : row.why);
        const int again = LWDecodeWorkers::stats().started;
        (void)exportedAlone(bytes);
        if (row.env)
            qunsetenv(row.env);
        // A machine's passing want is tried again next time, blamed there only on a quieter machine.
        const int next = LWDecodeWorkers::stats().started - again;
        if (unloaded && !starvedInstead)
            EXPECT_EQ(next, row.startedNextTime);
        else
            EXPECT_GE(next, 1) << "tried again next time";
    }
}

// The program's file replaced while it runs (updated by the system): its workers still start from
// its folder. This test program runs itself again from a copy with the worker beside it, whose
// file is replaced before the copy decodes.
TEST(DecodeWorkersOfAReplacedProgram, StillStartBesideIt)
{
    const QString go = qEnvironmentVariable("LW_TEST_REPLACED_GO");
    const LWPictureDecoder::Request whole;
    if (!go.isEmpty()) { // the copy
        const QDeadlineTimer patience(120000);
        while (!QFile::exists(go) && !patience.hasExpired())
            QThread::msleep(10);
        const LWPictureDecoder::Result r = LWPictureDecoder::decode(encode(plain(64, 64, Qt::darkCyan), "png"), whole);
        ASSERT_TRUE(r.image) << int(r.failure);
        return;
    }
    QTemporaryDir copies;
    ASSERT_TRUE(copies.isValid());
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString copy = copies.filePath(QStringLiteral("lw_tests_copy"));
    ASSERT_TRUE(QFile::copy(self, copy));
    ASSERT_TRUE(QFile::copy(QFileInfo(self).absolutePath() + QStringLiteral("/leafwrighter-decode"),
                            copies.filePath(QStringLiteral("leafwrighter-decode"))));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LW_TEST_REPLACED_GO"), copies.filePath(QStringLiteral("go")));
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    run.start(copy, {QStringLiteral("--gtest_filter=DecodeWorkersOfAReplacedProgram.*")});
    ASSERT_TRUE(run.waitForStarted(60000));
    // Replaced as a package update does: a new file put in the old one's place.
    ASSERT_TRUE(QFile::remove(copy) && QFile::copy(self, copy));
    QFile(copies.filePath(QStringLiteral("go"))).open(QIODevice::WriteOnly);
    ASSERT_TRUE(run.waitForFinished(180000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0);
}

TEST_F(DecodeWorkers, DecoderThatCrashesLoopsOrAllocatesCostsOnlyItsPicture)
{
    QList<QByteArray> cases = {"crash", "throw", "loop", "silent", "hangup"};
    // Under AddressSanitizer the worker has no memory limit: allocating without end would take
    // the machine's memory.
    if (!LWSanitizers::address)
        cases << "allocate" << "raise";
    expectEachCostsOnlyItsPicture(cases);
}

TEST_F(DecodeWorkers, AnswersAgainstTheProtocolAreRefused)
{
    // Also answers other than what was asked: 4000 x 4000 or 32 x 32 pixels for a 64 x 64 picture, a
    // format no decode hands over, a memfd of one page for 64 x 64 pixels (no SIGBUS) or of 64 MB.
    // None is mapped.
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    expectEachCostsOnlyItsPicture({"garbage", "short", "magic", "failure", "lengths", "stride", "unsealed", "nofd",
                                   "twofds", "silent", "hangup", "bigger", "smaller", "format", "smallfd", "bigfd"});
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    if (!LWSanitizers::address) {
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 << 10); // KB: less than one answer of 64 MB
    }
}

TEST_F(DecodeWorkers, WorkerWithoutItsSandboxDecodesNothingAndSaysSo)
{
    // As on a kernel that refuses the filter: no picture is decoded, the log says why, and the
    // export and the print check say so once, as the system's fault, not the picture's; once a
    // worker that shuts itself in runs, the same picture draws.
    QTemporaryFile log;
    ASSERT_TRUE(log.open());
    const int stderrWas = ::dup(2);
    ::dup2(log.handle(), 2);
    qputenv("LW_TEST_NO_FILTER", "1");
    SetUp(); // workers started from now on have no filter
    const QByteArray bytes = encode(plain(64, 64, Qt::darkYellow), "png");
    const auto [image, undrawn] = exportedAlone(bytes);
    const QList<LWExport::Issue> issues = LWExport::preflight(alone(bytes));
    qunsetenv("LW_TEST_NO_FILTER");
    ::dup2(stderrWas, 2);
    ::close(stderrWas);
    EXPECT_NE(image.pixel(badSpot.center()), QColor(Qt::darkYellow).rgb());
    const QString unsafe = QStringLiteral("Pictures can't be shown safely on this system: VELK Leafwrighter's picture "
                                          "decoder can't shut itself off from your files, so ");
    EXPECT_EQ(LWPictureTally::describe(undrawn), unsafe + QStringLiteral("a placeholder is in the place of \"Harbour\"."));
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].message, unsafe + QStringLiteral("pictures would print as placeholders."));
    QFile written(log.fileName());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("sandbox could not be set up"));
    SetUp(); // a worker that shuts itself in
    const auto again = exportedAlone(bytes);
    EXPECT_EQ(again.first.pixel(badSpot.center()), QColor(Qt::darkYellow).rgb());
    EXPECT_TRUE(again.second.isEmpty());
}

TEST_F(DecodeWorkers, MachineShortOfMemoryFailsTheExportWithoutMarkingThePicture)
{
    // A worker the system kills (twice, so the second try fails too) or one with no room for its
    // answer: the export (PNG and PDF) says there is not enough memory, and the picture is not
    // remembered as bad.
    // Under the sanitizers a worker out of descriptors cannot run their own checks: only "killed".
    QList<QByteArray> cases = {QByteArray("killed")};
    if (!LWSanitizers::address)
        cases.append(QByteArray("nopixels"));
    for (const QByteArray &words : std::as_const(cases)) {
        SCOPED_TRACE(words.toStdString());
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement photo = LWElement::makePhoto({10, 10, 80, 80});
        photo.image->data = encode(plain(64, 64, Qt::darkCyan), "png") + "LWTEST " + words;
        doc.pages[0].elements = {photo};
        const QString png = dir.filePath(QStringLiteral("card.png"));
        const QString refused = LWExport::writeRaster(doc, 0, 72, false, LWExport::RasterType::png, 0.92, png);
        EXPECT_TRUE(refused.contains(LWExport::notEnoughMemory.mid(1, 40))) << refused.toStdString();
        // The print PDF neither carries on with the placeholder.
        const LWExport::PdfOutcome pdf = LWExport::pdfExport(doc, {0}, false);
        EXPECT_FALSE(pdf.bytes);
        EXPECT_EQ(pdf.reason, LWExport::notEnoughMemory);
        LWDecodeWorkers::setForTests({}, 0, 0); // the program's own worker
        EXPECT_EQ(LWExport::writeRaster(doc, 0, 72, false, LWExport::RasterType::png, 0.92, png), QString());
        EXPECT_EQ(QImage(png).pixel(badSpot.center()), QColor(Qt::darkCyan).rgb());
        SetUp();
    }
}

TEST_F(DecodeWorkers, AWorkerThatFailsOnceIsFollowedByAFreshOne)
{
    // The first worker started crashes, or (a libheif decode refused for memory) finds no room
    // left under its data limit, as a decoder's heap kept from earlier decodes would leave it, or
    // fails soundly after a thread was refused (also the second, where a failure under the data
    // limit is tried again with ample room): the next go, in a fresh worker, draws the picture,
    // and nothing is remembered against it.
    const struct {
        const char *flag;
        QByteArray bytes;
        int started = 2;
    } rows[] = {{"LW_TEST_CRASH_ONCE", encode(plain(64, 64, Qt::darkMagenta), "png") + "LWTEST crashonce"},
                {"LW_TEST_CRAMPED_ONCE", heic(plain(1600, 1200, Qt::darkMagenta))},
                {"LW_TEST_REFUSED_ONCE", encode(plain(64, 64, Qt::darkMagenta), "png") + "LWTEST refusedonce",
                 LWSanitizers::address ? 2 : 3}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.flag);
        if (LWSanitizers::address && std::strcmp(row.flag, "LW_TEST_CRAMPED_ONCE") == 0)
            continue; // no data limit there
        QFile flag(dir.filePath(QStringLiteral("once"))), second(flag.fileName() + QStringLiteral("2"));
        ASSERT_TRUE(flag.open(QIODevice::WriteOnly) && second.open(QIODevice::WriteOnly));
        flag.close(), second.close();
        qputenv(row.flag, QFile::encodeName(flag.fileName()));
        SetUp(); // workers started from now on see the flag
        const int started = LWDecodeWorkers::stats().started;
        const qsizetype remembered = LWImageCache::stats().failures;
        const auto [got, undrawn] = exportedAlone(row.bytes);
        qunsetenv(row.flag);
        EXPECT_FALSE(flag.exists()); // a worker did take it
        EXPECT_EQ(LWDecodeWorkers::stats().started - started, row.started);
        EXPECT_TRUE(undrawn.isEmpty()) << (undrawn.isEmpty() ? 0 : int(undrawn[0].why));
        const QColor drawn = got.pixel(badSpot.center());
        EXPECT_LT(std::abs(drawn.red() - 128) + drawn.green() + std::abs(drawn.blue() - 128), 40)
            << drawn.name().toStdString();
        EXPECT_EQ(LWImageCache::stats().failures, remembered);
    }
}

TEST_F(DecodeWorkers, WorkersAreReusedAndReplaced)
{
    // Many pictures, as many workers as the cores decodes use at most; one that dies is replaced.
    const int most = std::max(1, LWParallel::workers());
    const int startedBefore = LWDecodeWorkers::stats().started;
    const QImage first = exported(encode(plain(64, 64, Qt::red), "png"), Qt::blue);
    for (int i = 0; i < 12; ++i)
        (void)exported(encode(plain(64, 64, QColor::fromHsv(i * 30, 255, 200)), "png"), QColor::fromHsv(i * 30, 90, 255));
    const LWDecodeWorkers::Stats reused = LWDecodeWorkers::stats();
    EXPECT_LE(reused.running, most);
    EXPECT_LE(reused.started - startedBefore, most);
    (void)exported(asking("crash"), Qt::cyan);
    const QImage after = exported(encode(plain(64, 64, Qt::magenta), "png"), Qt::darkGreen);
    EXPECT_EQ(after.pixel(badSpot.center()), QColor(Qt::magenta).rgb());
    EXPECT_LE(LWDecodeWorkers::stats().running, most);
}

TEST_F(DecodeWorkers, AsManyCoresAsAServersMakeNoMoreWorkersThanTheFixedMost)
{
    // Decodes side by side on 32 threads, each a while in its worker: the workers stay a fixed few.
    LWDecodeWorkers::setForTests(misbehavingDecoder(), 10, 20000);
    QThreadPool *pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(32);
    const int before = LWDecodeWorkers::stats().started;
    std::vector<LWImage> pictures;
    for (int i = 0; i < 32; ++i)
        pictures.push_back(alone(asking("sleep 100")).pages[0].elements[0].image.value());
    std::atomic<int> drawn = 0;
    LWParallel::forEach(32, [&](int i) {
        drawn += bool(LWImageCache::exportImage(pictures[size_t(i)], LWPictureDecoder::Request{}).image);
    });
    pool->setMaxThreadCount(threads);
    EXPECT_EQ(drawn, 32);
    EXPECT_LE(LWDecodeWorkers::stats().started - before, LWDecodeWorkers::mostWorkers);
    EXPECT_LE(LWDecodeWorkers::stats().running, LWDecodeWorkers::mostWorkers);
}

TEST_F(DecodeWorkers, WhatATakenOverDecoderTriesPastItsBoundsIsRefused)
{
    // A file the worker could read (in the test's folder) opened or examined, a socket; shared
    // memory or a memfd past its memory limit (none under AddressSanitizer); threads past its
    // count. The worker paints green when what it tried was refused, and when a thread started
    // and joined for each tile, one after another, was never refused for one that was ending.
    // Limits the loaded machine never reaches: each outcome is the worker's answer (5,000 thread
    // starts, each answered by the program, took past 3 s of wall clock on two loaded cores).
    LWDecodeWorkers::setForTests(misbehavingDecoder(), 60, 600000);
    QFile secret(dir.filePath(QStringLiteral("secret.txt")));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    QList<QByteArray> rows = {"reach " + QFile::encodeName(secret.fileName()), "threads", "tiles"};
    if (!LWSanitizers::address)
        rows << "shared" << "memfd";
    for (const QByteArray &row : rows) {
        SCOPED_TRACE(row.toStdString());
        const QImage got = exported(asking(row), Qt::blue);
        EXPECT_EQ(got.pixel(badSpot.center()), QColor(Qt::green).rgb());
    }
}

TEST_F(DecodeWorkers, APictureSlowToDecodeIsPaidOnce)
{
    // Decoded slowly once (for a part): the next use decodes it whole once and keeps it, and every
    // smaller use after, the preview and that part again, is cut from it without a worker. One
    // slow only by the wall clock (its decoder sleeps, as a loaded machine would keep it) is
    // decoded for each use: only CPU time makes a picture slow.
    LWDecodeWorkers::setForTests(misbehavingDecoder(), 10, 20000);
    const LWImage slow = alone(asking("slow")).pages[0].elements[0].image.value();
    const QByteArray sleeps = LWSanitizers::address ? "sleep 4500" : "sleep 1500";
    const LWImage sleeper = *alone(asking(sleeps)).pages[0].elements[0].image;
    using Request = LWPictureDecoder::Request;
    const auto exported = [](const LWImage &p, Request r) {
        return bool(LWImageCache::exportImage(p, r).image);
    };
    const struct {
        const char *use;
        std::function<bool(const LWImage &)> make;
        qint64 workerDecodes, sleeperDecodes;
    } steps[] = {
        // Its header is asked of a worker once, before the first decode.
        {"a part", [&](const LWImage &p) { return exported(p, {32, {0, 0, 0.5, 0.5}}); }, 2, 2},
        {"the whole, smaller", [&](const LWImage &p) { return exported(p, {16, {0, 0, 1, 1}}); }, 1, 1},
        {"the preview", [](const LWImage &p) { return bool(LWImageCache::image(p, true)); }, 0, 1},
        {"the part again", [&](const LWImage &p) { return exported(p, {32, {0, 0, 0.5, 0.5}}); }, 0, 1},
    };
    for (const LWImage *picture : {&slow, &sleeper})
        for (const auto &s : steps) {
            SCOPED_TRACE(testing::Message() << s.use << (picture == &slow ? "" : ", sleeping"));
            const qint64 before = LWDecodeWorkers::stats().decodes;
            EXPECT_TRUE(s.make(*picture));
            const qint64 decodes = picture == &slow ? s.workerDecodes : s.sleeperDecodes;
            EXPECT_EQ(LWDecodeWorkers::stats().decodes - before, decodes);
        }
}

TEST_F(DecodeWorkers, APictureSlowToDecodeButLargerThanTheTableIsDecodedByParts)
{
    // Kept whole only where it fits the full table: a larger one (a 200-megapixel photo) is
    // decoded for each part an export asks, never whole beside them.
    LWDecodeWorkers::setForTests(misbehavingDecoder(), 10, 20000);
    const LWImageCache::Budget old = LWImageCache::setBudget({64 * 64 * 4 - 1, LWImageCache::Budget{}.preview});
    const LWImage slow = alone(asking("slow")).pages[0].elements[0].image.value();
    const qsizetype kept = LWImageCache::stats().full;
    for (const QRectF part : {QRectF(0, 0, 1, 0.5), QRectF(0, 0.5, 1, 0.5)}) {
        EXPECT_TRUE(LWImageCache::exportImage(slow, LWPictureDecoder::Request{0, part}).image);
        EXPECT_EQ(LWImageCache::stats().full, kept);
    }
    (void)LWImageCache::setBudget(old);
}

// A worker's process ending while another process still holds its end of the channel (a process
// forked meanwhile, say): the wait on it ends at once, however long its wall clock, and the read
// after it takes nothing without waiting. Before, during, and after another reaped it. A wait
// still on after seconds is cancelled, and fails its row.
TEST(WorkerWatch, AWorkerGoneIsHeardThoughAnotherProcessHoldsItsChannel)
{
    const struct {
        const char *name;
        int endsAfterMs; // -1: ended and reaped before the wait
    } rows[] = {{"ended before the wait", 0}, {"ended during the wait", 200}, {"ended and reaped", -1}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
        const auto child = [&](int ms) {
            const pid_t pid = ::fork();
            if (pid == 0) { // only calls safe after a fork
                ::close(pair[0]);
                if (ms < 0)
                    for (;;)
                        ::pause();
                ::usleep(useconds_t(ms) * 1000);
                ::_exit(0);
            }
            return pid;
        };
        const pid_t holder = child(-1), worker = child(std::max(0, row.endsAfterMs));
        ASSERT_GT(holder, 0);
        ASSERT_GT(worker, 0);
        ::close(pair[1]);
        if (row.endsAfterMs <= 0)
            ASSERT_EQ(::waitid(P_PID, id_t(worker), nullptr, WEXITED | (row.endsAfterMs < 0 ? 0 : WNOWAIT)), 0);
        std::vector<pid_t> asking;
        QElapsedTimer waited;
        waited.start();
        const LWWorkerWatch::Listened heard = LWWorkerWatch::listen(
            worker, pair[0], -1, asking, 4, 3'600'000, [&] { return waited.hasExpired(5'000); });
        EXPECT_EQ(int(heard.heard), int(LWWorkerWatch::Heard::message));
        int message = 0;
        EXPECT_EQ(LWDecodeProtocol::receive(pair[0], &message, sizeof(message)), std::nullopt);
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        if (row.endsAfterMs >= 0)
            ::waitpid(worker, nullptr, 0);
        ::close(pair[0]);
    }
}
