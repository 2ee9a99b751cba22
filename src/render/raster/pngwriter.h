#pragma once
#include <QByteArray>
#include <QImage>
#include <functional>
#include <optional>

// A PNG writer for large bitmaps: bands of rows are filtered and deflated on all cores at a fast
// level, then joined into one stream. For the images it takes it writes what Qt's writer would
// (colour type, straight alpha, pHYs, no other chunks), only faster and a little larger.
namespace LWPngWriter {

// 32-bit RGB or RGBA formats without a colour space or texts; other images need Qt's writer.
bool handles(const QImage &image);

// PNG bytes with both pHYs densities set to dotsPerMetre. None when !handles(image) or deflate
// fails.
[[nodiscard]] std::optional<QByteArray> encode(const QImage &image, int dotsPerMetre);

// A PNG written a band of rows at a time, without the whole image: head(), then chunk() of every
// band from the top down, then tail(). The bands are deflated on any thread and join into one
// stream as encode() makes it.
class BandWriter {
public:
    // An image of width x height pixels in `format` (one that handles() takes).
    BandWriter(int width, int height, QImage::Format format, int dotsPerMetre);

    struct Deflated {
        QByteArray chunk; // the band as one IDAT chunk; empty when deflate failed
        unsigned long adler = 1;
        qsizetype rawBytes = 0;
    };
    // Rows [y0, y1) of the image, read from `rows`, whose first row is image row firstRow. Rows
    // it holds above y0 must be the image's very rows: they prime the compressor and filter the
    // first row (the decoder uses its own). Without them the band starts afresh. Any thread.
    [[nodiscard]] Deflated deflate(const QImage &rows, int firstRow, int y0, int y1) const;

    QByteArray head() const; // signature, IHDR, pHYs
    // The band's bytes for the file; bands in order. False (and nothing to write) on a failed band.
    [[nodiscard]] bool chunk(const Deflated &band, QByteArray *out);
    QByteArray tail() const; // the stream's checksum and IEND

private:
    int width_, height_, dotsPerMetre_;
    QImage::Format format_;
    int bpp_;
    unsigned long adler_ = 1;
};

// Fills `out` with the samples of row y.
using RowSamples = std::function<void(int y, uchar *out)>;

// A zlib stream of `height` rows of rowBytes sample bytes (bpp bytes a pixel), each row PNG
// filtered (its filter byte first), deflated as the bands are but a little harder (the print
// file's pictures stay small): what a PDF Flate stream with PNG predictors holds. None when deflate
// fails, a size is below 1, or Cancel is heard (LWDecodeWorkers::Cancellable, asked every few rows).
[[nodiscard]] std::optional<QByteArray> deflateRows(int height, qsizetype rowBytes, int bpp, const RowSamples &row);

} // namespace LWPngWriter
