#include "render/pictures/imageproperties.h"

#include "render/pictures/picturedecoder.h"

std::optional<LWImageProperties> LWImageProperties::read(const QByteArray &bytes)
{
    // Told by a decode worker after our own checks: no third-party reader runs in the program.
    const std::optional<LWPictureDecoder::Header> h = LWPictureDecoder::header(bytes);
    if (!h)
        return std::nullopt;
    return LWImageProperties{h->stored.width(), h->stored.height(), h->orientation};
}
