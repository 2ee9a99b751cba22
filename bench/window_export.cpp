// The 36 x 24 in poster of a phone user (a 48-megapixel HEIC and a 100-megapixel JPEG stored
// sideways with EXIF orientation 6 in a 12.8 x 19.2 in frame) exported as a 600-DPI PNG, from a
// fresh process or beside what a window holds (previews, the full-size table full, the print
// check's answers and a page-view decode in flight), then a new HEIC placed. Prints the export's
// wall time, the process's peak resident memory during it, the workers' peaks, the budget's peak
// and what the export and the placing said. Run once per mode, one process each:
//   lw_bench_windowexport fresh|window FOLDER    (FOLDER keeps the photos between runs)
#include "model/document.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturequeue.h"
#include "render/preflight.h"
#include "render/worker/decodeworkers.h"
#include "support/bigphotos.h"
#include "support/picturepages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray made(const QString &folder, const QString &name, const std::function<QByteArray()> &make)
{
    QFile f(folder + u'/' + name);
    if (f.open(QIODevice::ReadOnly))
        return f.readAll();
    const QByteArray bytes = make();
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return bytes;
}

LWImage pictureOf(const QByteArray &bytes)
{
    LWImage p = LWImage::empty();
    p.data = bytes;
    return p;
}

// The peak resident KiB of this program's children (the decode workers), alive now or ended.
qint64 workersPeakKB()
{
    rusage ended{};
    ::getrusage(RUSAGE_CHILDREN, &ended);
    qint64 most = ended.ru_maxrss;
    const QString self = QString::number(::getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
        if (fields.value(2) != self.toLatin1())
            continue;
        QFile status(QStringLiteral("/proc/") + pid + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                most = std::max(most, line.mid(6).trimmed().split(' ').value(0).toLongLong());
    }
    return most;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2 || (args[0] != QLatin1String("fresh") && args[0] != QLatin1String("window"))) {
        std::fprintf(stderr, "usage: lw_bench_windowexport fresh|window FOLDER\n");
        return 2;
    }
    LWFonts::registerBundled();
    const QString folder = args[1];
    QDir().mkpath(folder);
    const auto heicOf = [&](const char *name, int w, int h) {
        return made(folder, QLatin1String(name), [w, h] { return LWBigPhotos::heicGrid(w, h, 512); });
    };
    const QByteArray heic = heicOf("heic48.heic", 8000, 6000);
    const QByteArray jpeg = made(folder, QStringLiteral("jpeg100.jpg"), [] {
        return LWTestPictures::turnedQuarter(LWBigPhotos::jpeg(12240, 8160, true));
    });
    const QByteArray later = heicOf("heic48b.heic", 8064, 6048);
    const QByteArray viewed = heicOf("heic48c.heic", 7936, 5952);

    const QString custom = QStringLiteral("custom");
    LWDocument doc = LWDocument::blank(LWDocKind::custom, custom, 2592, 1728, 9, QStringLiteral("Poster"));
    LWElement photo = LWElement::makePhoto(LWRect(72, 172.8, 1382.4, 1036.8));
    photo.image->data = heic;
    photo.name = QStringLiteral("Photo");
    LWElement portrait = LWElement::makePhoto(LWRect(1540.8, 172.8, 921.6, 1382.4));
    portrait.image->data = jpeg;
    portrait.name = QStringLiteral("Picture");
    doc.pages[0].elements = {photo, portrait};

    const bool window = args[0] == QLatin1String("window");
    if (window) {
        // Placed: sizes and previews; checked: the print check's answers.
        for (const LWElement &e : doc.pages[0].elements) {
            (void)LWImageCache::pixelSize(*e.image);
            (void)LWImageCache::image(*e.image, true);
        }
        (void)LWExport::preflight(doc);
        // The full-size table full: 24-megapixel photos at full size.
        const qint64 full = LWImageCache::Budget{}.full, each = qint64(96) << 20;
        for (int i = 0; LWImageCache::stats().fullBytes + each <= full; ++i)
            (void)LWImageCache::image(pictureOf(LWBigPhotos::jpeg(6000 + 8 * i, 4000)), false);
        // A page-view decode in flight when the export starts.
        (void)LWImageCache::previewSoon(pictureOf(viewed));
    }
    const LWImageCache::Stats before = LWImageCache::stats();
    LWDecodeBudget::resetPeak();
    LWPicturePages::resetPeak();
    const qint64 rssBefore = LWPicturePages::statusKB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    QList<LWPictureTally::Undrawn> undrawn;
    LWExport::RasterWriteHooks hooks;
    hooks.undrawn = &undrawn;
    const QString why = LWExport::writeRaster(doc, 0, 600, false, LWExport::RasterType::png, 0.92,
                                              folder + QStringLiteral("/poster.png"), hooks);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 peakKB = LWPicturePages::statusKB("VmHWM:");
    std::printf("%s: export %s in %.2f s; peak %.0f MB (%.0f MB before), workers' peak %.0f MB, "
                "budget peak %.0f MB\n",
                qPrintable(args[0]), why.isEmpty() ? "written" : qPrintable(why), seconds, peakKB / 1024.0,
                rssBefore / 1024.0, workersPeakKB() / 1024.0, LWDecodeBudget::peak() / 1048576.0);
    if (!undrawn.isEmpty())
        std::printf("  undrawn: %s\n", qPrintable(LWPictureTally::describe(undrawn)));
    std::printf("  tables before: %lld previews, %lld full (%.0f MB); holds after: %d\n",
                qint64(before.preview), qint64(before.full), before.fullBytes / 1048576.0,
                LWDecodeBudget::holds());
    LWPictureQueue::shared().drain();
    const LWImage placed = pictureOf(later);
    QElapsedTimer placing;
    placing.start();
    const bool sized = LWImageCache::pixelSize(placed).has_value();
    const bool drawn = LWImageCache::image(placed, true).has_value();
    std::printf("  a new HEIC placed: size %s, preview %s (%.2f s), remembered %d failures; "
                "%d workers started\n",
                sized ? "read" : "NOT read", drawn ? "drawn" : "NOT DRAWN", placing.nsecsElapsed() / 1e9,
                int(LWImageCache::stats().failures), LWDecodeWorkers::stats().started);
    return why.isEmpty() && drawn ? 0 : 1;
}
