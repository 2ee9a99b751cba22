#include "render/pictures/formats/tiffheader.h"

#include "render/pictures/formats/jpegprobe.h"

#include <QList>
#include <QSet>
#include <QtEndian>

#include <algorithm>

namespace {

class Fields {
public:
    explicit Fields(const QByteArray &bytes) : m_bytes(bytes), m_little(bytes.startsWith("II")) {}
    // The unsigned field of `size` bytes at `at`; none past the end.
    std::optional<quint32> u(qint64 at, int size) const
    {
        if (at < 0 || at > m_bytes.size() - size)
            return std::nullopt;
        const char *p = m_bytes.constData() + at;
        if (size == 2)
            return m_little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
        return m_little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    }

private:
    const QByteArray &m_bytes;
    bool m_little;
};

constexpr quint16 compressionTag = 259, stripOffsets = 273, stripCounts = 279, tileOffsets = 324, tileCounts = 325;

// An entry of the directory: its values, read as the type (SHORT or LONG) says.
struct Entry {
    quint16 type = 0;
    quint32 count = 0;
    qint64 at = 0; // of the values
};

std::optional<QList<quint32>> values(const Fields &f, const Entry &e, qint64 fileSize)
{
    const int size = e.type == 3 ? 2 : e.type == 4 ? 4 : 0;
    if (size == 0 || qint64(e.count) * size > fileSize)
        return std::nullopt;
    QList<quint32> out;
    out.reserve(e.count);
    for (quint32 i = 0; i < e.count; ++i) {
        const std::optional<quint32> v = f.u(e.at + qint64(i) * size, size);
        if (!v)
            return std::nullopt;
        out.append(*v);
    }
    return out;
}

} // namespace

namespace LWTiffHeader {

std::optional<Header> read(const QByteArray &bytes)
{
    if (!bytes.startsWith(QByteArray("II*\0", 4)) && !bytes.startsWith(QByteArray("MM\0*", 4)))
        return std::nullopt;
    const Fields f(bytes);
    const std::optional<quint32> ifd = f.u(4, 4);
    const std::optional<quint32> count = ifd ? f.u(*ifd, 2) : std::nullopt;
    if (!count)
        return std::nullopt;
    Header out;
    Entry offsets, counts;
    QSet<quint32> tags;
    for (quint32 i = 0; i < *count; ++i) {
        const qint64 at = qint64(*ifd) + 2 + 12 * qint64(i);
        const auto tag = f.u(at, 2), type = f.u(at + 2, 2), n = f.u(at + 4, 4), value = f.u(at + 8, 4);
        if (!tag || !type || !n || !value)
            return std::nullopt;
        // libtiff reads the first of a repeated tag: one given twice is refused, never read
        // one way here and the other there.
        if (tags.contains(*tag))
            return std::nullopt;
        tags.insert(*tag);
        const int size = *type == 3 ? 2 : 4;
        const Entry e{quint16(*type), *n, qint64(*n) * size <= 4 ? at + 8 : qint64(*value)};
        if (*tag == compressionTag)
            out.compression = int(f.u(e.at, size).value_or(0));
        else if (*tag == stripOffsets || *tag == tileOffsets)
            offsets = e;
        else if (*tag == stripCounts || *tag == tileCounts)
            counts = e;
    }
    if (out.compression != 7)
        return out;
    // Each strip or tile is a JPEG stream the decoder reads scan by scan.
    const auto starts = values(f, offsets, bytes.size()), lengths = values(f, counts, bytes.size());
    if (!starts || !lengths || starts->size() != lengths->size())
        return std::nullopt;
    // Strips share no bytes in a real file; repeats would multiply the work of a small file.
    QList<std::pair<qint64, qint64>> spans; // start, end
    spans.reserve(starts->size());
    for (qsizetype i = 0; i < starts->size(); ++i) {
        const qint64 at = (*starts)[i], length = (*lengths)[i];
        if (at > bytes.size() || length > bytes.size() - at)
            return std::nullopt;
        if (length > 0)
            spans.append({at, at + length});
    }
    std::sort(spans.begin(), spans.end());
    for (qsizetype i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second)
            return std::nullopt;
    Jpeg jpeg;
    for (qsizetype i = 0; i < starts->size(); ++i) {
        const qint64 at = (*starts)[i], length = (*lengths)[i];
        const LWJpegProbe::Layout l = LWJpegProbe::layout(bytes.mid(at, length));
        ++jpeg.streams;
        jpeg.mostScans = std::max(jpeg.mostScans, l.scans);
        jpeg.scanPixels += double(l.scans) * l.width * l.height;
        jpeg.progressive = jpeg.progressive || l.progressive;
        jpeg.samplesPerPixel = std::max(jpeg.samplesPerPixel, l.samplesPerPixel);
    }
    out.jpeg = jpeg;
    return out;
}

} // namespace LWTiffHeader
