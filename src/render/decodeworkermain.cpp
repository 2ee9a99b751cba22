// The decode worker: decodes the pictures the program sends over descriptor 3 (see
// LWDecodeWorkers), so that a decoder's crash, loop or runaway allocation ends only this process.
#include "render/pictures/decodeworker.h"

int main()
{
    constexpr int channel = 3;
    LWDecodeWorker::prepare(channel);
    return LWDecodeWorker::serve(channel, LWPictureDecoder::decodeHere);
}
