// The decode budget's accounting over a session of exports beside what a window holds (previews,
// a full table, a page-view decode in flight): refused beside a hold, cancelled, leaving a picture
// out for want of room, failing to write, failing before they reserve, every hold and reservation
// is given back and nothing is remembered against a picture; a picture refused only for want of
// memory at that moment decodes on the next try, as does a HEIC placed after such an export;
// a decode needing most of the budget goes through.
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturedecoder.h"

#include "support/hostilepictures.h"
#include "support/testpictures.h"
#include "support/windowstate.h"

#include <QTemporaryDir>
#include <QUrl>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace LWTestPictures;

namespace {

constexpr int side = 1000;         // of the HEIF picture
constexpr double dpi = 720;         // its frame of 100 pt shows it at full size
constexpr qint64 heifCost = 18'000'000; // what its decode reserves: planes, decoder, image

// What the budget has given and not got back.
qint64 inUse()
{
    LWDecodeBudget::resetPeak();
    return LWDecodeBudget::peak();
}

class DecodeBudget : public ::testing::Test {
protected:
    void SetUp() override
    {
        LWFonts::registerBundled();
        ASSERT_TRUE(dir.isValid());
        oldLimit = LWDecodeBudget::limit();
    }
    void TearDown() override { LWDecodeBudget::setLimit(oldLimit); }

    // A card with the picture in a 100-pt frame (and any more in small frames beside it), saved
    // as a design file and opened again.
    LWDocument design(const QByteArray &bytes, const QList<QByteArray> &more = {})
    {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement e = LWElement::makePhoto({20, 20, 100, 100});
        e.image->data = bytes;
        doc.pages[0].elements = {e};
        for (int i = 0; i < more.size(); ++i) {
            LWElement small = LWElement::makePhoto({130 + (i % 10) * 10.0, 20 + (i / 10) * 10.0, 9, 9});
            small.image->data = more[i];
            doc.pages[0].elements.append(small);
        }
        const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("card.velkfolio")));
        EXPECT_TRUE(LWDocumentIO::save(doc, url).ok());
        auto opened = LWDocumentIO::open(url);
        EXPECT_TRUE(opened.ok());
        return opened.ok() ? std::move(opened).value() : doc;
    }

    // The PNG export written into the folder: why it failed, and the picture's middle pixel.
    std::pair<QString, QRgb> exportPng(const LWDocument &doc, const LWExport::RasterWriteHooks &hooks = {})
    {
        const QString path = dir.filePath(QStringLiteral("card.png"));
        QFile::remove(path);
        QString reason;
        LWExport::RasterWriteHooks h = hooks;
        h.reason = &reason;
        const QString why = LWExport::writeRaster(doc, 0, dpi, false, LWExport::RasterType::png, 0.92, path, h);
        if (!why.isEmpty())
            return {reason.isEmpty() ? why : reason, 0};
        const QImage img(path);
        return {QString(), img.pixel(qRound(70 * dpi / 72), qRound(70 * dpi / 72))};
    }

    QTemporaryDir dir;
    qint64 oldLimit = 0;
};

} // namespace

