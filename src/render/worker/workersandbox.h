#pragma once

// What shuts a decode worker in: after its set-up it reaches nothing but the descriptors it holds
// (its channel, the memfds of a decode, stderr for warnings), whatever code runs in it.
namespace LWWorkerSandbox {

// The layers, each of which holds on its own; the program sets up all of them, tests one alone.
enum Layer : unsigned {
    ownRoot = 1,  // isolate() and emptyRoot()
    landlock = 2, // restrictSelf()'s Landlock
    filter = 4,   // install()
    allLayers = 7,
};

// A user, network and mount namespace of its own (no network, no abstract sockets, no capability
// over anything outside); as root where user namespaces are refused, a network and mount
// namespace. Only while the process has one thread. False without a mount namespace of its own,
// which the filter makes up for: it refuses every call that can carry a path.
[[nodiscard]] bool isolate();

// After isolate(), once everything the worker loads is loaded: its root an empty read-only
// directory of its own, the machine's root let go, so that no path leads anywhere. False when it
// could not be made.
[[nodiscard]] bool emptyRoot();

// For the calling thread and those it starts later: no new privileges, no capabilities, no core
// dumps or tracing by others, and, with `withLandlock`, Landlock without file or network access
// and with signals and abstract sockets kept within (as much as the kernel has). False when new
// privileges could not be refused.
[[nodiscard]] bool restrictSelf(bool withLandlock = true);

// Whether the process's tasks are counted apart from every other process's (a user namespace of
// its own, not as root, whose tasks no task limit counts): the program's task limit then bounds
// its threads too.
[[nodiscard]] bool alone();

// What the calls the worker may not make do.
enum class Refusal {
    fail,    // fail with EPERM (those that can never be legitimate end the process)
    listened // go to the listener returned by install(), which decides (the fuzz target)
};

// Installs, in every thread, the allow-list: reading and writing the descriptors it holds (none
// made but eventfds), messages on `channel` only, memory without execution, futexes, time, random
// bytes, signals to itself, reading (never setting) its own limits, exit. No call that takes a
// path: glibc's fstat (a path-taking call with an empty path) is answered here. A new thread is
// asked of whoever holds the listener, which the program counts them by. The listener's
// descriptor (with Refusal::listened, it hears every refusal); -1 when the filter could not be
// installed (or the architecture's call numbers were never checked).
[[nodiscard]] int install(int channel, Refusal refusal = Refusal::fail);

} // namespace LWWorkerSandbox
