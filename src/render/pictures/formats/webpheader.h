#pragma once
#include <QByteArray>
#include <QSize>
#include <optional>

// A WebP's size and kind from its RIFF header alone, allocating nothing: Qt's reader makes the
// whole canvas of an animation just to tell its size. Thread-safe.
namespace LWWebpHeader {

struct Header {
    QSize size;             // the canvas (animation) or the image
    bool animated = false;
    bool lossless = false;  // the (first) image's bitstream is lossless
    bool alpha = false;

    // What decoding keeps per pixel of the canvas besides the image made: a lossless decoder's
    // transform and cache buffers, an animation's canvas the frames are drawn onto and the
    // frame itself, a separate alpha plane.
    [[nodiscard]] double workPerPixel() const;
};

// None when the bytes are no WebP or its first chunks do not parse.
[[nodiscard]] std::optional<Header> read(const QByteArray &bytes);

} // namespace LWWebpHeader
