#include "render/pictures/jpegpart.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>

namespace {

struct Errors {
    jpeg_error_mgr mgr{};
    std::jmp_buf jump{};
    bool damaged = false;
    uchar *buffer = nullptr; // in memory, not a local the jump may leave stale
};

[[noreturn]] void fail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<Errors *>(info->err)->jump, 1);
}

// Warnings tell a cut or broken file; bytes between segments do not change the pixels.
void note(j_common_ptr info, int level)
{
    if (level != -1)
        return;
    char text[JMSG_LENGTH_MAX] = {};
    info->err->format_message(info, text);
    if (std::strncmp(text, "Premature end", 13) == 0 ||
        (std::strncmp(text, "Corrupt JPEG data", 17) == 0 && !std::strstr(text, "extraneous")))
        reinterpret_cast<Errors *>(info->err)->damaged = true;
}

// Columns decoded past a part's right end (a chroma sample reaches two pixels at full scale).
constexpr int rightPad = 4;

int ceilDiv(qint64 a, int b) { return int((a + b - 1) / b); }

} // namespace

namespace LWJpegPart {

int eighths(QSize stored, QSize wanted)
{
    for (int m = 1; m < 8; ++m)
        if (scaled(stored, m).width() >= wanted.width() && scaled(stored, m).height() >= wanted.height())
            return m;
    return 8;
}

QSize scaled(QSize stored, int m)
{
    return {ceilDiv(qint64(stored.width()) * m, 8), ceilDiv(qint64(stored.height()) * m, 8)};
}

qint64 cost(QSize stored, int m, const QRect &rect)
{
    // Blocks of up to 16 pixels each side at full scale, two of them a row widened, and the
    // columns decoded past its right end; the decoder keeps a few rows of blocks of the whole
    // width, in samples and coefficients. Reckoned alike along both sides, so that a picture
    // stored turned (its part's rows the stored columns) costs what it would stored upright.
    const qint64 widened = 2 * std::max(2, 2 * m) + rightPad;
    const QSize all = scaled(stored, m);
    return (rect.width() + widened) * (rect.height() + widened) * 4 +
           qint64(std::max(all.width(), all.height()) + 64) * 16 * 12 + (qint64(1) << 20);
}

namespace {

// Adobe's inverted CMYK as RGB32, as Qt reads it, in place.
void cmykToRgb(uchar *row, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, row += 4) {
        const int c = row[0], mm = row[1], ye = row[2], k = row[3];
        reinterpret_cast<QRgb *>(row)[0] = qRgb(c * k / 255, mm * k / 255, ye * k / 255);
    }
}

// Rows this many at a time, as libjpeg hands them at most.
constexpr int rowsAtOnce = 16;

// The part into one buffer, or, with `out`, a few rows at a time into a buffer of a few rows.
std::optional<Part> decodePart(const QByteArray &bytes, int m, const QRect &rect, bool *outOfMemory,
                               const Rows *out)
{
    if (outOfMemory)
        *outOfMemory = false;
    jpeg_decompress_struct info{};
    Errors errors;
    info.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = fail;
    errors.mgr.emit_message = note;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        std::free(errors.buffer);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()), (unsigned long)bytes.size());
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX; // BGRX is RGB32 in memory here
    info.scale_num = unsigned(std::clamp(m, 1, 8));
    info.scale_denom = 8;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    const QRect within = rect.intersected(QRect(0, 0, int(info.output_width), int(info.output_height)));
    if (within != rect || rect.isEmpty()) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    // The decoder takes the crop's ends for the picture's, where its chroma is smoothed: decoded
    // from a column further left (the crop then starts a block earlier) and a few columns further
    // right, the part's first and last columns are what the whole picture has there.
    JDIMENSION left = JDIMENSION(std::max(0, rect.x() - 1));
    JDIMENSION width =
        JDIMENSION(std::min<qint64>(qint64(rect.x()) + rect.width() + rightPad, info.output_width) - qint64(left));
    if (left != 0 || width != info.output_width)
        jpeg_crop_scanline(&info, &left, &width);
    const qsizetype perLine = qsizetype(width) * 4;
    // The image starts at the part's first column: its last line, as long as the others, ends
    // that many bytes past the rows (zeroed, as whoever copies the image reads them).
    const int bufferRows = out ? std::min(rowsAtOnce, rect.height()) : rect.height();
    const size_t rows = size_t(perLine) * size_t(bufferRows), tail = size_t(rect.x() - int(left)) * 4;
    errors.buffer = static_cast<uchar *>(std::malloc(rows + tail));
    uchar *const buffer = errors.buffer;
    if (buffer)
        std::memset(buffer + rows, 0, tail);
    if (!buffer) {
        if (outOfMemory)
            *outOfMemory = true;
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    if (rect.y() > 0 && jpeg_skip_scanlines(&info, JDIMENSION(rect.y())) != JDIMENSION(rect.y()))
        fail(reinterpret_cast<j_common_ptr>(&info));
    // The part's columns within the block-wide rows.
    uchar *first = buffer + qsizetype(rect.x() - int(left)) * 4;
    for (int y = 0; y < rect.height();) {
        const int at = out ? 0 : y; // the buffer's row the next rows go to
        JSAMPROW rows[rowsAtOnce];
        const int n = std::min(rowsAtOnce, rect.height() - y);
        for (int i = 0; i < n; ++i)
            rows[i] = buffer + qsizetype(at + i) * perLine;
        const int got = int(jpeg_read_scanlines(&info, rows, JDIMENSION(n)));
        if (got == 0)
            fail(reinterpret_cast<j_common_ptr>(&info));
        if (cmyk)
            for (int i = 0; i < got; ++i)
                cmykToRgb(rows[i], width);
        if (out && !(*out)(first, got, perLine)) {
            if (outOfMemory)
                *outOfMemory = true;
            fail(reinterpret_cast<j_common_ptr>(&info));
        }
        y += got;
    }
    const bool damaged = errors.damaged;
    jpeg_abort_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (out) {
        std::free(buffer);
        return Part{QImage(), damaged};
    }
    QImage image(first, rect.width(), rect.height(), perLine, QImage::Format_RGB32, [](void *p) { std::free(p); },
                 buffer);
    if (image.isNull()) {
        std::free(buffer);
        if (outOfMemory)
            *outOfMemory = true;
        return std::nullopt;
    }
    return Part{std::move(image), damaged};
}

} // namespace

std::optional<Part> decode(const QByteArray &bytes, int m, const QRect &rect, bool *outOfMemory)
{
    return decodePart(bytes, m, rect, outOfMemory, nullptr);
}

std::optional<Part> decodeRows(const QByteArray &bytes, int m, const QRect &rect, const Rows &rows,
                               bool *outOfMemory)
{
    return decodePart(bytes, m, rect, outOfMemory, &rows);
}

} // namespace LWJpegPart
