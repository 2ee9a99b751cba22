#include "model/image.h"
#include "render/imagecache.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <atomic>
#include <thread>
#include <vector>

namespace {

QByteArray encode(const QImage &img, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, format);
    if (quality >= 0)
        w.setQuality(quality);
    EXPECT_TRUE(w.write(img)) << qPrintable(w.errorString());
    return bytes;
}

// Left half red, right half blue, so a quarter turn shows which way it went.
QImage twoTone(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
    return img;
}

LWImage picture(const QString &id, const std::optional<QByteArray> &bytes)
{
    LWImage im;
    im.assetID = id;
    im.data = bytes;
    return im;
}

void putBE16(QByteArray &b, quint16 v)
{
    b.append(char(v >> 8)).append(char(v & 0xff));
}
void putBE32(QByteArray &b, quint32 v)
{
    putBE16(b, quint16(v >> 16));
    putBE16(b, quint16(v & 0xffff));
}

// A JPEG with an EXIF APP1 segment holding only the orientation tag, placed after the JFIF
// header. (Qt's writer turns the pixels instead of writing the tag.)
QByteArray withOrientation(const QByteArray &jpeg, quint16 orientation)
{
    QByteArray tiff("MM\0\x2a", 4);
    putBE32(tiff, 8);           // first IFD
    putBE16(tiff, 1);           // one entry
    putBE16(tiff, 0x0112);      // Orientation
    putBE16(tiff, 3);           // SHORT
    putBE32(tiff, 1);           // count
    putBE16(tiff, orientation); // value, left-justified in 4 bytes
    putBE16(tiff, 0);
    putBE32(tiff, 0); // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1", 2);
    putBE16(segment, quint16(payload.size() + 2));
    segment += payload;

    EXPECT_EQ(quint8(jpeg[2]), 0xff);
    EXPECT_EQ(quint8(jpeg[3]), 0xe0); // JFIF APP0
    const int app0End = 4 + qFromBigEndian<quint16>(jpeg.constData() + 4);
    QByteArray out = jpeg;
    out.insert(app0End, segment);
    return out;
}

quint32 crc32(const QByteArray &data)
{
    quint32 c = 0xffffffffu;
    for (char ch : data) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    return c ^ 0xffffffffu;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray out;
    putBE32(out, quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    out += body;
    putBE32(out, crc32(body));
    return out;
}

// A well-formed PNG header that claims width x height RGBA pixels, followed by a token IDAT.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray ihdr;
    putBE32(ihdr, width);
    putBE32(ihdr, height);
    ihdr.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) +
           pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) + pngChunk("IEND", {});
}

QSize sizeOf(const std::optional<QImage> &img)
{
    return img ? img->size() : QSize();
}

bool reddish(QRgb c) { return qRed(c) > 200 && qBlue(c) < 60; }
bool bluish(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60; }

} // namespace

TEST(ImageCache, PreviewIsBoundedFullIsExact)
{
    const LWImage pic = picture("cache-big", encode(twoTone(6000, 4000), "png"));
    const auto before = LWImageCache::stats();

    const auto preview = LWImageCache::image(pic, true);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->size(), QSize(1600, 1067));
    auto mid = LWImageCache::stats();
    EXPECT_EQ(mid.preview, before.preview + 1);
    EXPECT_EQ(mid.full, before.full); // a preview never fills the full table

    const auto size = LWImageCache::pixelSize(pic);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, QSizeF(6000, 4000));
    const auto after = LWImageCache::stats();
    EXPECT_EQ(after.full, mid.full + 1);
    EXPECT_EQ(after.preview, mid.preview); // the size fills only the full table
    EXPECT_EQ(sizeOf(LWImageCache::image(pic, false)), QSize(6000, 4000));
    EXPECT_EQ(LWImageCache::stats().decodes, after.decodes); // served from the table

    // Small pictures are never scaled up.
    const LWImage small = picture("cache-small", encode(twoTone(300, 200), "png"));
    EXPECT_EQ(sizeOf(LWImageCache::image(small, true)), QSize(300, 200));
}

TEST(ImageCache, OrientationTagTurnsBothSizesUpright)
{
    const QByteArray tagged = withOrientation(encode(twoTone(4000, 3000), "jpeg", 80), 6);
    const LWImage pic = picture("cache-oriented", tagged);

    const auto size = LWImageCache::pixelSize(pic);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, QSizeF(3000, 4000));
    const auto full = LWImageCache::image(pic, false);
    ASSERT_TRUE(full);
    // Orientation 6 turns a quarter clockwise: the stored left half ends up on top.
    EXPECT_TRUE(reddish(full->pixel(1500, 100)));
    EXPECT_TRUE(bluish(full->pixel(1500, 3900)));

    const auto preview = LWImageCache::image(pic, true);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->size(), QSize(1200, 1600));
    EXPECT_TRUE(reddish(preview->pixel(600, 50)));
    EXPECT_TRUE(bluish(preview->pixel(600, 1550)));
}

