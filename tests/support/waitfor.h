#pragma once
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

namespace LWTestWait {

// Runs the event loop until `done` holds or `ms` pass; whether it held. For EXPECT_/ASSERT_.
inline bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

} // namespace LWTestWait
