#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class QPdfDocument;
class QPrinter;

// One print job as the spooler receives it: the exported PDF, byte for byte.
struct LWPrintJob {
    QString printer;    // the queue's name, as the print dialog chose it
    QString title;      // the design's name
    QByteArray pdf;
    int copies = 1;
    QString pageRanges; // "1-2,4" (1-based); empty for every page

    friend bool operator==(const LWPrintJob &, const LWPrintJob &) = default;
};

// Where printed pages leave the machine: every way to a real printer goes through here, so
// that tests can stand in for all of them. Main thread only.
class LWPrintBackend {
public:
    virtual ~LWPrintBackend() = default;
    // Whether `printer` is a queue that takes the PDF as it is.
    [[nodiscard]] virtual bool hasQueue(const QString &printer) const = 0;
    // Hands the job over; empty on success, otherwise the reason it was refused.
    [[nodiscard]] virtual QString submit(const LWPrintJob &job) = 0;
    // For a printer without such a queue: the listed pages of `pdf` as pictures on `printer`,
    // as the print dialog set it up. Empty on success, otherwise why it failed.
    [[nodiscard]] virtual QString printRaster(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer) = 0;
};

// The system's CUPS scheduler. Pages print at their own size (no scaling); the scheduler turns
// them to the paper. Without a queue, LWPrinting::rasterise on the printer itself.
class LWCupsBackend final : public LWPrintBackend {
public:
    [[nodiscard]] bool hasQueue(const QString &printer) const override;
    [[nodiscard]] QString submit(const LWPrintJob &job) override;
    [[nodiscard]] QString printRaster(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer) override;
};

namespace LWPrinting {

inline constexpr int maxDPI = 600;
inline constexpr qint64 maxBandBytes = qint64(64) << 20;

// The pages the printer's range selects, 0-based and in order, among `pageCount`; every page
// when it selects none of them.
QList<int> chosenPages(const QPrinter &printer, int pageCount);
// The printer's page range in the spooler's syntax; empty when every page prints.
QString pageRanges(const QPrinter &printer);

// The printer without a spooler that takes PDF: each listed page of `pdf` rendered at the
// printer's resolution (at most maxDPI) in bands of at most `bandBytes`, one sheet of paper per
// page, at its own size, centred and turned when its orientation differs from the paper's. Never
// scaled: what exceeds the paper is cut off. Empty on success, otherwise why it failed.
[[nodiscard]] QString rasterise(QPdfDocument &pdf, const QList<int> &pages, QPrinter &printer,
                                qint64 bandBytes = maxBandBytes);

} // namespace LWPrinting
