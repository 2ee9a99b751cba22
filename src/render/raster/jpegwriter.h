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

// The largest side the encoder takes, in pixels.
inline constexpr int maxSide = 65500;

// A JPEG written a band of rows at a time, without the whole image: every band is encoded on
// its own (any thread), then chunk() joins them in order from the top into one baseline stream
// whose restart markers run on across the joins, as encode() makes it.
class BandWriter {
public:
    // Every band but the last starts and ends on a row that is a multiple of this.
    static constexpr int rowAlign = 16;

    // An image of width x height opaque pixels in `format` (RGB32 or RGBX8888; an opaque
    // premultiplied ARGB32 is RGB32 in memory), quality 0...100.
    BandWriter(int width, int height, QImage::Format format, int quality, int dotsPerMetre);

    // Rows [y0, y1) of the image, read from `rows`, whose first row is image row firstRow, as a
    // JPEG of their own. Empty on failure. Any thread.
    [[nodiscard]] QByteArray encode(const QImage &rows, int firstRow, int y0, int y1) const;
    // Appends what the file holds of an encoded band (the headers before the first, the end
    // marker after the last). Bands in order; false on a failed or malformed band.
    [[nodiscard]] bool chunk(const QByteArray &band, bool last, QByteArray *out);

private:
    int width_, height_, quality_, dotsPerMetre_;
    QImage::Format format_;
    int restarts_ = 0;
    bool first_ = true;
};

} // namespace LWJpegWriter
