// Photos of every kind a phone or camera makes, far larger than the decode budget holds at their
// export size (the budget lowered, so that the photos stay small and quick), on a poster and on a
// card, exported as PNG and JPEG at 300 and 600 DPI and as PDF beside what a window holds
// (previews, a full table, a page-view decode in flight): each written file shows the photo's
// colours where they belong, the process's peak stays within the budget and its own bands, and
// the export leaves nothing held. Measures the process's peak memory: runs alone.
#include "model/document.h"
#include "render/export.h"
#include "render/pdfprobe.h"
#include "render/pictures/decodebudget.h"
#include "render/worker/sanitizers.h"
#include "support/bigphotos.h"
#include "support/picturepages.h"
#include "support/windowstate.h"

#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace LWExport;

struct Photo {
    const char *what;
    QByteArray bytes;
    QSize stored;
    int orientation = 1; // EXIF: 6 a quarter turn clockwise, 8 anticlockwise, 3 a half turn
    // A budget that cannot hold the photo whole on the poster beside its decode, so that it is
    // decoded a part at a time (HEIF and the others whole, then cut: room for that and a part).
    double posterMB = 12;
    bool posterOnly = false;
};

const QList<Photo> &photos()
{
    static const QList<Photo> made = [] {
        using namespace LWBigPhotos;
        QList<Photo> out;
        out.append({"jpeg of odd size", jpeg(1747, 1311, true), {1747, 1311}});
        // A phone's portraits, stored turned either way, and a photo shot upside down.
        const QByteArray phone = jpeg(1200, 900, true);
        out.append({"jpeg turned", LWTestPictures::oriented(phone, 6), {1200, 900}, 6, 10});
        out.append({"jpeg turned the other way", LWTestPictures::oriented(phone, 8), {1200, 900}, 8, 10, true});
        out.append({"jpeg upside down", LWTestPictures::oriented(phone, 3), {1200, 900}, 3, 10, true});
        out.append({"heic grid", heicGrid(1000, 750, 128), {1000, 750}, 1, 10});
        out.append({"heic", LWTestPictures::heic(quarterImage(600, 450)), {600, 450}, 1, 4.5});
        out.append({"avif", avifReduced(600, 450), {600, 450}, 1, 4.5});
        out.append({"png", LWTestPictures::encode(quarterImage(800, 600), "png"), {800, 600}, 1, 4});
        return out;
    }();
    return made;
}

struct Page {
    const char *what;
    double width, height; // points
    LWRect frame;
    QList<const char *> outputs; // the cards share the outputs between them, to stay quick
    double cropL = 0, cropT = 0, cropR = 0, cropB = 0;
};

// A poster with a large frame (the proportions of 36 x 24 in with 25.6 x 19.2 in) and cards.
const QList<Page> pages{
    {"poster", 432, 288, {62.4, 28.8, 307.2, 230.4}, {"png300", "jpeg300", "png600", "jpeg600", "pdf"}},
    {"card", 252, 144, {0, 0, 252, 144}, {"png300", "jpeg600", "pdf"}},
    {"card cropped", 252, 144, {0, 0, 252, 144}, {"jpeg300", "png600", "pdf"}, 0.05, 0.123, 0.0, 0.05}};

LWDocument design(const Page &page, const Photo &photo)
{
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), page.width, page.height, 9,
                                       QStringLiteral("Photo"));
    LWElement e = LWElement::makePhoto(page.frame);
    e.image->data = photo.bytes;
    e.image->cropL = page.cropL, e.image->cropT = page.cropT, e.image->cropR = page.cropR, e.image->cropB = page.cropB;
    doc.pages[0].elements.append(e);
    return doc;
}

