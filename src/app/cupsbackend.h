#pragma once
#include "app/printing.h"

struct _http_s;
struct cups_dest_s;
struct cups_option_s;

// The libcups calls that reach the scheduler, as LWCupsBackend makes them: the library's own by
// default; tests hand in stand-ins, so that no test program replaces the library's functions for
// everything else it runs (Qt's print support among them).
struct LWCupsCalls {
    // A queue ("name", "instance" or null) with its saved options, or null; freed by freeDests.
    cups_dest_s *(*getNamedDest)(_http_s *http, const char *name, const char *instance);
    void (*freeDests)(int count, cups_dest_s *dests);
    // Why the last call on this thread failed.
    const char *(*lastErrorString)();
    // Every look-up and job goes over a connection of its own, whose waits hear a stop (the
    // default one's never do), and a job's cancel over another. Null when refused.
    _http_s *(*connect)();
    void (*close)(_http_s *http);
    // The new job's id, or 0 when refused. It prints once its document is finished.
    int (*createJob)(_http_s *http, const char *name, const char *title, int count, cups_option_s *options);
    // The job's one document, a PDF: libcups' HTTP status, 100 (continue) while the scheduler
    // takes the bytes.
    int (*startDocument)(_http_s *http, const char *name, int job, const char *title);
    int (*writeData)(_http_s *http, const char *bytes, size_t length);
    // libcups' IPP status: 0 or 1 (successful) once the scheduler holds the whole document.
    int (*finishDocument)(_http_s *http, const char *name);
    // The same status for cancelling a job (refused once it has printed).
    int (*cancelJob)(_http_s *http, const char *name, int job);
    // Every later wait on `http` (connection, reading, writing) is cut into steps of `seconds`,
    // after each of which `keep` is asked whether to go on waiting (0: give up, the call fails).
    // May be null: the calls then wait as libcups does.
    void (*setTimeout)(_http_s *http, double seconds, int (*keep)(_http_s *http, void *data), void *data);
    // Called from another thread while a call waits on `http`: cuts the connection (kept open until
    // close), so that a wait libcups makes without asking `keep` ends at once. May be null.
    void (*interrupt)(_http_s *http);
    // libcups' last IPP status on this thread: a call that failed while it still tells the last
    // request's success lost its connection, the scheduler refused nothing. May be null.
    int (*lastError)();

    static LWCupsCalls library();
};

// The system's CUPS scheduler. Pages print at their own size (no scaling); the scheduler turns
// them to the paper. The PDF goes over in pieces and a stop between them cancels the job, whose
// document then never ends: nothing prints. A stop once the scheduler holds the whole document
// cancels the job as the queue still can. No call waits on the scheduler unheard: a stop is heard
// within waitStep even while a scheduler takes nothing, and a scheduler that takes nothing for
// idleLimit ends the job as not answering. A job cut off is cancelled over a connection of its own
// within cancelLimit; where that fails the answer says the job may still be queued. Without a queue, LWPrinting::rasterise draws the pages
// into a PDF of the printer's paper, which goes over the same way once every page is drawn (so a
// stop while drawing sends nothing); the printer itself is never painted on.
class LWCupsBackend final : public LWPrintBackend {
public:
    static constexpr double waitStep = 0.05; // seconds
    static constexpr double idleLimit = 60;
    static constexpr double cancelLimit = 0.2;

    explicit LWCupsBackend(LWCupsCalls calls = LWCupsCalls::library()) : cups_(calls) {}
    [[nodiscard]] std::unique_ptr<QPrinter> makePrinter() override;
    [[nodiscard]] std::optional<bool> hasQueue(const QString &printer, const LWPrintSteps &steps) const override;
    [[nodiscard]] std::optional<QString> submit(const LWPrintJob &job, const LWPrintSteps &steps) override;
    [[nodiscard]] std::optional<QString> printRaster(const QByteArray &pdf, const QList<int> &pages,
                                                     QPrinter &printer, const LWPrintOptions &options,
                                                     const LWPrintSteps &steps) override;

private:
    // Cancels `job` over a connection of its own, waiting at most cancelLimit: whether it went.
    [[nodiscard]] bool cancel(const QByteArray &queue, int job);

    LWCupsCalls cups_;
};
