#include "render/pictures/decodebudget.h"

#include "render/pictures/imagecache.h"

#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

namespace {

struct Budget {
    QMutex lock;
    QWaitCondition released;
    qint64 limit = qint64(LWImageCache::allocationLimitMB) << 20;
    qint64 used = 0;
    qint64 peak = 0;
    qint64 held = 0; // of used, by the hold
    bool holding = false;
};

thread_local int holdWork = 0;
thread_local bool lastRefusedForHold = false;

Budget &budget()
{
    static Budget b;
    return b;
}

} // namespace

namespace LWDecodeBudget {

Reservation::~Reservation()
{
    if (m_bytes == 0)
        return;
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    b.used -= m_bytes;
    if (m_held)
        b.held -= m_bytes, b.holding = false;
    b.released.wakeAll();
}

std::optional<Reservation> reserve(qint64 bytes)
{
    bytes = std::max<qint64>(bytes, 0);
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    lastRefusedForHold = false;
    for (;;) {
        if (bytes > b.limit)
            return std::nullopt;
        if (b.used + bytes <= b.limit)
            break;
        if (holdWork > 0 && bytes > b.limit - b.held) {
            lastRefusedForHold = true;
            return std::nullopt;
        }
        b.released.wait(&b.lock);
    }
    b.used += bytes;
    b.peak = std::max(b.peak, b.used);
    return Reservation(bytes, false);
}

std::optional<Reservation> hold(qint64 bytes)
{
    if (bytes <= 0)
        return Reservation(0, false);
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    for (;;) {
        if (bytes > b.limit)
            return std::nullopt;
        if (!b.holding && b.used + bytes <= b.limit)
            break;
        b.released.wait(&b.lock);
    }
    b.used += bytes;
    b.peak = std::max(b.peak, b.used);
    b.held += bytes;
    b.holding = true;
    return Reservation(bytes, true);
}

HoldWork::HoldWork() { ++holdWork; }
HoldWork::~HoldWork() { --holdWork; }
bool HoldWork::refusedForHold() { return lastRefusedForHold; }
void HoldWork::forgetRefusal() { lastRefusedForHold = false; }

qint64 limit()
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    return b.limit;
}

qint64 setLimit(qint64 bytes)
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    const qint64 old = b.limit;
    b.limit = std::max<qint64>(bytes, 0);
    b.released.wakeAll();
    return old;
}

} // namespace LWDecodeBudget

namespace LWDecodeBudget {

qint64 peak()
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    return b.peak;
}

int holds()
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    return b.holding ? 1 : 0;
}

void resetPeak()
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    b.peak = b.used;
}

} // namespace LWDecodeBudget
