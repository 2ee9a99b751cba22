#include "diagnostics/groupfixture.h"
#include "diagnostics/selftestaids.h"
#include "render/export.h"
#include "render/pdf/pdffile.h"

#include <QColor>
#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

using namespace LWSelfTest;

QImage filled(int w, int h, QColor color, QImage::Format format = QImage::Format_ARGB32)
{
    QImage img(w, h, format);
    img.fill(color);
    return img;
}

// Header bytes only: the aids read no further than the headers, so CRCs and image data are left out.
template <typename T>
QByteArray be(T v)
{
    QByteArray b(sizeof v, '\0');
    qToBigEndian(v, b.data());
    return b;
}
const auto be32 = be<quint32>;
const auto be16 = be<quint16>;
QByteArray pngChunk(const char *type, const QByteArray &data)
{
    return be32(quint32(data.size())) + type + data + QByteArray(4, '\0');
}
QByteArray png(quint32 w, quint32 h, std::optional<QByteArray> phys)
{
    QByteArray b("\x89PNG\r\n\x1a\n");
    b += pngChunk("IHDR", be32(w) + be32(h) + QByteArray("\x08\x06\x00\x00\x00", 5));
    if (phys)
        b += pngChunk("pHYs", *phys);
    return b + pngChunk("IDAT", QByteArray(4, 'x')) + pngChunk("IEND", {});
}
QByteArray jpegSegment(uchar marker, const QByteArray &body)
{
    return QByteArray(1, '\xFF') + char(marker) + be16(quint16(body.size() + 2)) + body;
}
QByteArray jpeg(quint16 w, quint16 h, std::optional<std::pair<uchar, quint16>> jfif, uchar sof = 0xC0)
{
    QByteArray b("\xFF\xD8", 2);
    if (jfif)
        b += jpegSegment(0xE0, QByteArray("JFIF\0\x01\x02", 7) + char(jfif->first) + be16(jfif->second) +
                                   be16(jfif->second) + QByteArray(2, '\0'));
    b += jpegSegment(0xDB, QByteArray(65, '\x01')); // a quantisation table before the frame
    b += jpegSegment(sof, QByteArray(1, '\x08') + be16(h) + be16(w) + QByteArray("\x03\x01\x22\x00", 4));
    return b + QByteArray("\xFF\xDA\x00\x02\xFF\xD9", 6);
}

TEST(SelfTestAids, PixelReadsRgbAndBlackOutside)
{
    // ARGB32 stores blue first in memory: the aid must still hand out red, green, blue.
    QImage img = filled(4, 3, QColor(255, 128, 0));
    img.setPixelColor(3, 2, QColor(10, 20, 30));
    const Pixels px(img);
    const Sample inside = pixel(px, 0, 0), corner = pixel(px, 3, 2);
    EXPECT_TRUE(inside.r == 1.0 && inside.g == 128 / 255.0 && inside.b == 0.0) << inside.r << " " << inside.b;
    EXPECT_DOUBLE_EQ(corner.r + corner.g + corner.b, 60 / 255.0);
    for (auto [x, y] : {std::pair{4, 0}, std::pair{0, -1}, std::pair{-1, 0}, std::pair{0, 3}}) {
        const Sample s = pixel(px, x, y);
        EXPECT_EQ(s.r + s.g + s.b, 0.0) << x << "," << y;
    }
    EXPECT_EQ(pixel(Pixels(QImage()), 0, 0).r, 0.0);
}

