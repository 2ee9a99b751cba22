#include "render/pngwriter.h"

#include "render/export.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QtEndian>
#include <gtest/gtest.h>

// The fast PNG writer must produce what Qt's writer does for the same image, bar compression.
namespace {

struct Chunk {
    QByteArray type, body;
};

QList<Chunk> chunks(const QByteArray &png)
{
    QList<Chunk> out;
    for (qsizetype i = 8; i + 12 <= png.size();) {
        const quint32 n = qFromBigEndian<quint32>(png.constData() + i);
        out.append({png.mid(i + 4, 4), png.mid(i + 8, n)});
        i += 12 + n;
    }
    return out;
}

// Chunk types in order, runs of IDAT counted once.
QList<QByteArray> layout(const QList<Chunk> &list)
{
    QList<QByteArray> types;
    for (const Chunk &c : list)
        if (types.isEmpty() || c.type != "IDAT" || types.last() != "IDAT")
            types.append(c.type);
    return types;
}

QByteArray qtPng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

// Flat areas, a gradient, noise and every alpha level, in premultiplied form.
QImage sample(int w, int h, QImage::Format format)
{
    QImage img(w, h, QImage::Format_ARGB32);
    std::uint32_t seed = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int a = (x + y) % 256;
            const int r = y < h / 3 ? 200 : int(seed >> 24);
            img.setPixel(x, y, qRgba(r, x * 255 / std::max(w - 1, 1), y % 256, a));
        }
    return img.convertToFormat(format);
}

int dotsPerMetre(const QImage &image) { return image.dotsPerMeterX(); }

TEST(PngWriter, SameImageAsQtsWriter)
{
    const QImage::Format formats[] = {QImage::Format_RGB32,    QImage::Format_ARGB32,
                                      QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBX8888,
                                      QImage::Format_RGBA8888, QImage::Format_RGBA8888_Premultiplied};
    // Several deflate bands, one band, one row, one column of many bands.
    const QSize sizes[] = {{600, 1200}, {33, 17}, {1, 1}, {1, 3000}};
    for (const QImage::Format format : formats)
        for (const QSize size : sizes) {
            SCOPED_TRACE(testing::Message() << format << " " << size.width() << "x" << size.height());
            QImage image = sample(size.width(), size.height(), format);
            image.setDotsPerMeterX(11811);
            image.setDotsPerMeterY(11811);
            ASSERT_TRUE(LWPngWriter::handles(image));
            const auto ours = LWPngWriter::encode(image, 11811);
            ASSERT_TRUE(ours);
            const QByteArray theirs = qtPng(image);
            const QList<Chunk> a = chunks(*ours), b = chunks(theirs);
            EXPECT_EQ(layout(a), layout(b));
            ASSERT_FALSE(a.isEmpty());
            EXPECT_EQ(a[0].body, b[0].body); // IHDR: size, depth, colour type
            EXPECT_EQ(a[1].body, b[1].body); // pHYs
            QImage back, qtBack;
            ASSERT_TRUE(back.loadFromData(*ours, "png"));
            ASSERT_TRUE(qtBack.loadFromData(theirs, "png"));
            EXPECT_EQ(back.format(), qtBack.format());
            EXPECT_TRUE(back == qtBack);
            EXPECT_EQ(dotsPerMetre(back), 11811);
        }
}

TEST(PngWriter, OtherImagesGoToQtsWriter)
{
    QImage gray(40, 30, QImage::Format_Grayscale8);
    gray.fill(128);
    QImage tagged = sample(40, 30, QImage::Format_RGB32);
    tagged.setColorSpace(QColorSpace::SRgb);
    QImage texts = sample(40, 30, QImage::Format_RGB32);
    texts.setText(QStringLiteral("Title"), QStringLiteral("Card"));
    for (const QImage &image : {gray, tagged, texts, QImage()}) {
        EXPECT_FALSE(LWPngWriter::handles(image));
        EXPECT_FALSE(LWPngWriter::encode(image, 11811));
    }
    // The export still writes them, through Qt, with their resolution.
    for (const QImage &image : {gray, tagged, texts}) {
        const auto png = LWExport::encode(image, LWExport::RasterType::png, 300);
        ASSERT_TRUE(png);
        QImage back;
        ASSERT_TRUE(back.loadFromData(*png, "png"));
        EXPECT_EQ(dotsPerMetre(back), 11811);
    }
}

} // namespace
