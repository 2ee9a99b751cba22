// Designs full of pictures, exported through the export calls and read back from the written
// files: how often each picture is decoded, and what an export that runs short of memory says.
#include "model/document.h"
#include "render/export.h"
#include "render/exportpictures.h"
#include "render/parallel.h"
#include "render/pdf/pdffile.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturekey.h"
#include "render/preflight.h"
#include "render/renderer.h"
#include "render/pdfprobe.h"
#include "support/testpictures.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <future>
#include <memory>
#include <thread>

namespace {

using namespace LWExport;

// A 6 x 4 in card-like page.
LWDocument page6x4(const QString &name)
{
    return LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 432, 288, 9, name);
}

// Pictures side by side in vertical strips (or stacked in horizontal ones), each filling its strip.
LWDocument strips(const QList<QByteArray> &pictures, bool stacked = false)
{
    LWDocument doc = page6x4(QStringLiteral("Strips"));
    const double w = doc.width / pictures.size(), h = doc.height / pictures.size();
    for (int i = 0; i < pictures.size(); ++i) {
        LWElement e = LWElement::makePhoto(stacked ? LWRect(0, i * h, doc.width, h) : LWRect(i * w, 0, w, doc.height));
        e.image->data = pictures[i];
        doc.pages[0].elements.append(e);
    }
    return doc;
}

QColor stripColour(int i) { return QColor::fromHsv(i * 55, 220, 210); }

// Six 24-megapixel JPEGs, each of its own colour, made once for the whole test program.
const QList<QByteArray> &sixPhotos()
{
    static const QList<QByteArray> made = [] {
        QList<QByteArray> out;
        for (int i = 0; i < 6; ++i)
            out.append(LWTestPictures::encode(LWTestPictures::plain(6000, 4000, stripColour(i)), "jpeg", 60));
        return out;
    }();
    return made;
}

bool near(QRgb a, QColor b, int tolerance = 12)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

qint64 decodes() { return LWImageCache::stats().decodes; }

} // namespace

// Every band of a page of vertical strips needs every picture: each is decoded once per export,
// at the size the export needs, and shows in the written file.
TEST(ExportPictures, CollageDecodesEachPictureOncePerExport)
{
    const LWDocument doc = strips(sixPhotos());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        RasterType type;
        double dpi;
        int cancelAfter = -1; // decodes made before Cancel is pressed (-1: never)
        // The decode budget lowered (0: as it is), so that the pictures are held a run at a time:
        // of bands, or of elements drawn onto a small page held whole (the photos stacked on a
        // card); and whether the decodes are counted from the first band written (the second run's).
        qint64 budget = 0;
        bool fromFirstBand = false, card = false;
        // Pictures stacked and turned on a large page, which no band holds, however thin: drawn
        // whole a run of elements at a time, Cancel during it ends the export.
        bool stack = false;
    };
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    for (const QByteArray &photo : sixPhotos()) {
        LWElement e = LWElement::makePhoto({0, 0, card.width, card.height});
        e.image->data = photo;
        card.pages[0].elements.append(e);
    }
    LWDocument stack = page6x4(QStringLiteral("Stack"));
    for (int i = 0; i < 10; ++i) {
        LWElement e = LWElement::makePhoto({96, 24, 240, 240});
        const QColor colour = QColor::fromHsv(i * 22, 200, 90);
        e.image->data = LWTestPictures::encode(LWTestPictures::plain(600, 600, colour), "png");
        e.rotation = 45;
        stack.pages[0].elements.append(e);
    }
    for (const Case c : {Case{RasterType::png, 300}, Case{RasterType::jpeg, 300}, Case{RasterType::png, 600},
                         Case{RasterType::jpeg, 600}, Case{RasterType::png, 600, 0},
                         Case{RasterType::jpeg, 300, 1},
                         Case{RasterType::png, 300, 1, qint64(8) << 20, true},
                         Case{RasterType::png, 150, 1, qint64(8) << 20, false, true},
                         Case{RasterType::png, 250, 1, qint64(19) << 20, false, false, true}}) {
        SCOPED_TRACE(testing::Message() << rawValue(c.type).toStdString() << " at " << c.dpi << ", cancelled after "
                                        << c.cancelAfter << ", budget " << c.budget);
        const QString file = dir.filePath(QStringLiteral("collage.") + ext(c.type));
        const qint64 before = decodes();
        const qint64 budget = c.budget ? LWDecodeBudget::setLimit(c.budget) : 0;
        const auto restore = qScopeGuard([&] { c.budget ? void(LWDecodeBudget::setLimit(budget)) : void(); });
        if (c.cancelAfter >= 0) {
            // Cancel stops the export between its pictures: the rest are not decoded, the
            // budget's hold is given back and no file is left.
            QFile::remove(file);
            RasterWriteHooks hooks;
            qint64 from = c.fromFirstBand ? -1 : before;
            hooks.progressed = [&](int, int) { from = from < 0 ? decodes() : from; };
            hooks.cancelled = [&] { return from >= 0 && decodes() - from >= c.cancelAfter; };
            const LWDocument &page = c.stack ? stack : c.card ? card : doc;
            EXPECT_EQ(writeRaster(page, 0, c.dpi, false, c.type, 0.92, file, hooks),
                      "the export was cancelled");
            // Counted from the run that was cancelled: the runs before it decoded every picture.
            if (c.cancelAfter == 0 || LWParallel::workers() < 6 || (c.budget && !c.fromFirstBand))
                EXPECT_LT(decodes() - (c.fromFirstBand ? from : before), 6);
            EXPECT_EQ(LWDecodeBudget::holds(), 0);
            EXPECT_FALSE(QFile::exists(file));
            for (const QString &left : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
                EXPECT_TRUE(left.startsWith(QStringLiteral("collage."))) << left.toStdString();
            continue;
        }
        ASSERT_EQ(writeRaster(doc, 0, c.dpi, false, c.type, 0.92, file), QString());
        EXPECT_EQ(decodes() - before, 6);
        const QImage written = QImageReader(file).read();
        ASSERT_EQ(written.size(), QSize(int(6 * c.dpi), int(4 * c.dpi)));
        for (int i = 0; i < 6; ++i)
            EXPECT_TRUE(near(written.pixel(int((i + 0.5) * c.dpi), written.height() / 2), stripColour(i))) << i;
    }
}

