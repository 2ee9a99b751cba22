#pragma once
#include "diagnostics/testrun.h"
#include "templates/template.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The image-writing command-line modes: "--lw-contact-sheets <folder>", "--lw-contact-sheet
// <file>" and "--lw-snapshot <folder>" (with "--only <selection>" anywhere). They run instead of
// the window, on the main thread, after the bundled fonts are registered; each prints one line
// per file on standard output (or the sink given) and nothing on standard error.
namespace LWSnapshot
{

// What the arguments ask for: the first option of the table that has a value.
struct Request {
    enum class Mode { contactSheets, contactSheet, snapshot };
    Mode mode = Mode::contactSheets;
    QString path;                // the argument after the option, unchanged (it may begin "--")
    std::optional<QString> only; // snapshot: the argument after the first "--only", if any
    friend bool operator==(const Request &, const Request &) = default;
};

// The one option table. Options match whole arguments exactly; an option that is the last
// argument has no value and is skipped, so a later option may still apply.
[[nodiscard]] std::optional<Request> request(const QStringList &args);

// The snapshot mode's writers: sample renders of templates (folder, selection), the icon sheet
// (its file) and the interface screenshots (folder). Each returns the absolute paths of the
// files it could not make (no bitmap, no PNG data or a failed write); a writer left empty is
// skipped.
struct SnapshotWriters {
    std::function<QStringList(const QString &folder, const std::optional<QString> &only)> samples;
    std::function<QStringList(const QString &file)> iconSheet;
    std::function<QStringList(const QString &folder)> screens;
};
// The writers the program uses (snapshotwriters.cpp: new writers join there).
SnapshotWriters snapshotWriters();

// Acts on request(args) (the full list, program path first): none when no option applies, else
// the exit status. Raises VELKTestFlags::running before any work and leaves it raised. Contact
// sheets: 0 when all four were written, else 1; one sheet: likewise. Snapshot: creates the folder
// with its parents (a failure is ignored), runs the writers, prints "Could not write <path>" for
// every file not made, then "Snapshots written to <folder>" and 0 only when none failed, else 1.
// Relative paths are taken from the current folder and printed absolute.
[[nodiscard]] std::optional<int> handle(const QStringList &args, const LWReportSink &out = LWStdoutSink(),
                                        const SnapshotWriters &writers = snapshotWriters());

// One block of a contact sheet: a title over a grid of templates.
struct Section {
    QString title;
    QList<LWTemplate> templates;
};

// One of the fixed sheets: its file name, title and sections, in writing order.
struct Sheet {
    QString fileName;
    QString title;
    QList<Section> sections;
};
// The four sheets of the library (the first: US cards and Letter flyers).
QList<Sheet> librarySheets();

// The image's pixel height for these sections: the fraction of the summed height dropped.
int contactSheetHeight(const QList<Section> &sections);

// Creates the folder (a failure is ignored) and writes the four sheets in order into it; stops
// at the first that fails. True when all four were written.
[[nodiscard]] bool writeAllContactSheets(const QString &folder, const LWReportSink &out = LWStdoutSink());
// The first sheet to `file`; its folder is not created.
[[nodiscard]] bool writeContactSheet(const QString &file, const LWReportSink &out = LWStdoutSink());
// Draws the sheet (every design built first, in parallel; one sheet's designs in memory at a
// time), replaces `file` with it as PNG and prints "Contact sheet: <absolute path> (W × H px)".
// Any failure (no bitmap, no PNG data, the write) prints "Could not write <absolute path>" and
// gives false.
[[nodiscard]] bool writeContactSheet(const QString &title, const QList<Section> &sections,
                                     const QString &file, const LWReportSink &out = LWStdoutSink());

// The templates the sample renders use, order kept. Without a selection: those whose base id's
// last three characters read as a decimal n with n mod 9 == 1; "all" or an empty text: every
// one; else those whose id begins with the text.
QList<LWTemplate> sampleTemplates(const std::optional<QString> &only,
                                  const QList<LWTemplate> &from);
// One PNG per chosen template of `from` in `folder`, named "<id>.png": a card's two sides side by
// side on grey (756 pixels a side), any other kind's first page 765 pixels wide. Returns the
// paths not written (a card without a back page is one of them).
QStringList writeSamples(const QString &folder, const std::optional<QString> &only,
                         const QList<LWTemplate> &from);
QStringList writeSamples(const QString &folder, const std::optional<QString> &only);
// Every built-in icon in a grid of 10 columns of 120-pixel cells, each with its id below.
[[nodiscard]] bool writeIconSheet(const QString &file);

// The image as PNG at 72 DPI in place of `file` (through the safe replacement); false when no
// data could be made or the write failed. Shared by every image-writing mode.
[[nodiscard]] bool writePNG(QImage image, const QString &file);

} // namespace LWSnapshot
