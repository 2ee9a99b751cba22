#include "app/printing.h"

#include <QPageRanges>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>

#include <cups/cups.h>

namespace {

// The named queue ("queue" or "queue/instance", as Qt names them), or null. Free with freeDests.
cups_dest_t *namedDest(const LWCupsCalls &cups, const QString &printer)
{
    if (printer.isEmpty())
        return nullptr;
    const QByteArray name = printer.section(u'/', 0, 0).toUtf8();
    const QByteArray instance = printer.section(u'/', 1).toUtf8();
    return cups.getNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                             instance.isEmpty() ? nullptr : instance.constData());
}

// The engine property through which Qt's print dialog hands CUPS options to the printer (name,
// value, name, value ...); Qt's CUPS engine sends them with the job. Not public in Qt.
constexpr auto cupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

} // namespace

LWCupsCalls LWCupsCalls::library()
{
    return {cupsGetNamedDest, cupsFreeDests, cupsPrintFile, cupsLastErrorString};
}

std::unique_ptr<QPrinter> LWCupsBackend::makePrinter() { return std::make_unique<QPrinter>(QPrinter::HighResolution); }

bool LWCupsBackend::hasQueue(const QString &printer) const
{
    cups_dest_t *dest = namedDest(cups_, printer);
    cups_.freeDests(dest ? 1 : 0, dest);
    return dest != nullptr;
}

QString LWCupsBackend::submit(const LWPrintJob &job)
{
    QTemporaryFile file;
    if (!file.open() || file.write(job.pdf) != job.pdf.size() || !file.flush())
        return QStringLiteral("The print file couldn't be written: ") + file.errorString();

    // An instance's saved options first; the dialog's choices override them.
    int count = 0;
    cups_option_t *options = nullptr;
    if (cups_dest_t *dest = namedDest(cups_, job.printer)) {
        for (int i = 0; i < dest->num_options; ++i)
            count = cupsAddOption(dest->options[i].name, dest->options[i].value, count, &options);
        cups_.freeDests(1, dest);
    }
    for (auto it = job.options.cbegin(); it != job.options.cend(); ++it)
        count = cupsAddOption(it.key().toUtf8().constData(), it.value().toUtf8().constData(), count, &options);
    count = cupsAddOption("copies", QByteArray::number(std::max(1, job.copies)).constData(), count, &options);
    if (!job.pageRanges.isEmpty())
        count = cupsAddOption("page-ranges", job.pageRanges.toUtf8().constData(), count, &options);
    count = cupsAddOption("print-scaling", "none", count, &options);

    const int id = cups_.printFile(job.printer.section(u'/', 0, 0).toUtf8().constData(),
                                   file.fileName().toLocal8Bit().constData(), job.title.toUtf8().constData(),
                                   count, options);
    cupsFreeOptions(count, options);
    if (id == 0)
        return QStringLiteral("The printer refused the job: ") + QString::fromUtf8(cups_.lastErrorString());
    return {};
}

QString LWCupsBackend::printRaster(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer,
                                   const LWPrintOptions &options)
{
    // Qt's CUPS engine sends the paper and the sides from the printer's own state; the rest
    // goes in its list of extra options.
    if (printer.outputFormat() == QPrinter::NativeFormat) {
        QStringList extra;
        for (auto it = options.cbegin(); it != options.cend(); ++it)
            if (it.key() != u"media" && it.key() != u"sides")
                extra << it.key() << it.value();
        printer.printEngine()->setProperty(cupsOptionsKey, extra);
    }
    return LWPrinting::rasterise(pdf, pages, printer);
}

