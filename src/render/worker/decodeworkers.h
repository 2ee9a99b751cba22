#pragma once
#include "render/pictures/picturedecoder.h"
#include "render/worker/cancellable.h"

#include <QSize>
#include <QString>
#include <algorithm>
#include <functional>

// Decodes pictures in worker processes (the program `leafwrighter-decode` beside the running
// one), where a third-party decoder that crashes, loops or allocates without end loses only its
// worker. A small pool, as many as the cores decodes use, started on first use and reused; a dead
// worker is replaced by a fresh one. The bytes go in and the pixels come back through sealed
// memfds; the image returned maps the worker's pixels without a copy. Thread-safe.
namespace LWDecodeWorkers {

// What a decode reserved from the budget may grow by in the worker before it is refused (the
// worker's own data and its few threads' stacks: the decoders' peaks are in the reservation).
inline constexpr qint64 memoryMargin = qint64(64) << 20;
// Workers alive at once at most, whatever the cores: what the workers hold beyond the budget is
// at most this many margins.
inline constexpr int mostWorkers = 8;

// How a decode is tried. A decoder short of memory under the data limit may say anything (an
// unreadable picture, a refused allocation, a crash): given `underLimit`, such a failure is
// returned at once with it set, for the caller to try the same decode again with ample room
// (ampleRoom, reserved anew); that `ample` go runs in a fresh worker, and its failures are the
// picture's own.
struct Try {
    bool ample = false;
    bool *underLimit = nullptr;
};
// The room of a decode's second go: twice what it reserved, and at least 256 MB more.
[[nodiscard]] inline qint64 ampleRoom(qint64 reserved)
{
    return std::max(2 * reserved, reserved + (qint64(256) << 20));
}

// LWPictureDecoder::decodeHere run in a worker with a memory limit of `reserved` plus the margin
// (its data, the one memfd it may write, and all it maps beyond its own set-up and the bytes;
// none under AddressSanitizer, which maps terabytes), and the CPU-time and wall-clock limits of
// limitsFor, after which the worker is killed; its limits are set from here, and it cannot change
// them. The answer's memfd is sized here for the most an answer of `made` pixels can take and
// cannot grow; every memfd handed is freed here once done, whatever the worker kept of it. The
// wall clock does not count the time the worker waits for a CPU (LWWorkerWatch::listen). A
// worker that dies, breaks the protocol, keeps asking for threads past its count, or used well
// under the time its wall clock gave it (blocked, however it spread its work), gets a second try
// in a fresh one; after that, or past its CPU time (no second try), the picture is `unreadable`.
// One refused memory within its limit gives `tooLarge`; the machine's own want of memory (the
// worker killed by the system, or unable to hand its pixels over) `outOfMemory`; the worker
// program missing or unable to start (or to say hello, blocked) `decoderMissing`, or unable to
// shut itself in `decoderUnsafe` (see trouble()); no descriptor or process left, the wall clock
// run out while the worker's waits for a CPU explain the delay or it waited on the disk (a loaded
// machine, or one short of memory), or the decode cancelled (Cancellable, also while it waited
// for a worker or its hello) `unavailable`, with no second try. Requests and results keep every
// field. An answer other than an image of `made` pixels, of a format the program takes, with
// pixels within `reserved`, written and sealed, is broken: the worker is ended. A worker left
// holding more after a request than at its hello (a descriptor, a memfd, a thread, shared memory)
// or more data than half its margin (what a decoder's heap kept) is ended, not reused: the next
// decode's limit is its own.
[[nodiscard]] LWPictureDecoder::Result decode(const QByteArray &bytes, const LWPictureDecoder::Request &request,
                                              qint64 reserved, QSize made, qint64 declaredPixels = 0,
                                              const Try &go = {});

// A decode's CPU time and wall clock: a small base plus a rate per megapixel of the size the
// picture declares (without one, of what `reserved` holds at four bytes a pixel).
struct Limits {
    int cpuMilliseconds = 0, wallMilliseconds = 0;
};
[[nodiscard]] Limits limitsFor(qint64 declaredPixels, qint64 reserved);

// LWPictureDecoder::headerHere run in a worker under small limits (a fixed data limit beside
// the bytes, a second or two of CPU, a few seconds of wall clock). None when the worker cannot
// read the header, passes a limit or answers outside the protocol; `lasting` is set false when
// the answer says nothing of the picture (no worker could start, and why in `cannot`; the wall
// clock ran out while its waits for a CPU or the disk explain the delay; it was cancelled; or the
// system killed it). A reader that fails or crashes under the data limit, is blocked past the wall
// clock or keeps asking for threads is asked again in a fresh worker with ample room, whose answer
// stands; one past its CPU time is asked once.
[[nodiscard]] std::optional<LWPictureDecoder::Header> header(const QByteArray &bytes, bool *lasting,
                                                             LWPictureDecoder::Failure *cannot = nullptr);

// What keeps every picture from decoding now: none, or what the last worker started of the
// program asked now found (decoderMissing, decoderUnsafe). Once one is found, no worker is
// started for a few seconds unless the worker program changes on disk (reinstalled); the first
// that shuts itself in ends it.
[[nodiscard]] LWPictureDecoder::Failure trouble();

// Ends every worker (idle ones at once, busy ones killed, one starting once it has said hello,
// their decodes failing) and starts no other: the program is ending. Run when the application object ends; workers the program leaves
// behind end with it in any case.
void endAll();

struct Stats {
    int started = 0;     // workers started since the process began
    qint64 decodes = 0;  // decodes answered by a worker (failures included)
    int running = 0;     // workers alive now
    int busy = 0;        // of them, those taken for a request now
    qint64 handed = 0;   // picture bytes handed to workers, each request's once (headers and decodes)
    int endedHolding = 0; // workers ended for holding more after a request than at their hello
    qint64 refusedThreads = 0; // thread asks refused, each at once
};
[[nodiscard]] Stats stats();

// Tests: the worker program to start instead (empty: the usual one), fixed time limits for
// every decode (0: by its size) and the wall clock of a new worker's hello (0: the usual).
// Workers already started are ended.
void setForTests(const QString &program, int cpuSeconds, int wallMilliseconds, int helloMilliseconds = 0);

} // namespace LWDecodeWorkers