TEST(ImageCache, FailuresAreNotCached)
{
    const auto start = LWImageCache::stats();
    const LWImage empty = picture("cache-no-data", std::nullopt);
    EXPECT_FALSE(LWImageCache::image(empty, true));
    EXPECT_FALSE(LWImageCache::image(empty, false));
    EXPECT_FALSE(LWImageCache::pixelSize(empty));
    const auto afterEmpty = LWImageCache::stats();
    EXPECT_EQ(afterEmpty.decodes, start.decodes); // no table consulted, nothing decoded
    EXPECT_EQ(afterEmpty.full, start.full);
    EXPECT_EQ(afterEmpty.preview, start.preview);

    const LWImage junk = picture("cache-junk", QByteArray("this is not a picture at all"));
    EXPECT_FALSE(LWImageCache::image(junk, false));
    EXPECT_FALSE(LWImageCache::image(junk, false));
    EXPECT_FALSE(LWImageCache::image(junk, true));
    const auto afterJunk = LWImageCache::stats();
    EXPECT_EQ(afterJunk.decodes, afterEmpty.decodes + 3); // every request tries again
    EXPECT_EQ(afterJunk.full, afterEmpty.full);
    EXPECT_EQ(afterJunk.preview, afterEmpty.preview);
}

TEST(ImageCache, ForgedHugeHeaderIsRefused)
{
    const LWImage bomb = picture("cache-bomb", pngClaiming(100'000, 100'000));
    const auto before = LWImageCache::stats();
    EXPECT_FALSE(LWImageCache::image(bomb, true));
    EXPECT_FALSE(LWImageCache::image(bomb, false));
    EXPECT_FALSE(LWImageCache::pixelSize(bomb));
    const auto after = LWImageCache::stats();
    EXPECT_EQ(after.full, before.full);
    EXPECT_EQ(after.preview, before.preview);

    const LWImage thin = picture("cache-bomb-thin", pngClaiming(1, 2'000'000'000));
    EXPECT_FALSE(LWImageCache::image(thin, false));
}

TEST(ImageCache, HundredMegapixelPhotoDecodes)
{
    // Far above Qt's default 128 MB decode limit; a real camera can produce it.
    QByteArray bytes;
    {
        QImage img(10000, 10000, QImage::Format_RGB32);
        img.fill(QColor(30, 140, 60));
        bytes = encode(img, "jpeg", 50);
    }
    const LWImage pic = picture("cache-100mp", bytes);
    EXPECT_EQ(sizeOf(LWImageCache::image(pic, true)), QSize(1600, 1600));
    EXPECT_EQ(LWImageCache::pixelSize(pic), QSizeF(10000, 10000));
}

TEST(ImageCache, KeyIsTheAssetIdAlone)
{
    const LWImage first = picture("cache-shared-id", encode(twoTone(40, 30), "png"));
    const LWImage second = picture("cache-shared-id", encode(twoTone(80, 10), "png"));
    EXPECT_EQ(sizeOf(LWImageCache::image(first, true)), QSize(40, 30));
    EXPECT_EQ(sizeOf(LWImageCache::image(second, true)), QSize(40, 30));
    EXPECT_EQ(sizeOf(LWImageCache::image(second, false)), QSize(80, 10)); // full decoded on its own
    EXPECT_EQ(sizeOf(LWImageCache::image(first, false)), QSize(80, 10));
}

TEST(ImageCache, ConcurrentRequestsDecodeOnce)
{
    const LWImage pic = picture("cache-threads", encode(twoTone(3000, 2000), "png"));
    const auto before = LWImageCache::stats();
    std::atomic<bool> go{false};
    std::vector<qint64> keys(8, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            while (!go.load())
                std::this_thread::yield();
            if (const auto img = LWImageCache::image(pic, false))
                keys[i] = img->cacheKey();
        });
    go = true;
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(LWImageCache::stats().decodes, before.decodes + 1);
    for (qint64 k : keys)
        EXPECT_EQ(k, keys[0]); // every caller shares the one decoded image
    EXPECT_NE(keys[0], 0);
}
