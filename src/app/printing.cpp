#include "app/printing.h"

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
#include <QScopeGuard>
#include <QTemporaryFile>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include <cups/cups.h>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The named queue ("queue" or "queue/instance", as Qt names them) asked over `http`, or null. Free
// with freeDests.
cups_dest_t *namedDest(const LWCupsCalls &cups, _http_s *http, const QString &printer)
{
    if (printer.isEmpty())
        return nullptr;
    const QByteArray name = printer.section(u'/', 0, 0).toUtf8();
    const QByteArray instance = printer.section(u'/', 1).toUtf8();
    return cups.getNamedDest(http, name.constData(), instance.isEmpty() ? nullptr : instance.constData());
}

// The engine property through which Qt's print dialog hands CUPS options to the printer (name,
// value, name, value ...); Qt's CUPS engine sends them with the job. Not public in Qt.
constexpr auto cupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

using Clock = std::chrono::steady_clock;

// What a connection's waits hear: the stop, and how long the scheduler has taken nothing.
struct Waiting {
    const LWPrintSteps *steps = nullptr;
    Clock::time_point moved = Clock::now();
    Clock::time_point deadline = Clock::time_point::max();
    bool stopped = false, idle = false;

    static int keep(http_t *, void *data)
    {
        auto *w = static_cast<Waiting *>(data);
        const Clock::time_point now = Clock::now();
        w->stopped = w->stopped || (w->steps && w->steps->stopped());
        w->idle = now - w->moved > std::chrono::duration<double>(LWCupsBackend::idleLimit) || now > w->deadline;
        return w->stopped || w->idle ? 0 : 1;
    }
};

// `work` on a thread of its own, waited for while `steps`' stop is heard: none when the stop came
// first, and the work then ends by itself, unwaited for, with what it holds and makes. Every
// pdfium call of a print goes this way: pdfium cannot be interrupted, and Qt PDF runs one call at
// a time in the whole program, so any call may wait for a band another print left behind.
template <typename T>
std::optional<T> offThread(std::function<T()> work, const LWPrintSteps &steps)
{
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<T> value;
        bool abandoned = false;
    };
    const auto answer = std::make_shared<Answer>();
    std::thread([answer, work = std::move(work), counted = std::make_unique<LWPrinting::Unfinished>()]() mutable {
        std::optional<T> value = work();
        work = {};
        {
            const std::lock_guard lock(answer->mutex);
            if (!answer->abandoned) {
                answer->value = std::move(value);
                answer->ready.notify_all();
            }
        }
        value.reset();
        counted.reset(); // last: what the work held went first
    }).detach();
    std::unique_lock lock(answer->mutex);
    while (!answer->ready.wait_for(lock, std::chrono::milliseconds(50), [&] { return answer->value.has_value(); }))
        if (steps.stopped()) {
            answer->abandoned = true;
            return std::nullopt;
        }
    return std::move(answer->value);
}

// Cuts `http` (LWCupsCalls::interrupt) once `steps`' stop is heard or `deadline` passes, until it
// is destroyed, before the connection closes: libcups makes some waits without asking `keep` (a
// second for a "100 Continue").
class Cutter {
public:
    Cutter(const LWCupsCalls &cups, _http_s *http, const LWPrintSteps *steps, Clock::time_point deadline)
    {
        if (!cups.interrupt)
            return;
        thread_ = std::thread([this, interrupt = cups.interrupt, http, steps, deadline] {
            std::unique_lock lock(mutex_);
            while (!done_) {
                if ((steps && steps->stopped()) || Clock::now() >= deadline) {
                    interrupt(http);
                    return;
                }
                ended_.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(10)));
            }
        });
    }
    ~Cutter()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
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

LWCupsCalls LWCupsCalls::library()
{
    return {cupsGetNamedDest,
            cupsFreeDests,
            cupsLastErrorString,
            [] {
                return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000,
                                    nullptr);
            },
            httpClose,
            cupsCreateJob,
            [](http_t *http, const char *name, int job, const char *title) {
                return int(cupsStartDocument(http, name, job, title, CUPS_FORMAT_PDF, 1));
            },
            [](http_t *http, const char *bytes, size_t length) {
                return int(cupsWriteRequestData(http, bytes, length));
            },
            [](http_t *http, const char *name) { return int(cupsFinishDocument(http, name)); },
            [](http_t *http, const char *name, int job) { return int(cupsCancelJob2(http, name, job, 0)); },
            httpSetTimeout,
            [](http_t *http) { ::shutdown(httpGetFd(http), SHUT_RDWR); },
            [] { return int(cupsLastError()); }};
}

std::unique_ptr<QPrinter> LWCupsBackend::makePrinter() { return std::make_unique<QPrinter>(QPrinter::HighResolution); }

