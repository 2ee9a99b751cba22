#include "render/raster/pngwriter.h"

#include "render/parallel.h"
#include "render/worker/cancellable.h"

#include <QColorSpace>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>
#include <zlib.h>

namespace LWPngWriter {
namespace {

// Levels of the fast family. Page bitmaps (flat colour, smooth gradients, a poster's photo drawn
// at 600 DPI) at 2: a tenth to a seventh larger than at 3 in five sixths of its time, most of a
// photo poster's export. A PDF's pictures at 3: the print file stays small.
constexpr int pageLevel = 2;
constexpr int pictureLevel = 3;
constexpr qsizetype bandBytes = qsizetype(1) << 20;

bool hasAlpha(QImage::Format f)
{
    return f != QImage::Format_RGB32 && f != QImage::Format_RGBX8888;
}

// One row as PNG samples: R, G, B (and straight A).
void samples(const uchar *src, int width, QImage::Format format, uchar *out)
{
    const auto *px = reinterpret_cast<const QRgb *>(src);
    switch (format) {
    case QImage::Format_RGB32:
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = uchar(px[x] >> 16);
            out[1] = uchar(px[x] >> 8);
            out[2] = uchar(px[x]);
        }
        break;
    case QImage::Format_RGBX8888:
        for (int x = 0; x < width; ++x, out += 3, src += 4)
            std::memcpy(out, src, 3);
        break;
    case QImage::Format_RGBA8888:
        std::memcpy(out, src, size_t(width) * 4);
        break;
    default: {
        // Straight alpha through Qt's own conversion, which its writer uses too: the rounding
        // of unpremultiplying then matches to the bit.
        const QImage row = QImage(src, width, 1, format).convertToFormat(QImage::Format_RGBA8888);
        std::memcpy(out, row.constBits(), size_t(width) * 4);
        break;
    }
    }
}

// The filtered row (filter byte first) from the row's samples and the previous row's.
void filterRow(const uchar *cur, const uchar *prev, qsizetype n, int bpp, uchar *out)
{
    if (!prev) {
        out[0] = 1; // Sub
        std::memcpy(out + 1, cur, size_t(bpp));
        for (qsizetype i = bpp; i < n; ++i)
            out[1 + i] = uchar(cur[i] - cur[i - bpp]);
        return;
    }
    out[0] = 2; // Up: cheap, and page renders repeat row after row
    for (qsizetype i = 0; i < n; ++i)
        out[1 + i] = uchar(cur[i] - prev[i]);
}

uLong chunkCrc(const char *type, const uchar *body, qsizetype size)
{
    const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(type), 4);
    return size ? crc32(crc, body, uInt(size)) : crc; // crc32 of a null buffer restarts at 0
}

struct Band {
    int y0 = 0, y1 = 0;
    std::vector<uchar> data;
    qsizetype size = 0;
    uLong adler = 1, crc = 0; // crc: of the band as an IDAT chunk's body
    bool ok = false;
};

// Rows of samples to deflate: n bytes a row, bpp bytes a pixel, row(y, out) fills one.
struct Rows {
    int height = 0;
    qsizetype n = 0;
    int bpp = 0;
    const RowSamples &row;
    int level = pageLevel;
    bool asks = false; // hears Cancel (a picture's compression, which the user may stop)
};

// How many rows a compression that hears Cancel deflates between its asks.
constexpr int rowsPerAsk = 8;

// How many filtered rows above y0 prime a band's compressor: as many as fill its window.
int primedRows(int y0, qsizetype n) { return int(std::min<qsizetype>(y0, (32768 + n) / (n + 1))); }

