#pragma once
#include <functional>

// Splits work over the machine's cores: the calling thread works too, so a call made from a
// busy or nested pool never waits on threads that cannot start.
namespace LWParallel {

// How many threads share the work (at least 1).
int workers();

// Runs task(i) for every i in [0, count), each once, in any order and on any thread; returns when
// all have finished. Tasks must not throw.
void forEach(int count, const std::function<void(int)> &task);

} // namespace LWParallel
