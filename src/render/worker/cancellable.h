#pragma once
#include <QMutexLocker>
#include <QWaitCondition>
#include <atomic>
#include <functional>

namespace LWDecodeWorkers {

// Cancel, heard by every wait of picture work. While a scope lives, the picture work of the
// calling thread, and of the threads LWParallel lends that work to, asks `cancelled` every few
// hundredths of a second while it waits (for a worker's hello or answer, a worker's place, room
// in the decode budget, another use's decode of the same picture) and before each go: true ends
// that wait at once (a worker waited on is ended, with no second go) and the work fails
// `unavailable`, nothing remembered of the picture. `cancelled` may be asked from those threads
// at once. Scopes nest; the innermost asks.
class Cancellable {
public:
    explicit Cancellable(std::function<bool()> cancelled);
    ~Cancellable();
    Cancellable(const Cancellable &) = delete;
    Cancellable &operator=(const Cancellable &) = delete;
    // Whether the innermost scope's caller has cancelled (false outside any); once true, it is
    // heard() for as long as that scope lives.
    [[nodiscard]] static bool now();
    [[nodiscard]] static bool heard();
    // Whether a scope lives on this thread (its waits then wake to ask).
    [[nodiscard]] static bool listening();

    // Waits on `condition` with `guard`'s mutex, as QWaitCondition::wait does (callers look again
    // at what they wait for); within a scope it wakes every few hundredths of a second and asks
    // it with the mutex let go. False, the mutex locked again, once Cancel is heard.
    [[nodiscard]] static bool wait(QWaitCondition &condition, QMutexLocker<QMutex> &guard);

    // The calling thread's innermost scope, for work it hands to other threads: a Lent there
    // makes it theirs while the Lent lives. The scope must outlive the Lent.
    [[nodiscard]] static Cancellable *current();
    class Lent {
    public:
        explicit Lent(Cancellable *scope);
        ~Lent();
        Lent(const Lent &) = delete;
        Lent &operator=(const Lent &) = delete;

    private:
        Cancellable *m_was;
    };

    // How often a wait within a scope asks.
    static constexpr int askEveryMs = 20;

private:
    std::function<bool()> m_cancelled;
    Cancellable *m_outer = nullptr;
    std::atomic<bool> m_heard = false;
};

} // namespace LWDecodeWorkers