// Deflates rows [y0, y1) as a raw stream that ends on a byte boundary (the last band: finished),
// primed with the filtered rows above it so that little is lost at the joins. A standalone band
// reads no row above its own: its first row is filtered on its own and nothing primes it.
void deflateBand(const Rows &rows, Band &band, bool first, bool last, bool standalone = false)
{
    const qsizetype n = rows.n;
    const int bpp = rows.bpp;
    std::vector<uchar> cur(static_cast<size_t>(n)), prev(static_cast<size_t>(n)), filtered(static_cast<size_t>(n) + 1);

    z_stream z{};
    if (deflateInit2(&z, rows.level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    const int primeRows = first || standalone ? 0 : primedRows(band.y0, n);
    const int ownRowsFrom = standalone ? band.y0 : 0; // the first row filtered without the one above
    if (primeRows > 0) {
        std::vector<uchar> dict;
        dict.reserve(size_t(primeRows) * size_t(n + 1));
        const int from = band.y0 - primeRows;
        if (from > 0)
            rows.row(from - 1, prev.data());
        for (int y = from; y < band.y0; ++y) {
            rows.row(y, cur.data());
            filterRow(cur.data(), y > 0 ? prev.data() : nullptr, n, bpp, filtered.data());
            dict.insert(dict.end(), filtered.begin(), filtered.end());
            std::swap(cur, prev);
        }
        const size_t keep = std::min<size_t>(dict.size(), 32768);
        deflateSetDictionary(&z, dict.data() + dict.size() - keep, uInt(keep));
    } else if (band.y0 > ownRowsFrom) {
        rows.row(band.y0 - 1, prev.data());
    }

    // The output starts at an eighth of the rows and doubles as needed: page bitmaps deflate
    // well, and a band's buffer is held while others are made.
    const qsizetype raw = qsizetype(band.y1 - band.y0) * (n + 1);
    std::vector<uchar> &out = band.data;
    out.resize(size_t(raw / 8 + 65536));
    qsizetype head = 0;
    if (first) { // the zlib header: deflate, 32K window
        out[0] = 0x78;
        out[1] = 0x5e; // levels 2 to 5 (FLEVEL 1)
        head = 2;
    }
    z.next_out = out.data() + head;
    z.avail_out = uInt(out.size() - size_t(head));
    bool ok = true;
    for (int y = band.y0; y < band.y1 && ok; ++y) {
        if (rows.asks && (y - band.y0) % rowsPerAsk == 0 && LWDecodeWorkers::Cancellable::now()) {
            ok = false;
            break;
        }
        rows.row(y, cur.data());
        filterRow(cur.data(), y > ownRowsFrom ? prev.data() : nullptr, n, bpp, filtered.data());
        std::swap(cur, prev);
        band.adler = adler32(band.adler, filtered.data(), uInt(n + 1));
        z.next_in = filtered.data();
        z.avail_in = uInt(n + 1);
        const int flush = y + 1 < band.y1 ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
        int result;
        do {
            if (z.avail_out == 0) {
                const size_t used = out.size();
                out.resize(used * 2);
                z.next_out = out.data() + used;
                z.avail_out = uInt(out.size() - used);
            }
            result = deflate(&z, flush);
        } while (result == Z_OK && z.avail_out == 0);
        // Z_BUF_ERROR: a flush that found nothing more to write after the output grew.
        ok = z.avail_in == 0 && (flush == Z_FINISH ? result == Z_STREAM_END : result == Z_OK || result == Z_BUF_ERROR);
    }
    band.ok = ok;
    band.size = qsizetype(out.size()) - z.avail_out;
    deflateEnd(&z);
    if (band.ok)
        band.crc = chunkCrc("IDAT", band.data.data(), band.size);
}

// The rows deflated in bands on all cores; the first band starts with the zlib header, the last
// ends the deflate stream. Empty when any band fails. *adler: the whole stream's checksum.
std::vector<Band> deflateBands(const Rows &rows, uLong *adler)
{
    const qsizetype rowBytes = rows.n + 1;
    const int height = rows.height;
    const int rowsPerBand = int(std::clamp<qsizetype>(bandBytes / rowBytes, 1, height));
    std::vector<Band> bands((height + rowsPerBand - 1) / rowsPerBand);
    for (size_t i = 0; i < bands.size(); ++i) {
        bands[i].y0 = int(i) * rowsPerBand;
        bands[i].y1 = std::min(height, bands[i].y0 + rowsPerBand);
    }
    LWParallel::forEach(int(bands.size()), [&](int i) {
        deflateBand(rows, bands[size_t(i)], i == 0, size_t(i) + 1 == bands.size());
    });
    *adler = 1;
    for (const Band &band : bands) {
        if (!band.ok)
            return {};
        *adler = adler32_combine(*adler, band.adler, z_off_t(band.y1 - band.y0) * rowBytes);
    }
    return bands;
}

void put32(uchar *p, quint32 v)
{
    p[0] = uchar(v >> 24);
    p[1] = uchar(v >> 16);
    p[2] = uchar(v >> 8);
    p[3] = uchar(v);
}

// Appends a chunk of `type` with the body and its CRC (crc over type and body, given).
uchar *putChunk(uchar *p, const char *type, const uchar *body, qsizetype size, uLong crc)
{
    put32(p, quint32(size));
    std::memcpy(p + 4, type, 4);
    if (size)
        std::memcpy(p + 8, body, size_t(size));
    put32(p + 8 + size, quint32(crc));
    return p + 12 + size;
}

} // namespace

bool handles(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        break;
    default:
        return false;
    }
    return !image.isNull() && !image.colorSpace().isValid() && image.textKeys().isEmpty();
}

