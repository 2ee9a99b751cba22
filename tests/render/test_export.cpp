#include "render/export.h"

#include "model/document.h"
#include "render/text/fonts.h"
#include "render/pdfprobe.h"
#include "support/pngcheck.h"
#include "render/renderer.h"
#include "render/sheet.h"

#include <QBuffer>
#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QImageReader>
#include <QImageWriter>
#include <QMap>
#include <QRegularExpression>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/mount.h>

using namespace LWExport;

namespace {

LWDocument card(const QString &name = QStringLiteral("Harbour Bakery"))
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, name);
    doc.pages[0].background = LWFill::solid(LWColor(1, 0, 0));
    doc.pages[1].background = LWFill::solid(LWColor(0, 0, 1));
    return doc;
}

// pHYs of a PNG: (x, y, unit), or nothing.
std::optional<std::tuple<quint32, quint32, int>> pngDensity(const QByteArray &png)
{
    const qsizetype at = png.indexOf("pHYs");
    if (at < 0 || at + 13 > png.size())
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(png.constData() + at + 4);
    return std::tuple{qFromBigEndian<quint32>(p), qFromBigEndian<quint32>(p + 4), int(p[8])};
}

// JFIF APP0 of a JPEG: (unit, x, y), or nothing.
std::optional<std::tuple<int, int, int>> jpegDensity(const QByteArray &jpg)
{
    if (!jpg.startsWith("\xFF\xD8\xFF\xE0") || jpg.mid(6, 5) != QByteArray("JFIF\0", 5))
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(jpg.constData() + 13);
    return std::tuple{int(p[0]), int(qFromBigEndian<quint16>(p + 1)), int(qFromBigEndian<quint16>(p + 3))};
}

// Grows every page's MediaBox (keeping no CropBox) so a render shows what lies past the box.
QByteArray widened(const QByteArray &pdf, double by)
{
    QList<PdfPageBoxes> grown;
    for (const pdfprobe::Boxes &b : pdfprobe::boxes(pdf))
        grown.append({b.media.value_or(QRectF()).adjusted(-by, -by, by, by), {}, {}, {}});
    return LWPdfFile::finish(pdf, {{}, grown, {}, {}, {}}).value_or(QByteArray());
}

QByteArray photoBytes()
{
    QImage img(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(x * 4, y * 5, (x * y) % 256));
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return bytes;
}

} // namespace

TEST(Export, RasterTypeAndPixelSize)
{
    EXPECT_EQ(rasterType(u"jpeg"), RasterType::jpeg);
    EXPECT_EQ(rasterType(u"png"), RasterType::png);
    EXPECT_FALSE(rasterType(u"JPEG"));
    EXPECT_FALSE(rasterType(u"jpg"));
    EXPECT_EQ(ext(RasterType::jpeg), "jpg");

    const LWDocument us = card();
    EXPECT_EQ(pixelSize(us, 300, true), (PixelSize{1125, 675}));
    EXPECT_EQ(pixelSize(us, 300, false), (PixelSize{1050, 600}));
    EXPECT_EQ(pixelSize(us, 0, true), (PixelSize{0, 0}));
}

TEST(Export, EncodeKeepsTransparencyAndDefaultsToQuality92)
{
    QImage img(10, 10, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setPixel(2, 2, qRgba(0, 0, 255, 255));
    const std::optional<QByteArray> png = encode(img, RasterType::png, 72);
    ASSERT_TRUE(png);
    const QImage back = QImage::fromData(*png);
    EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0);
    EXPECT_EQ(back.pixel(2, 2), qRgba(0, 0, 255, 255));

    // The same bytes as Qt's writer at 92, and the caller's image keeps its own resolution.
    QImage opaque(40, 20, QImage::Format_RGB32);
    opaque.fill(Qt::darkGreen);
    QImage dense = opaque;
    dense.setDotsPerMeterX(11811);
    dense.setDotsPerMeterY(11811);
    QByteArray manual;
    QBuffer b(&manual);
    b.open(QIODevice::WriteOnly);
    QImageWriter w(&b, "jpeg");
    w.setQuality(92);
    ASSERT_TRUE(w.write(dense));
    EXPECT_EQ(encode(opaque, RasterType::jpeg, 300), manual);
    EXPECT_NE(opaque.dotsPerMeterX(), 11811);

    EXPECT_FALSE(encode(QImage(), RasterType::png, 300));
    for (double dpi : {0.0, qQNaN(), 70000.0})
        EXPECT_FALSE(encode(img, RasterType::jpeg, dpi)) << dpi;
}

