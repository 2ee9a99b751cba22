#pragma once
#include "render/pictures/picturedecoder.h"

#include <functional>

// The worker's side of LWDecodeWorkers: answers decode requests on its channel, one at a time,
// under the limits each request sets, until the channel ends.
namespace LWDecodeWorker {

using Decode = std::function<LWPictureDecoder::Result(const QByteArray &, const LWPictureDecoder::Request &)>;
using ReadHeader = std::function<std::optional<LWPictureDecoder::Header>(const QByteArray &)>;

// Makes the process a worker before its first request: closes every descriptor but the standard
// ones and `channel`, loads every image reader the decodes use (nothing is loaded later), bounds
// the open descriptors and then refuses, through a seccomp filter, any call that opens a file or
// a socket or runs a program.
void prepare(int channel);

// Serves requests on `channel` with `decode` (header questions with `header`) until the channel
// ends (returns 0) or a request breaks the protocol (returns 2).
[[nodiscard]] int serve(int channel, const Decode &decode, const ReadHeader &header = LWPictureDecoder::headerHere);

} // namespace LWDecodeWorker