// Small pictures the print PDF decodes side by side, one in a group among them: each lands in its
// own frame.
TEST(ExportPictures, PicturesMadeSideBySideForThePdfLandInTheirOwnFrames)
{
    QList<QByteArray> pictures;
    for (int i = 0; i < 6; ++i)
        pictures.append(LWTestPictures::encode(LWTestPictures::plain(300 + i, 200, stripColour(i)), "png"));
    LWDocument doc = strips(pictures);
    const LWElement last = doc.pages[0].elements.takeLast();
    LWElement group(LWElement::Kind::group, QStringLiteral("Group"), last.frame);
    group.children = QList<LWElement>{last};
    doc.pages[0].elements.append(group);
    const std::optional<QByteArray> pdf = pdfData(doc, {0}, false);
    ASSERT_TRUE(pdf);
    const QImage printed = pdfprobe::poppler(*pdf, 1, 36);
    ASSERT_FALSE(printed.isNull());
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(near(printed.pixel(int((i + 0.5) * 36), printed.height() / 2), stripColour(i))) << i;
}

// Copies of one logo under as many asset ids: one decode, and one image object in the PDF.
TEST(ExportPictures, SameBytesUnderManyIdsAreOnePicture)
{
    const QByteArray logo = LWTestPictures::encode(LWTestPictures::twoTone(4000, 4000), "png");
    LWDocument doc = page6x4(QStringLiteral("Logos"));
    for (int i = 0; i < 300; ++i) {
        LWElement e = LWElement::makePhoto(LWRect((i % 20) * 21.6, (i / 20) * 19.2, 21.6, 19.2));
        e.image->assetID = QStringLiteral("logo-%1").arg(i);
        e.image->data = logo;
        e.image->data->detach(); // each record its own buffer, as a pasted copy would be
        doc.pages[0].elements.append(e);
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *what;
        std::function<bool()> exportIt;
    };
    const QString png = dir.filePath(QStringLiteral("logos.png"));
    QByteArray pdf;
    const QList<Case> cases{
        {"png", [&] { return writeRaster(doc, 0, 300, true, RasterType::png, 0.92, png).isEmpty(); }},
        {"pdf", [&] {
             PdfOutcome out = pdfExport(doc, {0}, true);
             pdf = out.bytes.value_or(QByteArray());
             return out.bytes.has_value() && out.reason.isEmpty();
         }}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const qint64 before = decodes();
        ASSERT_TRUE(c.exportIt());
        EXPECT_EQ(decodes() - before, 1);
    }
    EXPECT_EQ(LWPdfFile::imageCount(pdf), 1);
    const QImage written = QImageReader(png).read();
    ASSERT_FALSE(written.isNull());
    // The first frame's left half is red, its right half blue: the picture, not white, not the art.
    EXPECT_TRUE(near(written.pixel(37 + 10, 37 + 40), QColor(Qt::red), 40));
    EXPECT_TRUE(near(written.pixel(37 + 80, 37 + 40), QColor(Qt::blue), 40));
}

