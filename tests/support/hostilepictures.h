#pragma once
// Hostile picture bytes a design file may hold, made in the test: SVGs naming files to read,
// compression bombs, forged sizes and truncated files of every format the program takes. The
// files the SVGs name (a picture of a colour no case draws, a FIFO) are made in `dir`.
#include "support/heifcraft.h"
#include "support/testpictures.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QUrl>
#include <QtEndian>

#include <sys/stat.h>
#include <zlib.h>

namespace LWHostilePictures {

using namespace LWTestPictures;

// The colour of the picture the SVGs name: any pixel of it in an output is a leak.
inline const QColor secretColour(255, 0, 255);

inline bool isSecret(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) > 200; }

inline QByteArray svgNaming(const QString &href)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                          "width=\"400\" height=\"300\"><image x=\"0\" y=\"0\" width=\"400\" height=\"300\" "
                          "xlink:href=\"%1\"/></svg>\n")
        .arg(href)
        .toUtf8();
}

// Raw deflate of `head`, `block` repeated, then `tail`, the block compressed once (flushed in
// full, so every copy compresses alike): gigabytes in milliseconds.
inline QByteArray deflatedRepeats(const QByteArray &head, const QByteArray &block, int repeats, const QByteArray &tail)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    auto deflated = [&](const QByteArray &in, int flush) {
        QByteArray out(qsizetype(deflateBound(&z, uLong(in.size())) + 64), '\0');
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        z.avail_in = uInt(in.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        EXPECT_NE(deflate(&z, flush), Z_STREAM_ERROR);
        out.resize(out.size() - qsizetype(z.avail_out));
        return out;
    };
    QByteArray out = deflated(head, Z_FULL_FLUSH);
    const QByteArray once = deflated(block, Z_FULL_FLUSH);
    out.reserve(out.size() + once.size() * repeats + 64);
    for (int i = 0; i < repeats; ++i)
        out += once;
    out += deflated(tail, Z_FINISH);
    deflateEnd(&z);
    return out;
}

inline uLong checksum(uLong (*sum)(uLong, const Bytef *, uInt), const QByteArray &bytes)
{
    return sum(sum(0, nullptr, 0), reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size()));
}

// A gzip file of `head`, then `repeats` MiB of `fill`, then `tail`: a bomb in milliseconds.
inline QByteArray gzipBomb(const QByteArray &head, char fill, int repeats, const QByteArray &tail)
{
    const QByteArray mib(1 << 20, fill);
    const QByteArray gz = QByteArray("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + deflatedRepeats(head, mib, repeats, tail);
    uLong crc = checksum(crc32, head);
    const uLong mibCrc = checksum(crc32, mib);
    for (int i = 0; i < repeats; ++i)
        crc = crc32_combine(crc, mibCrc, mib.size());
    crc = crc32_combine(crc, checksum(crc32, tail), tail.size());
    char trailer[8];
    qToLittleEndian<quint32>(quint32(crc), trailer);
    qToLittleEndian<quint32>(quint32(head.size() + qint64(repeats) * mib.size() + tail.size()), trailer + 4);
    return gz + QByteArray(trailer, 8);
}

inline QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray c(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), c.data());
    const QByteArray body = QByteArray(type, 4) + data;
    char crc[4];
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))), crc);
    return c + body + QByteArray(crc, 4);
}

// A PNG whose header claims w x h RGB pixels, with a token of image data: a few hundred bytes.
inline QByteArray pngClaiming(quint32 w, quint32 h)
{
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(w, ihdr.data());
    qToBigEndian<quint32>(h, ihdr.data() + 4);
    ihdr[8] = 8; // bits
    ihdr[9] = 2; // RGB
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) +
           pngChunk("IDAT", qCompress(QByteArray(4096, '\0')).mid(4)) + pngChunk("IEND", {});
}

// The PNG with `count` compressed text chunks of 7.9 MB of zeros each before its image data.
inline QByteArray pngWithTextBombs(const QByteArray &png, int count)
{
    const QByteArray bomb = qCompress(QByteArray(7'900'000, '\0'), 9).mid(4);
    QByteArray chunks;
    for (int i = 0; i < count; ++i)
        chunks += pngChunk("zTXt", QByteArray("k") + QByteArray::number(i) + QByteArray("\0\0", 2) + bomb);
    const qsizetype idat = png.indexOf("IDAT") - 4;
    return QByteArray(png).insert(idat, chunks);
}