TEST(SelfTestAids, Thresholds)
{
    EXPECT_TRUE(close(0, 0.01) && !close(0, 0.0101));
    EXPECT_TRUE(close(2, 2.5, 0.5) && !close(2, 1.4, 0.5));
    struct Case {
        Sample s;
        bool dark, white;
    };
    const QList<Case> cases{
        {{1.2, 0, 0}, false, false},       {{1.19, 0, 0}, true, false}, {{0.97, 0.97, 0.96}, false, false},
        {{0.97, 0.97, 0.97}, false, true}, {{0, 0, 0}, true, false},   {{1, 1, 1}, false, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isDark(c.s), c.dark) << c.s.r << " " << c.s.g << " " << c.s.b;
        EXPECT_EQ(isWhite(c.s), c.white) << c.s.r << " " << c.s.g << " " << c.s.b;
    }

    // darkNear reads only inside the image: a grey of sum 1.4 (3 x 119 / 255) in the top-left corner of a white 5 x 5 image.
    QImage img = filled(5, 5, Qt::white);
    img.setPixelColor(0, 0, QColor(119, 119, 119));
    const Pixels px(img);
    EXPECT_FALSE(isDark(pixel(px, 0, 0)));
    EXPECT_TRUE(darkNear(px, 0, 0) && darkNear(px, 1, 1));
    EXPECT_FALSE(darkNear(px, 2, 2) || darkNear(px, 4, 4) || darkNear(px, 4, 0)); // outside would read black
    EXPECT_FALSE(darkNear(Pixels(filled(5, 5, QColor(130, 130, 130))), 2, 2)); // sum 1.53
}

