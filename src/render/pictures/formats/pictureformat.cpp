#include "render/pictures/formats/pictureformat.h"

#include "render/pictures/heif.h"
#include "render/pictures/formats/jpegprobe.h"
#include "render/pictures/picturekey.h"
#include "render/pictures/formats/tiffheader.h"
#include "render/pictures/formats/webpheader.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QtEndian>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace LWPictureFormat {
namespace {

bool startsWith(const QByteArray &bytes, const char *signature, qsizetype size, qsizetype at = 0)
{
    return bytes.size() >= at + size && std::memcmp(bytes.constData() + at, signature, size_t(size)) == 0;
}

// "BM" alone starts many a text; the size of a known info header follows it in a real BMP.
bool isBmp(const QByteArray &bytes)
{
    if (!startsWith(bytes, "BM", 2) || bytes.size() < 18)
        return false;
    const quint32 info = qFromLittleEndian<quint32>(bytes.constData() + 14);
    return info == 12 || info == 40 || info == 52 || info == 56 || info == 64 || info == 108 || info == 124;
}

// PNG image data chunks shorter than this on average are joined into one: the decoder pays for
// each chunk (millions of one-byte chunks cost seconds), never for the length of one.
constexpr qint64 smallIdat = 1024;

// The run of image data chunks at `at` joined into one chunk, when it holds many small ones; the
// end of the run read in `end` either way, so that no chunk of it is read twice. Empty when there
// is no such run. The run stops before a chunk whose checksum fails or that runs past the bytes,
// which the decoder then finds as it would have.
QByteArray joinedIdat(const QByteArray &png, qsizetype at, qsizetype &end)
{
    const uLong typeCrc = crc32(0, reinterpret_cast<const Bytef *>("IDAT"), 4);
    qint64 count = 0, data = 0;
    qsizetype p = at;
    while (png.size() - p >= 12 && std::memcmp(png.constData() + p + 4, "IDAT", 4) == 0) {
        const qint64 length = qFromBigEndian<quint32>(png.constData() + p);
        if (length > png.size() - p - 12 || data + length > 0x7FFFFFFF)
            break;
        const auto *body = reinterpret_cast<const Bytef *>(png.constData() + p + 8);
        if (crc32(typeCrc, body, uInt(length)) != qFromBigEndian<quint32>(body + length))
            break;
        ++count;
        data += length;
        p += 12 + length;
    }
    end = p;
    if (count < 2 || data >= count * smallIdat)
        return {};
    QByteArray joined(12 + data, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(data), joined.data());
    std::memcpy(joined.data() + 4, "IDAT", 4);
    char *to = joined.data() + 8;
    for (qsizetype q = at; q < p;) {
        const qint64 length = qFromBigEndian<quint32>(png.constData() + q);
        std::memcpy(to, png.constData() + q + 8, size_t(length));
        to += length;
        q += 12 + length;
    }
    const uLong crc = crc32(typeCrc, reinterpret_cast<const Bytef *>(joined.constData() + 8), uInt(data));
    qToBigEndian<quint32>(quint32(crc), to);
    return joined;
}

// The PNG as its decoder reads it: its critical chunks and the first of each ancillary chunk
// the decoder uses (a repeat it ignores); text (whose compressed kinds inflate without bound),
// repeats and the chunks it skips (each costs it a read, millions cost seconds) are left out, and
// many small image data chunks are joined. The bytes themselves when nothing is changed. A
// critical chunk that runs past the end is left to the reader, which refuses it as it reads; an
// ancillary one is cut off with what follows, as the reader would allocate and clear all the
// length it claims (gigabytes) before finding it cut.
QByteArray chunksRead(const QByteArray &png)
{
    static constexpr const char *used[] = {"tRNS", "gAMA", "cHRM", "sRGB", "iCCP", "sBIT", "bKGD", "pHYs", "eXIf"};
    QByteArray out;
    bool changed = false;
    unsigned seen = 0;
    qsizetype at = 8, kept = 0; // the bytes from `kept` to `at` are still to be copied
    qsizetype runEnd = 0;       // image data chunks before this were read as a run already
    while (png.size() - at >= 8) {
        const qint64 length = qFromBigEndian<quint32>(png.constData() + at);
        const qint64 next = at + 12 + length;
        const char *type = png.constData() + at + 4;
        const bool critical = !(type[0] & 0x20);
        if (at >= runEnd && std::memcmp(type, "IDAT", 4) == 0) {
            qsizetype end = 0;
            const QByteArray joined = joinedIdat(png, at, end);
            runEnd = end;
            if (!joined.isEmpty()) {
                out.append(png.constData() + kept, at - kept);
                out.append(joined);
                kept = at = end;
                changed = true;
                continue;
            }
        }
        if (next > png.size()) {
            if (critical)
                break;
            out.append(png.constData() + kept, at - kept);
            return out;
        }
        bool keep = critical;
        for (unsigned i = 0; !keep && i < std::size(used); ++i)
            if (std::memcmp(type, used[i], 4) == 0) {
                keep = !(seen & (1u << i));
                seen |= 1u << i;
                break;
            }
        if (!keep) {
            out.append(png.constData() + kept, at - kept);
            kept = next;
            changed = true;
        }
        at = next;
        if (std::memcmp(type, "IEND", 4) == 0)
            break;
    }
    if (!changed)
        return png;
    out.append(png.constData() + kept, png.size() - kept);
    return out;
}

// The JPEG without its comment segments, which the decoder and Qt's reader each keep (Qt as
// text: 100 MB of comments took 629 MB); the bytes themselves when it has none. Walked as the
// decoder reads, scans included; from where the walk fails the rest is left to the reader.
QByteArray withoutComments(const QByteArray &jpeg)
{
    const auto *const start = reinterpret_cast<const uchar *>(jpeg.constData());
    const uchar *const end = start + jpeg.size();
    const uchar *p = start + 2;
    QByteArray out;
    qsizetype kept = 0;
    while (p < end) {
        const auto *ff = static_cast<const uchar *>(std::memchr(p, 0xFF, size_t(end - p)));
        if (!ff)
            break;
        p = ff;
        while (p < end && *p == 0xFF)
            ++p;
        if (p >= end)
            break;
        const uchar *const markerAt = p - 1;
        const uchar marker = *p++;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (marker == 0xD9 || marker == 0xD8 || marker < 0xC0 || end - p < 2)
            break;
        const qsizetype length = (p[0] << 8) | p[1];
        if (length < 2 || length > end - p)
            break;
        if (marker == 0xFE) {
            if (out.isEmpty())
                out.reserve(jpeg.size());
            out.append(jpeg.constData() + kept, markerAt - start - kept);
            kept = p + length - start;
        }
        p += length;
    }
    if (kept == 0)
        return jpeg;
    out.append(jpeg.constData() + kept, jpeg.size() - kept);
    return out;
}

const char *readerName(Format format)
{
    switch (format) {
    case Format::jpeg: return "jpeg";
    case Format::png: return "png";
    case Format::tiff: return "tiff";
    case Format::webp: return "webp";
    case Format::gif: return "gif";
    case Format::bmp: return "bmp";
    case Format::heif:
    case Format::none: break;
    }
    return nullptr;
}

} // namespace

