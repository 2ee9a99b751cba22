// The decode worker: decodes the pictures the program sends over descriptor 3 (see
// LWDecodeWorkers), so that a decoder's crash, loop or runaway allocation ends only this process.
#include "render/worker/decodeworker.h"

#include <cstdlib>

int main()
{
    constexpr int channel = 3;
    const bool confined = LWDecodeWorker::prepare(channel);
    // Straight out: the filter refuses what exit handlers may open (the leak checker's /proc).
    std::_Exit(LWDecodeWorker::serve(channel, LWPictureDecoder::decodeHere, confined));
}
