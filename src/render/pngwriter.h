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

// Fills `out` with the samples of row y.
using RowSamples = std::function<void(int y, uchar *out)>;

// A zlib stream of `height` rows of rowBytes sample bytes (bpp bytes a pixel), each row PNG
// filtered (its filter byte first), deflated the same way: what a PDF Flate stream with PNG
// predictors holds. None when deflate fails or a size is below 1.
[[nodiscard]] std::optional<QByteArray> deflateRows(int height, qsizetype rowBytes, int bpp, const RowSamples &row);

} // namespace LWPngWriter
