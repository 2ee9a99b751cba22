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
};

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
    b.released.wakeAll();
}

std::optional<Reservation> reserve(qint64 bytes)
{
    bytes = std::max<qint64>(bytes, 0);
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    for (;;) {
        if (bytes > b.limit)
            return std::nullopt;
        if (b.used + bytes <= b.limit)
            break;
        b.released.wait(&b.lock);
    }
    b.used += bytes;
    b.peak = std::max(b.peak, b.used);
    return Reservation(bytes);
}

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

void resetPeak()
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    b.peak = b.used;
}

} // namespace LWDecodeBudget