namespace LWPrinting {

QList<int> chosenPages(const QPrinter &printer, int pageCount)
{
    QList<int> all, chosen;
    const QPageRanges ranges = printer.pageRanges();
    for (int i = 0; i < pageCount; ++i) {
        all.append(i);
        if (ranges.contains(i + 1))
            chosen.append(i);
    }
    return printer.printRange() == QPrinter::PageRange && !chosen.isEmpty() ? chosen : all;
}

QString pageRanges(const QPrinter &printer)
{
    if (printer.printRange() != QPrinter::PageRange)
        return {};
    return printer.pageRanges().toString();
}

Settings settings(const QPrinter &printer)
{
    return {printer.printerName(),
            printer.duplex(),
            printer.pageLayout().pageSize(),
            printer.pageLayout().orientation(),
            printer.colorMode(),
            printer.pageOrder(),
            printer.copyCount(),
            printer.collateCopies(),
            printer.printEngine()->property(cupsOptionsKey).toStringList()};
}

LWPrintOptions jobOptions(const Settings &now, const Settings &before)
{
    LWPrintOptions options;
    for (qsizetype i = 0; i + 1 < now.cupsOptions.size(); i += 2)
        // The pages travel as the job's own range; pages already picked must not be picked again.
        if (now.cupsOptions[i] != u"page-ranges")
            options.insert(now.cupsOptions[i], now.cupsOptions[i + 1]);
    if (now.duplex != before.duplex) {
        // Automatic duplex as Qt's own CUPS engine reads it: along the paper's long edge when upright.
        const bool longEdge = now.duplex == QPrinter::DuplexLongSide ||
                              (now.duplex == QPrinter::DuplexAuto && now.orientation == QPageLayout::Portrait);
        options.insert(QStringLiteral("sides"), now.duplex == QPrinter::DuplexNone ? QStringLiteral("one-sided")
                                                : longEdge ? QStringLiteral("two-sided-long-edge")
                                                           : QStringLiteral("two-sided-short-edge"));
    }
    if (now.paper.isValid() && !(now.paper == before.paper))
        options.insert(QStringLiteral("media"), now.paper.key());
    if (now.color != before.color)
        options.insert(QStringLiteral("print-color-mode"),
                       now.color == QPrinter::GrayScale ? QStringLiteral("monochrome") : QStringLiteral("color"));
    if (now.order != before.order)
        options.insert(QStringLiteral("outputorder"),
                       now.order == QPrinter::LastPageFirst ? QStringLiteral("reverse") : QStringLiteral("normal"));
    if (now.copies > 1)
        options.insert(QStringLiteral("multiple-document-handling"),
                       now.collate ? QStringLiteral("separate-documents-collated-copies")
                                   : QStringLiteral("separate-documents-uncollated-copies"));
    return options;
}

LWPrintOptions jobOptions(const QPrinter &printer, const Settings &before)
{
    const Settings now = settings(printer);
    if (now.printer == before.printer)
        return jobOptions(now, before);
    QPrinter fresh(QPrinter::HighResolution);
    fresh.setPrinterName(now.printer);
    return jobOptions(now, settings(fresh));
}

namespace {

// One page at its own size, its centre on the paper's centre, in points.
void drawPage(QPdfDocument &pdf, int index, QPainter &p, QSizeF paper, double dpi, qint64 bandBytes)
{
    const QSizeF page = pdf.pagePointSize(index);
    const QSize pixels(std::max(1, int(std::lround(page.width() * dpi / 72))),
                       std::max(1, int(std::lround(page.height() * dpi / 72))));
    p.save();
    p.translate(paper.width() / 2, paper.height() / 2);
    if ((page.width() > page.height()) != (paper.width() > paper.height()) && page.width() != page.height())
        p.rotate(90);
    p.translate(-page.width() / 2, -page.height() / 2);
    p.scale(72 / dpi, 72 / dpi); // one unit: one rendered pixel

    const int rows = int(std::clamp<qint64>(bandBytes / (qint64(pixels.width()) * 4), 1, pixels.height()));
    QPdfDocumentRenderOptions options;
    options.setScaledSize(pixels);
    for (int top = 0; top < pixels.height(); top += rows) {
        const int height = std::min(rows, pixels.height() - top);
        // Qt PDF scales a band by (clip size - 1) / image size: one more pixel each way keeps 1:1.
        options.setScaledClipRect(QRect(0, top, pixels.width() + 1, height + 1));
        p.drawImage(QPoint(0, top), pdf.render(index, QSize(pixels.width(), height), options));
    }
    p.restore();
}

} // namespace

QString rasterise(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer, qint64 bandBytes)
{
    printer.setFullPage(true);
    const double dpi = std::min(printer.resolution(), maxDPI);
    for (const int index : pages) {
        const QSizeF page = pdf.pagePointSize(index);
        const double pixels = std::max(1.0, std::round(page.width() * dpi / 72)) *
                              std::max(1.0, std::round(page.height() * dpi / 72));
        if (!(pixels <= double(maxPagePixels)))
            return QStringLiteral("Page %1 is too large to print on this printer: at %2 dpi it would take %3 "
                                  "million pixels, and at most %4 million fit.")
                .arg(index + 1)
                .arg(dpi)
                .arg(std::ceil(pixels / 1e6), 0, 'f', 0)
                .arg(maxPagePixels / 1'000'000);
    }
    QPainter p;
    if (!p.begin(&printer))
        return QStringLiteral("The printer couldn't be started.");
    // Painter units: points from the paper's top-left corner.
    p.scale(printer.resolution() / 72.0, printer.resolution() / 72.0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF paper = printer.pageLayout().fullRect(QPageLayout::Point).size();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            return QStringLiteral("The printer refused a page.");
        drawPage(pdf, pages[i], p, paper, dpi, bandBytes);
    }
    if (!p.end())
        return QStringLiteral("The printer couldn't finish the job.");
    return {};
}

} // namespace LWPrinting
