#include "render/pictures/formats/webpheader.h"

#include <QtEndian>

#include <cstring>

namespace {

quint32 le24(const uchar *p) { return p[0] | (p[1] << 8) | (quint32(p[2]) << 16); }

// The chunk of `type` among those from `at`, as its body's offset and size; -1 when absent.
std::pair<qsizetype, qsizetype> chunk(const QByteArray &bytes, qsizetype at, const char *type)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    // A handful of chunks come before the image in any real file.
    for (int n = 0; n < 64 && bytes.size() - at >= 8; ++n) {
        const qsizetype size = qFromLittleEndian<quint32>(p + at + 4);
        if (size > bytes.size() - at - 8)
            return {-1, 0};
        if (std::memcmp(p + at, type, 4) == 0)
            return {at + 8, size};
        at += 8 + size + (size & 1);
    }
    return {-1, 0};
}

// The size in a VP8 or VP8L bitstream's header.
std::optional<QSize> bitstreamSize(const QByteArray &bytes, qsizetype at, qsizetype size, bool lossless)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + at;
    if (lossless) {
        if (size < 5 || p[0] != 0x2F)
            return std::nullopt;
        const quint32 bits = qFromLittleEndian<quint32>(p + 1);
        return QSize(int(bits & 0x3FFF) + 1, int((bits >> 14) & 0x3FFF) + 1);
    }
    if (size < 10 || p[3] != 0x9D || p[4] != 0x01 || p[5] != 0x2A)
        return std::nullopt;
    return QSize(qFromLittleEndian<quint16>(p + 6) & 0x3FFF, qFromLittleEndian<quint16>(p + 8) & 0x3FFF);
}

} // namespace

namespace LWWebpHeader {

double Header::workPerPixel() const
{
    double work = lossless ? 5 : 0; // measured: a lossless picture peaks near twice its image
    if (alpha)
        work += 1;
    if (animated) // the canvas, and the frame decoded before it is drawn onto it
        work += 8;
    return work;
}

std::optional<Header> read(const QByteArray &bytes)
{
    if (bytes.size() < 20 || std::memcmp(bytes.constData(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.constData() + 8, "WEBP", 4) != 0)
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    Header out;
    if (std::memcmp(p + 12, "VP8X", 4) == 0) {
        const auto [at, size] = chunk(bytes, 12, "VP8X");
        if (at < 0 || size < 10)
            return std::nullopt;
        out.animated = p[at] & 0x02;
        out.alpha = p[at] & 0x10;
        out.size = QSize(int(le24(p + at + 4)) + 1, int(le24(p + at + 7)) + 1);
        // Frames of an animation may be of either kind: assume the costlier. A still picture is
        // its first image chunk, as the decoder finds it; one that is not within a handful of
        // chunks is refused rather than guessed.
        if (out.animated) {
            out.lossless = true;
            return out;
        }
        const qsizetype next = at + size + (size & 1);
        const qsizetype lossy = chunk(bytes, next, "VP8 ").first, lossless = chunk(bytes, next, "VP8L").first;
        if (lossy < 0 && lossless < 0)
            return std::nullopt;
        out.lossless = lossless >= 0 && (lossy < 0 || lossless < lossy);
        return out;
    }
    const bool lossless = std::memcmp(p + 12, "VP8L", 4) == 0;
    const auto [at, size] = chunk(bytes, 12, lossless ? "VP8L" : "VP8 ");
    if (at < 0)
        return std::nullopt;
    const std::optional<QSize> s = bitstreamSize(bytes, at, size, lossless);
    if (!s || s->isEmpty())
        return std::nullopt;
    out.size = *s;
    out.lossless = lossless;
    out.alpha = lossless;
    return out;
}

} // namespace LWWebpHeader