Format sniff(const QByteArray &bytes)
{
    if (startsWith(bytes, "\xff\xd8\xff", 3))
        return Format::jpeg;
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8))
        return Format::png;
    if (startsWith(bytes, "II*\0", 4) || startsWith(bytes, "MM\0*", 4))
        return Format::tiff;
    if (startsWith(bytes, "RIFF", 4) && startsWith(bytes, "WEBP", 4, 8))
        return Format::webp;
    if (startsWith(bytes, "GIF87a", 6) || startsWith(bytes, "GIF89a", 6))
        return Format::gif;
    if (isBmp(bytes))
        return Format::bmp;
    if (LWHeif::isHeif(bytes))
        return Format::heif;
    return Format::none;
}

QStringList suffixes()
{
    QStringList out = {QStringLiteral("bmp"),  QStringLiteral("gif"), QStringLiteral("heic"), QStringLiteral("heif"),
                       QStringLiteral("jpeg"), QStringLiteral("jpg"), QStringLiteral("png"),  QStringLiteral("tif"),
                       QStringLiteral("tiff"), QStringLiteral("webp")};
    if (LWHeif::readsAvif())
        out.prepend(QStringLiteral("avif"));
    return out;
}

bool isPictureType(const QString &mimeType)
{
    static const QStringList types = {
        QStringLiteral("image/bmp"),  QStringLiteral("image/x-ms-bmp"), QStringLiteral("image/gif"),
        QStringLiteral("image/heic"), QStringLiteral("image/heif"),     QStringLiteral("image/jpeg"),
        QStringLiteral("image/png"),  QStringLiteral("image/tiff"),     QStringLiteral("image/webp")};
    const QString type = mimeType.toLower();
    return types.contains(type) || (type == QLatin1String("image/avif") && LWHeif::readsAvif());
}

std::unique_ptr<QImageReader> Readable::reader(QBuffer &buffer) const
{
    const char *name = readerName(format);
    if (!name)
        return nullptr;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return nullptr;
    auto reader = std::make_unique<QImageReader>(&buffer, QByteArray(name));
    reader->setAutoDetectImageFormat(false); // the named format's reader, or none
    reader->setDecideFormatFromContent(false);
    return reader;
}

