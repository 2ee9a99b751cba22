#pragma once
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

// HEIF/HEIC (and AVIF, where libheif has a decoder) through libheif, which Qt cannot read.
// The sizes and pixels given here already carry the file's own rotation and mirroring, so
// callers treat the result as upright and never apply an orientation tag to it. Thread-safe.
namespace LWHeif {

// Whether the bytes are a HEIF container libheif can read: by its major brand, or a generic one
// (mif1, msf1) with a compatible brand libheif decodes. Looks at the header only.
[[nodiscard]] bool isHeif(const QByteArray &bytes);

// Whether AV1-coded pictures (AVIF) decode here: offered to the user exactly when they do.
[[nodiscard]] bool readsAvif();

// What decoding takes besides the RGBA image made, in bytes a pixel: once per pixel of the
// picture for the decoded planes libheif assembles and converts, and once more per pixel of the
// largest coded image for the decoder's own frames; 8-bit pictures take decoderBytesPerPixel,
// deeper ones (16 bits a sample) deepDecoderBytesPerPixel. Measured peaks, RGBA included: 6.9
// bytes a pixel for a 72-MP AVIF, 7.0 for a 48-MP HEIC grid, 9.5 for a 4-MP AVIF, 12.9 for a
// 4-MP 10-bit HEIC.
inline constexpr qint64 decoderBytesPerPixel = 3;
inline constexpr qint64 deepDecoderBytesPerPixel = 6;
// The primary image as the container describes it: its upright size, what decoding it takes
// besides the image (decoderBytesPerPixel or, deeper than 8 bits or when libheif cannot tell,
// deepDecoderBytesPerPixel) and whether it has alpha. Reads the container only.
struct Primary {
    QSize size;
    qint64 work = deepDecoderBytesPerPixel;
    bool alpha = true;
};
[[nodiscard]] std::optional<Primary> primaryOf(const QByteArray &bytes);

// The primary image decoded to 8-bit RGBA (deeper images are reduced; RGBX without alpha, so
// that scaling needs no premultiplied copy), upright. None when the
// bytes cannot be decoded, the image holds more than maxPixels pixels (checked before anything
// is decoded) or the decoder made another size than the container declares. Tiles decode one at
// a time on the calling thread. `outOfMemory` is set when libheif said it could not allocate
// (whose other errors, under a data limit, may be want of memory as well: callers decide).
[[nodiscard]] std::optional<QImage> decode(const QByteArray &bytes, qint64 maxPixels,
                                           bool *outOfMemory = nullptr);

} // namespace LWHeif
