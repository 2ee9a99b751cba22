#include "render/pictures/formats/codedsize.h"

#include <algorithm>

namespace {

// Reads bits most significant first; past the end it reads zeros and remembers it.
class Bits {
public:
    Bits(const uchar *p, qsizetype size) : m_p(p), m_size(size) {}
    quint32 u(int n)
    {
        quint32 v = 0;
        for (int i = 0; i < n; ++i) {
            const qsizetype byte = m_at >> 3;
            if (byte >= m_size) {
                m_over = true;
                v <<= 1;
            } else {
                v = (v << 1) | ((m_p[byte] >> (7 - (m_at & 7))) & 1);
            }
            ++m_at;
        }
        return v;
    }
    void skip(int n)
    {
        for (; n > 16; n -= 16)
            (void)u(16);
        (void)u(n);
    }
    // Exp-Golomb code (HEVC ue(v), AV1 uvlc share its prefix).
    quint32 ue()
    {
        int zeros = 0;
        while (u(1) == 0) {
            if (++zeros > 31 || m_over) {
                m_over = true;
                return 0;
            }
        }
        return quint32((quint64(1) << zeros) - 1 + u(zeros));
    }
    bool over() const { return m_over; }

private:
    const uchar *m_p;
    qsizetype m_size;
    qsizetype m_at = 0;
    bool m_over = false;
};

QSize larger(QSize a, QSize b) { return {std::max(a.width(), b.width()), std::max(a.height(), b.height())}; }

// An HEVC NAL unit's payload without its emulation prevention bytes.
QByteArray unescaped(const uchar *p, qsizetype size)
{
    QByteArray out;
    out.reserve(size);
    int zeros = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (zeros >= 2 && p[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = p[i] == 0 ? zeros + 1 : 0;
        out.append(char(p[i]));
    }
    return out;
}

bool isSps(const uchar *nal, qsizetype size) { return size >= 2 && ((nal[0] >> 1) & 0x3F) == 33; }

// A slice segment that starts a picture.
bool startsPicture(const uchar *nal, qsizetype size) { return size >= 3 && ((nal[0] >> 1) & 0x3F) < 32 && (nal[2] & 0x80); }
// Parameter sets, messages and the like: no slice of a picture.
bool notSlice(const uchar *nal, qsizetype size) { return size >= 1 && ((nal[0] >> 1) & 0x3F) >= 32; }

// The luma size of an HEVC sequence parameter set (its NAL header included).
std::optional<QSize> spsSize(const uchar *nal, qsizetype size)
{
    // Only the header's first bytes matter; the profile part is at most some 40 bytes.
    const QByteArray rbsp = unescaped(nal, std::min<qsizetype>(size, 256));
    Bits b(reinterpret_cast<const uchar *>(rbsp.constData()), rbsp.size());
    b.skip(16);     // NAL header
    b.skip(4);      // video parameter set id
    const int subLayers = int(b.u(3));
    b.skip(1);
    b.skip(96);     // general profile, tier and level
    bool profile[8] = {}, level[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profile[i] = b.u(1);
        level[i] = b.u(1);
    }
    if (subLayers > 0)
        b.skip(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i) {
        if (profile[i])
            b.skip(88);
        if (level[i])
            b.skip(8);
    }
    (void)b.ue(); // sequence parameter set id
    if (b.ue() == 3)
        b.skip(1); // separate colour planes
    const quint32 w = b.ue(), h = b.ue();
    if (b.over() || w == 0 || h == 0 || w > 65535 || h > 65535)
        return std::nullopt;
    return QSize(int(w), int(h));
}

quint64 leb128(const uchar *&p, const uchar *end, bool &ok)
{
    quint64 v = 0;
    for (int i = 0; i < 8; ++i) {
        if (p >= end) {
            ok = false;
            return 0;
        }
        const uchar byte = *p++;
        v |= quint64(byte & 0x7F) << (7 * i);
        if (!(byte & 0x80))
            return v;
    }
    ok = false;
    return 0;
}

// The maximum frame size an AV1 sequence header allows (the OBU's payload). A frame header may
// give its own size in as many bits as the maximum's, but never more than the maximum: the
// decoder refuses a larger frame.
struct Av1Sizes {
    QSize max, ceiling;
};
std::optional<Av1Sizes> sequenceHeaderSize(const uchar *p, qsizetype size)
{
    Bits b(p, size);
    b.skip(3); // profile
    b.skip(1); // still picture
    const bool reduced = b.u(1);
    if (reduced) {
        b.skip(5);
    } else {
        bool decoderModel = false;
        int delayLength = 0;
        if (b.u(1)) { // timing info
            b.skip(64);
            if (b.u(1))
                (void)b.ue(); // ticks per picture (uvlc)
            decoderModel = b.u(1);
            if (decoderModel) {
                delayLength = int(b.u(5)) + 1;
                b.skip(32 + 5 + 5);
            }
        }
        const bool displayDelay = b.u(1);
        const int points = int(b.u(5)) + 1;
        for (int i = 0; i < points && !b.over(); ++i) {
            b.skip(12);
            if (b.u(5) > 7)
                b.skip(1); // tier
            if (decoderModel && b.u(1))
                b.skip(2 * delayLength + 1);
            if (displayDelay && b.u(1))
                b.skip(4);
        }
    }
    const int wBits = int(b.u(4)) + 1, hBits = int(b.u(4)) + 1;
    const quint64 w = quint64(b.u(wBits)) + 1, h = quint64(b.u(hBits)) + 1;
    if (b.over() || w > 65536 || h > 65536)
        return std::nullopt;
    const QSize max{int(w), int(h)};
    return Av1Sizes{max, max};
}

} // namespace

namespace LWCodedSize {

std::optional<Stream> hevcNalUnits(const QByteArray &data, int lengthSize)
{
    if (lengthSize != 1 && lengthSize != 2 && lengthSize != 4)
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const uchar *const end = p + data.size();
    Stream out;
    while (p < end) {
        if (end - p < lengthSize)
            return std::nullopt;
        quint64 length = 0;
        for (int i = 0; i < lengthSize; ++i)
            length = (length << 8) | *p++;
        if (length > quint64(end - p))
            return std::nullopt;
        out.otherUnits += notSlice(p, qsizetype(length));
        if (isSps(p, qsizetype(length))) {
            const std::optional<QSize> s = spsSize(p, qsizetype(length));
            if (!s)
                return std::nullopt;
            out.size = larger(out.size, *s);
            out.ceiling = out.size;
        } else if (startsPicture(p, qsizetype(length))) {
            ++out.pictures;
        }
        p += length;
    }
    return out;
}

std::optional<HevcConfig> hevcConfig(const QByteArray &hvcC)
{
    if (hvcC.size() < 23)
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(hvcC.constData());
    const uchar *const end = p + hvcC.size();
    HevcConfig out;
    out.lengthSize = (p[21] & 3) + 1;
    const int arrays = p[22];
    p += 23;
    for (int a = 0; a < arrays; ++a) {
        if (end - p < 3)
            return std::nullopt;
        const int count = (p[1] << 8) | p[2];
        p += 3;
        for (int n = 0; n < count; ++n) {
            if (end - p < 2)
                return std::nullopt;
            const qsizetype length = (p[0] << 8) | p[1];
            p += 2;
            if (length > end - p)
                return std::nullopt;
            out.otherUnits += notSlice(p, length);
            if (isSps(p, length)) {
                const std::optional<QSize> s = spsSize(p, length);
                if (!s)
                    return std::nullopt;
                out.size = larger(out.size, *s);
            } else if (startsPicture(p, length)) {
                ++out.pictures;
            }
            p += length;
        }
    }
    return out;
}

std::optional<Stream> av1Obus(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const uchar *const end = p + data.size();
    Stream out;
    while (p < end) {
        const uchar header = *p++;
        const int type = (header >> 3) & 15;
        if (header & 4) { // extension
            if (p >= end)
                return std::nullopt;
            ++p;
        }
        quint64 size = quint64(end - p);
        if (header & 2) {
            bool ok = true;
            size = leb128(p, end, ok);
            if (!ok)
                return std::nullopt;
        }
        if (size > quint64(end - p))
            return std::nullopt;
        // Every unit but a frame's own (its header and tiles) is parsed by the decoder on its own:
        // sequence headers, metadata, padding and delimiters count as HEVC's parameter sets do.
        out.otherUnits += type != 3 && type != 4 && type != 6;
        if (type == 1) {
            const std::optional<Av1Sizes> s = sequenceHeaderSize(p, qsizetype(size));
            if (!s)
                return std::nullopt;
            out.size = larger(out.size, s->max);
            out.ceiling = larger(out.ceiling, s->ceiling);
        } else if (type == 3 || type == 6) { // a frame header, alone or with its tiles
            ++out.pictures;
        }
        p += size;
    }
    return out;
}

} // namespace LWCodedSize