// A TIFF of w x h pixels of `samples` 8-bit samples (grey or colour) in one strip of
// `compression`, or in one tile of `tile` pixels square when it is set.
struct TiffEntry {
    quint16 tag, type;
    quint32 value;
};
inline QByteArray tiffOf(quint32 w, quint32 h, quint16 compression, quint16 samples, const QByteArray &strip,
                         quint32 tile = 0, const QList<TiffEntry> &extra = {})
{
    using Entry = TiffEntry;
    const int count = (tile ? 11 : 10) + int(extra.size());
    // Grey, RGB, or as JPEG codes colour: YCbCr, subsampled by two each way as libtiff assumes.
    const quint32 photometric = samples == 1 ? 1 : compression == 7 ? 6 : 2;
    const quint32 dataAt = 8 + 2 + count * 12 + 4;
    QList<Entry> entries = {{256, 4, w}, {257, 4, h}, {258, 3, 8}, {259, 3, compression}, {262, 3, photometric}};
    if (tile)
        entries += {{277, 3, samples}, {284, 3, 1}, {322, 4, tile}, {323, 4, tile}, {324, 4, dataAt},
                    {325, 4, quint32(strip.size())}};
    else
        entries += {{273, 4, dataAt}, {277, 3, samples}, {278, 4, h}, {279, 4, quint32(strip.size())}, {284, 3, 1}};
    entries += extra;
    QByteArray t("II*\0\x08\0\0\0", 8);
    char buf[12];
    qToLittleEndian<quint16>(quint16(count), buf);
    t.append(buf, 2);
    for (const Entry &e : entries) {
        qToLittleEndian<quint16>(e.tag, buf);
        qToLittleEndian<quint16>(e.type, buf + 2);
        qToLittleEndian<quint32>(1, buf + 4);
        qToLittleEndian<quint32>(0, buf + 8);
        if (e.type == 3)
            qToLittleEndian<quint16>(quint16(e.value), buf + 8);
        else
            qToLittleEndian<quint32>(e.value, buf + 8);
        t.append(buf, 12);
    }
    t.append(QByteArray(4, '\0')); // no next directory
    return t + strip;
}

// A 64 x 48 GIF drawn on a logical screen of w x h, which its decoder makes whole.
inline QByteArray gifOnScreen(quint16 w, quint16 h)
{
    QByteArray gif = twoToneGif(64, 48);
    qToLittleEndian<quint16>(w, gif.data() + 6);
    qToLittleEndian<quint16>(h, gif.data() + 8);
    return gif;
}

// A grey TIFF whose directory claims w x h pixels in one deflated strip of a few bytes.
inline QByteArray tiffClaiming(quint32 w, quint32 h) { return tiffOf(w, h, 8, 1, qCompress(QByteArray(1024, '\0')).mid(4)); }

