#include "render/pictures/decodebudget.h"

#include "render/pictures/imagecache.h"
#include "render/worker/cancellable.h"

#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

namespace {

struct Budget {
    QMutex lock;
    QWaitCondition released;
    qint64 limit = qint64(LWImageCache::allocationLimitMB) << 20;
    qint64 used = 0; // reserved and held
    qint64 kept = 0; // by the picture tables, beside `used`
    qint64 peak = 0;
    qint64 held = 0; // of used, by the hold
    bool holding = false;
    int exportsWaiting = 0; // exports' reservations and holds waiting for room
    std::function<void(qint64, bool)> drop;
};

thread_local int holdWork = 0;
thread_local int forExport = 0;
thread_local bool lastRefusedForHold = false;

Budget &budget()
{
    static Budget b;
    return b;
}

// Asks the tables to drop kept pictures so that `bytes` more fit; the lock is held on entry and
// on return. True when it let go of the lock to ask: the caller looks again before it waits,
// as what it would wait for may have come meanwhile.
bool makeRoom(Budget &b, QMutexLocker<QMutex> &guard, qint64 bytes, bool forExport)
{
    const qint64 over = b.used + b.kept + bytes - b.limit;
    if (over <= 0 || b.kept <= 0 || !b.drop)
        return false;
    const std::function<void(qint64, bool)> drop = b.drop;
    const qint64 kept = b.kept;
    guard.unlock();
    drop(std::min(over, kept), forExport);
    guard.relock();
    if (b.kept < kept)
        return true;
    // What a view shows stays while a decode or an export in flight will give room back; with
    // none, nothing would, and the caller would wait for ever.
    if (forExport || b.used > 0)
        return false;
    guard.unlock();
    drop(std::min(over, kept), true);
    guard.relock();
    return b.kept < kept;
}

// Counts an export's wait for room while it lives, so that other decodes wait behind it.
class ExportWaiting {
public:
    explicit ExportWaiting(Budget &b) : m_b(b) {}
    ~ExportWaiting() { stop(); }
    void start()
    {
        if (!m_waiting)
            ++m_b.exportsWaiting, m_waiting = true;
    }
    void stop()
    {
        if (m_waiting)
            --m_b.exportsWaiting, m_waiting = false, m_b.released.wakeAll();
    }

private:
    Budget &m_b;
    bool m_waiting = false;
};

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
    const bool exporting = holdWork > 0 || forExport > 0;
    ExportWaiting waiting(b); // ends while the lock is held: declared after it
    for (;;) {
        if (bytes > b.limit)
            return std::nullopt;
        const bool behind = !exporting && b.exportsWaiting > 0;
        if (!behind && b.used + b.kept + bytes <= b.limit)
            break;
        if (!behind && makeRoom(b, guard, bytes, exporting))
            continue;
        if (holdWork > 0 && bytes > b.limit - b.held) {
            lastRefusedForHold = true;
            return std::nullopt;
        }
        if (exporting)
            waiting.start();
        if (!LWDecodeWorkers::Cancellable::wait(b.released, guard))
            return std::nullopt;
    }
    waiting.stop();
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
    ExportWaiting waiting(b);
    for (;;) {
        if (bytes > b.limit)
            return std::nullopt;
        if (!b.holding && b.used + b.kept + bytes <= b.limit)
            break;
        if (!b.holding && makeRoom(b, guard, bytes, true))
            continue;
        if (!b.holding) // another export's hold is no room to wait for ahead of the page view
            waiting.start();
        if (!LWDecodeWorkers::Cancellable::wait(b.released, guard))
            return std::nullopt;
    }
    waiting.stop();
    b.used += bytes;
    b.peak = std::max(b.peak, b.used);
    b.held += bytes;
    b.holding = true;
    return Reservation(bytes, true);
}

ForExport::ForExport() { ++forExport; }
ForExport::~ForExport() { --forExport; }
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

void setKept(qint64 bytes)
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    if (bytes < b.kept)
        b.released.wakeAll();
    b.kept = std::max<qint64>(bytes, 0);
}

qint64 kept()
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    return b.kept;
}

qint64 roomBesideHolds()
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    return b.limit - b.held;
}

void setDropper(std::function<void(qint64 bytes, bool forExport)> drop)
{
    Budget &b = budget();
    QMutexLocker guard(&b.lock);
    b.drop = std::move(drop);
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
