#include "render/jpegwriter.h"

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

// One band as a whole JPEG of its rows, a restart marker after every row of blocks. The
// encoder's own buffer is returned in out (free() it); false on failure.
bool encodeBand(const QImage &image, int top, int rows, int quality, int dotsPerMetre, unsigned char **out,
                unsigned long *size)
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
    c.image_width = JDIMENSION(image.width());
    c.image_height = JDIMENSION(rows);
    c.input_components = 4;
    c.in_color_space = image.format() == QImage::Format_RGBX8888 ? JCS_EXT_RGBX : JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    density(c, dotsPerMetre);
    jpeg_set_quality(&c, quality, TRUE);
    c.restart_in_rows = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(top + int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return true;
}

struct Band {
    unsigned char *data = nullptr;
    unsigned long size = 0;
    bool ok = false;
    ~Band() { std::free(data); }
};

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
           !image.colorSpace().isValid() && image.textKeys().isEmpty() && image.width() <= 65500 &&
           image.height() <= 65500;
}

std::optional<QByteArray> encode(const QImage &image, int quality, int dotsPerMetre)
{
    if (!handles(image))
        return std::nullopt;
    quality = std::clamp(quality, 0, 100);
    const int height = image.height();
    std::vector<Band> bands(size_t((height + bandRows - 1) / bandRows));
    LWParallel::forEach(int(bands.size()), [&](int i) {
        const int top = i * bandRows;
        Band &band = bands[size_t(i)];
        band.ok = encodeBand(image, top, std::min(bandRows, height - top), quality, dotsPerMetre, &band.data, &band.size);
    });

    // The first band's headers with the whole height, then every band's entropy-coded data
    // with its restart markers numbered on across the joins.
    qsizetype total = 2;
    std::vector<qsizetype> starts(bands.size());
    for (size_t i = 0; i < bands.size(); ++i) {
        if (!bands[i].ok)
            return std::nullopt;
        const unsigned char *p = bands[i].data;
        const qsizetype sos = segment(p, qsizetype(bands[i].size), 0xDA);
        if (sos < 0)
            return std::nullopt;
        starts[i] = sos + 2 + ((p[sos + 2] << 8) | p[sos + 3]); // the scan's data
        if (qsizetype(bands[i].size) < starts[i] + 2)
            return std::nullopt;
        total += qsizetype(bands[i].size) - starts[i] - 2 + 2; // less EOI, plus a restart marker
    }
    const Band &first = bands.front();
    QByteArray bytes;
    bytes.reserve(starts[0] + total);
    bytes.append(reinterpret_cast<const char *>(first.data), starts[0]);
    // Baseline frame header: FF C0, length, precision, then the height.
    const qsizetype sof = segment(first.data, starts[0], 0xC0);
    if (sof < 0)
        return std::nullopt;
    qToBigEndian<quint16>(quint16(height), bytes.data() + sof + 5);
    int restarts = 0;
    for (size_t i = 0; i < bands.size(); ++i) {
        const unsigned char *p = bands[i].data;
        const qsizetype end = qsizetype(bands[i].size) - 2; // before EOI
        qsizetype from = starts[i];
        for (qsizetype k = from; k + 1 < end; ++k) {
            if (p[k] != 0xFF || p[k + 1] < 0xD0 || p[k + 1] > 0xD7)
                continue;
            bytes.append(reinterpret_cast<const char *>(p + from), k - from);
            bytes.append(char(0xFF));
            bytes.append(char(0xD0 + restarts++ % 8));
            from = k + 2;
            ++k;
        }
        bytes.append(reinterpret_cast<const char *>(p + from), end - from);
        if (i + 1 < bands.size()) {
            bytes.append(char(0xFF));
            bytes.append(char(0xD0 + restarts++ % 8));
        }
    }
    bytes.append(char(0xFF));
    bytes.append(char(0xD9));
    return bytes;
}

} // namespace LWJpegWriter
