// The picture properties reader and the HEIF path of the picture cache.
#include "model/image.h"
#include "render/pictures/heif.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/imageproperties.h"
#include "render/pictures/formats/jpegprobe.h"

#include "support/imagediff.h"
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
        {"gif", twoToneGif(20, 10), 20, 10, 1},
    };
    const qint64 decodes = LWImageCache::stats().decodes;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<LWImageProperties> p = LWImageProperties::read(c.bytes);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->width, c.width);
        EXPECT_EQ(p->height, c.height);
        EXPECT_EQ(p->orientation, c.orientation);
    }
    EXPECT_EQ(LWImageCache::stats().decodes, decodes); // read from the headers alone
    // Only the formats the program takes, whatever Qt's readers know besides.
    for (const QByteArray &junk :
         {QByteArray(), QByteArray("Hello, this is a plain text file.\n"), QByteArray("\0\0\0\x18" "ftypheic", 12),
          QByteArray("P6\n2 1\n255\n\0\0\0\0\0\0", 17), encode(twoTone(20, 10), "ico"), encode(twoTone(20, 10), "xpm"),
          QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>"),
          QByteArray("BMhello, not a bitmap at all")})
        EXPECT_FALSE(LWImageProperties::read(junk)) << junk.left(12).toStdString();
}

TEST(HeifCache, DecodesItsOwnPixelsAtEitherDepthAndAnySize)
{
    // Turned pictures are drawn upright in the editor's tests; icons come in rows padded to 64 pixels.
    const QImage card = twoTone(64, 48), dot = plain(1, 1, QColor(20, 140, 200)),
                 stripes = stripedPhoto(40, 40, QColor(230, 200, 40)).transformed(QTransform().rotate(90));
    const std::pair<QImage, int> rows[] = {
        {card, 8}, {card, 10}, {dot, 8}, {twoTone(16, 16), 8}, {stripes, 8}};
    for (const auto &[source, bits] : rows) {
        SCOPED_TRACE(testing::Message() << source.width() << " x " << source.height() << ", " << bits);
        const LWImage pic = picture(heic(source, heif_orientation_normal, bits));
        EXPECT_EQ(storedBits(*pic.data), bits);
        const std::optional<QImage> full = LWImageCache::image(pic, false);
        const qint64 off = full ? lwPixelsOff(*full, source, 32) : -1; // the coding blurs edges only
        EXPECT_TRUE(off >= 0 && off <= source.width() * source.height() / 16) << off;
    }
}

TEST(HeifCache, LargePicturesPreviewSmallAndOversizedOnesAreRefused)
{
    const QByteArray bytes = heic(plain(2000, 1000, Qt::darkGreen));
    EXPECT_EQ(LWImageCache::image(picture(bytes), true)->size(), QSize(1600, 800));
    // The size limit is checked on the container before any decoding.
    EXPECT_FALSE(LWHeif::decode(bytes, 2000 * 1000 - 1));
    const std::optional<QImage> exact = LWHeif::decode(bytes, 2000 * 1000);
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->format(), QImage::Format_RGBX8888); // no alpha: nothing to premultiply when scaled
    EXPECT_FALSE(LWHeif::decode(bytes.left(bytes.size() / 2), LWPictureDecoder::maxPixelCount));
}

// Which JPEGs go into a PDF as they are: only what every reader draws as our decoder does.
TEST(JpegProbe, PassesOnlyPlainHuffmanJpegsOfEightBits)
{
    const QByteArray jpeg = encode(twoTone(40, 30), "jpeg", 90);
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    ASSERT_GT(sof, 0);
    auto changed = [&](qsizetype at, char byte) { return QByteArray(jpeg).replace(at, 1, &byte, 1); };
    // An APP14 "Adobe" segment with the given colour transform, after the JFIF header.
    auto adobe = [&](char transform) {
        const QByteArray seg = QByteArray("\xff\xee\x00\x0e" "Adobe\x00\x64\x00\x00\x00\x00", 15) + transform;
        return QByteArray(jpeg).insert(20, seg);
    };
    QByteArray rgbIds = jpeg;
    rgbIds.remove(2, 18); // no JFIF header: the component ids decide
    const qsizetype ids = rgbIds.indexOf("\xff\xc0") + 10;
    rgbIds[ids] = 'R';
    rgbIds[ids + 3] = 'G';
    rgbIds[ids + 6] = 'B';
    const struct {
        const char *name;
        QByteArray bytes;
        bool passes;
    } cases[] = {
        {"baseline", jpeg, true},
        {"YCbCr by the Adobe marker", adobe(1), true},
        {"RGB by the Adobe marker", adobe(0), false},
        {"RGB by the component ids", rgbIds, false},
        {"arithmetic coding", changed(sof + 1, char(0xc9)), false},
        {"lossless", changed(sof + 1, char(0xc3)), false},
        {"12 bits", changed(sof + 4, 12), false},
        {"no height", changed(sof + 5, 0).replace(sof + 6, 1, "\0", 1), false},
        {"no end marker", jpeg.left(jpeg.size() - 2), false},
        {"a segment past the end", jpeg.left(sof + 6), false},
        {"not a JPEG", encode(twoTone(40, 30), "png"), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<LWJpegProbe::Jpeg> got = LWJpegProbe::passable(c.bytes);
        ASSERT_EQ(got.has_value(), c.passes);
        if (got) {
            EXPECT_EQ(got->width, 40);
            EXPECT_EQ(got->height, 30);
            EXPECT_EQ(got->components, 3);
        }
    }
    for (qsizetype n = 0; n < jpeg.size(); ++n) // every truncation is refused, none read past the end
        ASSERT_FALSE(LWJpegProbe::passable(jpeg.left(n))) << n;
}
