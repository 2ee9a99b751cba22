#pragma once
#include <QtGlobal>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <vector>

// What the program sees of a decode worker from outside, through /proc, without its help: what
// it holds between requests, and how a wait for its answer ended. A worker that misbehaves within
// the protocol (keeps what it was handed, asks for threads in a loop, sleeps) is told by what it
// did, never by how fast the machine was.
namespace LWWorkerWatch
{

// What a worker holds. Descriptors and memfds only where its descriptors can be read (the worker
// is not dumpable: as root), -1 elsewhere; the memfds it holds are freed by the program in any
// case (LWDecodeProtocol::release).
struct Holding {
    int descriptors = -1, memfds = -1, threads = -1;
    qint64 sharedKb = -1; // shared memory it maps (memfds, shared anonymous mappings)
    qint64 dataKb = -1;   // its private writable memory
};
[[nodiscard]] Holding holdingOf(pid_t pid);

// Whether a worker holds more after a request than at its hello: a descriptor, a memfd, a thread
// or shared memory more, or more data than half `dataMargin` (a decoder's heap that was not given
// back, which would leave the next decode less than its limit; not counted when `dataMargin` is 0).
[[nodiscard]] bool holdsMore(const Holding &hello, const Holding &now, qint64 dataMargin);

// How a wait for the worker's message ended: it came (or the channel closed); the wall clock
// ran out while the worker's waits for a CPU explain the delay, or while it waited on the disk in
// uninterruptible sleep (starved: a loaded machine's, or one short of memory), or after it used
// well under the time it could have run (blocked: its own doing, whatever it did when looked at);
// it kept asking for threads past its count; or the caller cancelled.
enum class Heard { message, starved, blocked, asking, cancelled };

struct Listened {
    Heard heard = Heard::message;
    int refused = 0; // threads it asked for past its count, each refused at once
    qint64 cpuMs = -1; // the CPU time it used until its message came (-1: not known)
};

// A thread ask refused more often than this in one wait ends the wait.
inline constexpr int mostRefusals = 4;

// Waits for a message on `channel`, answering the thread asks on `listener` (granted while the
// worker has fewer than `mostThreads`, counting those granted to `asking` until they ask again).
// The wall clock counts the time the worker could have run: its waits for a CPU (all its
// threads', also those that ended) and for the answers to its thread asks (as the watcher
// measured each answer until it went, once, its own wait for a CPU while an ask waited included)
// do not count against `wallMs`. Waits are read from the scheduler's account and, for each
// thread, where more, sampled at moments the worker cannot foresee: a thread found runnable that
// has not run a fraction of a millisecond later, has ended, or ran after a wait begun before the
// sample was kept from a CPU for the time since the last sample (one that the watcher's own look
// kept waiting runs at once).
// Once that reaches `wallMs`, a worker in uninterruptible sleep is starved; one that used less
// than half that time on a CPU (all its threads together) is blocked; one that used more is looked
// at again, every max(50 ms, wall / 16). Past three times the wall clock in all it is starved.
// `cancelled`, when given, is asked every few hundredths of a second: true ends the wait at once
// (the caller ends the worker). The worker's process ending ends the wait at once as a message
// (which then reads as none), also when another process still holds its end of `channel`.
[[nodiscard]] Listened listen(pid_t pid, int channel, int listener, std::vector<pid_t> &asking,
                              int mostThreads, int wallMs, const std::function<bool()> &cancelled = {});

// Thread asks refused since the process began.
[[nodiscard]] qint64 refusedAsks();

} // namespace LWWorkerWatch
