#include "thumbs_fixture.h"

#include "templates/templates.h"

#include <QSignalSpy>
#include <limits>
#include <thread>

namespace {

const LWColor red(1, 0, 0), blue(0, 0, 1);

QColor centre(const QImage &image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace

TEST(Thumbs, LookupQueuesOnceAndThenHandsOutTheImageOfEachWholeHeight)
{
    LWThumbs store;
    auto log = std::make_shared<MakeLog>();
    const LWTemplate t = fakeTemplate(QStringLiteral("t"), log, {red}, Made::pages, true);

    EXPECT_FALSE(store.image(t, 0, 118.2));
    ASSERT_TRUE(log->started.tryAcquire(1, 10000));
    EXPECT_EQ(store.pending(), QSet<QString>{QStringLiteral("t#0#118")});
    EXPECT_FALSE(store.image(t, 0, 118.9)); // same key, still pending
    log->gate.release();
    ASSERT_TRUE(settle(store));

    const std::optional<QImage> image = store.image(t, 0, 118.9);
    ASSERT_TRUE(image);
    EXPECT_EQ(centre(*image), QColor(Qt::red));
    EXPECT_TRUE(store.pending().isEmpty());
    EXPECT_EQ(log->calls, 1);

    log->gate.release();
    EXPECT_FALSE(store.image(t, 0, 146));
    ASSERT_TRUE(settle(store));
    EXPECT_EQ(log->calls, 2);
    EXPECT_TRUE(store.image(t, 0, 146));
}

TEST(Thumbs, PagesOutsideTheDesignShowTheNearestPage)
{
    const struct {
        QList<LWColor> pages;
        int page;
        QString key;
        QColor colour;
    } cases[] = {
        {{red}, 1, "p#1#50", Qt::red},
        {{red}, -1, "p#-1#50", Qt::red},
        {{red, blue}, 1, "p#1#50", Qt::blue},
        {{red, blue}, 7, "p#7#50", Qt::blue},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key.toStdString() + " of " + std::to_string(c.pages.size()));
        LWThumbs store;
        const LWTemplate t = fakeTemplate(QStringLiteral("p"), std::make_shared<MakeLog>(), c.pages);
        (void)store.image(t, c.page, 50);
        ASSERT_TRUE(settle(store));
        ASSERT_TRUE(store.images().contains(c.key));
        EXPECT_EQ(centre(store.images()[c.key]), c.colour);
    }
}

TEST(Thumbs, ImagesAreMadeAtThePixelRatio)
{
    const std::optional<LWTemplate> card = LWTemplates::named(QStringLiteral("card-001"));
    ASSERT_TRUE(card);
    const struct {
        double height, ratio;
        QSize pixels;
    } cases[] = {{100, 2, {350, 200}}, {118, 2, {413, 236}}, {100, 1, {175, 100}}, {100, 1.5, {263, 150}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << " at " << c.ratio);
        LWThumbs store;
        store.setPixelRatio(c.ratio);
        (void)store.image(*card, 0, c.height);
        ASSERT_TRUE(settle(store));
        const std::optional<QImage> image = store.image(*card, 0, c.height);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), c.pixels);
        EXPECT_EQ(image->devicePixelRatio(), c.ratio);
    }
    // By default the ratio follows the screens (1 here) and the interface zoom (100 %).
    EXPECT_EQ(LWThumbs().pixelRatio(), 1);
}

TEST(Thumbs, ARatioChangeKeepsTheOldImageUntilTheNewOneIsMade)
{
    LWThumbs store;
    auto log = std::make_shared<MakeLog>();
    const LWTemplate t = fakeTemplate(QStringLiteral("r"), log, {red}, Made::pages, true);
    store.setPixelRatio(2);
    log->gate.release();
    (void)store.image(t, 0, 50);
    ASSERT_TRUE(settle(store));
    store.setPixelRatio(1);
    const std::optional<QImage> old = store.image(t, 0, 50);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->devicePixelRatio(), 2);
    EXPECT_TRUE(store.pending().contains(QStringLiteral("r#0#50")));
    log->gate.release();
    ASSERT_TRUE(settle(store));
    EXPECT_EQ(store.image(t, 0, 50)->devicePixelRatio(), 1);
    EXPECT_EQ(store.bytes(), store.images().value(QStringLiteral("r#0#50")).sizeInBytes());
    EXPECT_EQ(log->calls, 2);
}

