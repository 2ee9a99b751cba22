#include "app/cupsbackend.h"

#include "app/cupsline.h"

#include <QPrinter>
#include <algorithm>
#include <chrono>
#include <utility>

#include <cups/cups.h>

namespace {

using Clock = LWCupsLine::Clock;
using Options = QList<std::pair<QByteArray, QByteArray>>;

Clock::time_point after(double seconds)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// The named queue ("queue" or "queue/instance", as Qt names them), asked over the line: its saved
// options, or none when there is no such queue or the line did not come back.
struct Found {
    bool queue = false;
    Options saved;
};
std::optional<Found> lookUp(LWCupsLine &line, const LWCupsCalls &cups, const QString &printer,
                            const LWPrintSteps &steps)
{
    const QByteArray name = printer.section(u'/', 0, 0).toUtf8();
    const QByteArray instance = printer.section(u'/', 1).toUtf8();
    const auto found = std::make_shared<Options>();
    const std::optional<LWCupsLine::Said> said = line.run(
        [cups, name, instance, found](_http_s *http) -> long {
            cups_dest_t *dest =
                cups.getNamedDest(http, name.constData(), instance.isEmpty() ? nullptr : instance.constData());
            if (!dest)
                return 0;
            for (int i = 0; i < dest->num_options; ++i)
                found->emplace_back(dest->options[i].name, dest->options[i].value);
            cups.freeDests(1, dest);
            return 1;
        },
        steps);
    if (!said)
        return std::nullopt;
    return Found{said->value != 0, *found};
}

const QString noJobYet = QStringLiteral("The printing system stopped answering before the job was made; nothing "
                                        "was sent.");

} // namespace

std::unique_ptr<QPrinter> LWCupsBackend::makePrinter() { return std::make_unique<QPrinter>(QPrinter::HighResolution); }

std::optional<QString> LWCupsBackend::answers(const LWPrintSteps &steps)
{
    LWCupsLine line(cups_, limits_.answer, after(limits_.answer));
    const QString mute = QStringLiteral("The printing system isn't answering.");
    if (!line.open(steps))
        // Refused at once: no scheduler runs, and Qt's look-ups will not wait on one either.
        return line.ended() == LWCupsLine::Ended::stopped ? std::nullopt
               : line.ended() == LWCupsLine::Ended::answered ? std::optional<QString>(QString())
                                                              : std::optional<QString>(mute);
    const LWCupsCalls cups = cups_;
    const std::optional<LWCupsLine::Said> said = line.run([cups](_http_s *http) -> long { return !cups.ping || cups.ping(http); },
                                                          steps);
    if (!said)
        return line.ended() == LWCupsLine::Ended::stopped ? std::nullopt : std::optional<QString>(mute);
    return said->value ? QString() : mute;
}

std::optional<bool> LWCupsBackend::hasQueue(const QString &printer, const LWPrintSteps &steps) const
{
    unanswered_ = false;
    if (printer.isEmpty())
        return false;
    LWCupsLine line(cups_, limits_.idle);
    std::optional<Found> found;
    if (line.open(steps))
        found = lookUp(line, cups_, printer, steps);
    if (line.ended() == LWCupsLine::Ended::stopped)
        return std::nullopt;
    if (line.ended() != LWCupsLine::Ended::answered || line.silent()) {
        unanswered_ = true; // told by submit, without pages drawn first
        return true;
    }
    return found && found->queue;
}