// A 16-bit RGBA PNG of w x h (h a multiple of 8) of stripes 256 pixels wide that fade from
// opaque to nearly clear, deflated from one band of rows repeated: gigabytes of pixels in a few
// megabytes, made in milliseconds.
inline QByteArray png16(quint32 w, quint32 h)
{
    QByteArray row(1 + 8 * qsizetype(w), '\0'); // filter byte 0, then R G B A big-endian
    for (quint32 x = 0; x < w; ++x) {
        char *p = row.data() + 1 + 8 * qsizetype(x);
        const quint32 t = x % 256;
        qToBigEndian<quint16>(0xFFFF, p);
        qToBigEndian<quint16>(quint16(0x2000 + 0x80 * t), p + 2);
        qToBigEndian<quint16>(0x4000, p + 4);
        qToBigEndian<quint16>(quint16(0xFFFF - 0xE0 * t), p + 6);
    }
    const QByteArray band = row.repeated(8);
    uLong adler = checksum(adler32, {});
    const uLong bandSum = checksum(adler32, band);
    for (quint32 i = 0; i < h / 8; ++i)
        adler = adler32_combine(adler, bandSum, band.size());
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(w, ihdr.data());
    qToBigEndian<quint32>(h, ihdr.data() + 4);
    ihdr[8] = 16;
    ihdr[9] = 6; // RGBA
    char trailer[4];
    qToBigEndian<quint32>(quint32(adler), trailer);
    const QByteArray idat = QByteArray("\x78\x01", 2) + deflatedRepeats({}, band, int(h / 8), {}) + QByteArray(trailer, 4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", idat) + pngChunk("IEND", {});
}

// A progressive JPEG whose last scan is repeated until it has `scans` scans.
inline QByteArray jpegOfScans(int scans)
{
    const QByteArray jpeg = encode(twoTone(64, 48), "jpeg", 90, QImageIOHandler::TransformationNone, true);
    const qsizetype last = jpeg.lastIndexOf("\xff\xda");
    const QByteArray scan = jpeg.mid(last, jpeg.size() - 2 - last);
    const int has = int(jpeg.count("\xff\xda"));
    QByteArray out = jpeg.left(jpeg.size() - 2);
    for (int i = has; i < scans; ++i)
        out += scan;
    return out + QByteArray("\xff\xd9", 2);
}

// The JPEG with its frame header's size replaced.
inline QByteArray jpegClaiming(QByteArray jpeg, quint16 w, quint16 h)
{
    const qsizetype sof = jpeg.indexOf("\xff\xc2");
    EXPECT_GT(sof, 0);
    qToBigEndian<quint16>(h, jpeg.data() + sof + 5);
    qToBigEndian<quint16>(w, jpeg.data() + sof + 7);
    return jpeg;
}

// A progressive JPEG of `scans` scans with a TEM marker (which has no parameters) before the
// scan numbered `at`.
inline QByteArray jpegHidingScans(int scans, int at)
{
    QByteArray jpeg = jpegOfScans(scans);
    qsizetype sos = -1;
    for (int i = 0; i < at; ++i)
        sos = jpeg.indexOf("\xff\xda", sos + 1);
    return jpeg.insert(sos, "\xff\x01", 2);
}

inline QByteArray riffChunk(const char *type, const QByteArray &body)
{
    QByteArray c(type, 4);
    c += QByteArray(4, '\0');
    qToLittleEndian<quint32>(quint32(body.size()), c.data() + 4);
    return c + body + QByteArray(body.size() & 1, '\0');
}

inline QByteArray le24(quint32 v)
{
    const char b[3] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF)};
    return QByteArray(b, 3);
}

// An animated WebP of one frame, the still WebP's image, on a canvas of w x h (with alpha).
inline QByteArray animatedWebp(const QByteArray &still, QSize frame, quint32 w, quint32 h)
{
    const QByteArray image = still.mid(12); // its VP8 or VP8L chunk
    const QByteArray vp8x = QByteArray(1, char(0x12)) + QByteArray(3, '\0') + le24(w - 1) + le24(h - 1);
    const QByteArray anim = QByteArray(4, '\0') + QByteArray(2, '\0');
    const QByteArray anmf = le24(0) + le24(0) + le24(quint32(frame.width() - 1)) + le24(quint32(frame.height() - 1)) +
                            le24(100) + QByteArray(1, '\0') + image;
    const QByteArray body = QByteArray("WEBP") + riffChunk("VP8X", vp8x) + riffChunk("ANIM", anim) + riffChunk("ANMF", anmf);
    QByteArray riff("RIFF\0\0\0\0", 8);
    qToLittleEndian<quint32>(quint32(body.size()), riff.data() + 4);
    return riff + body;
}

// The JPEG with `megabytes` of comment segments after its start.
inline QByteArray jpegWithComments(const QByteArray &jpeg, int megabytes)
{
    const QByteArray segment = QByteArray("\xff\xfe\xff\xff", 4) + QByteArray(65533, 'c');
    return jpeg.left(2) + segment.repeated(megabytes * 16) + jpeg.mid(2);
}

// The PNG with `count` empty private chunks before its image data.
inline QByteArray pngWithEmptyChunks(const QByteArray &png, int count)
{
    const qsizetype idat = png.indexOf("IDAT") - 4;
    return QByteArray(png).insert(idat, pngChunk("prVt", {}).repeated(count));
}

