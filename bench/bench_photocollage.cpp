// A collage of distinct 12-megapixel photos (4032 x 3024 JPEGs, quality 85, with a photo's grain)
// opened in the page view: the time until every photo is drawn, the decodes, the peak memory and
// the CPU time of the program and its decode workers over the following seconds, when the window
// should be idle. bench/photocollage.sh runs it for 40 and 100 photos.
// With "check", the design is then print-checked and exported as a 300-DPI PNG and a PDF (as a
// console run does, each waiting for its pictures): the time and decodes of each step; "console"
// leaves the page view out and checks as the console modes do.
//   lw_bench_photocollage make FILE COUNT      writes the design (5 x 8 on a letter flyer for 40,
//                                              10 x 10 for 100, else a near-square grid)
//   lw_bench_photocollage run FILE [SCALE] [SECONDS]   opens it at SCALE (0.87: the window's first
//                                              zoom) and watches it for SECONDS after (30)
//   lw_bench_photocollage check FILE [view|console]   opened (and drawn at 0.87), checked, exported
// Only calls that every version of the page view has, so that it also builds against older trees.
#include "editor/editor.h"
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturequeue.h"
#include "render/preflight.h"
#include "render/worker/decodeworkers.h"
#include "ui/canvas/pagecanvas.h"
#include "support/jpegrows.h"
#include "widgetsapp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cmath>
#include <memory>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// A photo's worth of coding cost: a gradient of the picture's own hue with grain, and a dark
// disc whose place tells the photos apart.
QByteArray photo(int index, int w, int h)
{
    const QColor hue = QColor::fromHsv((index * 47) % 360, 150, 200);
    const double cx = w * (0.2 + 0.6 * ((index * 37) % 100) / 100.0), cy = h * (0.2 + 0.6 * ((index * 61) % 100) / 100.0);
    quint32 seed = quint32(index) * 2654435761u + 1;
    return LWBigPhotos::jpegOfRows(w, h, [&](int y, uchar *p) {
        for (int x = 0; x < w; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27) - 16;
            const double shade = 0.6 + 0.4 * double(x + y) / (w + h);
            const bool disc = std::hypot(x - cx, y - cy) < h / 6.0;
            const double k = disc ? 0.3 : shade;
            p[0] = uchar(std::clamp(int(hue.red() * k) + grain, 0, 255));
            p[1] = uchar(std::clamp(int(hue.green() * k) + grain, 0, 255));
            p[2] = uchar(std::clamp(int(hue.blue() * k) + grain, 0, 255));
        }
    });
}

int make(const QString &file, int count)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    const int cols = count == 40 ? 5 : count == 100 ? 10 : int(std::ceil(std::sqrt(count * doc.width / doc.height)));
    const int rows = (count + cols - 1) / cols;
    const double w = doc.width / cols, h = doc.height / rows;
    qint64 bytes = 0;
    for (int i = 0; i < count; ++i) {
        LWElement e = LWElement::makePhoto({(i % cols) * w, (i / cols) * h, w, h});
        e.image->data = photo(i, 4032, 3024);
        bytes += e.image->data->size();
        doc.pages[0].elements.append(e);
    }
    std::printf("%d photos, %.1f MB of JPEG\n", count, bytes / 1048576.0);
    return LWDocumentIO::save(doc, QUrl::fromLocalFile(file)).ok() ? 0 : 1;
}

// Peak resident memory (kB) of a process, from /proc.
long peakKB(const QString &pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// The decode workers alive now: this process's children.
QStringList children()
{
    QStringList out;
    const QString self = QString::number(::getpid());
    for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/self/task/%1/children").arg(task));
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &pid : f.readAll().split(' '))
                if (!pid.trimmed().isEmpty())
                    out << QString::fromLatin1(pid.trimmed());
    }
    out.removeDuplicates();
    return out;
}

// CPU seconds used so far by a process (user and system).
double cpuOf(const QString &pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// CPU of this process and of the workers alive; a worker that ended takes its time with it, so
// the workers' times are kept by pid as they were last seen.
struct Cpu {
    QHash<QString, double> seen;
    double now()
    {
        seen[QStringLiteral("self")] = cpuOf(QStringLiteral("self"));
        for (const QString &pid : children())
            seen[pid] = cpuOf(pid);
        double sum = 0;
        for (const double v : std::as_const(seen))
            sum += v;
        return sum;
    }
};

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= tolerance;
}

// Every photo's middle shows neither the busy frame nor the missing-picture art.
int undrawn(const QImage &view, PageCanvas &page, const LWDocument &doc)
{
    int n = 0;
    for (const LWElement &e : doc.pages[0].elements)
        for (const QPointF f : {QPointF(0.1, 0.1), QPointF(0.9, 0.9)}) {
            const QPointF at(e.frame.x + f.x() * e.frame.w, e.frame.y + f.y() * e.frame.h);
            const QColor c = view.pixelColor((page.gestures().toView(at) * view.devicePixelRatio()).toPoint());
            if (near(c, QColor(0xEE, 0xF0, 0xEE), 6) || near(c, QColor(0xCF, 0xE3, 0xEA), 12) ||
                near(c, QColor(0xEE, 0xF2, 0xE6), 12)) {
                ++n;
                break;
            }
        }
    return n;
}

