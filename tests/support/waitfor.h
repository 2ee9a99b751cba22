// Waiting in GoogleTest tests. Qt's QTRY_/QVERIFY/QCOMPARE macros cannot fail a GoogleTest test
// (they record a Qt failure and return): wait with this and EXPECT_/ASSERT_ on the result.
#pragma once
#include <QTest>

// Processes events until predicate() holds or timeoutMs passes; returns whether it held.
template <typename Predicate>
[[nodiscard]] bool waitFor(Predicate predicate, int timeoutMs = 10000)
{
    return QTest::qWaitFor(predicate, timeoutMs);
}