// The colour the photo shows at (fx, fy), fractions of the frame (fill: the crop covers the frame,
// centred); none near a quarter's edge.
std::optional<QColor> expected(const Page &page, const Photo &photo, double fx, double fy)
{
    const bool quarter = photo.orientation == 6 || photo.orientation == 8;
    const QSizeF upright = quarter ? QSizeF(photo.stored.transposed()) : QSizeF(photo.stored);
    const double cw = (1 - page.cropL - page.cropR) * upright.width(), ch = (1 - page.cropT - page.cropB) * upright.height();
    const double s = std::max(page.frame.width() / cw, page.frame.height() / ch);
    const double x = page.cropL * upright.width() + (fx * page.frame.width() - (page.frame.width() - cw * s) / 2) / s;
    const double y = page.cropT * upright.height() + (fy * page.frame.height() - (page.frame.height() - ch * s) / 2) / s;
    double u = x / upright.width(), v = y / upright.height();
    if (photo.orientation == 6) // upright (u, v) is stored (v, 1 - u)
        std::tie(u, v) = std::pair{v, 1 - u};
    else if (photo.orientation == 8)
        std::tie(u, v) = std::pair{1 - v, u};
    else if (photo.orientation == 3)
        std::tie(u, v) = std::pair{1 - u, 1 - v};
    if (std::abs(u - 0.5) < 0.04 || std::abs(v - 0.5) < 0.04)
        return std::nullopt;
    return LWBigPhotos::quarterAt(u, v);
}

bool near(QRgb a, QColor b) { return std::abs(qRed(a) - b.red()) <= 30 && std::abs(qGreen(a) - b.green()) <= 30 && std::abs(qBlue(a) - b.blue()) <= 30; }

} // namespace

TEST(ExportPhotos, EveryPhotoPrintsAtEverySizeWithinTheBudget)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(photos().size(), 8); // made before the peak is taken
    const bool measured = !LWSanitizers::address && LWPicturePages::resetPeak();
    // Small enough that no photo is held whole at its poster size, large enough for one HEIF
    // decode (libheif makes the whole picture) beside a part of it.
    const qint64 old = LWDecodeBudget::limit();
    const auto restore = qScopeGuard([old] { LWDecodeBudget::setLimit(old); });
    const qint64 before = LWPicturePages::statusKB("VmRSS:");
    for (const Photo &photo : photos())
        for (const Page &page : pages)
            for (const char *output : page.outputs) {
                if (photo.posterOnly && &page != &pages.front())
                    continue;
                SCOPED_TRACE(testing::Message() << photo.what << ", " << page.what << ", " << output);
                // The cards' few bands at 300 DPI take a part as large as a HEIF's whole.
                LWDecodeBudget::setLimit(qint64((std::strcmp(page.what, "poster") == 0 ? photo.posterMB : 14) * (1 << 20)));
                const LWDocument doc = design(page, photo);
                const LWImageCache::Budget tables =
                    LWWindowState::hold({doc.pages[0].elements[0].image.value()});
                const double dpi = output[std::strlen(output) - 3] == '6' ? 600 : 300;
                QImage written;
                if (std::strcmp(output, "pdf") == 0) {
                    const PdfOutcome pdf = pdfExport(doc, {0}, false);
                    ASSERT_TRUE(pdf.bytes) << pdf.reason.toStdString();
                    written = pdfprobe::poppler(*pdf.bytes, 1, 72);
                } else {
                    const RasterType type = output[0] == 'p' ? RasterType::png : RasterType::jpeg;
                    const QString file = dir.filePath(QStringLiteral("photo.") + ext(type));
                    ASSERT_EQ(writeRaster(doc, 0, dpi, false, type, 0.92, file), QString());
                    written = QImageReader(file).read();
                }
                LWWindowState::settle();
                EXPECT_TRUE(LWWindowState::givenBack());
                (void)LWImageCache::setBudget(tables);
                ASSERT_FALSE(written.isNull());
                const double k = written.width() / page.width;
                for (const double fy : {0.2, 0.8})
                    for (const double fx : {0.2, 0.8})
                        if (const std::optional<QColor> want = expected(page, photo, fx, fy)) {
                            const QPoint at(int((page.frame.x + fx * page.frame.w) * k),
                                            int((page.frame.y + fy * page.frame.h) * k));
                            EXPECT_TRUE(near(written.pixel(at), *want))
                                << fx << "," << fy << ": " << QColor(written.pixel(at)).name().toStdString()
                                << " for " << want->name().toStdString();
                        }
            }
    if (measured) { // the budget, the bands in flight and the encoders' own, never a page whole
        EXPECT_LT(double(LWPicturePages::statusKB("VmHWM:") - before) / 1024, 14 + 96);
    }
}