TEST(SelfTestAids, DistinctColors)
{
    QImage stripes = filled(20, 5, Qt::blue);
    for (int y = 0; y < 5; ++y)
        stripes.setPixelColor(0, y, Qt::red);
    QImage twoPixels = filled(2, 1, Qt::red);
    twoPixels.setPixelColor(1, 0, Qt::green);
    QImage nearlySame = filled(2, 1, QColor(240, 240, 240)); // both 14 in 4 bits
    nearlySame.setPixelColor(1, 0, QColor(250, 250, 250));
    struct Case {
        const char *name;
        QImage image;
        int step, want;
    };
    const QList<Case> cases{
        {"one colour", filled(100, 60, Qt::darkCyan), 7, 1},
        {"narrower than the step: column 0 only", stripes.copy(0, 0, 5, 5), 7, 1},
        {"columns 0 and 7", stripes, 7, 2},
        {"step 0 counts as 1", twoPixels, 0, 2},
        {"negative step", twoPixels, -3, 2},
        {"step past the second pixel", twoPixels, 2, 1},
        {"quantised to 4 bits", nearlySame, 1, 1},
        {"no pixels", QImage(), 7, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(distinctColors(Pixels(c.image), c.step), c.want) << c.name;
}

TEST(SelfTestAids, Fingerprint)
{
    EXPECT_NE(fingerprint(QByteArrayView()), fingerprint(QByteArrayView("a")));
    const QImage a = filled(30, 20, Qt::red);
    QImage b = a.copy();
    EXPECT_EQ(fingerprint(a), fingerprint(b));
    b.setPixelColor(29, 19, QColor(255, 0, 1));
    EXPECT_NE(fingerprint(a), fingerprint(b));
}

TEST(SelfTestAids, ImageInfo)
{
    const QImage sample = QImage::fromData(samplePNG(900, 600));
    std::optional<QByteArray> jpeg300 = LWExport::encode(sample, LWExport::RasterType::jpeg, 300);
    ASSERT_TRUE(jpeg300);
    struct Case {
        const char *name;
        QByteArray bytes;
        std::optional<ImageInfo> want;
    };
    const QList<Case> cases{
        {"sample PNG", samplePNG(900, 600), ImageInfo{900, 600, 11811 * 0.0254}},
        {"exported JPEG", *jpeg300, ImageInfo{900, 600, 300}},
        {"PNG without pHYs", png(7, 5, std::nullopt), ImageInfo{7, 5, 0}},
        {"PNG pHYs without unit", png(7, 5, be32(11811) + be32(11811) + '\0'), ImageInfo{7, 5, 0}},
        {"PNG pHYs after IDAT is not read", png(7, 5, std::nullopt).replace("IEND", "pHYs"), ImageInfo{7, 5, 0}},
        {"JPEG dots per inch", jpeg(640, 480, std::pair{uchar(1), quint16(72)}), ImageInfo{640, 480, 72}},
        {"JPEG dots per cm", jpeg(640, 480, std::pair{uchar(2), quint16(118)}), ImageInfo{640, 480, 299.72}},
        {"JPEG units 0", jpeg(640, 480, std::pair{uchar(0), quint16(300)}), ImageInfo{640, 480, 0}},
        {"JPEG without JFIF, progressive", jpeg(3, 65535, std::nullopt, 0xC2), ImageInfo{3, 65535, 0}},
        {"JPEG whose DHT comes first", jpeg(3, 4, std::nullopt, 0xC4), std::nullopt},
        {"JPEG of height 0", jpeg(3, 0, std::nullopt), std::nullopt},
        {"JPEG cut inside its frame header", jpeg(640, 480, std::nullopt).left(2 + 69 + 6), std::nullopt},
        {"PNG of width 0", png(0, 5, std::nullopt), std::nullopt},
        {"PNG cut after the signature", png(7, 5, std::nullopt).left(12), std::nullopt},
        {"GIF", QByteArray("GIF89a\x01\x00\x01\x00", 10), std::nullopt},
        {"no bytes", QByteArray(), std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<ImageInfo> got = imageInfo(c.bytes);
        ASSERT_EQ(got.has_value(), c.want.has_value());
        if (!got)
            continue;
        EXPECT_EQ(got->w, c.want->w);
        EXPECT_EQ(got->h, c.want->h);
        EXPECT_NEAR(got->dpi, c.want->dpi, 1e-9);
    }
}

using SelfTestPdf = SelfTestGroupTest; // exports read the settings: a throw-away store

TEST_F(SelfTestPdf, PagesBoxesAndFontResources)
{
    EXPECT_TRUE(pdfPages("not a PDF").isEmpty() && pdfPages({}).isEmpty());
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    LWText text;
    text.string = QStringLiteral("Vector words");
    text.fontName = QStringLiteral("Lato-Regular");
    card.pages[0].elements.append(LWElement::makeText(text, {20, 20, 200, 40}));
    const std::optional<QByteArray> pdf = LWExport::pdfData(card, {0, 1}, true);
    ASSERT_TRUE(pdf);
    const QList<PageBoxes> pages = pdfPages(*pdf);
    ASSERT_EQ(pages.size(), 2);
    for (const PageBoxes &p : pages) {
        EXPECT_TRUE(close(p.media.width(), 270) && close(p.media.height(), 162)) << p.media.width() << " x " << p.media.height();
        EXPECT_TRUE(close(p.trim.x(), 9) && close(p.trim.width(), 252) && close(p.trim.height(), 144));
    }
    EXPECT_GT(LWPdfFile::fontResourceCount(*pdf, 0).value_or(0), 0);
    EXPECT_EQ(LWPdfFile::fontResourceCount(*pdf, 1), 0); // the empty back
    for (const auto &[bytes, page] : {std::pair{*pdf, 2}, std::pair{*pdf, -1}, std::pair{QByteArray("not a PDF"), 0}})
        EXPECT_EQ(LWPdfFile::fontResourceCount(bytes, page), std::nullopt) << page;

    // Without a trim box the crop box counts, without that the media box.
    const QRectF media(0, 0, 300, 200), crop(10, 10, 280, 180);
    LWPdfFile::Finish how;
    how.pages = QList<LWExport::PdfPageBoxes>{{media, std::nullopt, std::nullopt, std::nullopt},
                                              {media, crop, std::nullopt, std::nullopt}};
    const std::optional<QByteArray> rewritten = LWPdfFile::finish(*pdf, how);
    ASSERT_TRUE(rewritten);
    const QList<PageBoxes> defaults = pdfPages(*rewritten);
    ASSERT_EQ(defaults.size(), 2);
    EXPECT_TRUE(defaults[0].media == media && defaults[0].trim == media && defaults[1].trim == crop);
}

TEST_F(SelfTestPdf, EditorKeepsOffTheClipboard)
{
    const LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    const std::unique_ptr<LWEditor> ed = editor(doc);
    EXPECT_TRUE(!ed->usePasteboard() && !ed->fileURL() && ed->doc() == doc);
}

} // namespace