TEST(Export, PdfPageBoxesAreExact)
{
    const LWDocument us = card();
    std::optional<QByteArray> pdf = pdfData(us, {0, 1}, true);
    ASSERT_TRUE(pdf);
    QList<pdfprobe::Boxes> pages = pdfprobe::boxes(*pdf);
    ASSERT_EQ(pages.size(), 2);
    for (const pdfprobe::Boxes &b : pages) {
        for (const auto &box : {b.media, b.crop, b.bleed})
            EXPECT_TRUE(pdfprobe::near(box, {0, 0, 270, 162}));
        EXPECT_TRUE(pdfprobe::near(b.trim, {9, 9, 252, 144}));
    }

    pdf = pdfData(us, {0, 1}, false);
    ASSERT_TRUE(pdf);
    pages = pdfprobe::boxes(*pdf);
    ASSERT_EQ(pages.size(), 2);
    for (const pdfprobe::Boxes &b : pages)
        for (const auto &box : {b.media, b.crop, b.bleed, b.trim})
            EXPECT_TRUE(pdfprobe::near(box, {0, 0, 252, 144}));

    for (const LWSizePreset &preset : {LWSizePreset::euCard, LWSizePreset::a4, LWSizePreset::letter}) {
        SCOPED_TRACE(preset.id.toStdString());
        pdf = pdfData(LWDocument::blank(preset, std::nullopt), {0}, true);
        ASSERT_TRUE(pdf);
        pages = pdfprobe::boxes(*pdf);
        ASSERT_EQ(pages.size(), 1);
        const QRectF all(0, 0, preset.width + 18, preset.height + 18);
        for (const auto &box : {pages[0].media, pages[0].crop, pages[0].bleed})
            EXPECT_TRUE(pdfprobe::near(box, all));
        EXPECT_TRUE(pdfprobe::near(pages[0].trim, {9, 9, preset.width, preset.height}));
    }
    EXPECT_TRUE(pdfprobe::near(pages[0].media, {0, 0, 630, 810})); // the Letter flyer
}

TEST(Export, PdfPagesFollowTheArgumentAndSkipBadIndexes)
{
    const LWDocument us = card();
    const std::optional<QByteArray> pdf = pdfData(us, {1, 0, 1}, true);
    ASSERT_TRUE(pdf);
    ASSERT_EQ(pdfprobe::boxes(*pdf).size(), 3);
    const bool blueFirst[] = {true, false, true};
    for (int i = 0; i < 3; ++i) {
        const QImage img = pdfprobe::poppler(*pdf, i + 1, 36);
        ASSERT_FALSE(img.isNull());
        const QRgb c = img.pixel(img.width() / 2, img.height() / 2);
        EXPECT_EQ(qBlue(c) > 200 && qRed(c) < 50, blueFirst[i]) << i;
        EXPECT_EQ(qRed(c) > 200 && qBlue(c) < 50, !blueFirst[i]) << i;
    }
    const std::optional<QByteArray> one = pdfData(us, {-1, 0}, true);
    ASSERT_TRUE(one);
    EXPECT_EQ(pdfprobe::boxes(*one).size(), 1);
    // No page at all: none rather than a PDF without pages.
    EXPECT_FALSE(pdfData(us, {}, false));
    EXPECT_FALSE(pdfData(us, {-1, 2}, false));
}

