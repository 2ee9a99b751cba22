#include "model/image.h"
#include "render/imagecache.h"

#include "support/testpictures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace LWTestPictures;

LWImage picture(const QString &id, const std::optional<QByteArray> &bytes)
{
    LWImage im;
    im.assetID = id;
    im.data = bytes;
    return im;
}

QSize sizeOf(const std::optional<QImage> &img)
{
    return img ? img->size() : QSize();
}

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

    EXPECT_EQ(LWImageCache::pixelSize(pic), QSizeF(6000, 4000));
    const auto after = LWImageCache::stats();
    EXPECT_EQ(after.full, mid.full + 1);
    EXPECT_EQ(sizeOf(LWImageCache::image(pic, false)), QSize(6000, 4000));
    EXPECT_EQ(LWImageCache::stats().decodes, after.decodes); // served from the table

    // Small pictures are never scaled up.
    const LWImage small = picture("cache-small", encode(twoTone(300, 200), "png"));
    EXPECT_EQ(sizeOf(LWImageCache::image(small, true)), QSize(300, 200));
}

TEST(ImageCache, OrientationTagTurnsBothSizesUpright)
{
    const QByteArray tagged = turnedQuarter(encode(twoTone(4000, 3000), "jpeg", 80));
    const LWImage pic = picture("cache-oriented", tagged);

    EXPECT_EQ(LWImageCache::pixelSize(pic), QSizeF(3000, 4000));
    const auto full = LWImageCache::image(pic, false);
    ASSERT_TRUE(full);
    // Orientation 6 turns a quarter clockwise: the stored left half ends up on top.
    EXPECT_TRUE(reddish(full->pixel(1500, 100)));
    EXPECT_TRUE(bluish(full->pixel(1500, 3900)));

    const auto preview = LWImageCache::image(pic, true);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->size(), QSize(1200, 1600));
    EXPECT_TRUE(reddish(preview->pixel(600, 50)));
}

TEST(ImageCache, FailuresAreNotCached)
{
    const auto start = LWImageCache::stats();
    const LWImage empty = picture("cache-no-data", std::nullopt);
    EXPECT_FALSE(LWImageCache::image(empty, true));
    EXPECT_FALSE(LWImageCache::pixelSize(empty));
    const auto afterEmpty = LWImageCache::stats();
    EXPECT_EQ(afterEmpty.decodes, start.decodes); // no table consulted, nothing decoded
    EXPECT_EQ(afterEmpty.full, start.full);
    EXPECT_EQ(afterEmpty.preview, start.preview);

    const LWImage junk = picture("cache-junk", QByteArray("this is not a picture at all"));
    EXPECT_FALSE(LWImageCache::image(junk, false));
    EXPECT_FALSE(LWImageCache::image(junk, false));
    const auto afterJunk = LWImageCache::stats();
    EXPECT_EQ(afterJunk.decodes, afterEmpty.decodes + 2); // every request tries again
    EXPECT_EQ(afterJunk.full, afterEmpty.full);
    EXPECT_EQ(afterJunk.preview, afterEmpty.preview);
}

TEST(ImageCache, ForgedHugeHeaderIsRefused)
{
    // A well-formed PNG whose header claims 100,000 x 100,000 RGBA pixels (40 GB), with a token IDAT.
    const LWImage bomb = picture("cache-bomb", QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"
                                                                   "000186a0000186a00806000000a8520bc8"
                                                                   "0000000849444154789c03000000000148"
                                                                   "0689d20000000049454e44ae426082"));
    QByteArray claim = *bomb.data;
    QBuffer header(&claim);
    ASSERT_EQ(QImageReader(&header).size(), QSize(100'000, 100'000)); // the claim is read as made
    const auto before = LWImageCache::stats();
    EXPECT_FALSE(LWImageCache::image(bomb, true));
    EXPECT_FALSE(LWImageCache::image(bomb, false));
    EXPECT_FALSE(LWImageCache::pixelSize(bomb));
    const auto after = LWImageCache::stats();
    EXPECT_EQ(after.full, before.full);
    EXPECT_EQ(after.preview, before.preview);
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
