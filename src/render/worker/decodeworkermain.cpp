// The decode worker: decodes the pictures the program sends over descriptor 3 (see
// LWDecodeWorkers), so that a decoder's crash, loop or runaway allocation ends only this process.
#include "render/worker/decodeworker.h"

#include <cstdlib>

int main()
{
    constexpr int channel = 3;
    const bool confined = LWDecodeWorker::prepare(channel);
    // Straight out: the filter refuses what exit handlers may open (the leak checker's /proc).
    const auto decode = [](const QByteArray &bytes, const LWPictureDecoder::Request &request,
                           const LWPictureDecoder::RowsOut &out) { return LWPictureDecoder::decodeHere(bytes, request, out); };
    std::_Exit(LWDecodeWorker::serve(channel, decode, confined));
}
