#include "model/image.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/jpegpart.h"
#include "render/pictures/picturedecoder.h"

#include "support/testpictures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QScopeGuard>
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

// A well-formed PNG whose header claims 100,000 x 100,000 RGBA pixels (40 GB), with a token IDAT.
QByteArray bombPng()
{
    return QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000186a0000186a00806000000a8520bc8"
                               "0000000849444154789c030000000001480689d20000000049454e44ae426082");
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

    EXPECT_EQ(sizeOf(LWImageCache::image(pic, false)), QSize(6000, 4000));
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

TEST(ImageCache, FailuresAreRememberedByTheirBytes)
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
    // The same bytes under another id, in either size, for an export or its size: known bad.
    const LWImage copy = picture("cache-junk-copy", junk.data);
    EXPECT_FALSE(LWImageCache::image(copy, true));
    EXPECT_FALSE(LWImageCache::exportImage(copy, {}).image);
    EXPECT_FALSE(LWImageCache::pixelSize(copy));
    const auto afterJunk = LWImageCache::stats();
    EXPECT_EQ(afterJunk.decodes, afterEmpty.decodes + 1); // tried once
    EXPECT_EQ(afterJunk.failures, afterEmpty.failures + 1);
    EXPECT_EQ(afterJunk.full, afterEmpty.full);
    EXPECT_EQ(afterJunk.preview, afterEmpty.preview);
}

// A picture refused as too large at one size is not tried again at that size or larger, while a
// part of it, or a smaller size, that fits the budget is still decoded.
TEST(ImageCache, RefusalsAreKeptBySizeAndPart)
{
    const qint64 old = LWDecodeBudget::limit();
    const auto restore = qScopeGuard([old] { LWDecodeBudget::setLimit(old); });
    LWDecodeBudget::setLimit(qint64(16) << 20); // 4000 x 4000 whole takes 64 MB
    const LWImage big = picture("cache-refused-whole", encode(twoTone(4000, 4000), "jpeg", 80));
    using Request = LWPictureDecoder::Request;
    const struct {
        const char *what;
        Request request;
        std::optional<QSize> made; // none: refused
        int decodes;               // 0: answered from what is remembered
    } steps[] = {
        {"whole at full size", Request{0, {0, 0, 1, 1}}, std::nullopt, 1},
        {"whole at full size again", Request{0, {0, 0, 1, 1}}, std::nullopt, 0},
        {"a tenth of it at full size", Request{0, {0.45, 0.45, 0.1, 0.1}}, QSize(400, 400), 1},
        {"whole at 500 pixels", Request{500, {0, 0, 1, 1}}, QSize(500, 500), 1},
        // A part refused is not tried again, nor one that holds it at no smaller size.
        {"half of it at full size", Request{0, {0, 0, 0.5, 1}}, std::nullopt, 1},
        {"that half again", Request{0, {0, 0, 0.5, 1}}, std::nullopt, 0},
        {"three quarters holding that half", Request{0, {0, 0, 0.75, 1}}, std::nullopt, 0},
        {"that half at 500 pixels", Request{500, {0, 0, 0.5, 1}}, QSize(250, 500), 1},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.what);
        const qint64 before = LWImageCache::stats().decodes;
        const LWPictureDecoder::Result r = LWImageCache::exportImage(big, s.request);
        EXPECT_EQ(r.image ? std::optional<QSize>(r.image->size()) : std::nullopt, s.made);
        if (!s.made)
            EXPECT_EQ(r.failure, LWPictureDecoder::Failure::tooLarge);
        EXPECT_EQ(LWImageCache::stats().decodes - before, s.decodes);
    }
}

