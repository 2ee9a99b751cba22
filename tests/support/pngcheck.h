#pragma once
// A PNG's bytes checked as zlib checks them, which Qt's reader does not: every chunk's CRC, the
// image data inflated to its end with its Adler-32, and exactly the bytes its header promises.
#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <string>
#include <zlib.h>

// Empty when the PNG is sound, else what is wrong with it.
inline std::string lwPngFault(const QByteArray &png)
{
    const auto fault = [](const QString &why) { return why.toStdString(); };
    if (!png.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8)))
        return fault(QStringLiteral("no PNG signature"));
    const auto u32 = [&](qsizetype at) { return qFromBigEndian<quint32>(png.constData() + at); };
    QByteArray data;
    quint64 expected = 0;
    bool ended = false;
    for (qsizetype at = 8; !ended;) {
        if (at + 12 > png.size())
            return fault(QStringLiteral("a chunk runs past the end at %1").arg(at));
        const quint32 length = u32(at);
        if (length > quint32(png.size() - at - 12))
            return fault(QStringLiteral("a chunk runs past the end at %1").arg(at));
        const QByteArray type = png.mid(at + 4, 4);
        const auto *body = reinterpret_cast<const Bytef *>(png.constData() + at + 4);
        if (crc32(0, body, uInt(length + 4)) != u32(at + 8 + length))
            return fault(QStringLiteral("bad CRC in %1 at %2").arg(QString::fromLatin1(type)).arg(at));
        if (type == "IHDR" && length >= 13) {
            const quint64 width = u32(at + 8), height = u32(at + 12);
            const int depth = uchar(png[at + 16]), colour = uchar(png[at + 17]);
            const int channels = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
            expected = height * (1 + (width * channels * depth + 7) / 8);
        } else if (type == "IDAT") {
            data.append(png.constData() + at + 8, length);
        }
        ended = type == "IEND";
        at += 12 + length;
        if (ended && at != png.size())
            return fault(QStringLiteral("bytes after IEND"));
    }
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return fault(QStringLiteral("zlib failed to start"));
    z.next_in = reinterpret_cast<Bytef *>(data.data());
    z.avail_in = uInt(data.size());
    QByteArray out(64 << 10, Qt::Uninitialized);
    quint64 total = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        status = inflate(&z, Z_NO_FLUSH);
        total += quint64(out.size()) - z.avail_out;
    }
    const bool trailing = z.avail_in != 0;
    inflateEnd(&z);
    if (status != Z_STREAM_END)
        return fault(QStringLiteral("zlib: %1").arg(status == Z_DATA_ERROR ? QStringLiteral("corrupt data or Adler-32")
                                                                    : QString::number(status)));
    if (trailing)
        return fault(QStringLiteral("data after the zlib stream"));
    if (total != expected)
        return fault(QStringLiteral("%1 bytes inflated, the header promises %2").arg(total).arg(expected));
    return {};
}