namespace {

// The bytes' format, checked, and the bytes its reader reads.
Readable walked(const QByteArray &bytes)
{
    Readable out{sniff(bytes), bytes};
    switch (out.format) {
    case Format::none:
        return {};
    case Format::png:
        out.bytes = chunksRead(bytes);
        break;
    case Format::jpeg: {
        const LWJpegProbe::Layout jpeg = LWJpegProbe::layout(bytes);
        if (jpeg.scans > maxJpegScans || double(jpeg.scans) * jpeg.width * jpeg.height > maxJpegScanPixels)
            return {};
        if (jpeg.progressive) // two bytes per coefficient
            out.workPerPixel = 2 * jpeg.samplesPerPixel;
        out.bytes = withoutComments(bytes);
        break;
    }
    case Format::tiff: { // a strip may be decoded whole before it is converted
        const std::optional<LWTiffHeader::Header> tiff = LWTiffHeader::read(bytes);
        // Old-style JPEG in TIFF is read by guesswork; new-style pays for its scans as a JPEG.
        if (!tiff || tiff->compression == 6)
            return {};
        out.workPerPixel = 4;
        if (const std::optional<LWTiffHeader::Jpeg> &jpeg = tiff->jpeg) {
            if (jpeg->mostScans > maxJpegScans || jpeg->scanPixels > maxJpegScanPixels)
                return {};
            if (jpeg->progressive)
                out.workPerPixel += 2 * jpeg->samplesPerPixel;
        }
        break;
    }
    case Format::gif: // the canvas the frames are drawn onto
        out.workPerPixel = 4;
        if (bytes.size() >= 10)
            out.canvas = QSize(qFromLittleEndian<quint16>(bytes.constData() + 6),
                               qFromLittleEndian<quint16>(bytes.constData() + 8));
        break;
    case Format::heif: // the decoded planes, up to 16 bits a sample
        out.workPerPixel = 6;
        break;
    case Format::webp: {
        const std::optional<LWWebpHeader::Header> webp = LWWebpHeader::read(bytes);
        if (!webp)
            return {};
        out.workPerPixel = webp->workPerPixel();
        out.declared = webp->size;
        break;
    }
    case Format::bmp:
        break;
    }
    return out;
}

// What the walks of large pictures gave lately, by the pictures' keys: a PNG of millions of chunks
// or a JPEG of megabytes of comments is walked once, not at every use. What a walk left as it was
// is not kept (the caller's bytes are handed back); of what walks made anew, at most mostBytes.
struct Walks {
    static constexpr qsizetype from = 64 << 10; // smaller pictures are walked every time
    static constexpr qsizetype most = 64;
    static constexpr qint64 mostBytes = qint64(64) << 20;
    struct Walk {
        Readable readable; // its bytes empty when they were the picture's own
        bool own = false;
        quint64 lastUse = 0;
    };
    QMutex lock;
    QHash<QByteArray, Walk> byKey;
    qint64 bytes = 0;
    quint64 clock = 0;

    void trim()
    {
        while (!byKey.isEmpty() && (byKey.size() > most || bytes > mostBytes)) {
            auto oldest = byKey.begin();
            for (auto it = byKey.begin(); it != byKey.end(); ++it)
                if (it->lastUse < oldest->lastUse)
                    oldest = it;
            bytes -= oldest->readable.bytes.size();
            byKey.erase(oldest);
        }
    }
};

Walks &walks()
{
    static Walks w;
    return w;
}

} // namespace

Readable readable(const QByteArray &bytes)
{
    // Only where the key costs no pass over the bytes (a worker's mapped picture has none).
    const std::optional<QByteArray> key = bytes.size() >= Walks::from ? LWPictureKey::ifKnown(bytes) : std::nullopt;
    if (!key)
        return walked(bytes);
    Walks &w = walks();
    {
        QMutexLocker guard(&w.lock);
        if (const auto it = w.byKey.find(*key); it != w.byKey.end()) {
            it->lastUse = ++w.clock;
            Readable out = it->readable;
            if (it->own)
                out.bytes = bytes;
            return out;
        }
    }
    const Readable out = walked(bytes);
    Walks::Walk walk{out, out.bytes.isSharedWith(bytes), 0};
    if (walk.own)
        walk.readable.bytes = QByteArray();
    QMutexLocker guard(&w.lock);
    if (!w.byKey.contains(*key)) {
        walk.lastUse = ++w.clock;
        w.bytes += walk.readable.bytes.size();
        w.byKey.insert(*key, walk);
        w.trim();
    }
    return out;
}

qint64 Readable::decodeCost(QSize declared, QSize made, int bytesPerPixel, bool turned) const
{
    const auto pixels = [](QSize s) { return double(std::max(s.width(), 0)) * std::max(s.height(), 0); };
    const double work = std::max(pixels(declared), pixels(canvas)) * workPerPixel;
    return qint64(std::ceil(work + pixels(made) * bytesPerPixel * (turned ? 2 : 1)));
}

} // namespace LWPictureFormat
