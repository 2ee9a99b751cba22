#pragma once
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPageSize>
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <memory>

class QPdfDocument;
struct _http_s;
struct cups_dest_s;
struct cups_option_s;

// A print dialog's choices as CUPS job options, by option name.
using LWPrintOptions = QMap<QString, QString>;

// One print job as the spooler receives it: the exported PDF, byte for byte.
struct LWPrintJob {
    QString printer;    // the queue's name, as the print dialog chose it
    QString title;      // the design's name
    QByteArray pdf;
    int copies = 1;
    QString pageRanges; // "1-2,4" (1-based); empty for every page
    // The dialog's other choices (LWPrinting::jobOptions); they override the queue's saved
    // options, and what the dialog left alone is absent so that the queue's own setting holds.
    LWPrintOptions options;

    friend bool operator==(const LWPrintJob &, const LWPrintJob &) = default;
};

// Where printed pages leave the machine: every way to a real printer goes through here, so
// that tests can stand in for all of them. makePrinter on the main thread; the other calls on the
// thread that hands a print over, one print at a time.
class LWPrintBackend {
public:
    virtual ~LWPrintBackend() = default;
    // The printer the print dialog starts from: the system's default one.
    [[nodiscard]] virtual std::unique_ptr<QPrinter> makePrinter() = 0;
    // Whether `printer` is a queue that takes the PDF as it is.
    [[nodiscard]] virtual bool hasQueue(const QString &printer) const = 0;
    // Hands the job over; empty on success, otherwise the reason it was refused.
    [[nodiscard]] virtual QString submit(const LWPrintJob &job) = 0;
    // For a printer without such a queue: the listed pages of `pdf` as pictures on `printer`,
    // as the print dialog set it up, with the dialog's `options`. Empty on success, otherwise
    // why it failed.
    [[nodiscard]] virtual QString printRaster(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer,
                                              const LWPrintOptions &options) = 0;
};

// The libcups calls that reach the scheduler, as LWCupsBackend makes them: the library's own by
// default; tests hand in stand-ins, so that no test program replaces the library's functions for
// everything else it runs (Qt's print support among them).
struct LWCupsCalls {
    // A queue ("name", "instance" or null) with its saved options, or null; freed by freeDests.
    cups_dest_s *(*getNamedDest)(_http_s *http, const char *name, const char *instance);
    void (*freeDests)(int count, cups_dest_s *dests);
    // The job's id, or 0 when refused (then lastErrorString says why).
    int (*printFile)(const char *name, const char *file, const char *title, int count,
                     cups_option_s *options);
    const char *(*lastErrorString)();

    static LWCupsCalls library();
};

// The system's CUPS scheduler. Pages print at their own size (no scaling); the scheduler turns
// them to the paper. Without a queue, LWPrinting::rasterise on the printer itself.
class LWCupsBackend final : public LWPrintBackend {
public:
    explicit LWCupsBackend(LWCupsCalls calls = LWCupsCalls::library()) : cups_(calls) {}
    [[nodiscard]] std::unique_ptr<QPrinter> makePrinter() override;
    [[nodiscard]] bool hasQueue(const QString &printer) const override;
    [[nodiscard]] QString submit(const LWPrintJob &job) override;
    [[nodiscard]] QString printRaster(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer,
                                      const LWPrintOptions &options) override;

private:
    LWCupsCalls cups_;
};

namespace LWPrinting {

inline constexpr int maxDPI = 600;
inline constexpr qint64 maxBandBytes = qint64(64) << 20;
// Largest page picture rasterise makes: a 36-inch square page (the largest custom size) at
// maxDPI fits; a bigger page is refused at once rather than drawn for minutes.
inline constexpr qint64 maxPagePixels = 500'000'000;

// What the print dialog can set on a printer besides the pages.
struct Settings {
    QString printer;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QPageSize paper;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPrinter::ColorMode color = QPrinter::Color;
    QPrinter::PageOrder order = QPrinter::FirstPageFirst;
    int copies = 1;
    bool collate = true;
    QStringList cupsOptions; // what the dialog itself prepared for CUPS: name, value, name, value ...
};
Settings settings(const QPrinter &printer);

// The choices in `now` as CUPS options: first the ones the dialog prepared itself (but its
// "page-ranges": the pages go as LWPrintJob::pageRanges or are picked before), then each
// setting that differs from `before` as "sides", "media", "print-color-mode" or "outputorder",
// and with several copies the collation as "multiple-document-handling".
LWPrintOptions jobOptions(const Settings &now, const Settings &before);
// The same for `printer` after the dialog; `before` is what it held when the dialog opened.
// When the dialog chose another printer, that printer's own defaults stand in for `before`.
LWPrintOptions jobOptions(const QPrinter &printer, const Settings &before);

// The pages the printer's range selects, 0-based and in order, among `pageCount`; every page
// when it selects none of them.
QList<int> chosenPages(const QPrinter &printer, int pageCount);
// The printer's page range in the spooler's syntax; empty when every page prints.
QString pageRanges(const QPrinter &printer);

// The printer without a spooler that takes PDF: each listed page of `pdf` rendered at the
// printer's resolution (at most maxDPI) in bands of at most `bandBytes`, one sheet of paper per
// page, at its own size, centred and turned when its orientation differs from the paper's. Never
// scaled: what exceeds the paper is cut off. A page over maxPagePixels fails before anything is
// printed. Empty on success, otherwise why it failed.
[[nodiscard]] QString rasterise(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer,
                                qint64 bandBytes = maxBandBytes);

} // namespace LWPrinting
