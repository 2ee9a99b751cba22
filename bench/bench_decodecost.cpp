// The CPU time a decode of a photo takes, per megapixel, in each format the program reads: what
// the decode workers' time limits are sized from (LWDecodeWorkers::limitsFor). The photos are made
// here: smooth light with fine grain and edges, which codes and decodes as a camera's does.
// Prints one line per format: its size, file bytes and CPU milliseconds per megapixel (all threads).
#include "render/pictures/picturedecoder.h"
#include "support/testpictures.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <cstdio>
#include <sys/resource.h>

namespace {

QImage photoLike(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator grain(7);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(grain.bounded(24)) - 12;
            const int edge = ((x / 97 + y / 61) % 5 == 0) ? 60 : 0;
            row[x] = qRgb(std::clamp(90 + 120 * x / w + n + edge, 0, 255), std::clamp(60 + 150 * y / h + n, 0, 255),
                          std::clamp(180 - 100 * x / w + n - edge, 0, 255));
        }
    }
    return img;
}

double cpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int w = 4000, h = 3000;
    const QImage photo = photoLike(w, h);
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"jpeg q92", LWTestPictures::encode(photo, "jpeg", 92)},
        {"jpeg q92 progressive", LWTestPictures::encode(photo, "jpeg", 92, {}, true)},
        {"png", LWTestPictures::encode(photo, "png")},
        {"webp q90", LWTestPictures::encode(photo, "webp", 90)},
        {"tiff", LWTestPictures::encode(photo, "tiff")},
        {"heic", LWTestPictures::heic(photo)},
        {"heic 10-bit", LWTestPictures::heic(photo, heif_orientation_normal, 10)},
        {"avif", LWTestPictures::heic(photo, heif_orientation_normal, 8, heif_compression_AV1)},
    };
    for (const auto &c : cases) {
        double best = 1e30;
        for (int i = 0; i < 3; ++i) {
            const double before = cpuMs();
            const LWPictureDecoder::Result r = LWPictureDecoder::decodeHere(c.bytes, LWPictureDecoder::Request{});
            const double used = cpuMs() - before;
            if (!r.image)
                std::printf("%s: no image\n", c.name);
            best = std::min(best, used);
        }
        std::printf("%-22s %dx%d %9lld bytes  %6.1f ms CPU per megapixel\n", c.name, w, h, qlonglong(c.bytes.size()),
                    best / (double(w) * h / 1e6));
    }
    return 0;
}
