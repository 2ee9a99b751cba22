#include "app/printing.h"

#include "app/cupsbackend.h"
#include "app/offthread.h"

#include <QPageRanges>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QPdfWriter>
#include <QBuffer>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryFile>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include <cerrno>
#include <unistd.h>

namespace {

// The engine property through which Qt's print dialog hands CUPS options to the printer (name,
// value, name, value ...); Qt's CUPS engine sends them with the job. Not public in Qt.
constexpr auto cupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// An open file written straight through, whose every failed write is remembered with its reason:
// Qt's PDF engine does not tell them.
class CheckedFile final : public QIODevice {
public:
    explicit CheckedFile(QFileDevice &file) : fd_(file.handle()) { open(QIODevice::WriteOnly); }
    // Empty when every write went whole, else why one did not.
    QString failure() const { return failure_; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        for (qint64 done = 0; failure_.isEmpty() && done < length;) {
            const ssize_t wrote = ::write(fd_, data + done, size_t(length - done));
            if (wrote > 0)
                done += wrote;
            else if (wrote == 0 || errno != EINTR)
                failure_ = qt_error_string(wrote == 0 ? EIO : errno);
        }
        return failure_.isEmpty() ? length : -1;
    }

private:
    int fd_;
    QString failure_;
};

} // namespace

LWPrintSteps LWPrintSteps::part(double from, double to) const
{
    LWPrintSteps steps = *this;
    if (progress)
        steps.progress = [progress = progress, from, to](double done) {
            progress(from + (to - from) * done);
        };
    return steps;
}

std::optional<QString> LWCupsBackend::printRaster(const QByteArray &pdf, const QList<int> &pages,
                                                  QPrinter &printer, const LWPrintOptions &options,
                                                  const LWPrintSteps &steps)
{
    // The printer's paper as a PDF of its own: what Qt's engine would spool, but sent only when
    // whole and written without a fault. Held by every band encoded into it, which may outlive
    // this call once the stop is heard.
    struct Paper {
        QTemporaryFile file;
        std::unique_ptr<CheckedFile> out;
        std::unique_ptr<QPdfWriter> writer;
    };
    const auto paper = std::make_shared<Paper>();
    // Left unnamed (Qt makes it so on Linux until fileName() is asked): it goes with the process,
    // however that ends, also with a band still being encoded into it.
    if (!paper->file.open())
        return QStringLiteral("The print file couldn't be written: ") + paper->file.errorString();
    // Drawing takes nearly all the time; the upload of what was drawn the rest.
    constexpr double drawn = 0.9;
    paper->out = std::make_unique<CheckedFile>(paper->file);
    paper->writer = std::make_unique<QPdfWriter>(paper->out.get());
    QPdfWriter &writer = *paper->writer;
    QPageLayout layout = printer.pageLayout();
    layout.setMargins(QMarginsF());
    layout.setMinimumMargins(QMarginsF());
    writer.setPageLayout(layout);
    writer.setResolution(printer.resolution());
    writer.setTitle(printer.docName());
    writer.setCreator(printer.creator());
    const std::optional<std::shared_ptr<QPdfDocument>> document =
        offThread<std::shared_ptr<QPdfDocument>>([pdf] { return LWPrinting::openPdf(pdf); }, steps);
    if (!document)
        return std::nullopt;
    const std::optional<QString> painted = LWPrinting::rasterise(
        *document, pages, std::shared_ptr<QPagedPaintDevice>(paper, &writer),
        std::min(printer.resolution(), LWPrinting::maxDPI), LWPrinting::maxBandBytes, steps.part(0, drawn));
    if (!painted || !painted->isEmpty())
        return painted;
    // Every band has been encoded: nothing else holds the paper now.
    if (!paper->out->failure().isEmpty())
        return QStringLiteral("The print file couldn't be written: ") + paper->out->failure();
    paper->writer.reset();
    paper->out.reset();
    QTemporaryFile &file = paper->file;
    if (!file.seek(0))
        return QStringLiteral("The print file couldn't be read: ") + file.errorString();
    LWPrintJob job{printer.printerName(), printer.docName(), file.readAll(),
                   printer.copyCount(),   QString(),         LWPrinting::paperOptions(printer, options)};
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("The print file couldn't be read: ") + file.errorString();
    return submit(job, steps.part(drawn, 1));
}