// A picture that does not decode is tried once: the page view, the exports and the preflight of
// the same bytes, under any id, know it from then on and draw the missing-picture art.
TEST(ExportPictures, RefusedPictureIsTriedOnce)
{
    struct Case {
        const char *what;
        QByteArray bytes;
    };
    QByteArray cut = LWTestPictures::encode(LWTestPictures::twoTone(300, 200), "png");
    cut.truncate(cut.size() / 2);
    for (const Case &c : {Case{"not a picture", QByteArray(5000, 'x')}, Case{"cut short", cut}}) {
        SCOPED_TRACE(c.what);
        LWDocument doc = strips({c.bytes, c.bytes});
        doc.pages[0].elements[1].image->assetID = QStringLiteral("another id");
        const qint64 before = decodes();
        EXPECT_TRUE(LWRenderer::bitmap(doc, 0, 1.0, false, true, LWRenderOptions{true, {}, {}}));
        EXPECT_TRUE(rasterData(doc, 0, 150, false, RasterType::png));
        EXPECT_TRUE(pdfData(doc, {0}, false));
        (void)preflight(doc);
        EXPECT_EQ(decodes() - before, 1);
        EXPECT_GE(LWImageCache::stats().failures, 1);
    }
}

// Pictures that the decode budget cannot hold together: stacked ones go a few rows of bands at
// a time; pictures lying over each other (every band shows them all) are drawn onto the page held
// whole, a few at a time. Each is still decoded once. With a budget too small for that the export
// stops, says why, and the earlier file stays as it was.
TEST(ExportPictures, ExportBeyondTheBudget)
{
    // Twelve pictures of the size they are drawn at, so that what is held is all of them; the
    // last six repeat the colours of the first six in other bytes (a JPEG reader stops at its
    // end marker).
    const auto twelve = [](int w, int h) {
        QList<QByteArray> out;
        for (int i = 0; i < 12; ++i)
            out.append(LWTestPictures::encode(LWTestPictures::plain(w, h, stripColour(i % 6)), "jpeg", 90) +
                       QByteArray::number(i));
        return out;
    };
    // Stacked strips of 3600 x 200 pixels at 600 DPI; whole pages of 1800 x 1200 at 300 DPI.
    const LWDocument stacked = strips(twelve(3600, 200), true);
    LWDocument piled = page6x4(QStringLiteral("Piled"));
    for (const QByteArray &bytes : twelve(1800, 1200)) {
        LWElement e = LWElement::makePhoto(LWRect(0, 0, piled.width, piled.height));
        e.image->data = bytes;
        piled.pages[0].elements.append(e);
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const qint64 old = LWDecodeBudget::limit();
    const auto restore = qScopeGuard([old] { LWDecodeBudget::setLimit(old); });
    struct Case {
        const char *what;
        const LWDocument *doc;
        double dpi;
        qint64 limitMB;
        RasterType type;
        bool made;
        bool named = false; // made with every picture as the placeholder, each named
    };
    for (const Case &c : {Case{"stacked, a few rows at a time, png", &stacked, 600, 40, RasterType::png, true},
                          Case{"stacked, a few rows at a time, jpeg", &stacked, 600, 40, RasterType::jpeg, true},
                          Case{"piled, a few at a time, png", &piled, 300, 80, RasterType::png, true},
                          Case{"piled, a few at a time, jpeg", &piled, 300, 80, RasterType::jpeg, true},
                          // Not a few rows of any strip: each left out alone, the page still written.
                          Case{"stacked, not one row", &stacked, 600, 3, RasterType::png, true, true},
                          Case{"piled, not even one", &piled, 300, 4, RasterType::jpeg, false},
                          Case{"piled, all at once", &piled, 300, old >> 20, RasterType::png, true}}) {
        SCOPED_TRACE(c.what);
        LWDecodeBudget::setLimit(c.limitMB << 20);
        const QString file = dir.filePath(QStringLiteral("pictures.") + ext(c.type));
        QFile earlier(file);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        earlier.close();
        QString reason;
        QList<LWPictureTally::Undrawn> undrawn;
        RasterWriteHooks hooks;
        hooks.reason = &reason;
        hooks.undrawn = &undrawn;
        const qint64 before = decodes();
        const QString why = writeRaster(*c.doc, 0, c.dpi, false, c.type, 0.92, file, hooks);
        if (!c.made) {
            EXPECT_FALSE(why.isEmpty());
            EXPECT_EQ(reason, notEnoughMemory);
            ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
            EXPECT_EQ(earlier.readAll(), QByteArray("earlier"));
            earlier.close();
            continue;
        }
        ASSERT_EQ(why, QString());
        EXPECT_EQ(reason, QString());
        EXPECT_EQ(undrawn.size(), c.named ? 12 : 0);
        if (c.named)
            continue;
        EXPECT_EQ(decodes() - before, 12);
        const QImage written = QImageReader(file).read();
        ASSERT_EQ(written.size(), QSize(int(6 * c.dpi), int(4 * c.dpi)));
        if (c.doc == &piled) {
            EXPECT_TRUE(near(written.pixel(900, 600), stripColour(11 % 6))); // the top one shows
            continue;
        }
        for (int i = 0; i < 12; ++i)
            EXPECT_TRUE(near(written.pixel(1800, i * 200 + 100), stripColour(i % 6))) << i;
    }
}

// An export keeps of each picture only the part its frame shows, at the size it is drawn: the
// written page matches the page drawn from the whole picture, however it is cropped and placed.
TEST(ExportPictures, ShownPartLandsWhereTheWholePictureWould)
{
    const QByteArray photo = LWTestPictures::encode(LWTestPictures::twoTone(6000, 4000), "jpeg", 90);
    struct Case {
        const char *what;
        LWImageFit fit;
        double cropL, cropT, rotation;
        LWRect frame;
    };
    const QList<Case> cases{{"narrow strip, fill", LWImageFit::fill, 0, 0, 0, LWRect(150, 20, 40, 250)},
                            {"cropped, fill", LWImageFit::fill, 0.3, 0.1, 0, LWRect(60, 40, 200, 120)},
                            {"turned strip", LWImageFit::fill, 0.1, 0, 30, LWRect(180, 30, 50, 220)},
                            {"fit", LWImageFit::fit, 0.2, 0.2, 0, LWRect(20, 20, 390, 240)}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LWDocument doc = page6x4(QStringLiteral("Part"));
        LWElement e = LWElement::makePhoto(c.frame);
        e.image->data = photo;
        e.image->fit = c.fit;
        e.image->cropL = c.cropL;
        e.image->cropT = c.cropT;
        e.rotation = c.rotation;
        doc.pages[0].elements.append(e);
        const std::optional<QByteArray> png = rasterData(doc, 0, 150, false, RasterType::png);
        const std::optional<QImage> whole = LWRenderer::bitmap(doc, 0, LWRenderer::DPI{150}, false);
        ASSERT_TRUE(png && whole);
        const QImage written = QImage::fromData(*png).convertToFormat(QImage::Format_RGB32);
        const QImage expected = whole->convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(written.size(), expected.size());
        qint64 off = 0;
        for (int y = 0; y < written.height(); ++y)
            for (int x = 0; x < written.width(); ++x) {
                const QRgb a = written.pixel(x, y), b = expected.pixel(x, y);
                off += std::abs(qRed(a) - qRed(b)) > 40 || std::abs(qBlue(a) - qBlue(b)) > 40;
            }
        // Only smoothing along the colours' seam and the frame's edges may differ.
        EXPECT_LT(off, 3 * (written.width() + written.height())) << off;
    }
}

// Picture bytes freed while something still knows their address, and other bytes of the same
// length put at that address: the new bytes are a picture of their own, to the key that tables
// and PDFs know pictures by and to the pictures an export holds.
TEST(ExportPictures, BytesAtAFreedPicturesAddressAreAnotherPicture)
{
    // Other bytes of `like`'s length, allocated until one lands at `freed` (or many did not).
    const auto at = [](const char *freed, const QByteArray &like) {
        QList<QByteArray> missed;
        for (int i = 0; i < 2000; ++i) {
            QByteArray b(like.size(), Qt::Uninitialized);
            std::memcpy(b.data(), like.constData(), size_t(like.size()));
            if (b.constData() == freed)
                return b;
            missed.append(b);
        }
        return QByteArray(like.constData(), like.size());
    };
    const struct {
        const char *name;
        int side; // the key remembers digests from 4 KiB on; the export's pictures know any size
        bool exported;
    } cases[] = {{"the picture key", 64, false}, {"an export's pictures", 16, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray red = LWTestPictures::encode(LWTestPictures::plain(c.side, c.side, Qt::red), "bmp");
        const QByteArray blue = LWTestPictures::encode(LWTestPictures::plain(c.side, c.side, Qt::blue), "bmp");
        ASSERT_EQ(red.size(), blue.size());
        std::optional<LWElement> photo = LWElement::makePhoto({0, 0, 72, 72});
        photo->image->data = QByteArray(red.constData(), red.size());
        const char *freed = photo->image->data->constData();
        const QByteArray redKey = LWPictureKey::of(*photo->image->data);
        std::shared_ptr<const LWExportPictures> pictures;
        if (c.exported) {
            pictures = LWExportPictures::prepare(QList<const LWElement *>{&*photo}, 1).pictures;
            ASSERT_TRUE(pictures && pictures->find(*photo->image));
        }
        photo.reset();

        LWImage other;
        other.data = at(freed, blue);
        EXPECT_EQ(LWPictureKey::of(*other.data).toHex(), LWPictureKey::of(blue).toHex());
        EXPECT_NE(LWPictureKey::of(*other.data).toHex(), redKey.toHex());
        if (pictures)
            EXPECT_FALSE(pictures->find(other));
    }
}

namespace {

// Black columns of one pixel every `period` on white (a new picture for each `seed`): blurred
// away by any decode far below its size.
QByteArray lines(int w, int h, int period, int seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int y = 0; y < h; ++y)
        for (int x = seed % period; x < w; x += period)
            img.setPixel(x, y, qRgb(0, 0, 0));
    return LWTestPictures::encode(img, "png");
}

// The least contrast (lightest minus darkest) of any four neighbouring pixels along a row of
// `n` from `from`: high only when every column of one pixel shows.
int sharpness(const QImage &img, QPoint from, int n)
{
    int least = 255;
    for (int i = 0; i < n; ++i) {
        int lo = 255, hi = 0;
        for (int k = 0; k < 4; ++k)
            lo = std::min(lo, qGray(img.pixel(from + QPoint(i + k, 0)))), hi = std::max(hi, qGray(img.pixel(from + QPoint(i + k, 0))));
        least = std::min(least, hi - lo);
    }
    return least;
}

} // namespace

// A picture drawn at its own size shows every pixel of it, whatever else asked for it before:
// a tiny copy on the same page, the page view's preview. Every export gives back its hold on the
// budget, so that an export waiting for another's goes on when that one ends.
TEST(ExportPictures, PictureAtItsOwnSizeKeepsItsDetail)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *what;
        int width, period; // of the picture, drawn 2400 pixels wide (576 pt at 300 DPI)
        bool tinyCopy, previewFirst, waitForHold;
    };
    int seed = 0;
    for (const Case &c : {Case{"a tiny copy before it", 2500, 4, true, false, false},
                          Case{"a tiny copy, both drawn below its size", 3000, 5, true, false, false},
                          Case{"the preview drawn first", 2400, 2, false, true, false},
                          Case{"after another export's hold", 2400, 2, false, false, true}}) {
        SCOPED_TRACE(c.what);
        LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 612, 432, 9, QStringLiteral("Detail"));
        if (c.tinyCopy)
            doc.pages[0].elements.append(LWElement::makePhoto(LWRect(600, 420, 6, 4)));
        LWElement big = LWElement::makePhoto(LWRect(18, 24, 576, 384));
        big.image->data = lines(c.width, c.width * 2 / 3, c.period, ++seed); // nothing of it kept yet
        doc.pages[0].elements.append(big);
        if (c.tinyCopy)
            doc.pages[0].elements.first().image = big.image;
        if (c.previewFirst) {
            LWRenderOptions view;
            view.preview = true;
            ASSERT_TRUE(LWRenderer::bitmap(doc, 0, 1, false, true, view));
        }
        std::thread other;
        if (c.waitForHold) { // another export holds most of the budget for a moment
            std::promise<void> taken;
            other = std::thread([&taken] {
                std::optional<LWDecodeBudget::Reservation> r = LWDecodeBudget::hold(LWDecodeBudget::limit() / 2);
                taken.set_value();
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            });
            taken.get_future().wait();
        }
        const QString file = dir.filePath(QStringLiteral("detail.png"));
        std::future<QString> done = std::async(std::launch::async, [&] {
            return writeRaster(doc, 0, 300, false, RasterType::png, 0.92, file);
        });
        if (done.wait_for(std::chrono::minutes(2)) != std::future_status::ready) { // a hold never given back
            ADD_FAILURE() << "the export still waits for the budget";
            std::_Exit(1);
        }
        if (other.joinable())
            other.join();
        ASSERT_EQ(done.get().toStdString(), "");
        EXPECT_EQ(LWDecodeBudget::holds(), 0);
        const QImage written = QImageReader(file).read();
        ASSERT_EQ(written.size(), QSize(2550, 1800));
        EXPECT_GT(sharpness(written, {1000, 900}, 40), 100);
    }
}
