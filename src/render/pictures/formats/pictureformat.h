#pragma once
#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

class QBuffer;
class QImageReader;

// The picture formats the program takes, told by the bytes' signature alone: JPEG, PNG,
// HEIC/HEIF/AVIF, TIFF, WebP, GIF and BMP. Anything else (SVG, PDF, compressed or vector files, the
// rarer raster formats) is no picture, whatever its name or MIME type says, so nothing in a
// picture can make a reader open another file. Thread-safe.
namespace LWPictureFormat {

enum class Format { none, jpeg, png, heif, tiff, webp, gif, bmp };

// The format whose signature the bytes start with; none for anything else.
[[nodiscard]] Format sniff(const QByteArray &bytes);

// File name suffixes of the formats, lower case without the dot ("bmp", "gif", "heic", ...).
[[nodiscard]] QStringList suffixes();
// Whether a MIME type names one of the formats ("image/png", "image/heic"); any case.
[[nodiscard]] bool isPictureType(const QString &mimeType);

// Bytes ready for Qt's reader, which reads them only in their own format and never guesses.
// What the program never shows and a reader would keep or read at length is left out of
// `bytes`: a PNG's text chunks (whose compressed kinds inflate without bound), repeated ancillary
// chunks and those the reader skips; a JPEG's comments. A PNG's many small image data chunks
// are joined into one, which its reader takes at the cost of one. Read again, `bytes` give
// themselves.
// HEIF gives no reader: libheif reads it.
struct Readable {
    Format format = Format::none;
    QByteArray bytes;
    double workPerPixel = 0; // what the decoder keeps besides the image, per pixel
    // The size read from the header where the format's reader cannot tell it without
    // allocating (WebP); invalid for the others.
    QSize declared = QSize(-1, -1);
    // A GIF's logical screen: its decoder may draw on a canvas that large whatever size its
    // reader tells (it disbelieves a screen far larger than the picture only when it tells it).
    QSize canvas = QSize(-1, -1);

    [[nodiscard]] std::unique_ptr<QImageReader> reader(QBuffer &buffer) const;
    // What decoding may allocate at its peak, in bytes: the decoder's whole-picture buffers (a
    // progressive JPEG's coefficients, a TIFF strip, a GIF's canvas, HEIF's planes) for the size
    // the header declares (a GIF's screen when larger), and the image made, of `made` pixels at bytesPerPixel, twice when an
    // orientation turn copies it.
    [[nodiscard]] qint64 decodeCost(QSize declared, QSize made, int bytesPerPixel, bool turned) const;
};
// None (format none) for what sniff refuses, for a JPEG (or a JPEG-compressed TIFF's strip or
// tile) of too many scans, for a TIFF or WebP whose header does not parse and for old-style
// JPEG in TIFF.
[[nodiscard]] Readable readable(const QByteArray &bytes);

// A JPEG with more scans than this, or whose scans times pixels exceed maxJpegScanPixels, is
// refused: each scan passes over the whole picture, so a few bytes per scan could keep a decoder
// busy for hours. Twenty scans of the largest picture taken: a few seconds of one core.
inline constexpr int maxJpegScans = 100;
inline constexpr double maxJpegScanPixels = 20.0 * 150'000'000;

} // namespace LWPictureFormat