// A negative bleed shrinks the box inside the trim: the trim box stays within the media box.
TEST(Export, PdfOfANegativeBleedKeepsItsBoxesNested)
{
    LWDocument us = card();
    us.bleed = -5;
    const std::optional<QByteArray> pdf = pdfData(us, {0}, true);
    ASSERT_TRUE(pdf);
    const QList<pdfprobe::Boxes> pages = pdfprobe::boxes(*pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pdfprobe::near(pages[0].media, {0, 0, 242, 134}));
    EXPECT_TRUE(pdfprobe::near(pages[0].trim, {0, 0, 242, 134}));
    us.bleed = -200; // nothing left of the page
    EXPECT_FALSE(pdfData(us, {0}, true));
}

TEST(Export, PdfCarriesCreatorAndTitle)
{
    const QString name = QStringLiteral("Caf\u00e9 \u2014 (north) \\ \U0001F3A8"); // escapes and UTF-16
    std::optional<QByteArray> pdf = pdfData(card(name), {0}, true);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdfprobe::info(*pdf, "/Creator"), QStringLiteral("VELK Leafwrighter \u2014 Velkmoor"));
    EXPECT_EQ(pdfprobe::info(*pdf, "/Title"), name);
    pdf = pdfData(card(QString()), {0}, true);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdfprobe::info(*pdf, "/Title"), QString());
}

// Background and a shape both reach into the bleed; without bleed none of it may be in the file.
TEST(Export, WithoutBleedNothingOfTheBleedReachesTheFile)
{
    LWDocument doc = card();
    doc.pages[0].background = LWFill::solid(LWColor(0, 0.6, 0));
    doc.pages[0].elements.append(LWElement::makeShape(LWShapeKind::rectangle, LWRect(-9, -9, 40, 40),
                                                      LWFill::solid(LWColor(0, 0, 0)), std::nullopt));
    for (bool bleed : {false, true}) {
        SCOPED_TRACE(bleed);
        const std::optional<QByteArray> pdf = pdfData(doc, {0}, bleed);
        ASSERT_TRUE(pdf);
        const double margin = bleed ? 9 : 0;
        const QImage img = pdfprobe::poppler(widened(*pdf, 20), 1, 144); // 2 px per point
        ASSERT_FALSE(img.isNull());
        auto at = [&](double x, double y) {
            return img.pixel(int((x + 20 + margin) * 2), int((y + 20 + margin) * 2));
        };
        EXPECT_TRUE(pdfprobe::isBlack(at(1, 1)));        // inside the trim
        EXPECT_EQ(pdfprobe::isBlack(at(-4, -4)), bleed); // the bleed
        auto green = [](QRgb c) { return qGreen(c) > 120 && qRed(c) < 60 && qBlue(c) < 60; };
        EXPECT_EQ(green(at(100, -4)), bleed);         // background in the bleed
        EXPECT_TRUE(pdfprobe::isWhite(at(-15, -15))); // past the bleed
    }
}

// pdffonts rows as (name, emb, sub); the columns are name type encoding emb sub uni object ID.
QList<std::tuple<QString, QString, QString>> fontRows(const QByteArray &pdf)
{
    QList<std::tuple<QString, QString, QString>> rows;
    for (const QString &line : pdfprobe::fonts(pdf).split(u'\n', Qt::SkipEmptyParts).mid(2)) {
        const QStringList cols = line.split(u' ', Qt::SkipEmptyParts);
        if (cols.size() >= 7)
            rows.append({cols[0], cols[cols.size() - 5], cols[cols.size() - 4]});
    }
    return rows;
}

