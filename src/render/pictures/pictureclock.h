#pragma once
#include <chrono>

// The time the picture tables and their queue go by: pauses after a failed decode and jobs
// deferred until those end. Steady, plus whatever tests moved it on by. Thread-safe.
namespace LWPictureClock {

using Time = std::chrono::steady_clock::time_point;

[[nodiscard]] Time now();
// Tests: moves the clock on, and starts the queued jobs that were waiting until a time now past.
void advanceForTests(std::chrono::milliseconds by);

} // namespace LWPictureClock
