#pragma once
#include <QByteArray>
#include <optional>

// Whether a JPEG may go into a PDF as it is (/DCTDecode): every PDF reader must draw its stored
// pixels as our decoder does. Reads the marker structure only, never the pixels. Thread-safe.
namespace LWJpegProbe {

struct Jpeg {
    int width = 0, height = 0; // as stored, before any orientation turn
    int components = 0;        // 1 (grey) or 3 (YCbCr)
};

// Baseline, extended or progressive Huffman JPEG of 8 bits with 1 or 3 components, whose
// segments all lie within the bytes and which ends in an end-of-image marker. None for anything
// else: CMYK, RGB without the YCbCr transform, arithmetic or lossless coding, 12 bits, a
// truncated or malformed file.
[[nodiscard]] std::optional<Jpeg> passable(const QByteArray &bytes);

// What a decoder keeps while it decodes and how many scans it reads, from the markers as the
// decoder finds them, as far as they go (a truncated file gives what came before the cut).
struct Layout {
    int width = 0, height = 0;    // of the frame; 0 when none was found
    bool progressive = false;     // the decoder keeps every coefficient of the picture
    double samplesPerPixel = 3;   // coefficients per pixel over all components (subsampling)
    int scans = 0;
};
[[nodiscard]] Layout layout(const QByteArray &bytes);

} // namespace LWJpegProbe
