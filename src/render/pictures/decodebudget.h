#pragma once
#include <QtGlobal>
#include <optional>
#include <utility>

// One budget of memory for every picture decode in flight in the process: a decode reserves
// what it may allocate at its peak before it allocates anything and gives it back when it ends,
// so many large pictures decoding at once on many cores stay within the budget together.
// A thread holding a reservation never waits for another. Thread-safe.
namespace LWDecodeBudget {

// Bytes reserved until destroyed.
class Reservation {
public:
    Reservation(Reservation &&other) noexcept : m_bytes(std::exchange(other.m_bytes, 0)) {}
    Reservation(const Reservation &) = delete;
    Reservation &operator=(const Reservation &) = delete;
    Reservation &operator=(Reservation &&) = delete;
    ~Reservation();

private:
    friend std::optional<Reservation> reserve(qint64 bytes);
    explicit Reservation(qint64 bytes) : m_bytes(bytes) {}
    qint64 m_bytes = 0;
};

// Reserves `bytes`, waiting while decodes in flight hold too much; none at once when `bytes`
// alone exceed the whole budget.
[[nodiscard]] std::optional<Reservation> reserve(qint64 bytes);

// The budget in bytes, at first the picture cache's decode limit; setLimit (tests) returns the
// old one.
qint64 limit();
qint64 setLimit(qint64 bytes);

// The most bytes reserved at once since the last resetPeak (tests and diagnostics).
qint64 peak();
void resetPeak();

} // namespace LWDecodeBudget