std::optional<bool> LWCupsBackend::hasQueue(const QString &printer, const LWPrintSteps &steps) const
{
    // On a thread of its own, over a connection of its own whose waits hear the stop: a look-up
    // left behind ends within a step, and libcups' own waits past it are not waited for.
    enum class Found { queue, none, unanswered };
    if (printer.isEmpty())
        return false;
    const auto quit = std::make_shared<std::atomic<bool>>(false);
    const std::optional<Found> found = offThread<Found>(
        [cups = cups_, printer, quit] {
            LWPrintSteps heard;
            heard.stop = quit.get();
            Waiting waiting{&heard};
            _http_s *http = cups.connect();
            if (!http)
                return Found::none;
            if (cups.setTimeout)
                cups.setTimeout(http, waitStep, &Waiting::keep, &waiting);
            cups_dest_t *dest = namedDest(cups, http, printer);
            cups.freeDests(dest ? 1 : 0, dest);
            cups.close(http);
            return dest ? Found::queue : waiting.idle ? Found::unanswered : Found::none;
        },
        steps);
    if (!found)
        *quit = true;
    // A scheduler that stopped answering is told so by submit, without pages drawn first.
    return found ? std::optional<bool>(*found != Found::none) : std::nullopt;
}

std::optional<QString> LWCupsBackend::submit(const LWPrintJob &job, const LWPrintSteps &steps)
{
    if (steps.stopped())
        return std::nullopt;
    Waiting waiting{&steps};
    // A call that failed while the scheduler took nothing, or over a connection gone, is told so;
    // libcups' last error then names no reason of the scheduler's.
    const auto lost = [&waiting] {
        return waiting.idle ? QStringLiteral("The printing system stopped answering while the pages were being sent.")
                            : QStringLiteral("The connection to the printing system was lost while sending the pages.");
    };
    _http_s *http = cups_.connect();
    if (!http)
        return QStringLiteral("The printing system couldn't be reached.");
    const auto closing = qScopeGuard([&] {
        if (http)
            cups_.close(http);
    });
    if (cups_.setTimeout)
        cups_.setTimeout(http, waitStep, &Waiting::keep, &waiting);
    std::optional<Cutter> cutter(std::in_place, cups_, http, &steps, Clock::time_point::max());
    // An instance's saved options first; the dialog's choices override them.
    int count = 0;
    cups_option_t *options = nullptr;
    if (cups_dest_t *dest = namedDest(cups_, http, job.printer)) {
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
    const auto freeing = qScopeGuard([&] { cupsFreeOptions(count, options); });

    const QByteArray name = job.printer.section(u'/', 0, 0).toUtf8();
    const QByteArray title = job.title.toUtf8();
    const auto refused = [this] {
        return QStringLiteral("The printer refused the job: ") + QString::fromUtf8(cups_.lastErrorString());
    };
    // Why a call failed: none for a heard stop; a refusal only where libcups names one of the
    // scheduler's (it still tells the last request's success over a connection gone).
    const auto why = [&](bool connection) -> std::optional<QString> {
        if (waiting.stopped || steps.stopped())
            return std::nullopt;
        const bool refusal = !cups_.lastError || cups_.lastError() > IPP_STATUS_OK_EVENTS_COMPLETE;
        return connection || waiting.idle || !refusal ? lost() : refused();
    };
    if (waiting.stopped || steps.stopped())
        return std::nullopt;
    const int id = cups_.createJob(http, name.constData(), title.constData(), count, options);
    if (id == 0)
        return why(false);
    // With its document unfinished the job never prints: the upload is cut off, then the job is
    // cancelled over a connection of its own so that it leaves the queue. Answers `answer`, or,
    // where the queue could not be told, that the job may still be there.
    const auto hangUp = [&] {
        cutter.reset(); // before the connection it may cut goes
        cups_.close(std::exchange(http, nullptr));
    };
    const auto drop = [&](std::optional<QString> answer) -> std::optional<QString> {
        hangUp();
        if (cancel(name, id))
            return answer;
        const QString queued = QStringLiteral("The job may still be in the printer\u2019s queue: the printing "
                                              "system couldn\u2019t be reached to remove it.");
        if (!answer)
            return QStringLiteral("Printing was cancelled. ") + queued;
        return *answer + (answer->endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ")) + queued;
    };
    const auto failed = [&](bool connection) { return drop(why(connection)); };
    if (steps.stopped())
        return drop(std::nullopt);
    waiting.moved = Clock::now();
    if (cups_.startDocument(http, name.constData(), id, title.constData()) != HTTP_STATUS_CONTINUE)
        return failed(false);
    constexpr qsizetype piece = qsizetype(1) << 18;
    for (qsizetype sent = 0; sent < job.pdf.size(); sent += piece) {
        if (steps.stopped())
            return drop(std::nullopt);
        const qsizetype length = std::min(piece, job.pdf.size() - sent);
        waiting.moved = Clock::now();
        if (cups_.writeData(http, job.pdf.constData() + sent, size_t(length)) != HTTP_STATUS_CONTINUE)
            return failed(true);
        steps.advance(double(sent + length) / double(job.pdf.size()));
    }
    if (steps.stopped())
        return drop(std::nullopt);
    waiting.moved = Clock::now();
    if (cups_.finishDocument(http, name.constData()) > IPP_STATUS_OK_CONFLICTING)
        return failed(false);
    // The scheduler has every page; a stop that came meanwhile cancels the job while the queue
    // still can (before it has printed).
    if (steps.stopped()) {
        hangUp();
        if (cancel(name, id))
            return std::nullopt;
    }
    if (steps.gone)
        steps.gone();
    return QString();
}

bool LWCupsBackend::cancel(const QByteArray &queue, int job)
{
    _http_s *http = cups_.connect();
    if (!http)
        return false;
    Waiting waiting;
    waiting.deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(cancelLimit));
    if (cups_.setTimeout)
        cups_.setTimeout(http, waitStep, &Waiting::keep, &waiting);
    std::optional<Cutter> cutter(std::in_place, cups_, http, nullptr, waiting.deadline);
    const bool cancelled = cups_.cancelJob(http, queue.constData(), job) <= IPP_STATUS_OK_CONFLICTING;
    cutter.reset();
    cups_.close(http);
    return cancelled;
}

namespace {

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

std::optional<QString> LWCupsBackend::printRaster(const QByteArray &pdf, const QList<int> &pages,
                                                  QPrinter &printer, const LWPrintOptions &options,
                                                  const LWPrintSteps &steps)
{
    // The printer's paper as a PDF of its own: what Qt's engine would spool, but sent only when
    // whole and written without a fault.
    QTemporaryFile file;
    if (!file.open())
        return QStringLiteral("The print file couldn't be written: ") + file.errorString();
    // Drawing takes nearly all the time; the upload of what was drawn the rest.
    constexpr double drawn = 0.9;
    {
        CheckedFile out(file);
        QPdfWriter paper(&out);
        QPageLayout layout = printer.pageLayout();
        layout.setMargins(QMarginsF());
        layout.setMinimumMargins(QMarginsF());
        paper.setPageLayout(layout);
        paper.setResolution(printer.resolution());
        paper.setTitle(printer.docName());
        paper.setCreator(printer.creator());
        const std::optional<std::shared_ptr<QPdfDocument>> document =
            offThread<std::shared_ptr<QPdfDocument>>([pdf] { return LWPrinting::openPdf(pdf); }, steps);
        if (!document)
            return std::nullopt;
        const std::optional<QString> painted =
            LWPrinting::rasterise(*document, pages, paper, std::min(printer.resolution(), LWPrinting::maxDPI),
                                  LWPrinting::maxBandBytes, steps.part(0, drawn));
        if (!painted || !painted->isEmpty())
            return painted;
        if (!out.failure().isEmpty())
            return QStringLiteral("The print file couldn't be written: ") + out.failure();
    }
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

// One page at its own size, its centre on the paper's centre, in points. False when `steps`
// stopped it.
bool drawPage(const std::shared_ptr<QPdfDocument> &pdf, int index, QSizeF page, QPainter &p, QSizeF paper,
              double dpi, qint64 bandBytes, const LWPrintSteps &steps)
{
    const QSize pixels(std::max(1, int(std::lround(page.width() * dpi / 72))),
                       std::max(1, int(std::lround(page.height() * dpi / 72))));
    p.save();
    const auto restoring = qScopeGuard([&p] { p.restore(); });
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
        const std::optional<QImage> band = offThread<QImage>(
            [pdf, index, size = QSize(pixels.width(), height), options] { return pdf->render(index, size, options); },
            steps);
        if (!band)
            return false;
        p.drawImage(QPoint(0, top), *band);
        steps.advance(double(top + height) / pixels.height());
    }
    return true;
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
    return rasterise(pdf, pages, printer, std::min(printer.resolution(), maxDPI), bandBytes, steps);
}

std::optional<QString> rasterise(const std::shared_ptr<QPdfDocument> &pdf, const QList<int> &pages,
                                 QPagedPaintDevice &device, int dpi, qint64 bandBytes, const LWPrintSteps &steps)
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
    QPainter p;
    if (!p.begin(&device))
        return QStringLiteral("The printer couldn't be started.");
    // Painter units: points from the paper's top-left corner.
    const double resolution = device.logicalDpiX();
    p.scale(resolution / 72.0, resolution / 72.0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF paper = device.pageLayout().fullRect(QPageLayout::Point).size();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device.newPage())
            return QStringLiteral("The printer refused a page.");
        if (!drawPage(pdf, pages[i], sizes->at(i), p, paper, dpi, bandBytes,
                      steps.part(double(i) / pages.size(), double(i + 1) / pages.size())))
            return std::nullopt;
    }
    if (!p.end())
        return QStringLiteral("The printer couldn't finish the job.");
    return QString();
}

} // namespace LWPrinting
