#pragma once
#include "app/printing.h"

#include <atomic>

struct _http_s;
struct cups_dest_s;
struct cups_option_s;

// The libcups calls that reach the scheduler, as LWCupsBackend makes them: the library's own by
// default, each over the connection it is given and never libcups' default one, which no stop
// reaches; tests hand in stand-ins, so that no test program replaces the library's functions for
// everything else it runs (Qt's print support among them). Every call but connect, close and
// interrupt runs on a thread of its own that may be left behind; the scheduler's status and reason
// are read on that thread right after it.
struct LWCupsCalls {
    // A queue ("name", "instance" or null) with its saved options, or null; freed by freeDests.
    cups_dest_s *(*getNamedDest)(_http_s *http, const char *name, const char *instance);
    void (*freeDests)(int count, cups_dest_s *dests);
    // The scheduler's reason for the last call on this thread that it refused.
    const char *(*lastErrorString)();
    // A connection of its own for every look-up and job, and for a job's cancel another: null when
    // refused, when `*cancel` became non-zero, or after `msec` milliseconds without connecting.
    _http_s *(*connect)(int *cancel, int msec);
    void (*close)(_http_s *http);
    // The new job's id, or 0 when refused. It prints once its document is finished.
    int (*createJob)(_http_s *http, const char *name, const char *title, int count, cups_option_s *options);
    // The job's one document, a PDF: an HTTP status, 100 (continue) while the scheduler takes the
    // bytes; 300 or more is the scheduler's refusal (its reason in lastErrorString).
    int (*startDocument)(_http_s *http, const char *name, int job, const char *title);
    int (*writeData)(_http_s *http, const char *bytes, size_t length);
    // The IPP status of the scheduler's own answer to the document's end, 0 or 1 once it holds the
    // whole document; -1 when no answer came.
    int (*finishDocument)(_http_s *http, const char *name);
    // The same status for cancelling a job (refused once it has printed).
    int (*cancelJob)(_http_s *http, const char *name, int job);
    // Every later wait on `http` (reading, writing) is cut into steps of `seconds`, after each of
    // which `keep` is asked whether to go on waiting (0: give up, the call fails). May be null:
    // the calls then wait as libcups does.
    void (*setTimeout)(_http_s *http, double seconds, int (*keep)(_http_s *http, void *data), void *data);
    // Called from another thread while a call waits on `http`: cuts the connection (kept open until
    // close), so that a wait libcups makes without asking `keep` ends at once. May be null.
    void (*interrupt)(_http_s *http);
    // The IPP status of the scheduler's answer to the last call on this thread, 0 when none came
    // (a call that failed so lost its connection, the scheduler refused nothing). May be null.
    int (*lastError)();
    // The bytes written to `http` that the scheduler has not taken yet, or -1. May be null.
    long (*unsent)(_http_s *http);
    // Whether the scheduler answers a request of no consequence over `http`.
    bool (*ping)(_http_s *http);

    static LWCupsCalls library();
};

// How long LWCupsBackend waits, in seconds: for a scheduler that takes and says nothing, for a
// job's cancel in all, and for the answer to whether the printing system answers.
struct LWCupsLimits {
    double idle = 60, cancel = 0.2, answer = 5;
};

// The system's CUPS scheduler. Pages print at their own size (no scaling); the scheduler turns
// them to the paper. The PDF goes over in pieces and a stop between them cancels the job, whose
// document then never ends: nothing prints. It counts as gone only once the scheduler's own
// answer to the document's end says it holds it all; a stop before that cancels the job as the
// queue still can. No call waits on the scheduler unheard: each runs on a thread of its own, waited
// for in steps that hear the stop, and left behind, its connection cut, when the stop comes; a
// scheduler that takes and says nothing for `idle` seconds in all ends the hand-over as not
// answering, told with how far it got. A job cut off is cancelled over a connection of its own
// within `cancel` seconds; where that fails the answer says the job may still be queued. Without
// a queue, LWPrinting::rasterise draws the pages into a PDF of the printer's paper, which goes
// over the same way once every page is drawn (so a stop while drawing sends nothing); the printer
// itself is never painted on.
class LWCupsBackend final : public LWPrintBackend {
public:
    static constexpr double waitStep = 0.05; // seconds between libcups' looks at a stop
    static constexpr double idleLimit = LWCupsLimits{}.idle;
    static constexpr double cancelLimit = LWCupsLimits{}.cancel;
    using Limits = LWCupsLimits;

    explicit LWCupsBackend(LWCupsCalls calls = LWCupsCalls::library(), Limits limits = {})
        : cups_(calls), limits_(limits)
    {
    }
    LWCupsBackend(const LWCupsBackend &other) : cups_(other.cups_), limits_(other.limits_) {}
    LWCupsBackend &operator=(const LWCupsBackend &other)
    {
        cups_ = other.cups_, limits_ = other.limits_;
        return *this;
    }
    [[nodiscard]] std::unique_ptr<QPrinter> makePrinter() override;
    // Empty also when no scheduler runs (nothing to wait for: the dialog can still print to a file);
    // "The printing system isn't answering." when one takes the connection and says nothing.
    [[nodiscard]] std::optional<QString> answers(const LWPrintSteps &steps) override;
    // A scheduler that answers nothing counts as a queue, and the submit after says so at once.
    [[nodiscard]] std::optional<bool> hasQueue(const QString &printer, const LWPrintSteps &steps) const override;
    [[nodiscard]] std::optional<QString> submit(const LWPrintJob &job, const LWPrintSteps &steps) override;
    [[nodiscard]] std::optional<QString> printRaster(const QByteArray &pdf, const QList<int> &pages,
                                                     QPrinter &printer, const LWPrintOptions &options,
                                                     const LWPrintSteps &steps) override;

private:
    enum class Cancelled { yes, refused, unanswered };
    // Cancels `job` over a connection of its own, waiting at most the cancel limit.
    [[nodiscard]] Cancelled cancel(const QByteArray &queue, int job);

    LWCupsCalls cups_;
    Limits limits_;
    mutable std::atomic<bool> unanswered_{false}; // the last look-up went unanswered
};
