// The print PDF of many pictures: its peak memory does not grow with their number. Measured as
// the process's peak resident size, so this program runs alone.
#include "model/document.h"
#include "render/export.h"
#include "render/pdf/pdffile.h"
#include "render/worker/decodeworkers.h"
#include "render/pictures/imagecache.h"
#include "support/picturepages.h"
#include "render/worker/sanitizers.h"
#include "support/testpictures.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace LWPicturePages;

// The peak resident size, in MiB, that `work` adds to the present one.
template <typename Work>
double peakGrowthMB(Work work)
{
    if (!resetPeak())
        return -1;
    const qint64 before = statusKB("VmRSS:");
    work();
    return double(statusKB("VmHWM:") - before) / 1024;
}

struct Made {
    int images = 0;
    double peakMB = 0;
    qint64 decodes = 0;
    int workersStarted = 0; // more than the cores when workers died
};

// The pictures in a grid on a Letter page, written as the PDF file and read back.
Made pdfOf(const QList<QByteArray> &pictures, int columns, const QString &file)
{
    const LWDocument doc = grid(pictures, columns, int((pictures.size() + columns - 1) / columns));
    Made made;
    const qint64 before = LWImageCache::stats().decodes;
    const int startedBefore = LWDecodeWorkers::stats().started;
    made.peakMB = peakGrowthMB([&] {
        const LWExport::PdfOutcome out = LWExport::pdfExport(doc, {0}, true);
        QFile f(file);
        if (out.bytes && f.open(QIODevice::WriteOnly))
            f.write(*out.bytes);
    });
    made.decodes = LWImageCache::stats().decodes - before;
    made.workersStarted = LWDecodeWorkers::stats().started - startedBefore;
    QFile f(file);
    if (f.open(QIODevice::ReadOnly))
        made.images = LWPdfFile::imageCount(f.readAll());
    return made;
}

} // namespace

TEST(ExportMemory, PdfPeakDoesNotGrowWithThePictures)
{
    if (LWSanitizers::address)
        GTEST_SKIP() << "the sanitizers' allocator keeps freed memory and its own shadow";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A decode waiting for a share of a loaded machine's cores is not cut short by the wall
    // clock: the workers' CPU time alone limits them.
    LWDecodeWorkers::setForTests({}, 0, 600000);
    const auto limits = qScopeGuard([] { LWDecodeWorkers::setForTests({}, 0, 0); });
    // 12-megapixel PNGs, which go into the PDF as their pixels: 48 MB each when decoded.
    const QByteArray photo = LWTestPictures::encode(LWTestPictures::twoTone(4000, 3000), "png");
    QList<QByteArray> small;
    for (int i = 0; i < 5000; ++i)
        small.append(LWTestPictures::encode(LWTestPictures::plain(8, 8, QColor(i % 256, i / 256, 90)), "png"));
    struct Case {
        const char *what;
        QList<QByteArray> few, many;
        int columns;
        double slackMB; // what the many may add to the few's peak: their objects, never their pixels
    };
    const QList<Case> cases{{"12-megapixel photos", variants(photo, 10), variants(photo, 40), 5, 64},
                            {"small pictures", small.first(500), small, 50, 48}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Made few = pdfOf(c.few, c.columns, dir.filePath(QStringLiteral("few.pdf")));
        const Made many = pdfOf(c.many, c.columns, dir.filePath(QStringLiteral("many.pdf")));
        EXPECT_EQ(few.images, c.few.size());
        EXPECT_EQ(many.images, c.many.size()) << "workers started: " << many.workersStarted;
        EXPECT_EQ(few.decodes, c.few.size());
        EXPECT_EQ(many.decodes, c.many.size());
        EXPECT_GT(few.peakMB, -8); // a little below 0 when memory was given back first
        EXPECT_LT(many.peakMB, few.peakMB + c.slackMB) << many.peakMB << " MB against " << few.peakMB << " MB for " << c.few.size();
    }
}
