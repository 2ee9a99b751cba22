#include "render/worker/cancellable.h"

#include <QDeadlineTimer>

namespace {
thread_local LWDecodeWorkers::Cancellable *innermost = nullptr;
} // namespace

namespace LWDecodeWorkers {

Cancellable::Cancellable(std::function<bool()> cancelled)
    : m_cancelled(std::move(cancelled)), m_outer(innermost)
{
    innermost = this;
}

Cancellable::~Cancellable() { innermost = m_outer; }

bool Cancellable::now()
{
    Cancellable *c = innermost;
    if (c && !c->m_heard && c->m_cancelled && c->m_cancelled())
        c->m_heard = true;
    return c && c->m_heard;
}

bool Cancellable::heard() { return innermost && innermost->m_heard; }

bool Cancellable::listening() { return innermost != nullptr; }

bool Cancellable::wait(QWaitCondition &condition, QMutexLocker<QMutex> &guard)
{
    if (!innermost) {
        condition.wait(guard.mutex());
        return true;
    }
    if (heard())
        return false;
    (void)condition.wait(guard.mutex(), QDeadlineTimer(askEveryMs));
    // Asked without the lock: the caller's question may ask what that lock guards.
    guard.unlock();
    const bool cancelled = now();
    guard.relock();
    // A wake this wait may have taken goes to another waiter, which may wait without a scope.
    if (cancelled)
        condition.wakeOne();
    return !cancelled;
}

Cancellable *Cancellable::current() { return innermost; }

Cancellable::Lent::Lent(Cancellable *scope) : m_was(innermost) { innermost = scope; }

Cancellable::Lent::~Lent() { innermost = m_was; }

} // namespace LWDecodeWorkers
