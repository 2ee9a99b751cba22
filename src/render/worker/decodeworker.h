#pragma once
#include "render/pictures/picturedecoder.h"
#include "render/worker/workersandbox.h"

#include <functional>

// The worker's side of LWDecodeWorkers: answers decode requests on its channel, one at a time,
// under the limits the program sets on it for each request (which it cannot change), until the
// channel ends.
namespace LWDecodeWorker {

// A decode may hand its rows to the RowsOut given (LWPictureDecoder::decodeHere).
using Decode = std::function<LWPictureDecoder::Result(const QByteArray &, const LWPictureDecoder::Request &,
                                                      const LWPictureDecoder::RowsOut &)>;
using ReadHeader = std::function<std::optional<LWPictureDecoder::Header>(const QByteArray &)>;

// The worker's own threads on any machine: Qt's pool (scaling, conversions) has this many; the
// decoders see no core count and use one.
inline constexpr int qtThreads = 2;
// Its threads at most, which the program sets as its task limit: the main one, Qt's, and the one
// an HEVC decoder starts for each picture (the others see one core and start none).
inline constexpr int mostThreads = 1 + qtThreads + 1;
// Each thread's stack: the threads' stacks together stay a small part of the memory margin.
inline constexpr size_t threadStack = size_t(2) << 20;
// Its descriptors: the three standard ones, the channel, a decode's two memfds, an eventfd for
// each Qt thread and the main one, and a few to spare.
inline constexpr int openDescriptors = 4 + 2 + (qtThreads + 1) + 6;

// Loads every image reader a decode uses: a decode never needs to open a file.
void loadReaders();

// Starts the worker's threads, all it will have (Qt's pool, kept for good), each with a small stack.
void startThreads();

// Makes the process a worker before its first request, while it has one thread: the first the
// system's memory killer ends, ended itself when the program ends, namespaces of its own where
// it can, every descriptor closed but the standard ones and `channel`, every image reader loaded
// (nothing is loaded later), an empty root, its threads started and descriptors bounded, then
// shut in by the sandbox's `layers` (all but in tests). False when the filter could not be
// installed, or with fewer layers, when one of them could not be set up.
[[nodiscard]] bool prepare(int channel, unsigned layers = LWWorkerSandbox::allLayers);

// The worker's first message on `channel`: whether it is `confined`, with the listener its filter
// asks new threads of (then closed here, so that the worker cannot answer itself). False when
// the program is gone.
[[nodiscard]] bool hello(int channel, bool confined);

// Says hello on `channel`, then serves requests with `decode` (header
// questions with `header`) until the channel ends (returns 0) or a request breaks the protocol
// (returns 2). Unless `confined`, decodes nothing: it says so on stderr and ends (returns 3).
[[nodiscard]] int serve(int channel, const Decode &decode, bool confined,
                        const ReadHeader &header = LWPictureDecoder::headerHere);

} // namespace LWDecodeWorker