TEST(Thumbs, StoreStaysWithinItsBudgetDroppingWhatWasNotLookedAt)
{
    // All 500 templates scrolled through, ten at a time, against a budget of 60 thumbnails; the
    // first ten are looked up again at every step, as the tiles of a pane that stays in view.
    auto log = std::make_shared<MakeLog>();
    QList<LWTemplate> all;
    for (int i = 0; i < 500; ++i)
        all.append(fakeTemplate(QStringLiteral("t%1").arg(i), log, {LWColor(i / 500.0, 0.5, 1 - i / 500.0)}));
    LWThumbs store;
    store.setPixelRatio(1);
    (void)store.image(all[0], 0, 40);
    ASSERT_TRUE(settle(store));
    const QImage first = *store.image(all[0], 0, 40);
    const qint64 each = first.sizeInBytes();
    store.setBudget(60 * each);
    for (int from = 0; from < 500; from += 10) {
        for (int i = 0; i < 10; ++i) {
            (void)store.image(all[i], 0, 40);
            (void)store.image(all[from + i], 0, 40);
        }
        ASSERT_TRUE(settle(store));
        EXPECT_LE(store.bytes(), store.budget()) << from;
    }
    EXPECT_EQ(store.images().size(), 60);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(store.images().contains(QStringLiteral("t%1#0#40").arg(i))) << i;
    for (int i = 490; i < 500; ++i)
        EXPECT_TRUE(store.images().contains(QStringLiteral("t%1#0#40").arg(i))) << i;
    EXPECT_FALSE(store.images().contains(QStringLiteral("t100#0#40")));

    // A dropped thumbnail is made again when asked for, the same pixels.
    const QImage before = *LWThumbs::render(all[100], 0, 40, 1);
    EXPECT_FALSE(store.image(all[100], 0, 40));
    ASSERT_TRUE(settle(store));
    EXPECT_TRUE(*store.image(all[100], 0, 40) == before);
    EXPECT_LE(store.bytes(), store.budget());

    // Lowering the budget drops at once, the least recently looked at first.
    store.setBudget(5 * each);
    EXPECT_EQ(store.images().size(), 5);
    EXPECT_TRUE(store.images().contains(QStringLiteral("t100#0#40")));
}

TEST(Thumbs, FailedRendersAreRememberedAndNeverQueuedAgain)
{
    const Made broken[] = {Made::noPages, Made::zeroHeight, Made::nanHeight, Made::throws};
    for (Made made : broken) {
        SCOPED_TRACE(int(made));
        LWThumbs store;
        auto log = std::make_shared<MakeLog>();
        const LWTemplate t = fakeTemplate(QStringLiteral("f"), log, {red}, made);
        EXPECT_FALSE(store.image(t, 0, 100));
        ASSERT_TRUE(settle(store));
        EXPECT_FALSE(store.image(t, 0, 100));
        EXPECT_TRUE(store.pending().isEmpty());
        EXPECT_EQ(store.failed(), QSet<QString>{QStringLiteral("f#0#100")});
        EXPECT_EQ(log->calls, 1);
    }
}

TEST(Thumbs, RefusedHeightsQueueNothing)
{
    const double heights[] = {std::nan(""), std::numeric_limits<double>::infinity(), 0, -1, 1e300};
    LWThumbs store;
    auto log = std::make_shared<MakeLog>();
    const LWTemplate t = fakeTemplate(QStringLiteral("h"), log);
    for (double h : heights)
        EXPECT_FALSE(store.image(t, 0, h)) << h;
    EXPECT_TRUE(store.pending().isEmpty());
    EXPECT_TRUE(store.failed().isEmpty());
    EXPECT_EQ(log->calls, 0);
}

TEST(Thumbs, JobsRunOneAtATimeInQueueOrderAndSignalEachImageOnce)
{
    LWThumbs store;
    auto log = std::make_shared<MakeLog>();
    QSignalSpy spy(&store, &LWThumbs::changed);
    const QList<LWTemplate> templates = {
        fakeTemplate(QStringLiteral("a"), log, {red}, Made::pages, true),
        fakeTemplate(QStringLiteral("b"), log),
        fakeTemplate(QStringLiteral("c"), log, {red}, Made::noPages),
        fakeTemplate(QStringLiteral("d"), log),
    };
    for (const LWTemplate &t : templates)
        (void)store.image(t, 0, 40);
    ASSERT_TRUE(log->started.tryAcquire(1, 10000));
    QTest::qWait(50); // room for a second thread to start, were there one
    EXPECT_EQ(log->calls, 1);
    log->gate.release();
    ASSERT_TRUE(settle(store));

    EXPECT_EQ(log->order, QStringList({"a", "b", "c", "d"}));
    QStringList signalled;
    for (const QList<QVariant> &args : spy)
        signalled << args.at(0).toString();
    EXPECT_EQ(signalled, QStringList({"a#0#40", "b#0#40", "d#0#40"}));
}

TEST(Thumbs, ShutdownDropsQueuedJobsAndLaterCompletions)
{
    LWThumbs store;
    auto log = std::make_shared<MakeLog>();
    QSignalSpy spy(&store, &LWThumbs::changed);
    (void)store.image(fakeTemplate(QStringLiteral("blocked"), log, {red}, Made::pages, true), 0, 40);
    for (int i = 0; i < 50; ++i)
        (void)store.image(fakeTemplate(QString::number(i), log), 0, 40);
    ASSERT_TRUE(log->started.tryAcquire(1, 10000));

    std::thread releaser([log] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        log->gate.release();
    });
    store.shutdown(); // returns only after the blocked job ended
    releaser.join();
    EXPECT_EQ(log->calls, 1);
    QTest::qWait(100);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(store.images().isEmpty());

    const LWTemplate later = fakeTemplate(QStringLiteral("later"), log);
    EXPECT_FALSE(store.image(later, 0, 40));
    QTest::qWait(50);
    EXPECT_EQ(log->calls, 1);
}