TEST(Export, PdfTextIsRealTextWithTaggedFontSubsets)
{
    LWFonts::registerBundled();
    auto design = [](const QString &second) {
        LWDocument doc = card();
        doc.pages[0].elements.append(LWElement::makeText(
            LWText(QStringLiteral("Harbour Bakery"), QStringLiteral("HelveticaNeue"), 18, LWColor::white),
            LWRect(20, 20, 220, 40)));
        doc.pages[0].elements.append(LWElement::makeText(
            LWText(QStringLiteral("Est. 1921"), QStringLiteral("HelveticaNeue-Bold"), 9, LWColor::white),
            LWRect(20, 70, 220, 20)));
        doc.pages[1].elements.append(LWElement::makeText(
            LWText(second, QStringLiteral("Georgia"), 12, LWColor::white), LWRect(20, 20, 220, 40)));
        return doc;
    };
    const LWDocument doc = design(QStringLiteral("Fresh bread daily"));
    const std::optional<QByteArray> pdf = pdfData(doc, {0, 1}, true);
    const std::optional<QByteArray> again = pdfData(doc, {0, 1}, true);
    const std::optional<QByteArray> other = pdfData(design(QStringLiteral("Warm rolls at noon")), {0, 1}, true);
    const std::optional<QByteArray> sheet = sheetPDF(doc, {0, 1});
    ASSERT_TRUE(pdf && again && other && sheet);
    const QString text = pdfprobe::text(*pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Harbour Bakery"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Fresh bread daily"))) << text.toStdString();

    const QRegularExpression tagged(QStringLiteral("^[A-Z]{6}\\+(.+)$"));
    QMap<QString, QString> tags; // face -> tag, from the first export
    for (const QByteArray *bytes : {&*pdf, &*again, &*other, &*sheet}) {
        const auto rows = fontRows(*bytes);
        EXPECT_EQ(rows.size(), 3);
        for (const auto &[name, emb, sub] : rows) {
            EXPECT_EQ(emb, "yes") << name.toStdString();
            EXPECT_EQ(sub, "yes") << name.toStdString();
            const QRegularExpressionMatch m = tagged.match(name);
            ASSERT_TRUE(m.hasMatch()) << name.toStdString();
            if (bytes == &*pdf) {
                tags[m.captured(1)] = name.left(6);
            } else if (bytes == &*again) {
                EXPECT_EQ(tags.value(m.captured(1)), name.left(6)) << name.toStdString(); // same subset
            } else if (bytes == &*other && tags.value(m.captured(1)) != name.left(6)) {
                tags.remove(m.captured(1)); // only the face with other letters may differ
            }
        }
    }
    EXPECT_EQ(tags.size(), 2); // the serif face got another tag for other letters
}

// Qt 6.4 writes fades as opaque: the page must come out of a PDF reader transparent at the rim.
TEST(Export, GradientFadingToTransparentStaysTransparent)
{
    LWDocument doc = card();
    doc.pages[0].background = LWFill::none();
    doc.pages[0].elements.append(LWElement::makeShape(
        LWShapeKind::rectangle, LWRect(0, 0, 252, 144),
        LWFill::radial(LWColor(0.9, 0.2, 0.1, 1), LWColor(0.9, 0.2, 0.1, 0)), std::nullopt));
    const std::optional<QByteArray> pdf = pdfData(doc, {0}, false);
    ASSERT_TRUE(pdf);
    const QImage img = pdfprobe::qtpdf(*pdf, 0, QSize(504, 288));
    ASSERT_FALSE(img.isNull());
    EXPECT_GT(qAlpha(img.pixel(252, 144)), 200); // the centre
    EXPECT_LT(qAlpha(img.pixel(4, 4)), 40);      // the corner, 0.62 x 252 from the centre and beyond
}

