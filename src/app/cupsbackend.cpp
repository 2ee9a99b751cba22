#include "app/cupsbackend.h"

#include "app/offthread.h"

#include <QScopeGuard>
#include <algorithm>
#include <chrono>
#include <utility>

#include <cups/cups.h>
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

