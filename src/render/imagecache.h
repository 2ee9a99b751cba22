#pragma once
#include <QImage>
#include <QSizeF>
#include <optional>

struct LWImage;

// Decoded pictures, kept for the life of the process under the picture's asset id (the bytes
// are never compared: new bytes need a new asset id). Two independent tables, previews and full
// size, behind one lock that is held across look-up, decode and insertion, so each picture is
// decoded at most once per size. Every result is upright by the file's orientation tag (HEIF:
// by its own rotation boxes, through LWHeif, as 8-bit RGBA).
// Failures give none and are not remembered. Thread-safe.
namespace LWImageCache {

// Longer side of a preview, in pixels. Smaller pictures are never scaled up.
inline constexpr int previewMaxPixels = 1600;

// Pictures whose header declares more pixels than this are refused (treated as undecodable)
// before any decoding, and no decode may allocate more than allocationLimitMB. Generous enough
// for real photos of 100 megapixels and more, in 16-bit colour too.
inline constexpr qint64 maxPixelCount = 150'000'000;
inline constexpr int allocationLimitMB = 1200;

// The picture decoded at preview size (preview true) or full size; none when the record has no
// data (no table is touched then) or the bytes cannot be decoded.
[[nodiscard]] std::optional<QImage> image(const LWImage &picture, bool preview);

// The upright pixel size of the full image (decoding it into the full table); none when it
// cannot be decoded.
[[nodiscard]] std::optional<QSizeF> pixelSize(const LWImage &picture);

// Table sizes and the number of decodes attempted so far, for tests and diagnostics.
struct Stats {
    qsizetype full = 0;
    qsizetype preview = 0;
    qint64 decodes = 0;
};
Stats stats();

} // namespace LWImageCache