int run(const QString &file, double scale, int seconds)
{
    auto opened = LWDocumentIO::open(QUrl::fromLocalFile(file));
    if (!opened.ok())
        return 1;
    LWEditor editor(opened.value());
    PageCanvas page(editor);
    page.setScale(scale);
    Cpu cpu;
    QElapsedTimer clock;
    clock.start();
    page.show();
    qint64 drawn = -1;
    // Looked at every 100 ms; the loop waits for events between.
    QEventLoop loop;
    QTimer look;
    look.setInterval(100);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (undrawn(page.grab().toImage(), page, editor.doc()) == 0 || clock.elapsed() > 180000) {
            drawn = clock.elapsed() <= 180000 ? clock.elapsed() : -1;
            loop.quit();
        }
    });
    look.start();
    loop.exec();
    look.stop();
    const LWImageCache::Stats atDrawn = LWImageCache::stats();
    const qint64 workerDecodesAtDrawn = LWDecodeWorkers::stats().decodes;
    const double cpuAtDrawn = cpu.now();
    // Idle but for a look once a second, as a user's glance costs nothing either.
    int left = 0;
    QTimer glance;
    glance.setInterval(1000);
    QObject::connect(&glance, &QTimer::timeout, [&] {
        (void)cpu.now();
        page.update();
    });
    glance.start();
    QElapsedTimer after;
    after.start();
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double afterSeconds = after.elapsed() / 1000.0; // longer than asked when the loop was busy
    left = undrawn(page.grab().toImage(), page, editor.doc());
    const double cpuAfter = cpu.now() - cpuAtDrawn;
    const LWImageCache::Stats end = LWImageCache::stats();
    long workersPeak = 0;
    for (const QString &pid : children())
        workersPeak = std::max(workersPeak, peakKB(pid));
    std::printf("%lld photos at %.0f %%: all drawn after %lld ms (%lld decodes, %lld by workers); in the %.1f s after: "
                "%lld decodes, %.2f s CPU, %d undrawn at the end, queue %d; peak memory %.0f MB (largest worker %.0f MB); "
                "preview table %.0f MB in %lld\n",
                static_cast<long long>(editor.doc().pages[0].elements.size()), scale * 100, static_cast<long long>(drawn),
                static_cast<long long>(atDrawn.decodes), static_cast<long long>(workerDecodesAtDrawn), afterSeconds,
                static_cast<long long>(end.decodes - atDrawn.decodes), cpuAfter, left, LWPictureQueue::shared().busy(),
                peakKB(QStringLiteral("self")) / 1024.0, workersPeak / 1024.0, end.previewBytes / 1048576.0,
                static_cast<long long>(end.preview));
    return drawn >= 0 ? 0 : 2;
}

// Opened, drawn in the page view (unless `console`), checked, exported as PNG and PDF.
int check(const QString &file, bool console)
{
    QElapsedTimer total;
    total.start();
    auto opened = LWDocumentIO::open(QUrl::fromLocalFile(file));
    if (!opened.ok())
        return 1;
    LWEditor editor(opened.value());
    std::unique_ptr<PageCanvas> page;
    QElapsedTimer step;
    qint64 decodes = LWImageCache::stats().decodes;
    const auto report = [&](const char *what) {
        const qint64 now = LWImageCache::stats().decodes;
        std::printf("  %-8s %6lld ms, %3lld decodes\n", what, static_cast<long long>(step.elapsed()),
                    static_cast<long long>(now - decodes));
        decodes = now;
        step.restart();
    };
    step.start();
    LWImageCache::setConsole(console);
    if (!console) {
        page = std::make_unique<PageCanvas>(editor);
        page->setScale(0.87);
        page->show();
        QEventLoop loop;
        QTimer look;
        look.setInterval(20);
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (undrawn(page->grab().toImage(), *page, editor.doc()) == 0 || step.elapsed() > 180000)
                loop.quit();
        });
        look.start();
        loop.exec();
        report("view");
        page.reset(); // a console's view is gone once drawn: what it kept stays in the tables
    }
    const QList<LWExport::Issue> issues = LWExport::preflight(editor.doc());
    report("check");
    const qint64 png = LWExport::rasterData(editor.doc(), 0, 300, false, LWExport::RasterType::png)
                           .value_or(QByteArray())
                           .size();
    report("png");
    const qint64 pdf = LWExport::pdfData(editor.doc(), {0}, true).value_or(QByteArray()).size();
    report("pdf");
    std::printf("%s: %lld findings, PNG %.1f MB, PDF %.1f MB; all in %lld ms\n", console ? "console" : "view",
                static_cast<long long>(issues.size()), png / 1e6, pdf / 1e6,
                static_cast<long long>(total.elapsed()));
    return png > 0 && pdf > 0 ? 0 : 2;
}

} // namespace

int main(int argc, char **argv)
{
    LWWidgetsApp app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("make"))
        return make(args[2], args[3].toInt());
    if (args.size() >= 3 && args[1] == QLatin1String("run"))
        return run(args[2], args.size() > 3 ? args[3].toDouble() : 0.87, args.size() > 4 ? args[4].toInt() : 30);
    if (args.size() >= 3 && args[1] == QLatin1String("check"))
        return check(args[2], args.size() > 3 && args[3] == QLatin1String("console"));
    std::fprintf(stderr,
                 "usage: %s make FILE COUNT | run FILE [SCALE] [SECONDS] | check FILE [view|console]\n",
                 argv[0]);
    return 64;
}
