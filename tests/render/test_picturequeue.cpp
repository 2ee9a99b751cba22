// The queue of picture work beside the interface thread: what runs next, each job once, and a job
// asked "not before" a time only once that time has come.
#include "render/pictures/pictureclock.h"
#include "render/pictures/picturequeue.h"

#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>

TEST(PictureQueue, HighestPriorityFirstThenTheLatestAsked)
{
    LWPictureQueue &queue = LWPictureQueue::shared();
    // Every thread held, so that what waits is taken in order once one is let go.
    QSemaphore hold, holding;
    for (int i = 0; i < queue.threads(); ++i)
        ASSERT_TRUE(queue.ask("hold" + QByteArray::number(i), 100, [&] {
            holding.release();
            hold.acquire();
        }));
    holding.acquire(queue.threads());
    QMutex lock;
    QStringList ran;
    const auto job = [&](const char *name) {
        return [&, name] {
            QMutexLocker guard(&lock);
            ran << QLatin1String(name);
        };
    };
    EXPECT_TRUE(queue.ask("off screen", 2, job("off screen")));
    EXPECT_TRUE(queue.ask("check", 1, job("check")));
    EXPECT_TRUE(queue.ask("scrolled to", 2, job("scrolled to")));
    EXPECT_TRUE(queue.ask("on screen", 2, job("on screen")));
    // A picture in its pause, however high: not run before the pause ends.
    EXPECT_TRUE(queue.ask("after the pause", 5, job("after the pause"),
                          LWPictureClock::now() + std::chrono::seconds(30)));
    EXPECT_FALSE(queue.ask("check", 0, job("check, lower"))); // waiting: not queued twice, not lowered
    EXPECT_FALSE(queue.ask("scrolled to", 3, job("scrolled to"))); // raised
    EXPECT_FALSE(queue.ask("on screen", 2, job("on screen, zoomed"))); // asked again: the latest, its job
    hold.release(1);
    while (queue.busy() > queue.threads() - 1)
        QThread::msleep(1);
    EXPECT_EQ(ran, (QStringList{"scrolled to", "on screen, zoomed", "off screen", "check"}));
    hold.release(queue.threads());
    while (queue.busy() > 0)
        QThread::msleep(1);
    EXPECT_EQ(ran.size(), 4) << "nothing run during the pause";
    LWPictureClock::advanceForTests(std::chrono::seconds(31));
    while (queue.busy() > 0)
        QThread::msleep(1);
    EXPECT_EQ(ran.value(4), QStringLiteral("after the pause"));
    queue.drain();
    EXPECT_EQ(queue.busy(), 0);
}
