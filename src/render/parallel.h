#pragma once
#include <functional>

// Splits work over the machine's cores: the calling thread works too, so a call made from a
// busy or nested pool never waits on threads that cannot start.
namespace LWParallel {

// How many threads share the work (at least 1).
int workers();

// While it lives, the calling thread's forEach and ordered run on that thread alone: work beside
// the interface (a picture for the page view) leaves the cores to what the user waits for.
class Alone {
public:
    Alone();
    ~Alone();
    Alone(const Alone &) = delete;
    Alone &operator=(const Alone &) = delete;
};

// Runs task(i) for every i in [0, count), each once, in any order and on any thread; returns when
// all have finished. Tasks must not throw.
void forEach(int count, const std::function<void(int)> &task);

// Runs make(i) for every i in [0, count) on all cores, never more than `window` indexes past the
// first one not yet taken, and take(i) on the calling thread in index order as each is made.
// When take returns false no further index is made or taken. Returns when every make that
// started has finished; true when all were taken. Callbacks must not throw.
bool ordered(int count, int window, const std::function<void(int)> &make, const std::function<bool(int)> &take);

} // namespace LWParallel
