#pragma once
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <functional>
#include <optional>

// A part of a JPEG decoded by libjpeg straight into its pixels: scaled in its DCT by M/8, only
// the columns of the part decoded and the rows above it skipped, a few rows at a time, so that
// what it allocates is the part's pixels and the decoder's row buffers, whatever the picture's
// size. As stored: the caller turns it upright. Thread-safe.
namespace LWJpegPart {

// The least scale in eighths (1 to 8) at which a picture `stored` large is at least `wanted`.
[[nodiscard]] int eighths(QSize stored, QSize wanted);
// The picture's size at that scale, as libjpeg makes it.
[[nodiscard]] QSize scaled(QSize stored, int eighths);
// Bytes decode() allocates beside the decoder's coefficients (progressive pictures keep them all,
// counted by the caller): the part's pixels, its columns widened to whole blocks, and the row
// buffers of a picture that wide; the same for the part transposed in the picture transposed.
[[nodiscard]] qint64 cost(QSize stored, int eighths, const QRect &rect);

struct Part {
    QImage image;         // RGB32, exactly `rect` of the scaled picture
    bool damaged = false; // the bytes ended or broke before the part was decoded; the rest filled in
};
// `rect` of the picture scaled by eighths/8 (in its pixels). None when the bytes are no JPEG
// libjpeg decodes, or memory ran short (outOfMemory set).
[[nodiscard]] std::optional<Part> decode(const QByteArray &bytes, int eighths, const QRect &rect,
                                         bool *outOfMemory = nullptr);

// Rows of the part in RGB32, top down as they are decoded: `count` rows of its width, `stride`
// bytes apart. False stops the decode, which then fails as out of memory.
using Rows = std::function<bool(const uchar *first, int count, qsizetype stride)>;
// As decode(), each few rows handed to `rows` and let go: it allocates the decoder's row
// buffers and a few rows, not the part. The result's image is null.
[[nodiscard]] std::optional<Part> decodeRows(const QByteArray &bytes, int eighths, const QRect &rect,
                                             const Rows &rows, bool *outOfMemory = nullptr);

} // namespace LWJpegPart
