// Cancel ends an export's wait on picture work at once, whatever the wait: a decoder that sleeps,
// the planning, a worker place, a budget, another use's decode, the compression into a PDF and a
// card sheet's slots.
#include "decodeworkersfixture.h"

#include "render/pictures/picturequeue.h"
#include "support/waitfor.h"

using namespace LWWorkerRows;

TEST_F(DecodeWorkers, CancelEndsADecodeAtOnce)
{
    // Cancel while the decoder sleeps (its wall clock an hour: only Cancel ends it), or during its
    // second go, or while the export plans its pictures and a header read sleeps, or while the
    // view's decode holds the one worker place, or while the export's new worker has not said
    // hello, or while a pool thread the export lent its second photo to decodes it, while the
    // budget is full or another export holds its share, while the view decodes the same picture,
    // or after the decode, while a PDF or a card sheet compresses it: the export says so, no
    // worker it started is left alive or busy, nothing is held or written, nothing is
    // remembered against the picture (not "too large", not short of memory), a cancelled sheet
    // asks for its picture no more, a cancelled PDF leaves its painter balanced, and put back,
    // the view draws the picture at once (the same worker program saying hello now). Each row:
    // the words, the wall clock, what Cancel waits for, the workers the export starts, the
    // workers left alive and what is made. A wait that stops asking keeps the export past the
    // guard, which then ends what it waits for.
    const QString program =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() +
        QStringLiteral("/lw-misbehaving-decoder");
    enum class During { decode, secondGo, planning, place, hello, lent, full, held, heldRuns, same, compression, slots };
    enum class Made { png, pdf, sheet };
    const struct {
        const char *words;
        int wallMs;
        During during;
        int started, left;
        Made made = Made::png;
    } rows[] = {{"sleep 600000", 3600000, During::decode, 0, 0},
                {"spinsleep 300", 3600000, During::decode, 0, 0},
                {"sleep 600000", 1000, During::secondGo, 1, 0},
                {"headersleep 600000", 3600000, During::planning, 1, 0},
                {"headersleep 0", 3600000, During::place, 0, 1},
                {"headersleep 0", 3600000, During::hello, 0, 0},
                {"sleep 600000", 3600000, During::lent, 1, 0},
                {"sleep 600000", 3600000, During::lent, 1, 0, Made::pdf},
                {"headersleep 0", 3600000, During::full, 0, 1, Made::pdf},
                {"headersleep 0", 3600000, During::held, 0, 1},
                {"headersleep 0", 3600000, During::heldRuns, 0, 1},
                {"sleep 600000", 3600000, During::same, 0, 1},
                {"headersleep 0", 3600000, During::compression, 0, 1, Made::pdf},
                {"headersleep 0", 3600000, During::slots, 0, 1, Made::sheet}};
    const QByteArray helloFile = QFile::encodeName(dir.filePath(QStringLiteral("hello")));
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    const QString cancelled = QStringLiteral("the export was cancelled");
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.words << ", " << int(row.during) << ", made " << int(row.made));
        LWDecodeWorkers::setForTests(program, 60, row.wallMs);
        // A HEIF is decoded whole once for every use: the export waits for the view's decode (the
        // words in a free box at its end, which its checks pass).
        QByteArray heif = heic(plain(64, 64, Qt::magenta)) + "0000freeLWTEST " + row.words;
        qToBigEndian(quint32(heif.size() - heif.indexOf("0000free")), heif.data() + heif.indexOf("0000free"));
        const LWDocument doc = alone(row.during == During::same ? heif : asking(row.words)); // a card: its sheet holds ten
        LWDocument exported = doc;
        if (row.during == During::lent) { // a second photo, decoded on a thread of its own
            exported.pages[0].elements.append(alone(asking(row.words)).pages[0].elements[0]);
            exported.pages[0].elements[1].frame = {100, 10, 80, 80};
        }
        const auto restore = qScopeGuard([limit = LWDecodeBudget::limit()] { LWDecodeBudget::setLimit(limit); });
        if (row.during == During::heldRuns) { // a letter page whose photo the budget holds a run of bands at a time
            exported = LWDocument::blank(LWSizePreset::letter, std::nullopt);
            exported.pages[0].elements = {LWElement::makePhoto({0, 0, exported.width, exported.height})};
            exported.pages[0].elements[0].image->data = encode(plain(1300, 1700, Qt::darkCyan), "png") + "LWTEST headersleep 0";
            LWDecodeBudget::setLimit(LWExportPictures::Plan(exported, 0, 150.0 / 72).need(-1e9, 1e9) / 3 * 4 - 1);
        }
        const LWImage &picture = doc.pages[0].elements[0].image.value();
        const LWImage sleeper = alone(asking("sleep 600000")).pages[0].elements[0].image.value();
        if (row.during == During::place)
            QThreadPool::globalInstance()->setMaxThreadCount(1);
        if (row.during == During::lent)
            QThreadPool::globalInstance()->setMaxThreadCount(std::max(2, threads));
        if (row.during != During::planning) // a worker read its header
            for (const LWElement &e : exported.pages[0].elements)
                (void)LWPictureDecoder::check(*e.image->data, {});
        std::optional<std::thread> view; // decoding a picture that sleeps in the one worker place, or the same
        if (row.during == During::place || row.during == During::same) {
            const LWImage decoded = row.during == During::same ? picture : sleeper;
            if (row.during == During::place)
                (void)LWPictureDecoder::check(*sleeper.data, {});
            view.emplace([decoded, same = row.during == During::same] { (void)LWImageCache::image(decoded, !same); });
            const QDeadlineTimer patience(60000);
            while (LWDecodeWorkers::stats().busy == 0 && !patience.hasExpired())
                QThread::msleep(5);
            EXPECT_EQ(LWDecodeWorkers::stats().busy, 1) << "the view decodes";
        }
        if (row.during == During::hello) {
            LWDecodeWorkers::setForTests(program, 60, row.wallMs, 3600000);
            qputenv("LW_TEST_HELLO_AFTER", helloFile);
        }
        // The budget full, or another export's hold taken.
        std::optional<LWDecodeBudget::Reservation> full =
            row.during == During::full ? LWDecodeBudget::reserve(LWDecodeBudget::limit()) : std::nullopt;
        std::optional<LWDecodeBudget::Reservation> held =
            row.during == During::held || row.during == During::heldRuns ? LWDecodeBudget::hold(1) : std::nullopt;
        EXPECT_EQ(full.has_value(), row.during == During::full);
        EXPECT_EQ(held.has_value(), row.during == During::held || row.during == During::heldRuns);
        const LWDecodeWorkers::Stats start = LWDecodeWorkers::stats();
        const qint64 asked = LWImageCache::stats().decodes;
        std::atomic<int> asks = 0; // since the picture was handed: the third is in the wait for a worker or its answer
        const auto pressed = [&] {
            const LWDecodeWorkers::Stats now = LWDecodeWorkers::stats();
            switch (row.during) {
            case During::secondGo:
            case During::planning: return now.started > start.started;
            case During::hello: // the worker started, ended once Cancel is heard
                return asks >= 3 || (now.running > start.running && ++asks >= 3);
            case During::lent: return asks >= 3 || (now.busy >= 2 && ++asks >= 3);
            case During::heldRuns: return ++asks >= 6; // the runs' own asks first
            case During::full:
            case During::held:
            case During::same: return ++asks >= 3; // the waits for room or the view's decode ask
            case During::compression:
            case During::slots: return now.decodes > start.decodes && ++asks >= 3; // once it is decoded
            default: return now.handed > start.handed && ++asks >= 3;
            }
        };
        const QString png = dir.filePath(QStringLiteral("cancelled.png"));
        QString reason; // not short of memory
        QStringList painterWarnings;
        static QStringList *warnings = nullptr;
        warnings = &painterWarnings;
        const QtMessageHandler before = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
            if (m.contains(QStringLiteral("QPainter")))
                warnings->append(m);
        });
        auto made = std::async(std::launch::async, [&] {
            if (row.made == Made::png) {
                LWExport::RasterWriteHooks hooks;
                hooks.cancelled = pressed;
                hooks.reason = &reason;
                const double dpi = row.during == During::heldRuns ? 150 : 72;
                return LWExport::writeRaster(exported, 0, dpi, false, LWExport::RasterType::png, 0.92, png, hooks);
            }
            // As the export sheet's job makes them: Cancel heard in every wait on picture work.
            const LWDecodeWorkers::Cancellable listening(pressed);
            const bool pdf = row.made == Made::pdf;
            const std::optional<QByteArray> bytes =
                pdf ? LWExport::pdfExport(exported, {0}, false).bytes : LWExport::sheetPDF(exported, {0});
            return bytes ? QStringLiteral("made") : LWDecodeWorkers::Cancellable::heard() ? cancelled : QString();
        });
        // Only against a wait that stops asking; then what it waits for is ended.
        const bool ended = made.wait_for(std::chrono::seconds(LWSanitizers::address ? 120 : 30)) == std::future_status::ready;
        if (!ended) {
            LWDecodeWorkers::endAll();
            full.reset();
            held.reset();
        }
        EXPECT_TRUE(ended) << "the export did not hear Cancel";
        EXPECT_EQ(made.get().toStdString(), cancelled.toStdString());
        EXPECT_EQ(reason.toStdString(), "");
        full.reset();
        held.reset();
        qInstallMessageHandler(before);
        EXPECT_EQ(painterWarnings.join(QLatin1Char('\n')).toStdString(), "");
        EXPECT_EQ(LWDecodeWorkers::stats().started - start.started, row.started);
        EXPECT_EQ(LWDecodeWorkers::stats().running, row.left) << "the view's decode goes on";
        EXPECT_EQ(LWDecodeWorkers::stats().busy, view ? 1 : 0);
        EXPECT_EQ(LWDecodeBudget::holds(), 0);
        EXPECT_FALSE(QFile::exists(png));
        EXPECT_EQ(LWImageCache::remembered(picture), std::nullopt);
        if (row.during == During::slots) { // the one slot that heard Cancel, and no other
            EXPECT_EQ(LWImageCache::stats().decodes - asked, 1);
        }
        if (view) {
            LWDecodeWorkers::endAll();
            view->join();
        }
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        if (row.during == During::hello)
            QFile(QFile::decodeName(helloFile)).open(QIODevice::WriteOnly);
        else
            LWDecodeWorkers::setForTests({}, 0, 0);
        EXPECT_TRUE(LWImageCache::image(picture, true)) << "put back, the view draws it at once";
        qunsetenv("LW_TEST_HELLO_AFTER");
    }
}

