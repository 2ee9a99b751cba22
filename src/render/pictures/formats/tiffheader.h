#pragma once
#include <QByteArray>
#include <optional>

// What decoding a TIFF's first image costs beyond its size, from its first directory alone: the
// JPEG streams of a JPEG-compressed TIFF, each strip or tile one stream whose scans the decoder
// reads in full. Thread-safe.
namespace LWTiffHeader {

struct Jpeg {
    int streams = 0;
    int mostScans = 0;        // of any one stream
    double scanPixels = 0;    // scans times the pixels of their stream, over all streams
    bool progressive = false; // some stream keeps every coefficient of its part
    double samplesPerPixel = 0;
};

struct Header {
    int compression = 1;
    std::optional<Jpeg> jpeg; // for JPEG compression only
};

// None when the bytes are no TIFF, its first directory does not lie within them or gives a tag
// twice, or (JPEG compression) its strips or tiles lie outside the file or share bytes.
[[nodiscard]] std::optional<Header> read(const QByteArray &bytes);

} // namespace LWTiffHeader