std::optional<QByteArray> encode(const QImage &image, int dotsPerMetre)
{
    if (!handles(image) || dotsPerMetre <= 0 || image.height() < 1)
        return std::nullopt;
    const int height = image.height();
    BandWriter writer(image.width(), height, image.format(), dotsPerMetre);
    const qsizetype rowBytes = qsizetype(image.width()) * (hasAlpha(image.format()) ? 4 : 3) + 1;
    const int rowsPerBand = int(std::clamp<qsizetype>(bandBytes / rowBytes, 1, height));
    std::vector<BandWriter::Deflated> bands(size_t((height + rowsPerBand - 1) / rowsPerBand));
    LWParallel::forEach(int(bands.size()), [&](int i) {
        const int y0 = i * rowsPerBand;
        bands[size_t(i)] = writer.deflate(image, 0, y0, std::min(height, y0 + rowsPerBand));
    });
    QByteArray bytes = writer.head();
    qsizetype total = bytes.size() + 12 + 4 + 12;
    for (const BandWriter::Deflated &band : bands)
        total += band.chunk.size();
    bytes.reserve(total);
    for (const BandWriter::Deflated &band : bands)
        if (!writer.chunk(band, &bytes))
            return std::nullopt;
    bytes += writer.tail();
    return bytes;
}

BandWriter::BandWriter(int width, int height, QImage::Format format, int dotsPerMetre)
    : width_(width), height_(height), dotsPerMetre_(dotsPerMetre), format_(format), bpp_(hasAlpha(format) ? 4 : 3)
{
}

BandWriter::Deflated BandWriter::deflate(const QImage &rows, int firstRow, int y0, int y1) const
{
    Deflated out;
    if (y0 < 0 || y1 > height_ || y0 >= y1 || rows.width() != width_ || firstRow > y0 || firstRow < 0 ||
        firstRow + rows.height() < y1)
        return out;
    const qsizetype n = qsizetype(width_) * bpp_;
    const QImage::Format format = rows.format();
    const RowSamples row = [&](int y, uchar *samplesOut) {
        samples(rows.constScanLine(y - firstRow), width_, format, samplesOut);
    };
    Band band;
    band.y0 = y0;
    band.y1 = y1;
    deflateBand({height_, n, bpp_, row}, band, y0 == 0, y1 == height_, firstRow == y0);
    if (!band.ok)
        return out;
    out.chunk = QByteArray(band.size + 12, Qt::Uninitialized);
    putChunk(reinterpret_cast<uchar *>(out.chunk.data()), "IDAT", band.data.data(), band.size, band.crc);
    out.adler = band.adler;
    out.rawBytes = qsizetype(y1 - y0) * (n + 1);
    return out;
}

QByteArray BandWriter::head() const
{
    QByteArray bytes(8 + 25 + 21, Qt::Uninitialized);
    auto *p = reinterpret_cast<uchar *>(bytes.data());
    std::memcpy(p, "\x89PNG\r\n\x1a\n", 8);
    uchar ihdr[13];
    put32(ihdr, quint32(width_));
    put32(ihdr + 4, quint32(height_));
    ihdr[8] = 8;                        // bits per sample
    ihdr[9] = bpp_ == 4 ? 6 : 2;        // RGBA or RGB
    ihdr[10] = ihdr[11] = ihdr[12] = 0; // deflate, adaptive filters, no interlace
    p = putChunk(p + 8, "IHDR", ihdr, 13, chunkCrc("IHDR", ihdr, 13));
    uchar phys[9];
    put32(phys, quint32(dotsPerMetre_));
    put32(phys + 4, quint32(dotsPerMetre_));
    phys[8] = 1; // per metre
    putChunk(p, "pHYs", phys, 9, chunkCrc("pHYs", phys, 9));
    return bytes;
}

bool BandWriter::chunk(const Deflated &band, QByteArray *out)
{
    if (band.chunk.isEmpty())
        return false;
    adler_ = adler32_combine(adler_, band.adler, z_off_t(band.rawBytes));
    out->append(band.chunk);
    return true;
}

QByteArray BandWriter::tail() const
{
    uchar trailer[4];
    put32(trailer, quint32(adler_));
    QByteArray bytes(16 + 12, Qt::Uninitialized);
    auto *p = reinterpret_cast<uchar *>(bytes.data());
    p = putChunk(p, "IDAT", trailer, 4, chunkCrc("IDAT", trailer, 4));
    putChunk(p, "IEND", nullptr, 0, chunkCrc("IEND", nullptr, 0));
    return bytes;
}

std::optional<QByteArray> deflateRows(int height, qsizetype rowBytes, int bpp, const RowSamples &row)
{
    if (height < 1 || rowBytes < 1 || bpp < 1)
        return std::nullopt;
    uLong adler = 1;
    const std::vector<Band> bands = deflateBands({height, rowBytes, bpp, row, pictureLevel, true}, &adler);
    if (bands.empty())
        return std::nullopt;
    qsizetype total = 4;
    for (const Band &band : bands)
        total += band.size;
    QByteArray bytes(total, Qt::Uninitialized);
    char *p = bytes.data();
    for (const Band &band : bands) {
        std::memcpy(p, band.data.data(), size_t(band.size));
        p += band.size;
    }
    qToBigEndian(quint32(adler), p);
    return bytes;
}

} // namespace LWPngWriter
