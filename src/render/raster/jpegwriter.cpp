#include "render/raster/jpegwriter.h"

#include "render/parallel.h"

#include <QColorSpace>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace LWJpegWriter {
namespace {

constexpr int bandRows = 256; // a multiple of every block-row height (8 or 16)

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void fail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void quiet(j_common_ptr, int) {}

// The density Qt's writer records: dots per inch unless dots per centimetre round closer.
void density(jpeg_compress_struct &c, int dotsPerMetre)
{
    const double perInch = dotsPerMetre * 2.54 / 100, perCm = dotsPerMetre / 100.0;
    const double diffInch = 2 * std::fabs(perInch - std::round(perInch));
    const double diffCm = 2 * std::fabs(perCm - std::round(perCm)) * 2.54;
    if (diffInch < diffCm) {
        c.density_unit = 1;
        c.X_density = c.Y_density = UINT16(std::lround(perInch));
    } else {
        c.density_unit = 2;
        c.X_density = c.Y_density = UINT16((dotsPerMetre + 50) / 100);
    }
}

// Rows [y0, y1) of the image as a whole JPEG, a restart marker after every row of blocks. The
// encoder's own buffer is returned in out (free() it); false on failure.
bool encodeBand(const QImage &rows, int firstRow, int y0, int y1, J_COLOR_SPACE space, int quality,
                int dotsPerMetre, unsigned char **out, unsigned long *size)
{
    jpeg_compress_struct c;
    ErrorManager err;
    c.err = jpeg_std_error(&err.base);
    err.base.error_exit = fail;
    err.base.emit_message = quiet;
    // Nothing with a destructor lives in this frame, so the jump out of the library is safe.
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        return false;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, out, size);
    c.image_width = JDIMENSION(rows.width());
    c.image_height = JDIMENSION(y1 - y0);
    c.input_components = 4;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    density(c, dotsPerMetre);
    jpeg_set_quality(&c, quality, TRUE);
    c.restart_in_rows = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows.constScanLine(y0 - firstRow + int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return true;
}

// Where the header segment with marker `code` (0xFF code) starts, or -1.
qsizetype segment(const unsigned char *p, qsizetype size, unsigned char code)
{
    for (qsizetype i = 2; i + 4 <= size;) {
        if (p[i] != 0xFF)
            return -1;
        if (p[i + 1] == code)
            return i;
        i += 2 + ((p[i + 2] << 8) | p[i + 3]);
    }
    return -1;
}

} // namespace

bool handles(const QImage &image)
{
    return !image.isNull() && (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_RGBX8888) &&
           !image.colorSpace().isValid() && image.textKeys().isEmpty() && image.width() <= maxSide &&
           image.height() <= maxSide;
}

std::optional<QByteArray> encode(const QImage &image, int quality, int dotsPerMetre)
{
    if (!handles(image))
        return std::nullopt;
    const int height = image.height();
    BandWriter writer(image.width(), height, image.format(), quality, dotsPerMetre);
    std::vector<QByteArray> bands(size_t((height + bandRows - 1) / bandRows));
    LWParallel::forEach(int(bands.size()), [&](int i) {
        const int top = i * bandRows;
        bands[size_t(i)] = writer.encode(image, 0, top, std::min(height, top + bandRows));
    });
    QByteArray bytes;
    qsizetype total = 0;
    for (const QByteArray &band : bands)
        total += band.size();
    bytes.reserve(total);
    for (size_t i = 0; i < bands.size(); ++i)
        if (!writer.chunk(bands[i], i + 1 == bands.size(), &bytes))
            return std::nullopt;
    return bytes;
}

BandWriter::BandWriter(int width, int height, QImage::Format format, int quality, int dotsPerMetre)
    : width_(width), height_(height), quality_(std::clamp(quality, 0, 100)), dotsPerMetre_(dotsPerMetre),
      format_(format)
{
}

QByteArray BandWriter::encode(const QImage &rows, int firstRow, int y0, int y1) const
{
    if (y0 < 0 || y1 > height_ || y0 >= y1 || rows.width() != width_ || firstRow > y0 ||
        firstRow + rows.height() < y1 || rows.depth() != 32)
        return {};
    unsigned char *data = nullptr;
    unsigned long size = 0;
    const J_COLOR_SPACE space = format_ == QImage::Format_RGBX8888 ? JCS_EXT_RGBX : JCS_EXT_BGRX;
    const bool ok = encodeBand(rows, firstRow, y0, y1, space, quality_, dotsPerMetre_, &data, &size);
    QByteArray band = ok ? QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)) : QByteArray();
    std::free(data);
    return band;
}

bool BandWriter::chunk(const QByteArray &band, bool last, QByteArray *out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(band.constData());
    const qsizetype sos = segment(p, band.size(), 0xDA);
    if (sos < 0)
        return false;
    const qsizetype start = sos + 2 + ((p[sos + 2] << 8) | p[sos + 3]); // the scan's data
    if (band.size() < start + 2)
        return false;
    if (first_) {
        // The first band's headers with the whole height in the baseline frame header
        // (FF C0, length, precision, then the height).
        const qsizetype sof = segment(p, start, 0xC0);
        if (sof < 0)
            return false;
        const qsizetype at = out->size();
        out->append(band.constData(), start);
        qToBigEndian<quint16>(quint16(height_), out->data() + at + sof + 5);
        first_ = false;
    }
    // The entropy-coded data with its restart markers numbered on across the joins.
    const qsizetype end = band.size() - 2; // before EOI
    qsizetype from = start;
    for (qsizetype k = from; k + 1 < end; ++k) {
        if (p[k] != 0xFF || p[k + 1] < 0xD0 || p[k + 1] > 0xD7)
            continue;
        out->append(reinterpret_cast<const char *>(p + from), k - from);
        out->append(char(0xFF));
        out->append(char(0xD0 + restarts_++ % 8));
        from = k + 2;
        ++k;
    }
    out->append(reinterpret_cast<const char *>(p + from), end - from);
    out->append(char(0xFF));
    out->append(char(last ? 0xD9 : 0xD0 + restarts_++ % 8));
    return true;
}

} // namespace LWJpegWriter
