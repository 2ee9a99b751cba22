#include "render/pictures/formats/jpegprobe.h"

#include <algorithm>
#include <cstring>
#include <functional>

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

// The segment whose length field starts at p: its body and size, p moved past it. False when it
// runs past the end.
bool takeSegment(const uchar *&p, const uchar *end, const uchar *&body, int &size)
{
    if (end - p < 2)
        return false;
    const int length = be16(p);
    if (length < 2 || length > end - p)
        return false;
    body = p + 2;
    size = length - 2;
    p += length;
    return true;
}

// Calls `segment(marker, body, size)` for each marker segment up to the end-of-image marker,
// skipping the entropy-coded data after each start of scan; the callback stops the walk by
// returning false. True when the walk reached the end-of-image marker within the bytes.
using Segment = std::function<bool(uchar marker, const uchar *body, int size)>;
bool walk(const QByteArray &bytes, const Segment &segment)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *const end = p + bytes.size();
    if (bytes.size() < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return false;
    p += 2;
    for (;;) {
        if (end - p < 2 || p[0] != 0xFF)
            return false;
        while (p < end && *p == 0xFF) // fill bytes
            ++p;
        if (p >= end)
            return false;
        const uchar marker = *p++;
        if (marker == 0xD9) // end of image
            return true;
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker < 0xC0)
            return false; // no segment may stand here
        const uchar *body = nullptr;
        int size = 0;
        if (!takeSegment(p, end, body, size) || !segment(marker, body, size))
            return false;
        if (marker == 0xDA) { // the entropy-coded data follows the scan header
            p = scanEnd(p, end);
            if (!p)
                return false;
        }
    }
}

} // namespace

std::optional<Jpeg> passable(const QByteArray &bytes)
{
    Jpeg jpeg;
    bool frame = false, scan = false, rgbIds = false;
    int adobeTransform = -1;
    const bool whole = walk(bytes, [&](uchar marker, const uchar *body, int size) {
        switch (marker) {
        case 0xC0: case 0xC1: case 0xC2: { // Huffman: baseline, extended, progressive
            if (frame || size < 6)
                return false;
            frame = true;
            jpeg.height = be16(body + 1);
            jpeg.width = be16(body + 3);
            jpeg.components = body[5];
            if (body[0] != 8 || jpeg.width < 1 || jpeg.height < 1 ||
                (jpeg.components != 1 && jpeg.components != 3) || size < 6 + 3 * jpeg.components)
                return false;
            rgbIds = jpeg.components == 3 && body[6] == 'R' && body[9] == 'G' && body[12] == 'B';
            return true;
        }
        case 0xC4: case 0xDB: case 0xDD: case 0xFE: // tables, restart interval, comment
            return true;
        case 0xDA: // start of scan
            scan = frame;
            return frame;
        default:
            if (marker < 0xE0 || marker > 0xEF) // other frames (arithmetic, lossless), DNL, DAC
                return false;
            if (marker == 0xEE && size >= 12 && std::memcmp(body, "Adobe", 5) == 0)
                adobeTransform = body[11];
            return true;
        }
    });
    if (!whole || !frame || !scan)
        return std::nullopt;
    // Three components are YCbCr unless the file says otherwise; readers and decoders then differ.
    if (jpeg.components == 3 && (adobeTransform == 0 || adobeTransform == 2 || (adobeTransform < 0 && rgbIds)))
        return std::nullopt;
    return jpeg;
}

Layout layout(const QByteArray &bytes)
{
    Layout out;
    int components = 0;
    const auto *const start = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *const end = start + bytes.size();
    const uchar *p = start + 2;
    if (bytes.size() < 4 || start[0] != 0xFF || start[1] != 0xD8)
        return out;
    // As the decoder reads: anything up to the next marker is skipped (garbage, entropy-coded
    // data), markers without parameters (restarts, TEM) are passed over, so no marker hides the
    // scans after it.
    for (;;) {
        const auto *ff = static_cast<const uchar *>(std::memchr(p, 0xFF, size_t(end - p)));
        if (!ff)
            return out;
        p = ff;
        while (p < end && *p == 0xFF)
            ++p;
        if (p >= end)
            return out;
        const uchar marker = *p++;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (marker == 0xD9 || marker == 0xD8 || marker < 0xC0)
            return out; // the end, or a marker the decoder refuses
        const uchar *body = nullptr;
        int size = 0;
        if (!takeSegment(p, end, body, size))
            return out;
        const bool sof = marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof && size >= 6 && components == 0) {
            components = body[5];
            out.height = be16(body + 1);
            out.width = be16(body + 3);
            out.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            int hMax = 1, vMax = 1, samples = 0;
            for (int i = 0; i < components && 6 + 3 * i + 2 < size; ++i) {
                const int h = std::max(1, body[7 + 3 * i] >> 4), v = std::max(1, body[7 + 3 * i] & 15);
                hMax = std::max(hMax, h);
                vMax = std::max(vMax, v);
                samples += h * v;
            }
            out.samplesPerPixel = double(samples) / (hMax * vMax);
        } else if (marker == 0xDA && size >= 1) {
            // A first scan of fewer components than the frame makes the decoder keep every
            // coefficient of the picture, as progressive coding does.
            if (out.scans++ == 0 && body[0] < components)
                out.progressive = true;
        }
    }
}

} // namespace LWJpegProbe
