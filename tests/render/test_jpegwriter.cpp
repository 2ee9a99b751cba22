#include "render/jpegwriter.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <gtest/gtest.h>

// The banded JPEG writer must decode to exactly what Qt's writer makes of the same image.
namespace {

QByteArray qtJpeg(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// The header segment with the marker, whole, or empty.
QByteArray segment(const QByteArray &jpeg, uchar code)
{
    for (qsizetype i = 2; i + 4 <= jpeg.size();) {
        const qsizetype length = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (uchar(jpeg[i + 1]) == code)
            return jpeg.mid(i, 2 + length);
        if (uchar(jpeg[i + 1]) == 0xDA)
            break;
        i += 2 + length;
    }
    return {};
}

QImage sample(int w, int h, QImage::Format format)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::uint32_t seed = 11;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            img.setPixel(x, y, y < h / 2 ? qRgb(x % 256, y % 256, 90) : qRgb(int(seed >> 24), 40, int(seed >> 16) & 255));
        }
    return img.convertToFormat(format);
}

TEST(JpegWriter, DecodesLikeQtsWriter)
{
    // Several bands with a short last one, one band not a whole block row high, single pixels.
    const QSize sizes[] = {{500, 700}, {37, 19}, {1, 1}, {3, 600}};
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGBX8888})
        for (const QSize size : sizes)
            for (const int quality : {92, 40}) {
                SCOPED_TRACE(testing::Message() << format << " " << size.width() << "x" << size.height() << " q" << quality);
                QImage image = sample(size.width(), size.height(), format);
                image.setDotsPerMeterX(11811);
                image.setDotsPerMeterY(11811);
                ASSERT_TRUE(LWJpegWriter::handles(image));
                const auto ours = LWJpegWriter::encode(image, quality, 11811);
                ASSERT_TRUE(ours);
                const QByteArray theirs = qtJpeg(image, quality);
                for (const uchar code : {0xE0, 0xDB, 0xC0, 0xC4}) // JFIF density, tables, frame
                    EXPECT_EQ(segment(*ours, code), segment(theirs, code)) << int(code);
                QImage back, qtBack;
                ASSERT_TRUE(back.loadFromData(*ours, "jpeg"));
                ASSERT_TRUE(qtBack.loadFromData(theirs, "jpeg"));
                EXPECT_TRUE(back == qtBack);
                EXPECT_EQ(back.dotsPerMeterX(), qtBack.dotsPerMeterX());
            }
}

TEST(JpegWriter, OtherImagesGoToQtsWriter)
{
    QImage alpha = sample(40, 30, QImage::Format_ARGB32);
    QImage gray(40, 30, QImage::Format_Grayscale8);
    gray.fill(128);
    QImage tagged = sample(40, 30, QImage::Format_RGB32);
    tagged.setColorSpace(QColorSpace::SRgb);
    for (const QImage &image : {alpha, gray, tagged, QImage()}) {
        EXPECT_FALSE(LWJpegWriter::handles(image));
        EXPECT_FALSE(LWJpegWriter::encode(image, 92, 11811));
    }
}

} // namespace
