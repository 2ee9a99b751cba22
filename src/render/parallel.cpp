#include "render/parallel.h"
#include "render/worker/cancellable.h"

#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {
thread_local int alone = 0;
} // namespace

namespace LWParallel {

Alone::Alone() { ++alone; }
Alone::~Alone() { --alone; }

int workers()
{
    return std::max(1, QThreadPool::globalInstance()->maxThreadCount());
}

void forEach(int count, const std::function<void(int)> &task)
{
    if (count <= 0)
        return;
    if (count == 1) {
        task(0);
        return;
    }
    // Helpers that start after the last index was taken only read the counter, so the state
    // they share outlives this call; `task` is touched only while an index is outstanding.
    struct Shared {
        const std::function<void(int)> *task;
        LWDecodeWorkers::Cancellable *cancel; // the caller's, heard by the tasks' waits
        int count;
        std::atomic<int> next{0};
        int done = 0;
        std::mutex lock;
        std::condition_variable finished;
    };
    auto shared = std::make_shared<Shared>();
    shared->task = &task;
    shared->cancel = LWDecodeWorkers::Cancellable::current();
    shared->count = count;
    auto work = [shared] {
        for (int i; (i = shared->next.fetch_add(1)) < shared->count;) {
            {
                const LWDecodeWorkers::Cancellable::Lent lent(shared->cancel);
                (*shared->task)(i);
            }
            std::lock_guard<std::mutex> locker(shared->lock);
            if (++shared->done == shared->count)
                shared->finished.notify_all();
        }
    };
    const int helpers = alone > 0 ? 0 : std::min(count, workers()) - 1;
    for (int k = 0; k < helpers; ++k)
        QThreadPool::globalInstance()->start(work);
    work();
    std::unique_lock<std::mutex> locker(shared->lock);
    shared->finished.wait(locker, [&] { return shared->done == shared->count; });
}

bool ordered(int count, int window, const std::function<void(int)> &make, const std::function<bool(int)> &take)
{
    if (count <= 0)
        return true;
    window = std::max(window, 1);
    // Helpers that start late or wake after a stop find nothing to claim and leave without
    // touching `make`; the caller waits until no make is running.
    struct Shared {
        const std::function<void(int)> *make;
        int count, window;
        int next = 0, taken = 0, running = 0;
        bool stopped = false;
        std::vector<char> ready;
        std::mutex lock;
        std::condition_variable changed;
        bool claimable() const { return !stopped && next < count && next < taken + window; }
    };
    auto shared = std::make_shared<Shared>();
    shared->make = &make;
    shared->count = count;
    shared->window = window;
    shared->ready.assign(size_t(count), 0);
    // Makes one claimed index with the lock released; the lock is held again on return.
    const auto makeOne = [](Shared &s, std::unique_lock<std::mutex> &locker) {
        const int i = s.next++;
        ++s.running;
        locker.unlock();
        (*s.make)(i);
        locker.lock();
        s.ready[size_t(i)] = 1;
        --s.running;
        s.changed.notify_all();
    };
    const auto helper = [shared, makeOne] {
        std::unique_lock<std::mutex> locker(shared->lock);
        for (;;) {
            shared->changed.wait(locker, [&] { return shared->claimable() || shared->stopped || shared->next >= shared->count; });
            if (!shared->claimable())
                return;
            makeOne(*shared, locker);
        }
    };
    const int helpers = alone > 0 ? 0 : std::min(count, workers()) - 1;
    for (int k = 0; k < helpers; ++k)
        QThreadPool::globalInstance()->start(helper);

    Shared &s = *shared;
    bool complete = true;
    std::unique_lock<std::mutex> locker(s.lock);
    while (s.taken < count && !s.stopped) {
        if (s.ready[size_t(s.taken)]) {
            const int i = s.taken;
            locker.unlock();
            const bool more = take(i);
            locker.lock();
            ++s.taken;
            if (!more)
                s.stopped = true, complete = false;
            s.changed.notify_all();
        } else if (s.claimable()) {
            makeOne(s, locker); // the caller works too, so no pool thread is needed
        } else {
            s.changed.wait(locker);
        }
    }
    s.stopped = true;
    s.changed.notify_all();
    s.changed.wait(locker, [&] { return s.running == 0; });
    return complete;
}

} // namespace LWParallel
