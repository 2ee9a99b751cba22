// An export of eight 12-megapixel photos (a Letter page at 600 DPI, as a PNG) decoded by the
// test's stand-in worker, well-behaved or hoarding: a decoder taken over that answers each decode
// "out of memory" and keeps every memfd it was handed, the answer's filled to its end. Prints the
// program's peak resident memory, the workers' (the most at once, summed, and the largest one)
// and how far the machine's shared memory rose, sampled every few milliseconds. One mode a run:
//   lw_bench_workerhoard plain|hoard FOLDER
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/worker/decodeworkers.h"
#include "support/bigphotos.h"
#include "support/picturepages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace
{

qint64 fieldKB(const QString &file, const char *key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The resident KiB of this program's children (the workers) alive now: summed, and the largest.
std::pair<qint64, qint64> workersKB()
{
    qint64 sum = 0, most = 0;
    for (const QFileInfo &task :
         QDir(QStringLiteral("/proc/self/task")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(task.filePath() + QStringLiteral("/children"));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &pid : children.readAll().trimmed().split(' ')) {
            if (pid.isEmpty())
                continue;
            const qint64 kb =
                fieldKB(QStringLiteral("/proc/%1/status").arg(QString::fromLatin1(pid)), "VmRSS:");
            sum += kb;
            most = std::max(most, kb);
        }
    }
    return {sum, most};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2 || (args[0] != QLatin1String("plain") && args[0] != QLatin1String("hoard"))) {
        std::fprintf(stderr, "usage: lw_bench_workerhoard plain|hoard FOLDER\n");
        return 2;
    }
    LWFonts::registerBundled();
    const bool hoard = args[0] == QLatin1String("hoard");
    const QString stand = QCoreApplication::applicationDirPath() + QStringLiteral("/lw-misbehaving-decoder");
    if (!QFileInfo(stand).isExecutable()) {
        std::fprintf(stderr, "build the stand-in worker first (target lw-misbehaving-decoder)\n");
        return 2;
    }
    LWDecodeWorkers::setForTests(stand, 0, 0);
    const QByteArray photo = LWBigPhotos::jpeg(4000, 3000, true);
    QList<QByteArray> pictures;
    for (int i = 0; i < 8; ++i) // each another picture to the program; the stand-in reads the words
        pictures.append(photo + QByteArray::number(i) + (hoard ? " LWTEST hoard" : ""));
    const LWDocument doc = LWPicturePages::grid(pictures, 4, 2);

    std::atomic<bool> done = false;
    const qint64 shmemBefore = fieldKB(QStringLiteral("/proc/meminfo"), "Shmem:");
    qint64 shmemMost = shmemBefore, workersMost = 0, workerMost = 0;
    std::thread sampler([&] {
        while (!done) {
            shmemMost = std::max(shmemMost, fieldKB(QStringLiteral("/proc/meminfo"), "Shmem:"));
            const auto [sum, most] = workersKB();
            workersMost = std::max(workersMost, sum);
            workerMost = std::max(workerMost, most);
            ::usleep(2000);
        }
    });
    (void)LWPicturePages::resetPeak();
    QElapsedTimer took;
    took.start();
    const QString out = QDir(args[1]).filePath(QStringLiteral("hoard-page.png"));
    const QString said = LWExport::writeRaster(doc, 0, 600, false, LWExport::RasterType::png, 0.92, out);
    const qint64 ms = took.elapsed();
    const qint64 programPeak = LWPicturePages::statusKB("VmHWM:");
    const LWDecodeWorkers::Stats stats = LWDecodeWorkers::stats();
    const auto [sumAfter, mostAfter] = workersKB();
    done = true;
    sampler.join();
    QFile::remove(out);
    std::printf("%s: export %lld ms (%s), program peak %lld MB, workers at once %lld MB (largest %lld MB), "
                "machine's shared memory +%lld MB; workers started %d, ended holding %d, alive after %d "
                "(%lld MB)\n",
                hoard ? "hoarding" : "well-behaved", (long long)ms,
                said.isEmpty() ? "written" : said.left(60).toUtf8().constData(),
                (long long)programPeak / 1024, (long long)workersMost / 1024, (long long)workerMost / 1024,
                (long long)(shmemMost - shmemBefore) / 1024, stats.started, stats.endedHolding, stats.running,
                (long long)sumAfter / 1024);
    (void)mostAfter;
    LWDecodeWorkers::endAll();
    return 0;
}
