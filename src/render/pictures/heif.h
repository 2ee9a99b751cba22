#pragma once
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

// HEIF/HEIC (and AVIF, where libheif has a decoder) through libheif, which Qt cannot read.
// The sizes and pixels given here already carry the file's own rotation and mirroring, so
// callers treat the result as upright and never apply an orientation tag to it. Thread-safe.
namespace LWHeif {

// Whether the bytes are a HEIF container libheif can read. Looks at the header only.
[[nodiscard]] bool isHeif(const QByteArray &bytes);

// The upright pixel size of the primary image, read from the container without decoding.
[[nodiscard]] std::optional<QSize> size(const QByteArray &bytes);

// The primary image decoded to 8-bit RGBA (deeper images are reduced), upright. None when the
// bytes cannot be decoded or the image holds more than maxPixels pixels, which is checked
// before anything is decoded.
[[nodiscard]] std::optional<QImage> decode(const QByteArray &bytes, qint64 maxPixels);

} // namespace LWHeif