// The program's end (endAll) while a decode's worker has not said hello yet: that worker is ended
// once it says it, and the decode fails then rather than run in it (here asleep for ten minutes
// under an hour's wall clock); when the workers are replaced right after (a test's end), the
// decode goes to a worker of the new program, which draws the picture. Either way none is left
// busy, and the next picture is drawn.
TEST_F(DecodeWorkers, TheProgramsEndAlsoEndsAWorkerNotStartedYet)
{
    const QByteArray helloFile = QFile::encodeName(dir.filePath(QStringLiteral("hello")));
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "then replaced" : "ended");
        const LWImage sleeper = alone(asking("sleep 600000")).pages[0].elements[0].image.value();
        (void)LWPictureDecoder::check(*sleeper.data, {}); // its header read: the decode's worker is the one starting
        LWDecodeWorkers::setForTests(misbehavingDecoder(), 60, 3600000, 3600000);
        qputenv("LW_TEST_HELLO_AFTER", helloFile);
        const int before = LWDecodeWorkers::stats().started;
        auto decoded = std::async(std::launch::async, [&] { return LWImageCache::image(sleeper, true).has_value(); });
        const QDeadlineTimer patience(60000);
        while (LWDecodeWorkers::stats().running == 0 && !patience.hasExpired())
            QThread::msleep(2);
        LWDecodeWorkers::endAll();
        if (replaced)
            LWDecodeWorkers::setForTests({}, 0, 3600000);
        QFile(QFile::decodeName(helloFile)).open(QIODevice::WriteOnly);
        // Within seconds of the hello: the worker, used, would sleep for ten minutes.
        const bool ended =
            decoded.wait_for(std::chrono::seconds(LWSanitizers::address ? 60 : 15)) == std::future_status::ready;
        EXPECT_TRUE(ended) << "a worker that said hello after the end was used";
        if (!ended) // killed, busy
            LWDecodeWorkers::endAll();
        EXPECT_EQ(decoded.get(), replaced);
        EXPECT_EQ(LWDecodeWorkers::stats().started - before, replaced ? 2 : 1);
        EXPECT_EQ(LWDecodeWorkers::stats().busy, 0);
        qunsetenv("LW_TEST_HELLO_AFTER");
        QFile::remove(QFile::decodeName(helloFile));
        LWDecodeWorkers::setForTests({}, 0, 0);
        EXPECT_TRUE(LWImageCache::image(alone(asking("")).pages[0].elements[0].image.value(), true));
    }
}