TEST(Export, PictureUsedOnSeveralPagesIsStoredOnceAndLossless)
{
    // A PNG goes in as deflated pixels, a JPEG as its own bytes; either is stored once for its
    // three placements.
    QByteArray jpeg;
    QBuffer b(&jpeg);
    b.open(QIODevice::WriteOnly);
    QImage::fromData(photoBytes()).save(&b, "JPEG");
    for (const QByteArray &bytes : {photoBytes(), jpeg}) {
        const bool isJpeg = bytes.startsWith("\xFF\xD8");
        SCOPED_TRACE(isJpeg ? "jpeg" : "png");
        LWDocument doc = card();
        LWElement photo = LWElement::makePhoto(LWRect(20, 20, 96, 72));
        photo.image->data = bytes;
        doc.pages[0].elements.append(photo);
        doc.pages[1].elements.append(photo.duplicated());
        const std::optional<QByteArray> pdf = pdfData(doc, {0, 1, 0}, true);
        ASSERT_TRUE(pdf);
        EXPECT_EQ(pdfprobe::imageCount(*pdf), 1);
        const QList<LWPdfFile::StoredImage> images = LWPdfFile::images(*pdf);
        ASSERT_EQ(images.size(), 1);
        EXPECT_EQ(images[0].filter, isJpeg ? "/DCTDecode" : "/FlateDecode"); // no lossy re-encoding of a PNG
        EXPECT_EQ(images[0].width, 64);
        if (isJpeg)
            EXPECT_EQ(images[0].data, bytes);
    }
}

TEST(Export, RasterHasPixelSizeAndResolution)
{
    const LWDocument us = card();
    for (int dpi : {300, 600}) {
        SCOPED_TRACE(dpi);
        const PixelSize size = pixelSize(us, dpi, true);
        const std::optional<QByteArray> png = rasterData(us, 0, dpi, true, RasterType::png);
        const std::optional<QByteArray> jpg = rasterData(us, 0, dpi, true, RasterType::jpeg);
        ASSERT_TRUE(png && jpg);
        const quint32 perMetre = dpi == 300 ? 11811 : 23622;
        EXPECT_EQ(pngDensity(*png), std::tuple(perMetre, perMetre, 1));
        EXPECT_EQ(lwPngFault(*png), "");
        EXPECT_EQ(jpegDensity(*jpg), std::tuple(1, dpi, dpi));
        for (const QByteArray *bytes : {&*png, &*jpg}) {
            const QImage img = QImage::fromData(*bytes);
            EXPECT_EQ(img.width(), size.width);
            EXPECT_EQ(img.height(), size.height);
            const QRgb c = img.pixel(img.width() / 2, img.height() / 2);
            EXPECT_GT(qRed(c), 200);
            EXPECT_LT(qBlue(c), 50);
        }
    }
    // Without bleed the picture is the trim box.
    const QByteArray trimmed = rasterData(us, 0, 72, false, RasterType::png).value_or(QByteArray());
    EXPECT_EQ(lwPngFault(trimmed), "");
    EXPECT_EQ(QImage::fromData(trimmed).size(), QSize(252, 144));
}

TEST(Export, RasterOfAnInvisibleBackgroundIsOpaqueWhite)
{
    LWDocument doc = card();
    doc.pages[0].background = LWFill::solid(LWColor(0.2, 0.4, 0.6, 0));
    const std::optional<QByteArray> png = rasterData(doc, 0, 72, true, RasterType::png);
    ASSERT_TRUE(png);
    EXPECT_EQ(lwPngFault(*png), "");
    const QImage img = QImage::fromData(*png);
    EXPECT_FALSE(img.hasAlphaChannel());
    EXPECT_EQ(img.pixel(img.width() / 2, img.height() / 2), qRgb(255, 255, 255));
}

