// Print on a Letter flyer holding two 24-megapixel PNG photos (6000 x 4000, sensor grain), and
// the 10-up card sheet of a card holding one, through the application's own flow: the interface
// thread's longest stretch away from its event loop (a 1-ms timer's largest gap) from the call
// until the print dialog (cancelled here), and until the pages went to a file (Print to File);
// beside it, the time the same preparation holds a thread when made there, which is what the
// window waited before. Also writes the flyer as a design into FOLDER, for the real window.
//   lw_bench_printwait FOLDER    (FOLDER keeps the photos between runs; taskset -c 0,1 for two cores)
#include "app/app.h"
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/sheet.h"
#include "render/text/fonts.h"
#include "twophotos.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QTimer>
#include <cstdio>

namespace {

QByteArray made(const QString &file, unsigned seed)
{
    QFile f(file);
    if (f.open(QIODevice::ReadOnly))
        return f.readAll();
    const QByteArray bytes = LWBenchPhotos::photo(seed, true, QSize(6000, 4000));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return bytes;
}

// Answers the print dialog: cancelled, or to a file; everything else is not asked here.
class Answers final : public LWPrompts {
public:
    QString file; // empty: the dialog is cancelled
    qint64 dialogAt = -1;
    QElapsedTimer *clock = nullptr;
    void alert(const QString &title, const QString &message) override
    {
        std::printf("alert: %s %s\n", qPrintable(title), qPrintable(message));
    }
    Answer askToSave(const QString &, const QString &) override { return Answer::dontSave; }
    bool askToOverwrite(const QString &, const QString &) override { return true; }
    std::optional<QUrl> chooseOpen(const QString &) override { return std::nullopt; }
    std::optional<QUrl> chooseSave(const QString &, const QString &) override { return std::nullopt; }
    bool choosePrinter(QPrinter &printer, int, const QString &) override
    {
        dialogAt = clock->elapsed();
        if (file.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    }
    std::optional<QUrl> chooseExport(const QString &, const QString &, const QString &) override { return std::nullopt; }
    bool confirm(const QString &, const QString &, const QString &) override { return false; }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: lw_bench_printwait FOLDER\n");
        return 2;
    }
    LWFonts::registerBundled();
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Two photos"));
    LWElement top = LWElement::makePhoto(LWRect(36, 36, 540, 360));
    top.image->data = made(folder + QStringLiteral("/photo1.png"), 1);
    LWElement bottom = LWElement::makePhoto(LWRect(36, 410, 540, 360));
    bottom.image->data = made(folder + QStringLiteral("/photo2.png"), 2);
    doc.pages[0].elements = {top, bottom};
    (void)LWDocumentIO::save(doc, QUrl::fromLocalFile(folder + QStringLiteral("/Two photos.velkfolio")));
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Photo card"));
    LWElement whole = LWElement::makePhoto(card.bleedRect());
    whole.image->data = top.image->data;
    card.pages[0].elements = {whole};

    QElapsedTimer clock;
    const auto answers = std::make_shared<Answers>();
    answers->clock = &clock;
    LWApp app;
    app.setPrompts(answers);
    struct Run {
        const char *what;
        bool sheet, toFile;
    };
    for (const Run run : {Run{"flyer, dialog cancelled", false, false}, Run{"flyer, print to file", false, true},
                          Run{"card sheet, dialog cancelled", true, false}}) {
        const bool toFile = run.toFile;
        app.newDocument(run.sheet ? card : doc);
        answers->file = toFile ? folder + QStringLiteral("/printed.pdf") : QString();
        qint64 last = 0, longest = 0, longestBeforeDialog = 0;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            if (answers->dialogAt < 0)
                longestBeforeDialog = longest;
            last = now;
        });
        answers->dialogAt = -1;
        clock.start();
        tick.start();
        app.print(run.sheet);
        const qint64 total = clock.elapsed();
        longest = std::max(longest, total - last);
        tick.stop();
        std::printf("%s: dialog at %lld ms, done at %lld ms; longest interface wait %lld ms until the dialog, %lld ms "
                    "in all\n",
                    run.what, answers->dialogAt, total,
                    longestBeforeDialog, longest);
    }
    QElapsedTimer here;
    here.start();
    const LWExport::PdfOutcome same = LWExport::pdfExport(doc, {0}, false);
    std::printf("the flyer's preparation on the calling thread: %lld ms (%s)\n", here.elapsed(),
                same.bytes ? "made" : "failed");
    here.restart();
    const bool sheetMade = LWExport::sheetPDF(card, {0, 1}).has_value();
    std::printf("the card sheet's preparation on the calling thread: %lld ms (%s)\n", here.elapsed(),
                sheetMade ? "made" : "failed");
    return 0;
}
