#pragma once
#include <QtGlobal>
#include <functional>
#include <optional>
#include <utility>

// One budget of memory for every decoded picture in the process: a decode reserves what it may
// allocate at its peak before it allocates anything and gives it back when it ends, an export
// holds what it keeps, and the picture tables' kept pictures are counted in it too, so that the
// page view, the print check and exports share it. Kept pictures give way to any reservation
// that does not fit (the tables drop them, to be decoded again later), and while an export's
// decode or hold waits for room, other decodes wait behind it. A thread holding a reservation
// never waits for another. Thread-safe.
namespace LWDecodeBudget {

// Bytes reserved until destroyed.
class Reservation {
public:
    Reservation(Reservation &&other) noexcept
        : m_bytes(std::exchange(other.m_bytes, 0)), m_held(std::exchange(other.m_held, false))
    {
    }
    Reservation(const Reservation &) = delete;
    Reservation &operator=(const Reservation &) = delete;
    Reservation &operator=(Reservation &&) = delete;
    ~Reservation();

private:
    friend std::optional<Reservation> reserve(qint64 bytes);
    friend std::optional<Reservation> hold(qint64 bytes);
    Reservation(qint64 bytes, bool held) : m_bytes(bytes), m_held(held) {}
    qint64 m_bytes = 0;
    bool m_held = false;
};

// Reserves `bytes`, the tables first dropping kept pictures to make room, then waiting while
// decodes in flight hold too much (and, unless the thread works for an export, while an export
// waits); none at once when `bytes` alone exceed the whole budget, or when the thread works for
// a hold (HoldWork) and `bytes` do not fit beside what the holds keep (it would wait for itself);
// none once the wait hears Cancel (LWDecodeWorkers::Cancellable::heard() tells it).
[[nodiscard]] std::optional<Reservation> reserve(qint64 bytes);

// Reserves `bytes` that stay taken while an export keeps decoded pictures: waits until no other
// hold is taken and the bytes fit; none at once when they exceed the whole budget. One hold at a
// time, so that two exports never wait for each other; a thread must not take a second. None
// once the wait hears Cancel, as for reserve.
[[nodiscard]] std::optional<Reservation> hold(qint64 bytes);

// Marks the calling thread, while it lives, as decoding for an export: its reservations go
// before the page view's and the print check's.
class ForExport {
public:
    ForExport();
    ~ForExport();
    ForExport(const ForExport &) = delete;
    ForExport &operator=(const ForExport &) = delete;
};

// Marks the calling thread, while it lives, as decoding for the hold it was made for (and for an
// export); bytes reserved from it that can never fit beside the holds are refused instead of
// waited for.
class HoldWork {
public:
    HoldWork();
    ~HoldWork();
    HoldWork(const HoldWork &) = delete;
    HoldWork &operator=(const HoldWork &) = delete;
    // Whether the last reserve on this thread was refused for the holds (not for the limit).
    static bool refusedForHold();
    // Clears that mark: a decode that fails before it reserves was not refused for the holds.
    static void forgetRefusal();
};

// The budget in bytes, at first the picture cache's decode limit; setLimit (tests) returns the
// old one.
qint64 limit();
// What an export plans to hold with what its decodes take: three quarters of the budget, so that
// the page view's decodes never wait long for an export.
inline qint64 holdLimit() { return limit() / 4 * 3; }
qint64 setLimit(qint64 bytes);
// The most one reservation can ever get beside the holds taken now: the budget less them.
qint64 roomBesideHolds();

// Holds taken and not given back: 0 or 1 (tests and diagnostics).
int holds();

// The picture tables' side: the bytes of decoded pictures they keep now (counted beside
// reservations and holds; past the budget, the next reservation or hold has them drop some), and
// how they are asked to drop: `drop(bytes, forExport)` is called without the budget's lock and
// lets go of up to that many kept bytes (what a page view shows only for an export), telling the
// new total through setKept; a reservation that gets nothing let go waits instead.
void setKept(qint64 bytes);
qint64 kept();
void setDropper(std::function<void(qint64 bytes, bool forExport)> drop);

// The most bytes reserved and held at once (kept pictures apart) since the last resetPeak; at
// resetPeak, what is reserved and held then (tests and diagnostics).
qint64 peak();
void resetPeak();

} // namespace LWDecodeBudget