// A grey PNG of w x h at `bits` a pixel (w * bits a multiple of 8) of blocks of noise, in one
// image data chunk.
inline QByteArray monoPng(quint32 w, quint32 h, char bits = 1)
{
    QByteArray raw;
    quint32 seed = 2463534242u;
    for (quint32 y = 0; y < h; ++y) {
        raw += '\0'; // no filter
        for (quint32 x = 0; x < w * quint32(bits) / 8; ++x) {
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            raw += (y / 64 + x / 16) % 2 ? char(seed) : '\0';
        }
    }
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(w, ihdr.data());
    qToBigEndian<quint32>(h, ihdr.data() + 4);
    ihdr[8] = bits;
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", qCompress(raw, 1).mid(4)) +
           pngChunk("IEND", {});
}

// The PNG with its image data cut into chunks of `size` bytes.
inline QByteArray pngInChunks(const QByteArray &png, qsizetype size)
{
    const qsizetype idat = png.indexOf("IDAT") - 4;
    const qsizetype length = qFromBigEndian<quint32>(png.constData() + idat);
    const QByteArray data = png.mid(idat + 8, length);
    QByteArray chunks;
    for (qsizetype at = 0; at < data.size(); at += size)
        chunks += pngChunk("IDAT", data.mid(at, size));
    return png.left(idat) + chunks + png.mid(idat + 12 + length);
}

// The entry of `tag` in the TIFF's first directory (which ends at `directoryEnd`) given `count`
// values at `value`.
inline void setTiffEntry(QByteArray &t, qsizetype directoryEnd, quint16 tag, quint32 count, quint32 value)
{
    for (qsizetype at = 10; at + 12 <= directoryEnd; at += 12)
        if (qFromLittleEndian<quint16>(t.constData() + at) == tag) {
            qToLittleEndian<quint32>(count, t.data() + at + 4);
            qToLittleEndian<quint32>(value, t.data() + at + 8);
        }
}

// A grey TIFF one pixel wide and `rows` high, each row a strip of its own: libtiff keeps a table
// entry a strip.
inline QByteArray tiffOfStrips(quint32 rows)
{
    const QByteArray head = tiffOf(1, rows, 1, 1, {}, 0, {});
    // The directory's strip entries point at arrays after the pixels.
    QByteArray t = head + QByteArray(rows, '\x80');
    const quint32 offsetsAt = quint32(t.size()), countsAt = offsetsAt + 4 * rows;
    QByteArray arrays(8 * qsizetype(rows), '\0');
    for (quint32 i = 0; i < rows; ++i) {
        qToLittleEndian<quint32>(quint32(head.size()) + i, arrays.data() + 4 * i);
        qToLittleEndian<quint32>(1, arrays.data() + 4 * (rows + i));
    }
    setTiffEntry(t, head.size(), 273, rows, offsetsAt);
    setTiffEntry(t, head.size(), 279, rows, countsAt);
    setTiffEntry(t, head.size(), 278, 1, 1); // rows a strip
    return t + arrays;
}

// A grey TIFF of w x h in `strips` strips of the one JPEG of w x h / strips, all pointing at its
// bytes; the file padded so that together they claim no more than it holds.
inline QByteArray tiffOfSharedStrips(quint32 w, quint32 h, quint32 strips, const QByteArray &jpeg)
{
    const QByteArray head = tiffOf(w, h, 7, 1, {});
    QByteArray t = head + jpeg + QByteArray(qsizetype(strips) * jpeg.size(), '\0');
    const quint32 offsetsAt = quint32(t.size()), countsAt = offsetsAt + 4 * strips;
    QByteArray arrays(8 * qsizetype(strips), '\0');
    for (quint32 i = 0; i < strips; ++i) {
        qToLittleEndian<quint32>(quint32(head.size()), arrays.data() + 4 * i);
        qToLittleEndian<quint32>(quint32(jpeg.size()), arrays.data() + 4 * (strips + i));
    }
    setTiffEntry(t, head.size(), 273, strips, offsetsAt);
    setTiffEntry(t, head.size(), 279, strips, countsAt);
    setTiffEntry(t, head.size(), 278, 1, h / strips);
    return t + arrays;
}