// The largest preset at the highest offered resolution must still export; past the longest
// side drawn, none.
TEST(Export, RasterRefusesOnlyWhatCannotBeMade)
{
    const LWDocument us = card();
    EXPECT_FALSE(rasterData(us, 2, 300, true, RasterType::png));
    EXPECT_FALSE(rasterData(us, 0, 0.1, false, RasterType::png)); // rounds below a pixel
    // 24 x 24 inches at 1400 dpi is 33,950 pixels a side.
    const LWDocument huge =
        LWDocument::blank(LWDocKind::flyer, QStringLiteral("custom"), 1728, 1728, 18, QStringLiteral("Huge"));
    EXPECT_FALSE(rasterFits(huge, 0, 1400, true, RasterType::jpeg));
    EXPECT_FALSE(rasterData(huge, 0, 1400, true, RasterType::jpeg));
    EXPECT_TRUE(rasterFits(huge, 0, 1300, true, RasterType::png));

    const LWDocument tabloid = LWDocument::blank(LWSizePreset::tabloid, std::nullopt);
    EXPECT_EQ(pixelSize(tabloid, 600, true), (PixelSize{6750, 10350}));
    const std::optional<QByteArray> jpg = rasterData(tabloid, 0, 600, true, RasterType::jpeg);
    ASSERT_TRUE(jpg);
    QBuffer b(const_cast<QByteArray *>(&*jpg));
    b.open(QIODevice::ReadOnly);
    EXPECT_EQ(QImageReader(&b).size(), QSize(6750, 10350));
}

// A raster export that stops midway (the disk fills, the user cancels) leaves no file and no
// temporary, keeps an earlier file as it was, and says why.
TEST(Export, RasterWriteStoppedMidwayLeavesNoFile)
{
    LWFonts::registerBundled();
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Flyer"));
    doc.pages[0].background = LWFill::linear(LWColor::hex(0xF7F3EA), LWColor::hex(0x1F3A5F), 30);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A file system of 256 KiB inside the temporary folder, where the system allows it.
    const QString small = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("small")));
    const bool mounted =
        ::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") == 0;
    const auto unmount = qScopeGuard([&] {
        if (mounted)
            ::umount2(QFile::encodeName(small).constData(), MNT_DETACH);
    });

    struct Case {
        const char *what;
        RasterType type;
        QString folder;
        int failingWrite; // the n-th write into the file fails with ENOSPC (0: none)
        int cancelAfter;  // bands taken before the export is cancelled (-1: never)
        QString reason;
    };
    const QString full = LWFileAccess::systemReason(ENOSPC);
    const QString cancelled = QStringLiteral("the export was cancelled");
    QList<Case> cases{{"png, disk full", RasterType::png, dir.path(), 4, -1, full},
                      {"jpeg, disk full", RasterType::jpeg, dir.path(), 3, -1, full},
                      {"png, cancelled", RasterType::png, dir.path(), 0, 2, cancelled},
                      {"jpeg, cancelled", RasterType::jpeg, dir.path(), 0, 5, cancelled}};
    if (mounted)
        cases.append({"png, small file system", RasterType::png, small, 0, -1, full});
    for (const Case &c : cases) {
        for (const bool earlier : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.what << (earlier ? ", over an earlier file" : ""));
            const QString file = QDir(c.folder).filePath(QStringLiteral("flyer.") + ext(c.type));
            if (earlier) {
                QFile old(file);
                ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            }
            int writes = 0, taken = 0;
            RasterWriteHooks hooks;
            hooks.probe.writeFault = [&](qint64) { return ++writes == c.failingWrite ? ENOSPC : 0; };
            hooks.progressed = [&](int, int) { ++taken; };
            hooks.cancelled = [&] { return c.cancelAfter >= 0 && taken >= c.cancelAfter; };
            EXPECT_EQ(writeRaster(doc, 0, 600, true, c.type, 0.92, file, hooks), c.reason);
            EXPECT_GT(writes, 1); // stopped midway, not before the first band
            const QStringList left = QDir(c.folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
            if (!earlier) {
                EXPECT_EQ(left, QStringList());
                continue;
            }
            EXPECT_EQ(left, QStringList{QFileInfo(file).fileName()});
            QFile old(file);
            ASSERT_TRUE(old.open(QIODevice::ReadOnly));
            EXPECT_EQ(old.readAll(), QByteArray("old"));
            old.remove();
        }
    }
}