// The one worker place held by a decode whose workers are ended as they are given back (asleep
// past their wall clock, twice): whoever waits for the place without Cancel, the view's picture
// queue or a header read, goes on once the last is ended, not at some later decode.
TEST_F(DecodeWorkers, AWorkerEndedAsItIsGivenBackFreesItsPlaceForTheWaiterBehind)
{
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    const auto restore = qScopeGuard([threads] { QThreadPool::globalInstance()->setMaxThreadCount(threads); });
    const struct {
        const char *waiter;
        bool view;
    } rows[] = {{"the view's picture queue", true}, {"a header read", false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.waiter);
        LWDecodeWorkers::setForTests(misbehavingDecoder(), 60, 1000);
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        const LWImage sleeper = alone(asking("sleep 600000")).pages[0].elements[0].image.value();
        (void)LWPictureDecoder::check(*sleeper.data, {}); // its header read: its decode takes the one place
        auto slept = std::async(std::launch::async, [&] { return LWImageCache::image(sleeper, true).has_value(); });
        ASSERT_TRUE(waitFor([] { return LWDecodeWorkers::stats().busy == 1; }, 10000));
        static int hue = 0; // bytes no decode has seen
        const QByteArray png = encode(plain(64, 64, QColor::fromHsv(hue++ * 7 % 360, 255, 200)), "png");
        const LWImage behind = alone(png).pages[0].elements[0].image.value();
        std::future<bool> read;
        if (row.view)
            (void)LWImageCache::previewSoon(behind, 1);
        else
            read = std::async(std::launch::async,
                              [&] { return LWPictureDecoder::check(png, {}) == LWPictureDecoder::Failure::none; });
        // The sleeper's workers are judged blocked within seconds; the waiter's own work takes less.
        const bool ended = slept.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        const bool on = ended && waitFor([&] {
            return row.view ? LWImageCache::previewSoon(behind, 1).image.has_value()
                            : read.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        }, 10000);
        EXPECT_TRUE(ended) << "the sleeper's decode went on";
        EXPECT_TRUE(on) << "left waiting for a place freed";
        if (!on) // woken to go
            LWDecodeWorkers::endAll();
        EXPECT_FALSE(slept.get());
        if (!row.view) {
            EXPECT_EQ(read.get(), on);
        }
        EXPECT_TRUE(waitFor([] { return LWPictureQueue::shared().busy() == 0; }, 10000));
        EXPECT_EQ(LWDecodeWorkers::stats().busy, 0);
    }
}

