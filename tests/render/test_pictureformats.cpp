// The picture properties reader and the HEIF path of the picture cache.
#include "model/image.h"
#include "render/heif.h"
#include "render/imagecache.h"
#include "render/imageproperties.h"

#include "support/testpictures.h"

#include <gtest/gtest.h>

using namespace LWTestPictures;

namespace {

LWImage picture(const QByteArray &bytes)
{
    LWImage im = LWImage::empty();
    im.data = bytes;
    return im;
}

// Bits per channel that the container declares for its primary image.
int storedBits(const QByteArray &bytes)
{
    heif_context *ctx = heif_context_alloc();
    heif_image_handle *h = nullptr;
    int bits = -1;
    if (heif_context_read_from_memory(ctx, bytes.constData(), size_t(bytes.size()), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(ctx, &h).code == heif_error_Ok) {
        bits = heif_image_handle_get_luma_bits_per_pixel(h);
        heif_image_handle_release(h);
    }
    heif_context_free(ctx);
    return bits;
}

} // namespace

TEST(ImageProperties, ReadsStoredSizeAndOrientationOfEveryFormat)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        int width, height, orientation;
    };
    const Case cases[] = {
        {"png", encode(twoTone(600, 300), "png"), 600, 300, 1},
        {"jpeg tagged 6", turnedQuarter(encode(twoTone(40, 30), "jpeg")), 40, 30, 6},
        {"tiff turned", encode(twoTone(40, 30), "tiff", -1, QImageIOHandler::TransformationRotate90), 40, 30, 6},
        {"webp", encode(twoTone(20, 10), "webp"), 20, 10, 1},
        {"heic", heic(twoTone(64, 48)), 64, 48, 1},
        // The container's own turn is already in the size: never turned again.
        {"heic turned", heic(twoTone(64, 48), heif_orientation_rotate_90_cw), 48, 64, 1},
        {"top-down bmp", topDownBmp(10, 10), 10, -10, 1},
        {"ppm of no width", QByteArray("P6\n0 10\n255\n"), -1, -1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<LWImageProperties> p = LWImageProperties::read(c.bytes);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->width, c.width);
        EXPECT_EQ(p->height, c.height);
        EXPECT_EQ(p->orientation, c.orientation);
    }
    for (const QByteArray &junk : {QByteArray(), QByteArray("Hello, this is a plain text file.\n"),
                                   QByteArray("\0\0\0\x18" "ftypheic", 12)})
        EXPECT_FALSE(LWImageProperties::read(junk));
}

TEST(ImageProperties, ReadingDecodesNothing)
{
    const QByteArray bytes = heic(twoTone(64, 48));
    const qint64 decodes = LWImageCache::stats().decodes;
    ASSERT_TRUE(LWImageProperties::read(bytes));
    ASSERT_TRUE(LWImageProperties::read(encode(twoTone(64, 48), "png")));
    EXPECT_EQ(LWImageCache::stats().decodes, decodes);
}

TEST(HeifCache, DecodesUprightRgbaAtEitherDepth)
{
    struct Case {
        const char *name;
        heif_orientation turn;
        int bits;
        QSize size;
    };
    const Case cases[] = {
        {"8-bit", heif_orientation_normal, 8, {64, 48}},
        {"10-bit", heif_orientation_normal, 10, {64, 48}},
        {"turned a quarter clockwise", heif_orientation_rotate_90_cw, 8, {48, 64}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const LWImage pic = picture(heic(twoTone(64, 48), c.turn, c.bits));
        EXPECT_EQ(storedBits(*pic.data), c.bits);
        const std::optional<QImage> full = LWImageCache::image(pic, false);
        ASSERT_TRUE(full);
        EXPECT_EQ(full->size(), c.size);
        EXPECT_EQ(LWImageCache::image(pic, true)->size(), c.size);
        const int w = c.size.width(), h = c.size.height();
        if (c.turn == heif_orientation_normal) {
            EXPECT_TRUE(reddish(full->pixel(8, h / 2)));
            EXPECT_TRUE(bluish(full->pixel(w - 8, h / 2)));
        } else { // the stored left (red) half is on top
            EXPECT_TRUE(reddish(full->pixel(w / 2, 8)));
            EXPECT_TRUE(bluish(full->pixel(w / 2, h - 8)));
        }
    }
}

TEST(HeifCache, LargePicturesPreviewSmallAndOversizedOnesAreRefused)
{
    const QByteArray bytes = heic(plain(2000, 1000, Qt::darkGreen));
    EXPECT_EQ(LWImageCache::image(picture(bytes), true)->size(), QSize(1600, 800));
    // The size limit is checked on the container before any decoding.
    EXPECT_FALSE(LWHeif::decode(bytes, 2000 * 1000 - 1));
    EXPECT_EQ(LWHeif::decode(bytes, 2000 * 1000)->format(), QImage::Format_RGBA8888);
    EXPECT_FALSE(LWHeif::decode(bytes.left(bytes.size() / 2), LWImageCache::maxPixelCount));
}