std::optional<QString> LWCupsBackend::submit(const LWPrintJob &job, const LWPrintSteps &steps)
{
    if (steps.stopped())
        return std::nullopt;
    if (unanswered_.exchange(false))
        return noJobYet;
    const QByteArray name = job.printer.section(u'/', 0, 0).toUtf8();
    const QByteArray title = job.title.toUtf8();
    LWCupsLine line(cups_, limits_.idle);
    // Why the line did not come back, by how far the hand-over got; none for a heard stop.
    enum class Stage { making, sending, confirming };
    const auto unanswered = [&line](Stage stage) -> std::optional<QString> {
        if (line.ended() == LWCupsLine::Ended::stopped)
            return std::nullopt;
        switch (stage) {
        case Stage::making:
            return noJobYet;
        case Stage::sending:
            return QStringLiteral("The printing system stopped answering while the pages were being sent.");
        case Stage::confirming:
            break;
        }
        return QStringLiteral("The printing system stopped answering before it confirmed that it had the pages.");
    };
    const QString lost = QStringLiteral("The connection to the printing system was lost while sending the pages.");
    const auto refused = [](const LWCupsLine::Said &said) {
        return QStringLiteral("The printer refused the job: ") + QString::fromUtf8(said.reason);
    };
    // A call that failed with the scheduler's answer is its refusal; without one, the connection
    // was lost.
    const auto failed = [&](const LWCupsLine::Said &said) {
        return said.status > IPP_STATUS_OK_EVENTS_COMPLETE ? refused(said) : lost;
    };

    if (!line.open(steps)) {
        if (line.ended() != LWCupsLine::Ended::answered)
            return unanswered(Stage::making);
        return QStringLiteral("The printing system couldn't be reached.");
    }
    // An instance's saved options first; the dialog's choices override them.
    const std::optional<Found> found = lookUp(line, cups_, job.printer, steps);
    if (!found)
        return unanswered(Stage::making);
    Options options = found->saved;
    for (auto it = job.options.cbegin(); it != job.options.cend(); ++it)
        options.emplace_back(it.key().toUtf8(), it.value().toUtf8());
    options.emplace_back("copies", QByteArray::number(std::max(1, job.copies)));
    if (!job.pageRanges.isEmpty())
        options.emplace_back("page-ranges", job.pageRanges.toUtf8());
    options.emplace_back("print-scaling", "none");

    const LWCupsCalls cups = cups_;
    const std::optional<LWCupsLine::Said> made = line.run(
        [cups, name, title, options](_http_s *http) -> long {
            int count = 0;
            cups_option_t *list = nullptr;
            for (const auto &[key, value] : options)
                count = cupsAddOption(key.constData(), value.constData(), count, &list);
            const int id = cups.createJob(http, name.constData(), title.constData(), count, list);
            cupsFreeOptions(count, list);
            return id;
        },
        steps);
    if (!made || (made->value == 0 && line.silent()))
        return unanswered(Stage::making);
    if (made->value == 0)
        return failed(*made);
    const int id = int(made->value);

    // With its document unfinished the job never prints: the line is left, then the job is
    // cancelled over a connection of its own so that it leaves the queue. Answers `answer`, or,
    // where the queue could not be told, that the job may still be there.
    const auto drop = [&](std::optional<QString> answer) -> std::optional<QString> {
        line.drop();
        if (cancel(name, id) == Cancelled::yes)
            return answer;
        const QString queued = QStringLiteral("The job may still be in the printer\u2019s queue: the printing "
                                              "system couldn\u2019t be reached to remove it.");
        if (!answer)
            return QStringLiteral("Printing was cancelled. ") + queued;
        return *answer + (answer->endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ")) + queued;
    };
    if (steps.stopped())
        return drop(std::nullopt);
    const std::optional<LWCupsLine::Said> begun = line.run(
        [cups, name, id, title](_http_s *http) -> long {
            return cups.startDocument(http, name.constData(), id, title.constData());
        },
        steps, false);
    if (!begun || (begun->value != HTTP_STATUS_CONTINUE && line.silent()))
        return drop(unanswered(Stage::sending));
    if (begun->value != HTTP_STATUS_CONTINUE)
        return drop(failed(*begun));
    constexpr qsizetype piece = qsizetype(1) << 18;
    const QByteArray pdf = job.pdf; // shared with a write left behind
    for (qsizetype sent = 0; sent < pdf.size(); sent += piece) {
        if (steps.stopped())
            return drop(std::nullopt);
        const qsizetype length = std::min(piece, pdf.size() - sent);
        const std::optional<LWCupsLine::Said> wrote = line.run(
            [cups, pdf, sent, length](_http_s *http) -> long {
                return cups.writeData(http, pdf.constData() + sent, size_t(length));
            },
            steps, false);
        if (!wrote || (wrote->value != HTTP_STATUS_CONTINUE && line.silent()))
            return drop(unanswered(Stage::sending));
        if (wrote->value != HTTP_STATUS_CONTINUE)
            return drop(failed(*wrote)); // a refusal answered before the write that failed too
        line.wrote(long(length));
        steps.advance(double(sent + length) / double(pdf.size()));
    }
    if (steps.stopped())
        return drop(std::nullopt);
    const std::optional<LWCupsLine::Said> finished = line.run(
        [cups, name](_http_s *http) -> long { return cups.finishDocument(http, name.constData()); }, steps);
    if (!finished || (finished->value < 0 && line.silent())) {
        if (line.ended() != LWCupsLine::Ended::stopped)
            return drop(unanswered(Stage::confirming));
        // Escape while the scheduler confirms: the job is cancelled while the queue still can; one
        // it refuses to cancel has printed already.
        line.drop();
        switch (cancel(name, id)) {
        case Cancelled::yes:
            return std::nullopt;
        case Cancelled::refused:
            break;
        case Cancelled::unanswered:
            return QStringLiteral("Printing was cancelled. The job may still be in the printer\u2019s queue: the "
                                  "printing system couldn\u2019t be reached to remove it.");
        }
    } else if (finished->value < 0) {
        return drop(QStringLiteral("The connection to the printing system was lost before it confirmed that it had "
                                   "the pages."));
    } else if (finished->value > IPP_STATUS_OK_CONFLICTING) {
        return drop(refused(*finished));
    } else if (steps.stopped()) {
        // The scheduler has every page; a stop that came meanwhile cancels the job while the queue
        // still can (before it has printed).
        line.drop();
        if (cancel(name, id) == Cancelled::yes)
            return std::nullopt;
    }
    if (steps.gone)
        steps.gone();
    return QString();
}

LWCupsBackend::Cancelled LWCupsBackend::cancel(const QByteArray &queue, int job)
{
    // Within the limit in all, the connection's making included; heard by nothing else.
    LWCupsLine line(cups_, limits_.cancel, after(limits_.cancel));
    if (!line.open({}))
        return Cancelled::unanswered;
    const LWCupsCalls cups = cups_;
    const std::optional<LWCupsLine::Said> said = line.run(
        [cups, queue, job](_http_s *http) -> long { return cups.cancelJob(http, queue.constData(), job); }, {});
    if (!said)
        return Cancelled::unanswered;
    if (said->value <= IPP_STATUS_OK_CONFLICTING)
        return Cancelled::yes;
    return said->status > 0 ? Cancelled::refused : Cancelled::unanswered;
}