namespace LWPrinting {

QList<int> chosenPages(const QPrinter &printer, int pageCount)
{
    const bool ranged = printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty();
    const QPageRanges ranges = printer.pageRanges();
    QList<int> chosen;
    for (int i = 0; i < pageCount; ++i)
        if (!ranged || ranges.contains(i + 1))
            chosen.append(i);
    return chosen;
}

QString pageRanges(const QList<int> &pages, int pageCount)
{
    if (pages.size() >= pageCount)
        return {};
    QStringList parts;
    for (qsizetype i = 0; i < pages.size();) {
        qsizetype last = i;
        while (last + 1 < pages.size() && pages[last + 1] == pages[last] + 1)
            ++last;
        parts << (last == i ? QString::number(pages[i] + 1)
                            : QStringLiteral("%1-%2").arg(pages[i] + 1).arg(pages[last] + 1));
        i = last + 1;
    }
    return parts.join(u',');
}

LWPrintOptions paperOptions(const QPrinter &printer, const LWPrintOptions &options)
{
    LWPrintOptions out = options;
    const QPageLayout layout = printer.pageLayout();
    out.insert(QStringLiteral("media"), layout.pageSize().key());
    const bool upright = layout.orientation() == QPageLayout::Portrait;
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        out.insert(QStringLiteral("sides"), QStringLiteral("one-sided"));
        break;
    case QPrinter::DuplexAuto:
        out.insert(QStringLiteral("sides"),
                   upright ? QStringLiteral("two-sided-long-edge") : QStringLiteral("two-sided-short-edge"));
        break;
    case QPrinter::DuplexLongSide:
        out.insert(QStringLiteral("sides"), QStringLiteral("two-sided-long-edge"));
        break;
    case QPrinter::DuplexShortSide:
        out.insert(QStringLiteral("sides"), QStringLiteral("two-sided-short-edge"));
        break;
    }
    if (!upright)
        out.insert(QStringLiteral("landscape"), QString());
    return out;
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

std::mutex unfinishedMutex;
std::condition_variable unfinishedEnded;
int unfinished = 0;

// A painter on a device, held by the hand-over and by the band being encoded: whoever lets go last
// ends it (a band left behind when the stop was heard), then the device and what it writes to.
struct Canvas {
    std::shared_ptr<QPagedPaintDevice> device;
    QPainter painter;
    int saved = 0; // states saved and not restored

