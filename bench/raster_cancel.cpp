// Cancel on a printer without a queue: Letter pages each filled by one 24-megapixel PNG photo,
// drawn at 600 DPI; Cancel pressed 2.5 s into the print, then a second print started at once and
// cancelled 0.3 s in (while the first one's band may still hold pdfium). Prints the time from
// each Cancel to printRaster's return. Nothing leaves the machine: the scheduler is never reached.
//   lw_bench_rastercancel [RUNS]
#include "app/cupsbackend.h"
#include "app/printing.h"
#include "render/export.h"
#include "support/picturepages.h"
#include "twophotos.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// From the start of a print to Cancel after `cancelAfterMs`, to its return, in ms.
double cancelled(LWCupsBackend &cups, const QByteArray &pdf, int cancelAfterMs)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QStringLiteral("lw-bench-no-queue"));
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    std::atomic<bool> stop{false}, ended{false};
    LWPrintSteps steps;
    steps.stop = &stop;
    std::optional<QString> answer;
    std::thread print([&] {
        answer = cups.printRaster(pdf, {0, 0, 0, 0}, printer, {}, steps);
        ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(cancelAfterMs));
    QElapsedTimer since;
    since.start();
    stop = true;
    while (!ended)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double ms = since.nsecsElapsed() / 1e6;
    print.join();
    if (answer)
        std::printf("  (not stopped: %s)\n", qPrintable(*answer));
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const LWDocument doc = LWPicturePages::grid({LWBenchPhotos::photo(7, true, QSize(6000, 4000))}, 1, 1);
    const QByteArray pdf = *LWExport::pdfData(doc, {0}, false);
    LWCupsCalls none = LWCupsCalls::library();
    none.connect = [] { return static_cast<_http_s *>(nullptr); }; // a job that got this far is refused
    LWCupsBackend cups(none);
    for (int i = 0; i < runs; ++i) {
        const double first = cancelled(cups, pdf, 2500);
        const double second = cancelled(cups, pdf, 300);
        std::printf("Cancel 2.5 s in: %.0f ms; the next print's Cancel 0.3 s in: %.0f ms\n", first, second);
        if (!LWPrinting::Unfinished::waitForAll(std::chrono::minutes(1)))
            std::printf("  (left-behind work still running)\n");
    }
    return 0;
}