// What a case's picture must come out as: the placeholder, the placeholder refused by our own
// checks before any worker was asked anything of it, the pixels of other bytes, its own pixels
// (anything but the placeholder), or either (a truncated file may decode in part).
enum class Outcome { placeholder, refused, pixelsOf, ownPixels, either };

struct Case {
    QString name;
    QByteArray bytes;
    Outcome outcome;
    QByteArray same = {}; // for pixelsOf
    int answers = -1;     // the workers' answers for all the uses together, when counted
};

// Pictures whose coded images hold more than their containers declare, or whose work is far
// beyond their size: grids and overlays of many references, hidden or costly scans, a canvas
// claimed by an animation. The legitimate ones of the same kinds are placed.
inline QList<Case> craftedCases()
{
    using namespace LWHeifCraft;
    using L = Layout;
    const Coded big = codedOf(heic(plain(1024, 1024, Qt::darkGreen)));
    const Coded bigAv1 = codedOf(heic(plain(512, 512, Qt::darkGreen), heif_orientation_normal, 8, heif_compression_AV1));
    const Coded small = codedOf(heic(twoTone(64, 64)));
    const QByteArray heicFile = heic(twoTone(64, 48));
    QByteArray mif1 = heicFile;
    mif1.replace(8, 4, "mif1");
    const QByteArray still = encode(plain(1, 1, Qt::red), "webp", 100);
    const Coded smallAv1 = codedOf(heic(twoTone(64, 64), heif_orientation_normal, 8, heif_compression_AV1));
    const QByteArray mono = monoPng(1024, 1024);
    const auto layerAt = [&](QPoint at) {
        return craft(small, {L::overlay, {64, 64}, 1, 1, 2, {64, 64}, nullptr, false, at});
    };
    return {
        {"HEIC coding 1024 x 1024 declaring 64 x 64", craft(big, {L::single, {64, 64}}), Outcome::placeholder},
        {"AVIF coding 512 x 512 declaring 64 x 64", craft(bigAv1, {L::single, {64, 64}}), Outcome::placeholder},
        {"HEIC grid of tiles coding 1024 x 1024 declaring 64 x 64",
         craft(big, {L::grid, {64, 64}, 2, 2, 1, {128, 128}}), Outcome::placeholder},
        {"HEIC overlay of a layer coding 1024 x 1024 declaring 64 x 64",
         craft(big, {L::overlay, {64, 64}, 1, 1, 1, {64, 64}}), Outcome::placeholder},
        {"HEIC grid of 140 x 140 uses of one tile", craft(small, {L::grid, {64, 64}, 140, 140, 1, {8960, 8960}}),
         Outcome::placeholder},
        {"HEIC overlay of 19,000 layers", craft(small, {L::overlay, {64, 64}, 1, 1, 19000, {64, 64}}),
         Outcome::placeholder},
        {"HEIC grid of 2 x 2", craft(small, {L::grid, {64, 64}, 2, 2, 1, {128, 128}}), Outcome::ownPixels},
        // The decoder reads past the rows of a layer placed above or left of its canvas.
        {"HEIC overlay whose layer starts a row above its canvas", layerAt({0, -1}), Outcome::refused},
        {"HEIC overlay whose layer starts a column left of its canvas", layerAt({-1, 0}), Outcome::refused},
        {"HEIC overlay whose layer starts left of and above its canvas", layerAt({-8, -8}), Outcome::refused},
        {"HEIC overlay whose layer starts at its canvas's corner", layerAt({0, 0}), Outcome::ownPixels},
        {"HEIC overlay whose layer lies within its canvas",
         craft(small, {L::overlay, {64, 64}, 1, 1, 2, {72, 72}, nullptr, false, {8, 8}}), Outcome::ownPixels},
        {"AVIF", heic(twoTone(64, 48), heif_orientation_normal, 8, heif_compression_AV1), Outcome::ownPixels},
        {"HEIF of major brand mif1", mif1, Outcome::pixelsOf, heicFile},
        {"JPEG hiding 2,980 scans behind a TEM marker", jpegClaiming(jpegHidingScans(3000, 21), 2000, 2000),
         Outcome::placeholder},
        {"JPEG of 100 scans at 12,000 x 12,000", jpegClaiming(jpegOfScans(100), 12000, 12000), Outcome::placeholder},
        {"animated WebP declaring 16,383 x 16,383", animatedWebp(still, {1, 1}, 16383, 16383), Outcome::placeholder},
        {"animated WebP", animatedWebp(encode(twoTone(64, 48), "webp", 100), {64, 48}, 64, 48), Outcome::ownPixels},
        // Configuration handed to the decoder before each tile: counted as HEVC parameter sets are.
        {"AVIF grid of 1,024 tiles whose av1C holds 1 MB of padding",
         craft(withConfigObus(smallAv1, 15, 1, 1 << 20), {L::grid, {64, 64}, 32, 32, 1, {2048, 2048}}),
         Outcome::refused, {}, 0},
        {"AVIF grid of 2 x 2 tiles whose av1C holds 2,100 metadata units",
         craft(withConfigObus(smallAv1, 5, 2100, 6), {L::grid, {64, 64}, 2, 2, 1, {128, 128}}), Outcome::refused, {},
         0},
        // Its header asked once and the picture decoded once, whatever the uses: each decodes every tile.
        {"HEIC grid of 8 x 8 uses of one tile", craft(small, {L::grid, {64, 64}, 8, 8, 1, {512, 512}}),
         Outcome::ownPixels, {}, 2},
        {"one-bit PNG in one-byte image data chunks", pngInChunks(mono, 1), Outcome::pixelsOf, mono},
    };
}

