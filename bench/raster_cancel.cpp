// Cancel and Quit on a printer without a queue (the raster road). Nothing leaves the machine: the
// scheduler is never reached.
//  1. Letter pages each filled by one 24-megapixel PNG photo, drawn at 600 DPI; Cancel 2.5 s into
//     the print, then a second print started at once and cancelled 0.3 s in (while the first
//     one's band may still hold pdfium): the time from each Cancel to printRaster's return.
//  2. Three pages of 24-megapixel noise photos, cancelled at twenty moments from 1 to 6 s in: for
//     each, how far the print had got, the time from Cancel to printRaster's return and to the
//     end of the work it left behind.
//  3. Quit while pdfium draws a band of a page of 400,000 triangles: a child process starts the
//     print as the print panel does, is told to stop as when the program quits, and ends as the
//     program's main does (LWStartup::endOfRun), or as it did before (waited two seconds, then
//     returned). Whether "QMutex: destroying locked mutex" or a crash appeared, whether a setting
//     written just before was saved, and the time from Quit to the process's end.
//   lw_bench_rastercancel [RUNS]            RUNS of 1., one each of 2., three children of each end in 3.
//   lw_bench_rastercancel --paper FOLDER    only writes the paper PDFs of sample pages into FOLDER,
//                                           to compare what prints before and after a change
// (taskset -c 0 for one core)
#include "app/cupsbackend.h"
#include "app/printing.h"
#include "model/file/prefs.h"
#include "render/export.h"
#include "shell/startup.h"
#include "support/picturepages.h"
#include "twophotos.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

QPrinter *letterPrinter(QPrinter &printer, int dpi)
{
    printer.setPrinterName(QStringLiteral("lw-bench-no-queue"));
    printer.setResolution(dpi);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    return &printer;
}

