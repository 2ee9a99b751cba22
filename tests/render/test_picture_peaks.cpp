// Every format's decode, as a decode worker runs it, stays within what it reserved from the
// decode budget: the process's high-water mark over one full decode, with every large buffer a
// fresh mapping so that no memory freed earlier hides a peak. Runs alone: other tests' memory would count.
#include "render/pictures/decodebudget.h"
#include "render/pictures/picturedecoder.h"

#include "support/bigphotos.h"
#include "support/hostilepictures.h"
#include "render/worker/sanitizers.h"

#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <gtest/gtest.h>

#include <malloc.h>

using namespace LWHostilePictures;

namespace {

qint64 statusBytes(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

bool resetHighWaterMark()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// A photo-like picture: smooth colour with some detail, so no encoder makes it trivially small.
QImage photo(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(30, 90, 160));
    g.setColorAt(0.5, QColor(220, 180, 60));
    g.setColorAt(1, QColor(120, 30, 40));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(Qt::white, 3));
    for (int x = 0; x < w; x += 97)
        p.drawLine(x, 0, w - x, h);
    return img;
}

// The picture in `format` with an alpha channel that varies, so no writer drops it.
QImage translucent(const QImage &img, QImage::Format format)
{
    QImage out = img.convertToFormat(format);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient g(0, 0, out.width(), 0);
    g.setColorAt(0, QColor(0, 0, 0, 255));
    g.setColorAt(1, QColor(0, 0, 0, 40));
    p.fillRect(out.rect(), g);
    return out;
}

struct Peak {
    qint64 growth = 0;
    qint64 reserved = 0;
    bool decoded = false;
};

// One decode of the request.
Peak measure(const QByteArray &bytes, const LWPictureDecoder::Request &request)
{
    malloc_trim(0);
    LWDecodeBudget::resetPeak();
    EXPECT_TRUE(resetHighWaterMark());
    const qint64 base = statusBytes("VmRSS:");
    const LWPictureDecoder::Result r = LWPictureDecoder::decodeHere(bytes, request);
    return {statusBytes("VmHWM:") - base, LWDecodeBudget::peak(), r.image.has_value()};
}

} // namespace

TEST(PicturePeaks, EveryFormatPeaksWithinItsReservation)
{
    if (LWSanitizers::address)
        GTEST_SKIP() << "the sanitizers' allocator keeps freed memory and its own shadow";
    // A fixed threshold: every buffer of 64 KB and more is mapped afresh and unmapped when freed.
    ASSERT_EQ(mallopt(M_MMAP_THRESHOLD, 64 * 1024), 1);
    constexpr int w = 2400, h = 1600;
    const QImage img = photo(w, h);
    const QImage tiny = photo(48, 32);
    const struct {
        const char *name;
        std::function<QByteArray(const QImage &)> make;
        bool decodes = true; // else it ends unreadable, within its reservation all the same
    } formats[] = {
        {"PNG", [](const QImage &i) { return encode(i, "png"); }},
        {"RGBA PNG", [](const QImage &i) { return encode(translucent(i, QImage::Format_ARGB32), "png"); }},
        {"16-bit RGBA PNG", [](const QImage &i) { return encode(translucent(i, QImage::Format_RGBA64), "png"); }},
        {"16-bit RGB PNG", [](const QImage &i) { return encode(i.convertToFormat(QImage::Format_RGBX64), "png"); }},
        {"16-bit RGBA TIFF", [](const QImage &i) { return encode(translucent(i, QImage::Format_RGBA64), "tiff"); }},
        {"baseline JPEG", [](const QImage &i) { return encode(i, "jpeg", 90); }},
        {"turned JPEG", [](const QImage &i) { return turnedQuarter(encode(i, "jpeg", 90)); }},
        {"progressive JPEG",
         [](const QImage &i) { return encode(i, "jpeg", 90, QImageIOHandler::TransformationNone, true); }},
        {"TIFF", [](const QImage &i) { return encode(i, "tiff"); }},
        {"BMP", [](const QImage &i) { return encode(i, "bmp"); }},
        {"GIF", [](const QImage &i) { return twoToneGif(i.width(), i.height()); }},
        // Its reader tells the picture's size and its decoder draws on the whole screen.
        {"GIF whose screen is far wider than its picture",
         [](const QImage &i) {
             QByteArray gif = twoToneGif(i.width(), i.height());
             qToLittleEndian<quint16>(quint16(i.width() * 20), gif.data() + 6);
             return gif;
         },
         false},
        {"lossy WebP", [](const QImage &i) { return encode(i, "webp", 80); }},
        {"lossless WebP", [](const QImage &i) { return encode(i, "webp", 100); }},
        {"animated WebP", [](const QImage &i) { return animatedWebp(encode(i, "webp", 100), i.size(), i.width(), i.height()); }},
        {"HEIC", [](const QImage &i) { return heic(i); }},
        {"10-bit HEIC", [](const QImage &i) { return heic(i, heif_orientation_normal, 10); }},
        {"AVIF", [](const QImage &i) { return heic(i, heif_orientation_normal, 8, heif_compression_AV1); }},
        {"HEIC grid of 512-pixel tiles", [](const QImage &i) { return LWBigPhotos::heicGrid(i.width(), i.height(), 512); }},
    };
    for (const auto &f : formats) {
        SCOPED_TRACE(f.name);
        // The libraries' own start (plugins, tables, threads) is no part of a decode.
        ASSERT_TRUE(LWPictureDecoder::decodeHere(f.make(tiny), {}).image);
        const QByteArray bytes = f.make(img);
        // Whole, as a print PDF takes it, brought down to a third, as a PNG export may, and parts
        // at odd places and sizes, as a crop or a band of the page asks.
        for (const LWPictureDecoder::Request &request :
             {LWPictureDecoder::Request{0, {0, 0, 1, 1}}, LWPictureDecoder::Request{w / 3, {0, 0, 1, 1}},
              LWPictureDecoder::Request{1111, {0.137, 0.291, 0.413, 0.377}},
              LWPictureDecoder::Request{0, {0.501, 0.013, 0.333, 0.61}}}) {
            SCOPED_TRACE(testing::Message() << request.longestSide << " " << request.part.x() << "," << request.part.y());
            const Peak peak = measure(bytes, request);
            ASSERT_EQ(peak.decoded, f.decodes);
            if (f.decodes && request.longestSide == 0 && request.whole()) {
                EXPECT_GE(peak.reserved, qint64(w) * h * 4);
            }
            // A little room for what no picture's size sets (decoder tables, a thread's stack).
            EXPECT_LE(peak.growth, peak.reserved + (qint64(4) << 20))
                << "peak " << peak.growth / 1024 << " KB, reserved " << peak.reserved / 1024 << " KB";
        }
    }
}

TEST(PicturePeaks, AChunkClaimingMoreThanFollowsCostsNothing)
{
    if (LWSanitizers::address)
        GTEST_SKIP() << "the sanitizers' allocator keeps freed memory and its own shadow";
    // A cut PNG whose text chunk claims 1.8 GB: its reader would allocate and clear all of it
    // before finding the bytes end.
    QByteArray png = encode(photo(64, 48), "png");
    png.insert(33, QByteArray("\x6f\x00\x00\x00" "tEXt" "Comment\0cut", 19));
    const Peak peak = measure(png, {});
    EXPECT_LE(peak.growth, peak.reserved + (qint64(4) << 20)) << "peak " << peak.growth / 1024 << " KB";
}
