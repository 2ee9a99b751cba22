#include "render/parallel.h"

#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace LWParallel {

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
        int count;
        std::atomic<int> next{0};
        int done = 0;
        std::mutex lock;
        std::condition_variable finished;
    };
    auto shared = std::make_shared<Shared>();
    shared->task = &task;
    shared->count = count;
    auto work = [shared] {
        for (int i; (i = shared->next.fetch_add(1)) < shared->count;) {
            (*shared->task)(i);
            std::lock_guard<std::mutex> locker(shared->lock);
            if (++shared->done == shared->count)
                shared->finished.notify_all();
        }
    };
    const int helpers = std::min(count, workers()) - 1;
    for (int k = 0; k < helpers; ++k)
        QThreadPool::globalInstance()->start(work);
    work();
    std::unique_lock<std::mutex> locker(shared->lock);
    shared->finished.wait(locker, [&] { return shared->done == shared->count; });
}

} // namespace LWParallel