TEST(ImageCache, ForgedHugeHeaderIsRefusedButKeepsItsSize)
{
    const LWImage bomb = picture("cache-bomb", bombPng());
    QByteArray claim = *bomb.data;
    QBuffer header(&claim);
    ASSERT_EQ(QImageReader(&header).size(), QSize(100'000, 100'000)); // the claim is read as made
    const auto before = LWImageCache::stats();
    EXPECT_FALSE(LWImageCache::image(bomb, true));
    EXPECT_FALSE(LWImageCache::image(bomb, false));
    // The size is the header's: the resolution check reads it; only decoding is refused.
    EXPECT_EQ(LWImageCache::pixelSize(bomb), QSizeF(100'000, 100'000));
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

TEST(ImageCache, ConcurrentRequestsDecodeEachPictureOnce)
{
    // Threads asking at once for one new picture, or for four: each picture is decoded once
    // (different ones side by side) and its callers share the one decoded image.
    for (const int count : {1, 4}) {
        SCOPED_TRACE(count);
        QList<LWImage> pics;
        for (int i = 0; i < count; ++i)
            pics.append(picture(QStringLiteral("threads-%1-%2").arg(count).arg(i),
                                encode(plain(1500, 1000, QColor::fromHsv(i * 80 + count, 255, 200)), "jpeg", 80)));
        const auto before = LWImageCache::stats();
        std::atomic<bool> go{false};
        std::vector<qint64> keys(16, 0);
        std::vector<std::thread> threads;
        for (int i = 0; i < 16; ++i)
            threads.emplace_back([&, i] {
                while (!go.load())
                    std::this_thread::yield();
                if (const auto img = LWImageCache::image(pics[i % count], false))
                    keys[i] = img->cacheKey();
            });
        go = true;
        for (auto &t : threads)
            t.join();
        EXPECT_EQ(LWImageCache::stats().decodes, before.decodes + count);
        for (int i = 0; i < 16; ++i) {
            EXPECT_NE(keys[i], 0);
            EXPECT_EQ(keys[i], keys[i % count]) << i;
        }
        for (int i = 1; i < count; ++i)
            EXPECT_NE(keys[i], keys[0]);
    }
}

TEST(ImageCache, PixelSizeComesFromTheHeaderWithoutDecoding)
{
    const struct {
        const char *name;
        std::optional<QByteArray> bytes;
        std::optional<QSizeF> size;
        int decodes; // only a header without a usable size is decoded
    } cases[] = {
        {"png", encode(twoTone(6000, 4000), "png"), QSizeF(6000, 4000), 0},
        {"quarter-turned jpeg", turnedQuarter(encode(twoTone(400, 300), "jpeg", 80)), QSizeF(300, 400), 0},
        {"heic turned", heic(twoTone(64, 48), heif_orientation_rotate_90_cw), QSizeF(48, 64), 0},
        {"top-down bmp", topDownBmp(10, 12), QSizeF(10, 12), 1},
        {"svg", QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>"), std::nullopt, 0},
        {"not a picture", QByteArray("plain words"), std::nullopt, 0},
        {"no data", std::nullopt, std::nullopt, 0},
        {"too large to decode", bombPng(), QSizeF(100'000, 100'000), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const LWImage pic = picture(QStringLiteral("size-") + QLatin1String(c.name), c.bytes);
        const auto before = LWImageCache::stats();
        EXPECT_EQ(LWImageCache::pixelSize(pic), c.size);
        EXPECT_EQ(LWImageCache::stats().decodes, before.decodes + c.decodes);
    }
}

TEST(ImageCache, TablesStayWithinTheirBudgetsAndRefillTheSame)
{
    // 16 pictures of 1000 x 800 (3.2 MB decoded each, the preview as large) in 16 colours, each
    // placed (preview), exported (full) and preflighted, against budgets of 3 and 2 pictures.
    constexpr qint64 each = 1000 * 800 * 4;
    const LWImageCache::Budget old = LWImageCache::setBudget({3 * each + 1000, 2 * each + 1000});
    QList<LWImage> pics;
    QList<QImage> firstSeen;
    for (int i = 0; i < 16; ++i) {
        pics.append(picture(QStringLiteral("budget-%1").arg(i), encode(plain(1000, 800, QColor::fromHsv(i * 22, 200, 200)), "png")));
        const auto preview = LWImageCache::image(pics[i], true);
        const auto full = LWImageCache::image(pics[i], false);
        ASSERT_TRUE(preview && full);
        firstSeen.append(*full);
        EXPECT_EQ(LWImageCache::pixelSize(pics[i]), QSizeF(1000, 800));
        const auto now = LWImageCache::stats();
        EXPECT_LE(now.fullBytes, 3 * each + 1000) << i;
        EXPECT_LE(now.previewBytes, 2 * each + 1000) << i;
    }
    auto now = LWImageCache::stats();
    EXPECT_EQ(now.full, 3);
    EXPECT_EQ(now.preview, 2);

    // The most recent stay; a dropped one is decoded again, the same pixels.
    EXPECT_EQ(LWImageCache::image(pics[15], false)->cacheKey(), firstSeen[15].cacheKey());
    EXPECT_EQ(LWImageCache::stats().decodes, now.decodes);
    const auto again = LWImageCache::image(pics[0], false);
    ASSERT_TRUE(again);
    EXPECT_EQ(LWImageCache::stats().decodes, now.decodes + 1);
    EXPECT_NE(again->cacheKey(), firstSeen[0].cacheKey());
    EXPECT_TRUE(*again == firstSeen[0]);

    // A picture larger than the whole budget is kept, alone.
    const LWImage big = picture(QStringLiteral("budget-big"), encode(plain(3000, 1000, Qt::darkCyan), "png"));
    ASSERT_TRUE(LWImageCache::image(big, false));
    now = LWImageCache::stats();
    EXPECT_EQ(now.full, 1);
    EXPECT_EQ(sizeOf(LWImageCache::image(big, false)), QSize(3000, 1000));
    EXPECT_EQ(LWImageCache::stats().decodes, now.decodes);

    LWImageCache::setBudget(old);
}

TEST(ImageCache, AWorkersJpegRowsMakeTheImageTheDecoderMakesHere)
{
    // The worker hands a JPEG's rows over as they are decoded, straight or where they stand
    // upright, where they need no scaling after the DCT: every pixel must stand where the image
    // made whole puts it, upright as Qt turns the picture, within what the same picture stored
    // upright reserves.
    QImage detail(1001, 707, QImage::Format_RGB32);
    for (int y = 0; y < detail.height(); ++y)
        for (int x = 0; x < detail.width(); ++x)
            detail.setPixel(x, y, qRgb((x * 7 + y) & 255, (x ^ y) & 255, (x * y / 16) & 255));
    const QByteArray jpeg = encode(detail, "jpeg", 95);
    const auto uprightByQt = [](const QByteArray &bytes) {
        QBuffer buffer;
        buffer.setData(bytes);
        QImageReader reader(&buffer);
        reader.setAutoTransform(true);
        return reader.read().convertToFormat(QImage::Format_RGB32);
    };
    const struct {
        const char *name;
        QByteArray bytes;
        LWPictureDecoder::Request request;
    } cases[] = {
        {"whole", jpeg, {}},
        {"a part at odd columns and rows", jpeg, {0, {0.137, 0.29, 0.5, 0.4}}},
        {"scaled by its DCT to the size asked", jpeg, {501, {0, 0, 1, 1}}},
        {"scaled by its DCT and brought to size", jpeg, {300, {0.31, 0.07, 0.4, 0.9}}},
        {"cut short", jpeg.left(jpeg.size() / 2), {0, {0.1, 0.2, 0.7, 0.7}}},
        {"turned by its orientation", turnedQuarter(jpeg), {0, {0.2, 0.1, 0.3, 0.6}}},
        {"turned anticlockwise, scaled and brought to size", oriented(jpeg, 8), {300, {0.31, 0.07, 0.4, 0.9}}},
        {"upside down, a part", oriented(jpeg, 3), {0, {0.2, 0.1, 0.3, 0.6}}},
        {"mirrored", oriented(jpeg, 2), {}},
        {"mirrored and turned", oriented(jpeg, 5), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const LWPictureDecoder::Result here = LWPictureDecoder::decodeHere(c.bytes, c.request);
        const LWPictureDecoder::Result worker = LWPictureDecoder::decode(c.bytes, c.request);
        ASSERT_TRUE(here.image && worker.image);
        EXPECT_EQ(worker.partial, here.partial);
        ASSERT_EQ(worker.image->size(), here.image->size());
        EXPECT_TRUE(worker.image->convertToFormat(QImage::Format_RGB32) == here.image->convertToFormat(QImage::Format_RGB32));
        if (c.request.whole() && c.request.longestSide == 0 && !here.partial)
            EXPECT_TRUE(here.image->convertToFormat(QImage::Format_RGB32) == uprightByQt(c.bytes));
        if (c.bytes.size() <= jpeg.size())
            continue; // no orientation tag
        // Never too large for being turned: the same request of the picture stored upright.
        const QByteArray upright = encode(uprightByQt(c.bytes), "jpeg", 95);
        LWDecodeBudget::resetPeak();
        ASSERT_TRUE(LWPictureDecoder::decode(upright, c.request).image);
        const qint64 old = LWDecodeBudget::setLimit(LWDecodeBudget::peak());
        const LWPictureDecoder::Result turned = LWPictureDecoder::decode(c.bytes, c.request);
        LWDecodeBudget::setLimit(old);
        EXPECT_TRUE(turned.image) << int(turned.failure);
    }
}

// A view showing a picture at some pixels asks for the step at or above them: powers of two from
// 32 to 1024, then the preview's largest side; never a step below what is shown.
TEST(ImageCache, AViewGetsTheStepAtOrAboveWhatItShows)
{
    const struct {
        int shown, step;
    } rows[] = {{1, 32}, {20, 32}, {32, 32}, {33, 64}, {100, 128}, {256, 256}, {600, 1024},
                {1024, 1024}, {1025, 1600}, {1600, 1600}, {5000, 1600}};
    const QByteArray png = encode(twoTone(2000, 1500), "png");
    for (const auto &row : rows) {
        SCOPED_TRACE(row.shown);
        // Bytes of its own each: no larger step decoded before serves it.
        const LWImage pic = picture("steps", png + "step " + QByteArray::number(row.shown));
        const auto got = LWImageCache::image(pic, [&row](QSize) { return row.shown; });
        ASSERT_TRUE(got);
        EXPECT_EQ(std::max(got->width(), got->height()), row.step);
    }
}

// A JPEG part's first and last columns are the whole picture's there, where the part starts on a
// block's edge and ends inside a 4:2:0 picture's chroma samples, at full size and scaled by its DCT.
TEST(ImageCache, AJpegPartsEdgesAreTheWholePictures)
{
    // Colours that change every few columns: the chroma's smoothing shows at a part's ends.
    QImage stripes(256, 96, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, (x / 3 + y / 8) % 2 ? qRgb(220, 30, 40) : qRgb(20, 60, 230));
    const QByteArray jpeg = encode(stripes, "jpeg", 90);
    ASSERT_EQ(jpeg.at(jpeg.indexOf("\xFF\xC0") + 11), '\x22') << "4:2:0";
    const struct {
        int eighths;
        QRect part;
    } rows[] = {{8, {16, 8, 20, 40}}, {8, {32, 0, 37, 96}}, {8, {0, 16, 46, 30}}, {8, {101, 3, 61, 50}},
                {4, {8, 4, 14, 30}},  {4, {16, 0, 26, 48}}, {2, {8, 0, 12, 24}}, {2, {5, 0, 9, 24}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.eighths << " " << row.part.x() << "+" << row.part.width());
        const QSize size = LWJpegPart::scaled(stripes.size(), row.eighths);
        const auto whole = LWJpegPart::decode(jpeg, row.eighths, QRect(QPoint(), size));
        const auto part = LWJpegPart::decode(jpeg, row.eighths, row.part);
        ASSERT_TRUE(whole && part);
        ASSERT_EQ(part->image.size(), row.part.size());
        for (const int x : {0, row.part.width() - 1})
            EXPECT_EQ(part->image.copy(x, 0, 1, row.part.height()),
                      whole->image.copy(row.part.x() + x, row.part.y(), 1, row.part.height()))
                << "column " << x;
    }
}
