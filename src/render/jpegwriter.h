#pragma once
#include <QByteArray>
#include <QImage>
#include <optional>

// A JPEG writer for large opaque bitmaps: bands of rows are encoded on all cores with a restart
// marker after every row of blocks, then joined into one baseline stream. It decodes to exactly
// what Qt's writer makes of the same image (same tables, sampling and colour conversion, JFIF
// density in dots per inch); only the restart markers are added.
namespace LWJpegWriter {

// Opaque 32-bit RGB without a colour space or texts; other images need Qt's writer.
bool handles(const QImage &image);

// JPEG bytes at quality 0...100 with the density taken from dotsPerMetre as Qt's writer does.
// None when !handles(image) or the encoder fails.
[[nodiscard]] std::optional<QByteArray> encode(const QImage &image, int quality, int dotsPerMetre);

} // namespace LWJpegWriter
