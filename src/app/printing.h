#pragma once
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPageSize>
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QPagedPaintDevice;
class QPdfDocument;

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

// What a hand-over hears and tells while it runs off the interface thread; any member may be
// empty. Called on the thread that hands the pages over.
struct LWPrintSteps {
    const std::atomic<bool> *stop = nullptr;   // set by Cancel: stop at the next step, sending nothing
    std::function<void(double done)> progress; // how far it got, 0 to 1
    std::function<void()> gone;                // from now on nothing can be stopped

    bool stopped() const { return stop && stop->load(); }
    void advance(double done) const
    {
        if (progress)
            progress(done);
    }
    // These steps with progress reported as the part from `from` to `to` of the whole.
    LWPrintSteps part(double from, double to) const;
};

// Where printed pages leave the machine: every way to a real printer goes through here, so
// that tests can stand in for all of them. makePrinter on the main thread; the other calls on the
// thread that hands a print over, one print at a time.
class LWPrintBackend {
public:
    virtual ~LWPrintBackend() = default;
    // The printer the print dialog starts from: the system's default one.
    [[nodiscard]] virtual std::unique_ptr<QPrinter> makePrinter() = 0;
    // Whether the printing system answers, asked off the interface thread before makePrinter
    // (which asks it there): empty when it does, otherwise what to tell; none when it heard
    // `steps`' stop.
    [[nodiscard]] virtual std::optional<QString> answers(const LWPrintSteps &) { return QString(); }
    // Whether `printer` is a queue that takes the PDF as it is; none when it heard `steps`' stop.
    [[nodiscard]] virtual std::optional<bool> hasQueue(const QString &printer, const LWPrintSteps &steps) const = 0;
    // Hands the job over: empty on success, otherwise the reason it was refused; none when it
    // heard `steps`' stop and nothing will print. A stop it could not act on any more (the
    // pages had gone) still ends in success; before that it calls `steps.gone`.
    [[nodiscard]] virtual std::optional<QString> submit(const LWPrintJob &job, const LWPrintSteps &steps) = 0;
    // For a printer without such a queue: the listed pages of the PDF `pdf` as pictures on
    // `printer`, as the print dialog set it up, with the dialog's `options`. Answers as submit does.
    [[nodiscard]] virtual std::optional<QString> printRaster(const QByteArray &pdf, const QList<int> &pages,
                                                             QPrinter &printer, const LWPrintOptions &options,
                                                             const LWPrintSteps &steps) = 0;
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

// The pages the printer's range selects, 0-based and in order, among `pageCount`: every page
// without a range, none when its range names none of them (pages past the end are no pages).
QList<int> chosenPages(const QPrinter &printer, int pageCount);
// `pages` (0-based, in order, as chosenPages gives them) in the spooler's syntax ("1-2,4");
// empty when they are all `pageCount` pages.
QString pageRanges(const QList<int> &pages, int pageCount);
// The options Qt's own engine sends with a page drawn on `printer` (its paper, sides and
// orientation) over the dialog's other `options`: those of a job of rasterised pages.
LWPrintOptions paperOptions(const QPrinter &printer, const LWPrintOptions &options);

// `bytes` read as a PDF, kept for as long as anyone draws from it (a band drawn for a print
// that was stopped ends on its own), then freed on a thread of its own.
[[nodiscard]] std::shared_ptr<QPdfDocument> openPdf(const QByteArray &bytes);

// The printer without a spooler that takes PDF: each listed page of `pdf` rendered at the
// `device`'s resolution `dpi` (at most maxDPI) in bands of at most `bandBytes`, one sheet of its
// paper per page, at its own size, centred and turned when its orientation differs from the
// paper's. Never scaled: what exceeds the paper is cut off. A page over maxPagePixels fails before
// anything is printed. Empty on success, otherwise why it failed. Progress goes to `steps` band by
// band; a stop is heard within a tenth of a second, also while a band is drawn or encoded into the
// device (both off the calling thread; such work is left to end on its own, counted as
// Unfinished), and gives none: the device is then ended on what it holds, so give it a file, not a
// real printer. `device` is held, with what it writes to (an aliasing pointer), until the last
// band left behind ends.
[[nodiscard]] std::optional<QString> rasterise(const std::shared_ptr<QPdfDocument> &pdf, const QList<int> &pages,
                                               std::shared_ptr<QPagedPaintDevice> device, int dpi,
                                               qint64 bandBytes = maxBandBytes, const LWPrintSteps &steps = {});
// The same on `printer`, whose whole paper is used; each band is encoded on the calling thread, so
// a stop is not heard while one is.
[[nodiscard]] std::optional<QString> rasterise(const std::shared_ptr<QPdfDocument> &pdf, const QList<int> &pages,
                                               QPrinter &printer, qint64 bandBytes = maxBandBytes,
                                               const LWPrintSteps &steps = {});

// Counts work that may outlive whoever started it (a hand-over nobody waits for any more, a band
// drawn for a print that was stopped), so that the program can wait for it before it ends.
class Unfinished {
public:
    Unfinished();
    ~Unfinished();
    Unfinished(const Unfinished &) = delete;
    Unfinished &operator=(const Unfinished &) = delete;
    // Waits at most `limit` until no such work is left: whether none is.
    [[nodiscard]] static bool waitForAll(std::chrono::milliseconds limit);
};

} // namespace LWPrinting