    ~Canvas()
    {
        for (; saved > 0; --saved)
            painter.restore();
        if (painter.isActive())
            painter.end();
    }
};

// One page at its own size, its centre on the paper's centre, in points. False when `steps`
// stopped it. With `leaveBehind` each band is encoded off this thread, and left to end on its own
// when the stop is heard meanwhile: the canvas is touched here no more.
bool drawPage(const std::shared_ptr<QPdfDocument> &pdf, int index, QSizeF page,
              const std::shared_ptr<Canvas> &canvas, QSizeF paper, double dpi, qint64 bandBytes,
              const LWPrintSteps &steps, bool leaveBehind)
{
    QPainter &p = canvas->painter;
    const QSize pixels(std::max(1, int(std::lround(page.width() * dpi / 72))),
                       std::max(1, int(std::lround(page.height() * dpi / 72))));
    p.save();
    ++canvas->saved;
    p.translate(paper.width() / 2, paper.height() / 2);
    if ((page.width() > page.height()) != (paper.width() > paper.height()) && page.width() != page.height())
        p.rotate(90);
    p.translate(-page.width() / 2, -page.height() / 2);
    p.scale(72 / dpi, 72 / dpi); // one unit: one rendered pixel

    const int rows = int(std::clamp<qint64>(bandBytes / (qint64(pixels.width()) * 4), 1, pixels.height()));
    QPdfDocumentRenderOptions options;
    options.setScaledSize(pixels);
    for (int top = 0; top < pixels.height(); top += rows) {
        if (steps.stopped())
            return false;
        const int height = std::min(rows, pixels.height() - top);
        // Qt PDF scales a band by (clip size - 1) / image size: one more pixel each way keeps 1:1.
        options.setScaledClipRect(QRect(0, top, pixels.width() + 1, height + 1));
        std::optional<QImage> band = offThread<QImage>(
            [pdf, index, size = QSize(pixels.width(), height), options] { return pdf->render(index, size, options); },
            steps);
        if (!band)
            return false;
        if (!leaveBehind) {
            p.drawImage(QPoint(0, top), *band);
        } else if (!offThread<bool>(
                       // Qt's PDF engine encodes the band as it is drawn: a second or more on a loaded core.
                       [canvas, band = *std::move(band), top] {
                           canvas->painter.drawImage(QPoint(0, top), band);
                           return true;
                       },
                       steps)) {
            return false;
        }
        steps.advance(double(top + height) / pixels.height());
    }
    p.restore();
    --canvas->saved;
    return true;
}

// rasterise on `device`; with `leaveBehind` the bands are encoded as drawPage says.
std::optional<QString> paint(const std::shared_ptr<QPdfDocument> &pdf, const QList<int> &pages,
                             std::shared_ptr<QPagedPaintDevice> device, int dpi, qint64 bandBytes,
                             const LWPrintSteps &steps, bool leaveBehind)
{
    const std::optional<QList<QSizeF>> sizes = offThread<QList<QSizeF>>(
        [pdf, pages] {
            QList<QSizeF> out;
            for (const int index : pages)
                out.append(pdf->pagePointSize(index));
            return out;
        },
        steps);
    if (!sizes)
        return std::nullopt;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QSizeF page = sizes->at(i);
        const double pixels = std::max(1.0, std::round(page.width() * dpi / 72)) *
                              std::max(1.0, std::round(page.height() * dpi / 72));
        if (!(pixels <= double(maxPagePixels)))
            return QStringLiteral("Page %1 is too large to print on this printer: at %2 dpi it would take %3 "
                                  "million pixels, and at most %4 million fit.")
                .arg(pages[i] + 1)
                .arg(dpi)
                .arg(std::ceil(pixels / 1e6), 0, 'f', 0)
                .arg(maxPagePixels / 1'000'000);
    }
    if (steps.stopped())
        return std::nullopt;
    const auto canvas = std::make_shared<Canvas>();
    canvas->device = std::move(device);
    QPagedPaintDevice &paper = *canvas->device;
    QPainter &p = canvas->painter;
    if (!p.begin(&paper))
        return QStringLiteral("The printer couldn't be started.");
    // Painter units: points from the paper's top-left corner.
    const double resolution = paper.logicalDpiX();
    p.scale(resolution / 72.0, resolution / 72.0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF size = paper.pageLayout().fullRect(QPageLayout::Point).size();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0 && !paper.newPage())
            return QStringLiteral("The printer refused a page.");
        if (!drawPage(pdf, pages[i], sizes->at(i), canvas, size, dpi, bandBytes,
                      steps.part(double(i) / pages.size(), double(i + 1) / pages.size()), leaveBehind))
            return std::nullopt;
    }
    if (!p.end())
        return QStringLiteral("The printer couldn't finish the job.");
    return QString();
}

} // namespace

std::shared_ptr<QPdfDocument> openPdf(const QByteArray &bytes)
{
    struct Held {
        QByteArray bytes;
        QBuffer buffer;
        QPdfDocument document;
    };
    // Freed on a thread of its own: Qt PDF's lock may be held for seconds by a band of another print.
    const std::shared_ptr<Held> held(new Held, [](Held *h) {
        std::thread([h, counted = std::make_unique<Unfinished>()] { delete h; }).detach();
    });
    held->bytes = bytes;
    held->buffer.setBuffer(&held->bytes);
    held->buffer.open(QIODevice::ReadOnly);
    held->document.load(&held->buffer);
    return std::shared_ptr<QPdfDocument>(held, &held->document);
}

Unfinished::Unfinished()
{
    const std::lock_guard lock(unfinishedMutex);
    ++unfinished;
}

Unfinished::~Unfinished()
{
    const std::lock_guard lock(unfinishedMutex);
    --unfinished;
    unfinishedEnded.notify_all();
}

bool Unfinished::waitForAll(std::chrono::milliseconds limit)
{
    std::unique_lock lock(unfinishedMutex);
    return unfinishedEnded.wait_for(lock, limit, [] { return unfinished == 0; });
}

std::optional<QString> rasterise(const std::shared_ptr<QPdfDocument> &pdf, const QList<int> &pages, QPrinter &printer,
                                 qint64 bandBytes, const LWPrintSteps &steps)
{
    printer.setFullPage(true);
    // The caller's printer cannot be left to a band: each is encoded here.
    return paint(pdf, pages, std::shared_ptr<QPagedPaintDevice>(std::shared_ptr<void>(), &printer),
                 std::min(printer.resolution(), maxDPI), bandBytes, steps, false);
}

std::optional<QString> rasterise(const std::shared_ptr<QPdfDocument> &pdf, const QList<int> &pages,
                                 std::shared_ptr<QPagedPaintDevice> device, int dpi, qint64 bandBytes,
                                 const LWPrintSteps &steps)
{
    return paint(pdf, pages, std::move(device), dpi, bandBytes, steps, true);
}

} // namespace LWPrinting
