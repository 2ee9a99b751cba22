// The wait a decoder costs that never answers and asks for a thread that ends at once at a steady
// rhythm, against one that sleeps: a picture of a given size (its size sets the decode's time
// limits) exported three times at 72 DPI, as a preview and two exports would, by the test's
// stand-in worker. Run it on one CPU (taskset -c N) to see the watcher share the worker's CPU:
//   lw_bench_threadrhythm WIDTH HEIGHT FOLDER "rhythm 100 untimed" ["sleep 600000" ...]
#include "model/document.h"
#include "render/export.h"
#include "render/picturetally.h"
#include "render/text/fonts.h"
#include "render/worker/decodeworkers.h"
#include "support/testpictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 4 || args[0].toInt() <= 0 || args[1].toInt() <= 0) {
        std::fprintf(stderr, "usage: lw_bench_threadrhythm WIDTH HEIGHT FOLDER WORDS...\n");
        return 2;
    }
    LWFonts::registerBundled();
    const QString stand = QCoreApplication::applicationDirPath() + QStringLiteral("/lw-misbehaving-decoder");
    if (!QFileInfo(stand).isExecutable()) {
        std::fprintf(stderr, "build the stand-in worker first (target lw-misbehaving-decoder)\n");
        return 2;
    }
    LWDecodeWorkers::setForTests(stand, 0, 0); // the program's own limits for the picture's size
    const QByteArray png = LWTestPictures::encode(LWTestPictures::plain(args[0].toInt(), args[1].toInt(), Qt::red), "png");
    const QString out = QDir(args[2]).filePath(QStringLiteral("rhythm.png"));
    for (const QString &words : args.mid(3)) {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement photo = LWElement::makePhoto({10, 10, 80, 80});
        photo.image->data = png + "LWTEST " + words.toUtf8(); // the stand-in reads the words
        doc.pages[0].elements = {photo};
        QElapsedTimer all;
        all.start();
        const int before = LWDecodeWorkers::stats().started;
        QString why;
        for (int go = 0; go < 3; ++go) {
            QList<LWPictureTally::Undrawn> undrawn;
            LWExport::RasterWriteHooks hooks;
            hooks.undrawn = &undrawn;
            const QString said = LWExport::writeRaster(doc, 0, 72, false, LWExport::RasterType::png, 0.92, out, hooks);
            why += !said.isEmpty() ? QStringLiteral(" failed")
                   : undrawn.isEmpty() ? QStringLiteral(" drawn")
                   : undrawn[0].why == LWPictureTally::Why::notNow ? QStringLiteral(" not-now")
                                                                   : QStringLiteral(" blamed");
        }
        QFile::remove(out);
        std::printf("%s, %d x %d: three exports %lld ms, workers started %d, each:%s\n", qPrintable(words),
                    args[0].toInt(), args[1].toInt(), (long long)all.elapsed(),
                    LWDecodeWorkers::stats().started - before, qPrintable(why));
    }
    return 0;
}