// A wait that hears Cancel as it is woken passes the wake on: a waiter without Cancel (the view's
// picture queue), behind it, is not left waiting for a wake that was given (a place freed).
TEST(Cancellable, AWakeTakenByACancelledWaitGoesToTheWaiterBehind)
{
    QMutex lock;
    QWaitCondition freed;
    bool free = false;
    std::atomic<bool> cancelled = false, inFront = false;
    std::thread front([&] {
        const LWDecodeWorkers::Cancellable listening([&] { return cancelled.load(); });
        QMutexLocker guard(&lock);
        inFront = true;
        while (!free && LWDecodeWorkers::Cancellable::wait(freed, guard)) {
        }
    });
    while (!inFront)
        QThread::usleep(100);
    auto behind = std::async(std::launch::async, [&] {
        QMutexLocker guard(&lock);
        while (!free)
            (void)LWDecodeWorkers::Cancellable::wait(freed, guard);
    });
    QThread::usleep(2000); // the waiter behind waits (a wake sent before would not be lost)
    {
        QMutexLocker guard(&lock);
        cancelled = true;
        free = true;
        freed.wakeOne(); // to the front waiter, which hears Cancel
    }
    front.join();
    const bool woken = behind.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    EXPECT_TRUE(woken) << "the wake was lost";
    if (!woken)
        freed.wakeAll();
}