// From the start of a print of `pages` to Cancel after `cancelAfterMs`, to its return, in ms;
// `done` gets how far the print had got at Cancel.
double cancelled(LWCupsBackend &cups, const QByteArray &pdf, const QList<int> &pages, int cancelAfterMs,
                 double *done = nullptr)
{
    QPrinter printer(QPrinter::HighResolution);
    letterPrinter(printer, 600);
    std::atomic<bool> stop{false}, ended{false};
    std::atomic<double> progress{0};
    LWPrintSteps steps;
    steps.stop = &stop;
    steps.progress = [&progress](double d) { progress = d; };
    std::optional<QString> answer;
    std::thread print([&] {
        answer = cups.printRaster(pdf, pages, printer, {}, steps);
        ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(cancelAfterMs));
    const Clock::time_point since = Clock::now();
    stop = true;
    if (done)
        *done = progress;
    while (!ended)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double ms = msSince(since);
    print.join();
    if (answer)
        std::printf("  (not stopped: %s)\n", qPrintable(*answer));
    return ms;
}

// A backend whose scheduler refuses every job that got as far as being sent.
LWCupsBackend refusing()
{
    LWCupsCalls none = LWCupsCalls::library();
    none.connect = [](auto...) -> _http_s * { return nullptr; };
    return LWCupsBackend(none);
}

// A 6000 x 4000 photo of pure noise as PNG: the slowest band for Qt's JPEG encoder.
QByteArray noisePhoto(quint32 seed)
{
    QImage img(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            row[x] = 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(90); // a fast zlib level
    writer.write(img);
    return bytes;
}

// Three Letter pages, each filled by its own 24-megapixel noise photo (PNG: pixels in the PDF).
QByteArray threePhotoPages()
{
    LWDocument doc = LWPicturePages::grid({noisePhoto(11)}, 1, 1);
    for (quint32 seed : {12u, 13u}) {
        LWPage page = doc.pages[0];
        page.elements[0].image->data = noisePhoto(seed);
        doc.pages.append(page);
    }
    return *LWExport::pdfData(doc, {0, 1, 2}, false);
}

// A Letter page of `count` small triangles in many colours: pdfium takes seconds over each band.
QByteArray trianglePage(int count)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setResolution(72);
    QPainter p(&writer);
    p.setPen(Qt::NoPen);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> x(0, 612), y(0, 792), d(-4, 4);
    for (int i = 0; i < count; ++i) {
        const QPointF a(x(rng), y(rng));
        p.setBrush(QColor::fromRgb(rng() | 0xff000000u));
        p.drawPolygon(QPolygonF{a, a + QPointF(d(rng), d(rng)), a + QPointF(d(rng), d(rng))});
    }
    p.end();
    return bytes;
}

// The child of 3.: prints the page in SOURCE as the print panel does, Quit once pdfium draws its
// first band, then ends with exit code 7 as `how` says ("end": LWStartup::endOfRun; "return": the
// ending before).
int quitChild(const QString &how, const QString &source, const QString &settings)
{
    LWPrefs::setStore(LWPrefs::makeStore(settings));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return 3;
    const QByteArray pdf = in.readAll();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    std::thread([pdf, stop, counted = std::make_unique<LWPrinting::Unfinished>()] {
        LWCupsBackend cups = refusing();
        QPrinter printer(QPrinter::HighResolution);
        LWPrintSteps steps;
        steps.stop = stop.get();
        (void)cups.printRaster(pdf, {0}, *letterPrinter(printer, 600), {}, steps);
    }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // the page opened, its first band begun
    LWPrefs::store().setValue(LWPrefs::gridKey, true); // unsaved until the program ends
    *stop = true;                                      // what the print panel does when the program quits
    std::printf("quit\n");
    std::fflush(stdout);
    if (how == u"end")
        return LWStartup::endOfRun(7);
    (void)LWPrinting::Unfinished::waitForAll(std::chrono::seconds(2));
    return 7;
}

void quitRuns(const QString &self, int runs)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("triangles.pdf"));
    {
        QFile out(source);
        if (!out.open(QIODevice::WriteOnly) || out.write(trianglePage(400'000)) < 0)
            return;
    }
    for (const QString &how : {QStringLiteral("end"), QStringLiteral("return")}) {
        for (int i = 0; i < runs; ++i) {
            const QString settings = dir.filePath(QStringLiteral("settings-%1-%2.conf").arg(how).arg(i));
            QProcess child;
            child.start(self, {QStringLiteral("--quit-child"), how, source, settings});
            while (child.state() != QProcess::NotRunning && !child.canReadLine())
                child.waitForReadyRead(100);
            const Clock::time_point quit = Clock::now();
            child.waitForFinished(120000);
            const double ms = msSince(quit);
            const QByteArray err = child.readAllStandardError();
            const bool left = err.contains("still being stopped"); // endOfRun's word: work still ran
            const bool locked = err.contains("QMutex: destroying locked mutex");
            const bool crashed = child.exitStatus() == QProcess::CrashExit;
            const bool saved = LWPrefs::makeStore(settings)->value(LWPrefs::gridKey).toString() == u"true";
            std::printf("Quit, ended by %-8s: exit %.0f ms after Quit%s; %s; %s; exit code %d; setting %s\n",
                        qPrintable(how == u"end" ? QStringLiteral("endOfRun") : QStringLiteral("return")), ms,
                        left ? " (a band still drawing)" : "",
                        locked ? "\"QMutex: destroying locked mutex\"" : "no locked mutex destroyed",
                        crashed ? "CRASHED" : "no crash", child.exitCode(), saved ? "saved" : "NOT saved");
        }
    }
}

// --paper: the stand-in scheduler keeps what it was sent.
QByteArray sent;

int writePapers(const QString &folder)
{
    LWCupsCalls keep = LWCupsCalls::library();
    static int connection;
    keep.connect = [](auto...) { return reinterpret_cast<_http_s *>(&connection); };
    keep.close = [](auto...) {};
    keep.getNamedDest = [](auto...) -> cups_dest_s * { return nullptr; };
    keep.freeDests = [](auto...) {};
    keep.createJob = [](auto...) { return 1; };
    keep.startDocument = [](auto...) { return 100; }; // continue
    keep.writeData = [](_http_s *, const char *bytes, size_t length) {
        sent.append(bytes, qsizetype(length));
        return 100;
    };
    keep.finishDocument = [](auto...) { return 0; };
    keep.cancelJob = [](auto...) { return 0; };
    keep.lastError = [](auto...) { return 0; };
    keep.ping = [](auto...) { return true; };
    keep.setTimeout = nullptr;
    keep.interrupt = nullptr;
    keep.unsent = nullptr;
    LWCupsBackend cups(keep);
    QDir().mkpath(folder);
    // The photos at 600 DPI (three bands a page); at 300 DPI a landscape page turned on the
    // paper and a page larger than the paper (two bands), each holding a photo.
    const auto withPhoto = [](LWDocument doc) {
        doc.pages[0].elements.append(LWElement::makePhoto(LWRect(20, 30, doc.width - 60, doc.height - 90)));
        doc.pages[0].elements[0].image->data = LWBenchPhotos::photo(3, false, QSize(1600, 1200));
        return *LWExport::pdfData(doc, {0}, false);
    };
    const struct {
        const char *name;
        QByteArray pdf;
        QList<int> pages;
        int dpi;
    } samples[] = {
        {"photos", threePhotoPages(), {0, 2}, 600},
        {"landscape", withPhoto(LWDocument::blank(LWSizePreset::letter, true, QStringLiteral("Wide"))), {0, 0}, 300},
        {"large", withPhoto(LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 900, 1100, 0,
                                              QStringLiteral("Large"))),
         {0}, 300},
    };
    for (const auto &s : samples) {
        QPrinter printer(QPrinter::HighResolution);
        sent.clear();
        const std::optional<QString> answer = cups.printRaster(s.pdf, s.pages, *letterPrinter(printer, s.dpi), {}, {});
        QFile out(folder + u'/' + QString::fromLatin1(s.name) + QStringLiteral(".pdf"));
        if (answer != QString() || !out.open(QIODevice::WriteOnly) || out.write(sent) != sent.size()) {
            std::fprintf(stderr, "%s: %s\n", s.name, qPrintable(answer.value_or(QStringLiteral("stopped"))));
            return 1;
        }
        std::printf("%s: %lld bytes\n", s.name, qlonglong(sent.size()));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it comes
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == u"--quit-child")
        return quitChild(args.value(2), args.value(3), args.value(4));
    if (args.value(1) == u"--paper")
        return writePapers(args.value(2));
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 5;
    LWCupsBackend cups = refusing();

    std::printf("1. Pages of one 24-megapixel photo at 600 DPI\n");
    const LWDocument doc = LWPicturePages::grid({LWBenchPhotos::photo(7, true, QSize(6000, 4000))}, 1, 1);
    const QByteArray pdf = *LWExport::pdfData(doc, {0}, false);
    for (int i = 0; i < runs; ++i) {
        const double first = cancelled(cups, pdf, {0, 0, 0, 0}, 2500);
        const double second = cancelled(cups, pdf, {0, 0, 0, 0}, 300);
        std::printf("Cancel 2.5 s in: %.0f ms; the next print's Cancel 0.3 s in: %.0f ms\n", first, second);
        if (!LWPrinting::Unfinished::waitForAll(std::chrono::minutes(1)))
            std::printf("  (left-behind work still running)\n");
    }

    std::printf("2. Three pages of 24-megapixel noise photos at 600 DPI, Cancel at twenty moments\n");
    const QByteArray three = threePhotoPages();
    double worst = 0;
    for (int i = 0; i < 20; ++i) {
        const int at = 1000 + i * 5000 / 19;
        double done = 0;
        const double ms = cancelled(cups, three, {0, 1, 2}, at, &done);
        const Clock::time_point returned = Clock::now();
        const bool ended = LWPrinting::Unfinished::waitForAll(std::chrono::minutes(1));
        worst = std::max(worst, ms);
        std::printf("Cancel %.2f s in (%3.0f %% drawn): returned after %4.0f ms%s; left-behind work ended %.0f ms later%s\n",
                    at / 1000.0, done * 100, ms, ms > 300 ? " (over 300 ms)" : "", msSince(returned),
                    ended ? "" : " (still running)");
    }
    std::printf("Slowest return: %.0f ms\n", worst);

    std::printf("3. Quit while a band of a page of 400,000 triangles is drawn\n");
    quitRuns(QCoreApplication::applicationFilePath(), 3);
    return 0;
}