TEST_F(DecodeBudget, TwentyExportsGiveBackEveryByte)
{
    const QByteArray heif = heic(plain(side, side, Qt::blue));
    ASSERT_FALSE(heif.isEmpty());
    const LWDocument photo = design(heif);
    // Held at 4 bytes a pixel beside the decode as the decoder reckons it fits three quarters of
    // this budget: the export plans with that reckoning and goes through.
    const qint64 tight = qint64(side) * side * 19;
    enum Kind {
        plainExport,
        besideHold,
        failsBeforeReserving,
        cancelledRaster,
        cancelledPdf,
        refused,
        diskFull
    };
    const LWImageCache::Budget tables = LWImageCache::setBudget({});
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        (void)LWWindowState::hold({photo.pages[0].elements[0].image.value()});
        qsizetype remembered = LWImageCache::stats().failures;
        switch (Kind(i % 7)) {
        case plainExport: {
            const auto [why, middle] = exportPng(design(encode(plain(300, 300, QColor::fromHsv(i * 15, 255, 255)), "png")));
            EXPECT_EQ(why, QString());
            EXPECT_EQ(middle, QColor::fromHsv(i * 15, 255, 255).rgb());
            break;
        }
        case besideHold: {
            LWDecodeBudget::setLimit(tight);
            const auto [why, middle] = exportPng(photo);
            LWDecodeBudget::setLimit(oldLimit);
            EXPECT_EQ(why, QString());
            EXPECT_TRUE(bluish(middle));
            break;
        }
        case failsBeforeReserving: {
            // A reservation on this thread refused beside an export's hold, as an export's decode
            // may be; then the page view reads a JPEG of too many scans, refused before it
            // reserves on the same thread: remembered as a broken
            // picture (not retried at every paint as a passing want of memory), and the export
            // of a design holding it completes with the placeholder.
            {
                const LWDecodeBudget::HoldWork work;
                const auto held = LWDecodeBudget::hold(oldLimit / 2);
                EXPECT_FALSE(LWDecodeBudget::reserve(oldLimit / 2 + 1));
            }
            const QByteArray broken = LWHostilePictures::jpegOfScans(101 + i);
            EXPECT_FALSE(LWImageCache::image(LWWindowState::pictureOf(broken), true));
            EXPECT_EQ(LWImageCache::stats().failures, ++remembered);
            EXPECT_EQ(exportPng(design(broken)).first, QString());
            break;
        }
        case diskFull: { // the file cannot be written past its first bytes
            LWExport::RasterWriteHooks hooks;
            hooks.probe.writeFault = [](qint64 offset) { return offset > 0 ? ENOSPC : 0; };
            EXPECT_NE(exportPng(photo, hooks).first, QString());
            break;
        }
        case refused: { // more than the export's share holds: left out and named, then a new HEIC placed
            LWDecodeBudget::setLimit(LWPictureDecoder::Costs(heif).of({}).value_or(heifCost) + 1);
            QList<LWPictureTally::Undrawn> undrawn;
            LWExport::RasterWriteHooks hooks;
            hooks.undrawn = &undrawn;
            EXPECT_EQ(exportPng(photo, hooks).first, QString());
            ASSERT_EQ(undrawn.size(), 1);
            EXPECT_EQ(undrawn[0].why, LWPictureTally::Why::tooLarge);
            LWDecodeBudget::setLimit(oldLimit);
            const QColor colour = QColor::fromHsv(i * 15, 255, 255);
            const LWImage placed = LWWindowState::pictureOf(heic(plain(300, 200, colour)));
            EXPECT_EQ(LWImageCache::pixelSize(placed), QSizeF(300, 200));
            EXPECT_TRUE(LWImageCache::image(placed, true));
            break;
        }
        case cancelledRaster: {
            LWExport::RasterWriteHooks hooks;
            hooks.cancelled = [] { return true; };
            EXPECT_NE(exportPng(photo, hooks).first, QString());
            break;
        }
        case cancelledPdf:
            EXPECT_FALSE(LWExport::pdfData(photo, {0}, true, [](int) { return false; }));
            break;
        }
        LWWindowState::settle();
        EXPECT_TRUE(LWWindowState::givenBack());
        EXPECT_EQ(LWImageCache::stats().failures, remembered);
    }
    (void)LWImageCache::setBudget(tables);
    // Refused only for the memory of the moment: decodes now.
    const auto [why, middle] = exportPng(photo);
    EXPECT_EQ(why, QString());
    EXPECT_TRUE(bluish(middle));
    EXPECT_EQ(inUse(), 0);

    // A decode needing nearly all of the budget goes through (the page view's read, which waits
    // for memory: anything not given back would keep it waiting).
    LWDecodeBudget::setLimit(heifCost + heifCost / 10);
    LWImage other = LWImage::empty();
    other.data = heic(plain(side, side, Qt::red));
    auto decoded = std::make_shared<std::promise<bool>>();
    std::thread([decoded, other] { decoded->set_value(LWImageCache::image(other, false).has_value()); }).detach();
    auto done = decoded->get_future();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_TRUE(done.get());
    EXPECT_EQ(inUse(), 0);
}

// A preview the page view shows gives way to an export, never to another decode of the view:
// that decode waits for room instead, and the shown picture is not decoded again.
TEST_F(DecodeBudget, AShownPreviewGivesWayOnlyToAnExport)
{
    const LWImage shown = LWWindowState::pictureOf(encode(plain(1200, 900, Qt::red), "png") + "shown");
    const LWImage next = LWWindowState::pictureOf(encode(plain(1200, 900, Qt::green), "png") + "next");
    LWImageCache::setBudget(LWImageCache::setBudget({0, 0})); // nothing else kept to give way
    LWImageCache::Showing view;
    const auto drawn = [&](const LWImage &p) {
        for (int i = 0; i < 4000; ++i) {
            view.begin(false);
            const LWImageCache::Soon soon = LWImageCache::previewSoon(p, 0, {}, &view);
            view.done();
            if (soon.image && !soon.pending)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    };
    ASSERT_TRUE(drawn(shown));
    // Another decode in flight takes all the room the shown preview leaves.
    LWDecodeBudget::setLimit(LWDecodeBudget::kept() + (qint64(24) << 20));
    std::optional<LWDecodeBudget::Reservation> busy = LWDecodeBudget::reserve(qint64(23) << 20);
    ASSERT_TRUE(busy);
    auto decoded = std::async(std::launch::async, [&] { return LWImageCache::image(next, true).has_value(); });
    EXPECT_EQ(decoded.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout) << "it waits for room";
    busy.reset();
    ASSERT_EQ(decoded.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_TRUE(decoded.get());
    const qint64 decodes = LWImageCache::stats().decodes;
    EXPECT_TRUE(drawn(shown));
    EXPECT_EQ(LWImageCache::stats().decodes, decodes) << "the shown preview was kept";

    // An export that fits the budget only once a shown preview gives way: it is made, and the
    // view decodes that preview again.
    ASSERT_TRUE(drawn(next)); // both shown now, all that is kept
    const LWDocument photo = design(heic(plain(side, side, Qt::blue)));
    LWDecodeBudget::setLimit(qint64(side) * side * 16); // the export's decode, not beside both
    auto exported = std::async(std::launch::async, [&] { return exportPng(photo); });
    // Only against a hang: the export is never timed.
    const bool ended = exported.wait_for(std::chrono::minutes(5)) == std::future_status::ready;
    LWDecodeBudget::setLimit(oldLimit); // lets a waiting export go on
    ASSERT_TRUE(ended) << "the export waited for room the shown previews held";
    const auto [why, middle] = exported.get();
    EXPECT_EQ(why, QString());
    EXPECT_TRUE(bluish(middle));
    const qint64 exportedAt = LWImageCache::stats().decodes;
    EXPECT_TRUE(drawn(shown) && drawn(next));
    EXPECT_GT(LWImageCache::stats().decodes, exportedAt) << "a shown preview gave way";
}