// Pictures whose reading or decoding only checks before the decoder can bound: item tables far
// beyond any photo's, work hidden where it was not counted, pixels wider than four bytes. The
// legitimate ones of the same kinds are placed.
inline QList<Case> unboundedCases()
{
    using namespace LWHeifCraft;
    using L = Layout;
    const Coded small = codedOf(heic(twoTone(64, 64)));
    const Coded smallAv1 = codedOf(heic(twoTone(64, 64), heif_orientation_normal, 8, heif_compression_AV1));
    const Coded big = codedOf(heic(plain(1024, 1024, Qt::darkGreen)));
    const L thousand{L::grid, {64, 64}, 40, 25, 1, {1600, 2560}};
    const QImage grey = twoTone(64, 48).convertToFormat(QImage::Format_Grayscale8);
    const QByteArray greyJpeg = encode(grey, "jpeg", 90);
    constexpr int side = 12247; // 150 MP
    return {
        {"HEIC with 8 Exif items of 32 extents over one 16 MB block", withExifBlocks(small, {64, 64}, 8, 32, 16 << 20),
         Outcome::placeholder},
        {"HEIC with 120 Exif items of 32 extents over one 16 MB block",
         withExifBlocks(small, {64, 64}, 120, 32, 16 << 20), Outcome::placeholder},
        {"HEIC with an Exif item", withExifBlocks(small, {64, 64}, 1, 1, 4096), Outcome::ownPixels},
        {"HEIC grid of 140 x 140 distinct tiles",
         craft(small, {L::grid, {64, 64}, 140, 140, 1, {8960, 8960}, nullptr, true}), Outcome::placeholder},
        {"HEIC overlay of 19,000 distinct layers",
         craft(small, {L::overlay, {64, 64}, 1, 1, 19000, {64, 64}, nullptr, true}), Outcome::placeholder},
        {"HEIC grid of 2 x 2 distinct tiles", craft(small, {L::grid, {64, 64}, 2, 2, 1, {128, 128}, nullptr, true}),
         Outcome::ownPixels},
        {"HEIC whose alpha is a grid of 128 x 128 tiles",
         withAlphaGrid(big, {L::grid, {1024, 1024}, 8, 8, 1, {8192, 8192}}, small, {64, 64}, 128, 128),
         Outcome::placeholder},
        {"HEIC whose alpha is a grid of 2 x 2 tiles",
         withAlphaGrid(small, {L::grid, {64, 64}, 2, 2, 1, {128, 128}}, small, {64, 64}, 2, 2), Outcome::ownPixels},
        // Seven more pictures with each tile: as many as libheif takes in one decode.
        {"HEIC grid of 1,000 tiles with pictures in the shared hvcC", craft(withPicturesInConfig(small, 7), thousand),
         Outcome::placeholder},
        {"AVIF grid of 1,000 tiles with frames in the shared av1C", craft(withPicturesInConfig(smallAv1, 7), thousand),
         Outcome::placeholder},
        {"HEIC grid of 1,000 tiles", craft(small, thousand), Outcome::ownPixels},
        {"HEIC whose data is located twice", locatedTwice(small, {64, 64}, QByteArray(small.data.size(), '\0')),
         Outcome::placeholder},
        {"HEIC whose data is located twice, at its own bytes both times", locatedTwice(small, {64, 64}, small.data),
         Outcome::refused},
        {"HEIC whose item locations are given twice", withTwice(small, {L::single, {64, 64}}, {"iloc"}),
         Outcome::refused},
        {"HEIC whose item properties are given twice", withTwice(small, {L::single, {64, 64}}, {"ipma"}),
         Outcome::refused},
        {"HEIC grid whose tiles are listed twice", withTwice(small, {L::grid, {64, 64}, 2, 2, 1, {128, 128}}, {"dimg"}),
         Outcome::refused},
        {"old-style JPEG in a TIFF strip", tiffOf(64, 48, 6, 1, greyJpeg), Outcome::refused},
        {"JPEG in TIFF strips sharing their bytes",
         tiffOfSharedStrips(64, 48, 2, encode(grey.copy(0, 0, 64, 24), "jpeg", 90)), Outcome::refused},
        {"JPEG of 99 scans at 150 MP in a TIFF strip",
         tiffOf(side, side, 7, 3, jpegClaiming(jpegOfScans(99), side, side)), Outcome::placeholder},
        {"JPEG of 99 scans at 150 MP in a TIFF tile",
         tiffOf(side, side, 7, 3, jpegClaiming(jpegOfScans(99), 12256, 12256), 12256), Outcome::placeholder},
        {"JPEG in a TIFF strip", tiffOf(64, 48, 7, 1, greyJpeg), Outcome::ownPixels},
        {"JPEG in a TIFF tile", tiffOf(64, 48, 7, 3, encode(twoTone(64, 64), "jpeg", 90), 64), Outcome::ownPixels},
        {"16-bit RGBA PNG of 144 MP", png16(12000, 12000), Outcome::placeholder},
        {"16-bit RGBA PNG of 36 MP", png16(6000, 6000), Outcome::ownPixels},
        {"JPEG of 99 scans at 150 MP in a TIFF strip, its compression given again as none",
         tiffOf(side, side, 7, 3, jpegClaiming(jpegOfScans(99), side, side), 0, {{259, 3, 1}}), Outcome::refused},
        {"JPEG of 99 scans at 40 MP in a TIFF strip",
         tiffOf(6325, 6325, 7, 3, jpegClaiming(jpegOfScans(99), 6325, 6325)), Outcome::refused},
        {"HEIC whose image is described twice", describedTwice(small, {64, 64}), Outcome::refused},
        {"HEIC whose image is given its size twice", sizedTwice(small, {64, 64}), Outcome::refused},
        // 520 tiles and 520 alpha tiles: each grid within the count, both past it.
        {"HEIC grid whose alpha grid takes it past the coded images",
         withAlphaGrid(small, {L::grid, {64, 64}, 20, 26, 1, {1664, 1280}}, small, {64, 64}, 20, 26),
         Outcome::refused},
    };
}

