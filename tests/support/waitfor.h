// Waiting in GoogleTest tests. Qt's QTRY_/QVERIFY/QCOMPARE macros cannot fail a GoogleTest test
// (they record a Qt failure and return): wait with this and EXPECT_/ASSERT_ on the result.
#pragma once
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

// Processes events until predicate() holds or timeoutMs passes; returns whether it held.
template <typename Predicate>
[[nodiscard]] bool waitFor(Predicate predicate, int timeoutMs = 10000)
{
    return QTest::qWaitFor(predicate, timeoutMs);
}

// Processes events until predicate() holds, for as long as progress() keeps changing: work a
// loaded machine does slowly is waited for, work that stopped fails within `stillMs` (and all of
// it within `mostMs`). The failure says what was waited for and how long.
template <typename Predicate, typename Progress>
[[nodiscard]] ::testing::AssertionResult waitWhileComing(const char *what, Predicate predicate, Progress progress,
                                                         int stillMs = 15000, int mostMs = 300000)
{
    auto last = progress();
    QElapsedTimer still, all;
    still.start(), all.start();
    while (!predicate()) {
        if (still.elapsed() > stillMs || all.elapsed() > mostMs)
            return ::testing::AssertionFailure() << what << ": nothing came for " << still.elapsed() / 1000
                                                 << " s (waited " << all.elapsed() / 1000 << " s in all)";
        QTest::qWait(10);
        if (auto now = progress(); now != last)
            last = now, still.restart();
    }
    return ::testing::AssertionSuccess();
}
