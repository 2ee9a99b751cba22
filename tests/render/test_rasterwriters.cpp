#include "render/export.h"
#include "render/raster/jpegwriter.h"
#include "render/raster/pngwriter.h"
#include "support/pngcheck.h"

#include "support/testpictures.h"

#include <QColorSpace>
#include <gtest/gtest.h>

// The fast PNG writer and the banded JPEG writer must decode to exactly what Qt's writers make
// of the same image, with the same headers; what they do not take goes to Qt's writers.
using namespace LWTestPictures;

namespace {

constexpr int perMetre = 11811; // 300 dpi

// Flat rows, a gradient, noise and every alpha level.
QImage sample(QSize size, QImage::Format format)
{
    const int w = size.width(), h = size.height();
    QImage img(w, h, QImage::Format_ARGB32);
    std::uint32_t seed = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int r = y < h / 3 ? 200 : int(seed >> 24);
            img.setPixel(x, y, qRgba(r, x * 255 / std::max(w - 1, 1), y % 256, (x + y) % 256));
        }
    return img.convertToFormat(format);
}

QImage at300dpi(QImage img)
{
    img.setDotsPerMeterX(perMetre);
    img.setDotsPerMeterY(perMetre);
    return img;
}

// A PNG's chunks, type and body, in file order; the image data left out, a run of IDAT as one.
QList<QByteArray> pngHeaders(const QByteArray &png)
{
    QList<QByteArray> out;
    for (qsizetype i = 8; i + 12 <= png.size();) {
        const quint32 n = qFromBigEndian<quint32>(png.constData() + i);
        const QByteArray type = png.mid(i + 4, 4);
        if (type != "IDAT")
            out.append(type + png.mid(i + 8, n));
        else if (out.isEmpty() || out.last() != type)
            out.append(type);
        i += 12 + n;
    }
    return out;
}

// A JPEG header segment with its marker, whole, or empty.
QByteArray jpegSegment(const QByteArray &jpeg, uchar code)
{
    for (qsizetype i = 2; i + 4 <= jpeg.size() && uchar(jpeg[i + 1]) != 0xDA;) {
        const qsizetype length = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (uchar(jpeg[i + 1]) == code)
            return jpeg.mid(i, 2 + length);
        i += 2 + length;
    }
    return {};
}

} // namespace

TEST(PngWriter, SameImageAsQtsWriter)
{
    // Several deflate bands, one band, one pixel, one column of many bands.
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
                                        QImage::Format_RGBX8888, QImage::Format_RGBA8888,
                                        QImage::Format_RGBA8888_Premultiplied})
        for (const QSize size : {QSize(600, 1200), QSize(33, 17), QSize(1, 1), QSize(1, 3000)}) {
            SCOPED_TRACE(testing::Message() << format << " " << size.width() << "x" << size.height());
            const QImage image = at300dpi(sample(size, format));
            ASSERT_TRUE(LWPngWriter::handles(image));
            const auto ours = LWPngWriter::encode(image, perMetre);
            ASSERT_TRUE(ours);
            const QByteArray theirs = encode(image, "png");
            EXPECT_EQ(pngHeaders(*ours), pngHeaders(theirs)); // size, depth, colour type, resolution
            EXPECT_EQ(lwPngFault(*ours), "");
            EXPECT_TRUE(QImage::fromData(*ours, "png") == QImage::fromData(theirs, "png"));
        }
}

TEST(JpegWriter, DecodesLikeQtsWriter)
{
    // Several bands with a short last one, one band not a whole block row high, one pixel.
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGBX8888})
        for (const QSize size : {QSize(500, 700), QSize(37, 19), QSize(1, 1), QSize(3, 600)})
            for (const int quality : {92, 40}) {
                SCOPED_TRACE(testing::Message() << format << " " << size.width() << "x" << size.height() << " q" << quality);
                const QImage image = at300dpi(sample(size, format));
                ASSERT_TRUE(LWJpegWriter::handles(image));
                const auto ours = LWJpegWriter::encode(image, quality, perMetre);
                ASSERT_TRUE(ours);
                const QByteArray theirs = encode(image, "jpeg", quality);
                for (const uchar code : {0xE0, 0xDB, 0xC0, 0xC4}) // JFIF with density, tables, frame
                    EXPECT_EQ(jpegSegment(*ours, code), jpegSegment(theirs, code)) << int(code);
                EXPECT_TRUE(QImage::fromData(*ours, "jpeg") == QImage::fromData(theirs, "jpeg"));
            }
}

TEST(RasterWriters, OtherImagesGoToQtsWriters)
{
    QImage grey(40, 30, QImage::Format_Grayscale8);
    grey.fill(128);
    QImage tagged = sample({40, 30}, QImage::Format_RGB32);
    tagged.setColorSpace(QColorSpace::SRgb);
    QImage texts = sample({40, 30}, QImage::Format_RGB32);
    texts.setText(QStringLiteral("Title"), QStringLiteral("Card"));
    const struct {
        const char *name;
        QImage image;
        bool png; // JPEG takes none of them
    } cases[] = {{"grey", grey, false},
                 {"colour space", tagged, false},
                 {"text", texts, false},
                 {"alpha", sample({40, 30}, QImage::Format_ARGB32), true},
                 {"null", QImage(), false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LWPngWriter::handles(c.image), c.png);
        EXPECT_EQ(LWPngWriter::encode(c.image, perMetre).has_value(), c.png);
        EXPECT_FALSE(LWJpegWriter::handles(c.image));
        EXPECT_FALSE(LWJpegWriter::encode(c.image, 92, perMetre));
        if (c.image.isNull() || c.png)
            continue;
        // The export still writes them, through Qt, with their resolution.
        for (const auto type : {LWExport::RasterType::png, LWExport::RasterType::jpeg}) {
            const auto bytes = LWExport::encode(c.image, type, 300);
            ASSERT_TRUE(bytes);
            if (type == LWExport::RasterType::png) {
                EXPECT_EQ(lwPngFault(*bytes), "");
            }
            EXPECT_EQ(QImage::fromData(*bytes).dotsPerMeterX(), perMetre) << int(type);
        }
    }
}