// The inputs fuzzing found to fault inside a decoder library (tests/fuzz/contained/), each
// refused by our own checks before any decoder sees it.
inline QList<Case> containedCases()
{
    QList<Case> cases;
    const QDir kept(qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/../fuzz/contained"));
    for (const QFileInfo &info : kept.entryInfoList(QDir::Files, QDir::Name)) {
        QFile f(info.filePath());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(info.filePath());
        cases.append({QStringLiteral("kept fuzz case ") + info.fileName(), f.readAll(), Outcome::refused});
    }
    EXPECT_FALSE(cases.isEmpty()) << qPrintable(kept.path());
    return cases;
}

// Pictures whose few bytes or odd layout cost the readers in front of the decoders far more than
// a real picture of their size: comments, strips, chunks and references by the million, data read
// at every use, parameter sets given to the decoder with every image. Each made as small as still
// shows its kind.
inline QList<Case> costlyCases()
{
    using namespace LWHeifCraft;
    using L = Layout;
    const QByteArray jpeg = encode(twoTone(64, 64), "jpeg", 90);
    const QByteArray png = encode(twoTone(64, 64), "png");
    const Coded small = codedOf(heic(twoTone(64, 64)));
    return {
        {"JPEG with 24 MB of comments", jpegWithComments(jpeg, 24), Outcome::pixelsOf, jpeg},
        {"TIFF of a million strips", tiffOfStrips(1'000'000), Outcome::either},
        {"PNG with a million empty chunks", pngWithEmptyChunks(png, 1'000'000), Outcome::pixelsOf, png},
        // Chunks just too large to be joined: each read once, as a photo's 8-KB chunks are.
        {"PNG of 6,000 image data chunks of 1.1 KB", pngInChunks(monoPng(3600, 3600, 8), 1100), Outcome::either},
        {"HEIC with 100,000 references", withReferences(small, 100'000), Outcome::refused},
        {"HEIC grid of 1,023 uses of an 8 MB grid", gridOfGrids(small, 31, 33, 8 << 20), Outcome::refused},
        {"HEIC whose hvcC gives 10,000 parameter sets", craft(withParameterSets(small, 10'000), {L::single, {64, 64}}),
         Outcome::refused},
    };
}

// The secret picture and the FIFO in `dir`, and every case. The SVG naming "secret.png" reads
// it from the working folder: make it `dir` while the cases run.
inline QList<Case> hostileCases(const QDir &dir)
{
    const QString secret = dir.filePath(QStringLiteral("secret.png"));
    QFile f(secret);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(encode(plain(40, 30, secretColour), "png")) > 0);
    f.close();
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    EXPECT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const QByteArray svgHead = svgNaming(QUrl::fromLocalFile(secret).toString()).chopped(7); // without "</svg>\n"
    const QByteArray png = encode(twoTone(64, 48), "png");
    QList<Case> cases = {
        {"SVG naming a local picture", svgNaming(QUrl::fromLocalFile(secret).toString()), Outcome::placeholder},
        {"SVG naming a local picture by path", svgNaming(secret), Outcome::placeholder},
        {"SVG naming a picture in the working folder", svgNaming(QStringLiteral("secret.png")), Outcome::placeholder},
        {"SVG naming a FIFO", svgNaming(fifo), Outcome::placeholder},
        {"SVG naming /dev/stdin", svgNaming(QStringLiteral("/dev/stdin")), Outcome::placeholder},
        {"SVGZ of 1 GB", gzipBomb(svgHead, ' ', 1024, "</svg>\n"), Outcome::placeholder},
        {"gzip of 1 GB", gzipBomb({}, '\0', 1024, {}), Outcome::placeholder},
        {"PNG of 30,000 x 30,000", pngClaiming(30000, 30000), Outcome::placeholder},
        {"TIFF of 30,000 x 30,000", tiffClaiming(30000, 30000), Outcome::placeholder},
        {"PNG with 300 text bombs", pngWithTextBombs(png, 300), Outcome::pixelsOf, png},
        {"JPEG of 1,000 scans", jpegOfScans(1000), Outcome::placeholder},
        {"PDF", QByteArray("%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n"), Outcome::placeholder},
    };
    const struct {
        const char *name;
        QByteArray bytes;
    } whole[] = {
        {"JPEG", encode(twoTone(64, 48), "jpeg", 90)}, {"PNG", png},
        {"HEIC", heic(twoTone(64, 48))},              {"TIFF", encode(twoTone(64, 48), "tiff")},
        {"WebP", encode(twoTone(64, 48), "webp")},     {"GIF", twoToneGif(64, 48)},
        {"BMP", encode(twoTone(64, 48), "bmp")},
    };
    cases += craftedCases() + containedCases();
    for (const auto &w : whole)
        cases.append({QStringLiteral("truncated ") + QLatin1String(w.name), w.bytes.left(w.bytes.size() / 2),
                      Outcome::either});
    return cases;
}

} // namespace LWHostilePictures
