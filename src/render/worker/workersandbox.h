#pragma once

// What shuts a decode worker in: after its set-up it reaches nothing but the descriptors it holds
// (its channel, the memfds of a decode, stderr for warnings), whatever code runs in it.
namespace LWWorkerSandbox {

// A user and network namespace of its own (no network, no abstract sockets, no capability over
// anything outside). Only while the process has one thread; false where the system allows none,
// which the other layers make up for.
[[nodiscard]] bool isolate();

// What the calls the worker may not make do.
enum class Refusal {
    fail,    // fail with EPERM (those that can never be legitimate end the process)
    listened // go to the listener returned by install(), which decides (the fuzz target)
};

// Installs, in every thread, the allow-list: reading and writing the descriptors it holds,
// messages on `channel` only, memory without execution, futexes, threads (clone with thread flags
// only), time, random bytes, signals to itself, reading (never setting) its own limits, exit. The
// descriptor of the listener with Refusal::listened, else 0; -1 when the filter could not be
// installed (or the architecture's call numbers were never checked).
[[nodiscard]] int install(int channel, Refusal refusal = Refusal::fail);

// The whole confinement, the last step of the worker's set-up: no new privileges, no core dumps or
// tracing by others, Landlock with no file or network access and signals kept within (where the
// kernel has it), then install(). False when the filter could not be installed.
[[nodiscard]] bool confine(int channel);

} // namespace LWWorkerSandbox
