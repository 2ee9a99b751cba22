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

TEST(Thumbs, ImagesAreMadeAtTwicePointSize)
{
    const std::optional<LWTemplate> card = LWTemplates::named(QStringLiteral("card-001"));
    ASSERT_TRUE(card);
    const struct {
        double height;
        QSize pixels;
    } cases[] = {{100, {350, 200}}, {118, {413, 236}}};
    LWThumbs store;
    for (const auto &c : cases)
        (void)store.image(*card, 0, c.height);
    ASSERT_TRUE(settle(store));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.height);
        const std::optional<QImage> image = store.image(*card, 0, c.height);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), c.pixels);
        EXPECT_EQ(image->devicePixelRatio(), 2);
        EXPECT_EQ(image->deviceIndependentSize(), QSizeF(c.pixels) / 2);
    }
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
