#pragma once
// Picture bytes that do not draw, or draw only in part, each with the finding the print check
// gives a frame named "Photo" holding them. Made in the test; tests that use them link zlib.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>
#include <QtEndian>
#include <gtest/gtest.h>

#include <zlib.h>

namespace LWUndrawnPictures {

inline QByteArray encoded(const char *format, int w = 400, int h = 300, bool progressive = false)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(200, 40, 40));
    QPainter(&img).fillRect(0, h / 2, w, h - h / 2, QColor(40, 40, 200));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter writer(&buf, format);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(img)) << format;
    return bytes;
}

// A PNG header claiming w x h pixels, with a token of image data.
inline QByteArray pngClaiming(quint32 w, quint32 h)
{
    QByteArray png = encoded("png", 8, 8);
    const qsizetype ihdr = png.indexOf("IHDR");
    qToBigEndian<quint32>(w, png.data() + ihdr + 4);
    qToBigEndian<quint32>(h, png.data() + ihdr + 8);
    const auto *chunk = reinterpret_cast<const Bytef *>(png.constData() + ihdr);
    qToBigEndian<quint32>(quint32(crc32(0, chunk, 4 + 13)), png.data() + ihdr + 4 + 13);
    return png;
}

// A PNG whose image data is scrambled half way.
inline QByteArray damagedPng()
{
    QByteArray png = encoded("png");
    const qsizetype idat = png.indexOf("IDAT");
    const quint32 length = qFromBigEndian<quint32>(png.constData() + idat - 4);
    for (qsizetype i = idat + 4 + length / 2; i < idat + 4 + length; ++i)
        png[i] = char(png[i] ^ 0x5A);
    return png;
}

inline const QString readMessage =
    QStringLiteral("Picture \"Photo\" can't be read, so a placeholder would print in its place. Place the picture again.");
inline const QString largeMessage = QStringLiteral(
    "Picture \"Photo\" is too large to draw, so a placeholder would print in its place. Place a smaller copy of it.");
inline const QString partMessage =
    QStringLiteral("Picture \"Photo\" is cut off or damaged: only part of it can be read, so it won't print whole. "
                   "Place the picture again.");

struct Case {
    const char *name;
    QByteArray bytes;
    QString message;
};

inline QList<Case> cases()
{
    const QByteArray jpeg = encoded("jpeg");
    const QByteArray progressive = encoded("jpeg", 400, 300, true);
    return {
        {"damaged bytes", damagedPng(), readMessage},
        {"a JPEG cut off halfway", jpeg.left(jpeg.size() / 2), partMessage},
        // Its decoder runs out of bytes between scans, not within one.
        {"a progressive JPEG cut off before its last scan", progressive.left(progressive.lastIndexOf("\xff\xda")),
         partMessage},
        {"a picture too large to draw", pngClaiming(40000, 40000), largeMessage},
        {"an SVG placed as a picture",
         QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\"><rect width=\"400\" "
                    "height=\"300\" fill=\"red\"/></svg>\n"),
         readMessage},
    };
}

} // namespace LWUndrawnPictures
