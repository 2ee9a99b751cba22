#include "render/pictures/jpegprobe.h"

#include <cstring>

namespace LWJpegProbe {
namespace {

int be16(const uchar *p) { return (p[0] << 8) | p[1]; }

// The end of entropy-coded data starting at p: the first 0xFF followed by a byte that is neither
// a stuffed zero nor a restart marker. Null when the data runs out first.
const uchar *scanEnd(const uchar *p, const uchar *end)
{
    while (p < end) {
        const auto *ff = static_cast<const uchar *>(std::memchr(p, 0xFF, size_t(end - p)));
        if (!ff || ff + 1 >= end)
            return nullptr;
        const uchar next = ff[1];
        if (next != 0x00 && next != 0xFF && !(next >= 0xD0 && next <= 0xD7))
            return ff;
        p = ff + 1 + (next != 0xFF); // a fill byte may precede the marker
    }
    return nullptr;
}

} // namespace

std::optional<Jpeg> passable(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *const end = p + bytes.size();
    if (bytes.size() < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return std::nullopt;
    p += 2;
    Jpeg jpeg;
    bool frame = false, scan = false, rgbIds = false;
    int adobeTransform = -1;
    for (;;) {
        if (end - p < 2 || p[0] != 0xFF)
            return std::nullopt;
        while (p < end && *p == 0xFF) // fill bytes
            ++p;
        if (p >= end)
            return std::nullopt;
        const uchar marker = *p++;
        if (marker == 0xD9) // end of image
            break;
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker < 0xC0)
            return std::nullopt; // no segment may stand here
        if (end - p < 2)
            return std::nullopt;
        const int length = be16(p);
        if (length < 2 || length > end - p)
            return std::nullopt;
        const uchar *body = p + 2;
        const int size = length - 2;
        p += length;
        switch (marker) {
        case 0xC0: case 0xC1: case 0xC2: { // Huffman: baseline, extended, progressive
            if (frame || size < 6)
                return std::nullopt;
            frame = true;
            jpeg.height = be16(body + 1);
            jpeg.width = be16(body + 3);
            jpeg.components = body[5];
            if (body[0] != 8 || jpeg.width < 1 || jpeg.height < 1 ||
                (jpeg.components != 1 && jpeg.components != 3) || size < 6 + 3 * jpeg.components)
                return std::nullopt;
            rgbIds = jpeg.components == 3 && body[6] == 'R' && body[9] == 'G' && body[12] == 'B';
            break;
        }
        case 0xC4: case 0xDB: case 0xDD: case 0xFE: // tables, restart interval, comment
            break;
        case 0xDA: // start of scan: the entropy-coded data follows the header
            if (!frame)
                return std::nullopt;
            scan = true;
            p = scanEnd(p, end);
            if (!p)
                return std::nullopt;
            break;
        default:
            if (marker < 0xE0 || marker > 0xEF) // other frames (arithmetic, lossless), DNL, DAC
                return std::nullopt;
            if (marker == 0xEE && size >= 12 && std::memcmp(body, "Adobe", 5) == 0)
                adobeTransform = body[11];
            break;
        }
    }
    if (!frame || !scan)
        return std::nullopt;
    // Three components are YCbCr unless the file says otherwise; readers and decoders then differ.
    if (jpeg.components == 3 && (adobeTransform == 0 || adobeTransform == 2 || (adobeTransform < 0 && rgbIds)))
        return std::nullopt;
    return jpeg;
}

} // namespace LWJpegProbe
