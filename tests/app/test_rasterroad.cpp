// The raster road's paper: a stop while a band is encoded into it is heard at once, the band left
// behind ending on a paper it still holds; its file is never seen in the temporary folder.
#include "support/picturepages.h"
#include "support/testpictures.h"
#include "support/waitfor.h"

#include "app/cupsbackend.h"
#include "app/printing.h"
#include "render/export.h"

#include <QDir>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

// What a paper's file took, and whether its `holdAt`-th large write (an encoded band) waits.
struct Written {
    explicit Written(int at) : holdAt(at) {}
    const int holdAt;
    std::atomic<bool> held{false}, free{false};
    QByteArray bytes;
};

// A paper whose file waits at its `holdAt`-th large write until `free` (or a minute).
struct HeldPaper {
    class Sink final : public QIODevice {
    public:
        explicit Sink(std::shared_ptr<Written> written) : written_(std::move(written)) { open(QIODevice::WriteOnly); }

    protected:
        qint64 readData(char *, qint64) override { return -1; }
        qint64 writeData(const char *data, qint64 length) override
        {
            if (length > 16 * 1024 && ++large_ == written_->holdAt) {
                written_->held = true;
                for (int ms = 0; !written_->free && ms < 60000; ++ms)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            written_->bytes.append(data, length);
            return length;
        }

    private:
        std::shared_ptr<Written> written_;
        int large_ = 0;
    };

    explicit HeldPaper(std::shared_ptr<Written> written) : sink(std::move(written)) {}
    Sink sink;
    QPdfWriter writer{&sink};
};

std::mutex warningsMutex;
QStringList warnings;

// Qt's warnings, from any thread.
void keepWarning(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtDebugMsg && type != QtInfoMsg) {
        const std::lock_guard lock(warningsMutex);
        warnings.append(text);
    }
}

} // namespace

// Two pages of two bands each: a stop while the first band or the last one is encoded returns at
// once, the band still encoding; once it may go on, it ends the paper whole (no painter state left
// open) and only then lets it go.
TEST(RasterRoad, AStopWhileABandIsEncodedIsHeardAtOnce)
{
    const std::optional<QByteArray> pdf =
        LWExport::pdfData(LWPicturePages::grid({LWTestPictures::encode(LWTestPictures::noise(600, 600), "png")}, 1, 1),
                          {0}, false);
    ASSERT_TRUE(pdf);
    const std::shared_ptr<QPdfDocument> source = LWPrinting::openPdf(*pdf);
    const struct {
        const char *name;
        int holdAt;
    } rows[] = {{"the first band", 1}, {"the last band", 4}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        {
            const std::lock_guard lock(warningsMutex);
            warnings.clear();
        }
        const QtMessageHandler before = qInstallMessageHandler(keepWarning);
        const auto written = std::make_shared<Written>(row.holdAt);
        auto paper = std::make_shared<HeldPaper>(written);
        paper->writer.setPageSize(QPageSize(QPageSize::Letter));
        paper->writer.setResolution(150);
        const std::weak_ptr<HeldPaper> left = paper;
        std::shared_ptr<QPagedPaintDevice> device(paper, &paper->writer);
        paper.reset();
        std::atomic<bool> stop{false}, ended{false};
        LWPrintSteps steps;
        steps.stop = &stop;
        std::optional<QString> answer = QStringLiteral("not returned");
        std::thread drawing([&, device = std::move(device)] {
            answer = LWPrinting::rasterise(source, {0, 0}, device, 150, 5 << 20, steps);
            ended = true;
        });
        const bool held = waitFor([&] { return written->held.load(); }, 10000);
        EXPECT_TRUE(held) << "no band was encoded";
        stop = true;
        EXPECT_TRUE(waitFor([&] { return ended.load(); }, 5000)) << "the stop waited for the band's encoding";
        const bool stillHeld = !left.expired();
        written->free = true;
        drawing.join();
        EXPECT_TRUE(held && stillHeld) << "the paper went while a band was encoded into it";
        EXPECT_EQ(answer, std::nullopt);
        EXPECT_TRUE(LWPrinting::Unfinished::waitForAll(std::chrono::seconds(5))) << "the band left behind did not end";
        EXPECT_TRUE(left.expired());
        qInstallMessageHandler(before);
        EXPECT_TRUE(written->bytes.trimmed().endsWith("%%EOF")) << "the paper was not ended";
        const std::lock_guard lock(warningsMutex);
        EXPECT_EQ(warnings.join(u'\n').toStdString(), "");
    }
}

// The paper's file is never seen in the temporary folder: a process ended with a band still
// encoding into it (the program's end does not wait for one) leaves nothing behind there.
TEST(RasterRoad, ThePaperFileIsNeverInTheTemporaryFolder)
{
    const std::optional<QByteArray> pdf =
        LWExport::pdfData(LWPicturePages::grid({LWTestPictures::encode(LWTestPictures::noise(300, 300), "png")}, 1, 1),
                          {0}, false);
    ASSERT_TRUE(pdf);
    QTemporaryDir folder;
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder.path()));
    LWCupsBackend cups; // the scheduler is never reached: the print is stopped after its first page
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(QStringLiteral("hall"));
    printer.setResolution(150);
    std::atomic<bool> stop{false};
    QStringList seen;
    LWPrintSteps steps;
    steps.stop = &stop;
    steps.progress = [&](double) {
        seen += QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        stop = true;
    };
    const std::optional<QString> answer = cups.printRaster(*pdf, {0, 0}, printer, {}, steps);
    tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    EXPECT_EQ(answer, std::nullopt);
    EXPECT_EQ(seen.join(u' ').toStdString(), "");
}
