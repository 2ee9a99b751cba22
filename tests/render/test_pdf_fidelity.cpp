#include "model/document.h"
#include "render/export.h"
#include "render/pdf/pdffile.h"
#include "render/renderer.h"
#include "render/sheet.h"

#include "support/testpictures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include <jpeglib.h>

// Print PDFs read by two independent PDF readers must look like the renderer's own bitmap of the
// same page at the same resolution: gradients with transparency included. The pages hold no text
// and no strokes, so only the antialiasing of fill edges differs between the rasterisers.
namespace {

constexpr double dpi = 144;

struct Reader {
    const char *name;
    QString program;
    QStringList args; // %in and %out are replaced
};

const Reader readers[] = {
    {"poppler", QStringLiteral("pdftoppm"),
     {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("%in"),
      QStringLiteral("%out/page")}},
    {"mupdf", QStringLiteral("mutool"),
     {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-o"),
      QStringLiteral("%out/page-%04d.png"), QStringLiteral("%in")}},
};

// Every page of the PDF as the reader draws it, in page order; empty when the reader fails.
QList<QImage> rasterise(const Reader &reader, const QByteArray &pdf)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.pdf"));
    QFile f(in);
    if (!f.open(QIODevice::WriteOnly) || f.write(pdf) != pdf.size())
        return {};
    f.close();
    QDir out(dir.filePath(QStringLiteral("out")));
    out.mkpath(QStringLiteral("."));
    QStringList args;
    for (QString a : reader.args)
        args << a.replace(QStringLiteral("%in"), in).replace(QStringLiteral("%out"), out.path());
    QProcess p;
    p.start(reader.program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << reader.name << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    QList<QImage> pages;
    for (const QString &name : out.entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name))
        pages.append(QImage(out.filePath(name)).convertToFormat(QImage::Format_RGB32));
    return pages;
}

struct Difference {
    double mean = 0;  // worst channel's mean absolute difference, 0...1
    double block = 0; // worst 8 x 8 block's mean absolute difference in one channel, 0...1
    QPoint at;        // that block's top-left pixel
};

// Blocks of the 8-pixel grid count only where they lie wholly inside `blocks` (pixels); the
// mean covers every pixel.
Difference compare(const QImage &got, const QImage &want, QRect blocks = {})
{
    if (got.size() != want.size())
        return {1, 1, {}};
    const QRect all = want.rect(), inside = blocks.isNull() ? all : blocks;
    Difference d;
    std::array<double, 3> total{};
    for (int by = 0; by < all.height(); by += 8) {
        for (int bx = 0; bx < all.width(); bx += 8) {
            const QRect block(bx, by, 8, 8);
            std::array<double, 3> sum{};
            for (int y = by; y <= (block & all).bottom(); ++y) {
                const QRgb *a = reinterpret_cast<const QRgb *>(got.constScanLine(y));
                const QRgb *b = reinterpret_cast<const QRgb *>(want.constScanLine(y));
                for (int x = bx; x <= (block & all).right(); ++x) {
                    sum[0] += std::abs(qRed(a[x]) - qRed(b[x]));
                    sum[1] += std::abs(qGreen(a[x]) - qGreen(b[x]));
                    sum[2] += std::abs(qBlue(a[x]) - qBlue(b[x]));
                }
            }
            for (int c = 0; c < 3; ++c) {
                total[c] += sum[c];
                if (inside.contains(block) && sum[c] / (255.0 * 64) > d.block) {
                    d.block = sum[c] / (255.0 * 64);
                    d.at = block.topLeft();
                }
            }
        }
    }
    for (const double t : total)
        d.mean = std::max(d.mean, t / (255.0 * all.width() * all.height()));
    return d;
}

// Every reader's drawing of the PDF against the renderer's bitmaps, page by page; blocks are
// compared only inside `blocks` (see compare).
void expectReadersMatch(const QByteArray &pdf, const QList<QImage> &want, const QStringList &names, QRect blocks = {})
{
    for (const Reader &reader : readers) {
        const QList<QImage> got = rasterise(reader, pdf);
        ASSERT_EQ(got.size(), want.size()) << reader.name;
        for (int i = 0; i < want.size(); ++i) {
            const Difference d = compare(got[i], want[i].convertToFormat(QImage::Format_RGB32), blocks);
            const std::string what = std::string(reader.name) + ", " + names[i].toStdString();
            EXPECT_LT(d.mean, 0.01) << what << ": mean difference " << d.mean;
            EXPECT_LT(d.block, 0.12) << what << ": 8x8 block at (" << d.at.x() << ", " << d.at.y() << ") differs by "
                                     << d.block;
        }
    }
}

struct Gradient {
    const char *name;
    LWFillKind kind;
    double angle;
};

const Gradient gradients[] = {{"linear 0", LWFillKind::linear, 0},
                              {"linear 45", LWFillKind::linear, 45},
                              {"linear 90", LWFillKind::linear, 90},
                              {"linear 135", LWFillKind::linear, 135},
                              {"radial", LWFillKind::radial, 0}};
const double alphas[] = {0, 0.5, 1};

LWFill fillOf(const Gradient &g, double alpha)
{
    return {g.kind, LWColor(1, 0.85, 0.1, 1), LWColor(0.85, 0.1, 0.35, alpha), g.angle};
}

const LWFill bluePage = LWFill::solid(LWColor(0.1, 0.25, 0.8));

// One page per way of drawing a fill: filled shape, icon, page background, a rotated element
// inside a half-transparent group, a half-transparent shape.
const char *const placements[] = {"shape", "icon", "page background", "rotated in group", "half-transparent shape"};

LWPage pageFor(int placement, const LWFill &fill)
{
    LWPage page;
    page.background = bluePage;
    switch (placement) {
    case 0:
        page.elements.append(LWElement::makeShape(LWShapeKind::ellipse, {30, 15, 170, 110}, fill, std::nullopt));
        break;
    case 1:
        page.elements.append(LWElement::makeIcon(QStringLiteral("heart"), {60, 10, 130, 120}, fill));
        break;
    case 2:
        page.background = fill;
        break;
    case 3: {
        LWElement under = LWElement::makeShape(LWShapeKind::rectangle, {20, 40, 120, 60},
                                               LWFill::solid(LWColor(0.2, 0.8, 0.3)), std::nullopt);
        LWElement turned = LWElement::makeShape(LWShapeKind::rectangle, {70, 20, 150, 90}, fill, std::nullopt, 12);
        turned.rotation = 30;
        LWElement group(LWElement::Kind::group, QStringLiteral("Group"), {20, 0, 220, 140});
        group.children = QList<LWElement>{under, turned};
        group.opacity = 0.5;
        page.elements.append(group);
        break;
    }
    default: {
        LWElement shape = LWElement::makeShape(LWShapeKind::rectangle, {-9, 30, 200, 80}, fill, std::nullopt);
        shape.opacity = 0.5;
        page.elements.append(shape);
        break;
    }
    }
    return page;
}

} // namespace

TEST(PdfFidelity, GradientsMatchTheRendererInTwoReaders)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Fidelity"));
    doc.pages.clear();
    QStringList names;
    for (int placement = 0; placement < int(std::size(placements)); ++placement) {
        for (const Gradient &g : gradients) {
            for (double alpha : alphas) {
                doc.pages.append(pageFor(placement, fillOf(g, alpha)));
                names << QStringLiteral("%1, %2, color2 alpha %3").arg(placements[placement], g.name).arg(alpha);
            }
        }
    }
    QList<int> all(doc.pages.size());
    std::iota(all.begin(), all.end(), 0);
    const std::optional<QByteArray> pdf = LWExport::pdfData(doc, all, true);
    ASSERT_TRUE(pdf);
    QList<QImage> want;
    for (int i : all)
        want.append(LWRenderer::bitmap(doc, i, LWRenderer::DPI{dpi}, true).value_or(QImage()));
    expectReadersMatch(*pdf, want, names);
}

TEST(PdfFidelity, CardSheetFrontMatchesTheSheetBitmap)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Fidelity"));
    doc.pages[0] = pageFor(3, fillOf(gradients[4], 0));
    doc.pages[0].background = fillOf(gradients[2], 0.5);
    doc.pages[0].elements.append(LWElement::makeShape(LWShapeKind::ellipse, {-9, 70, 110, 83},
                                                      fillOf(gradients[4], 0.5), std::nullopt));
    doc.pages[0].elements.append(LWElement::makeIcon(QStringLiteral("star"), {180, 60, 80, 80}, fillOf(gradients[1], 0)));
    const std::optional<QByteArray> pdf = LWExport::sheetPDF(doc, {0});
    const std::optional<LWExport::SheetBitmap> want = LWExport::sheetBitmap(doc, 0, dpi);
    ASSERT_TRUE(pdf && want);
    // Blocks inside the card grid only: the margin holds the caption and the hairline marks.
    const QRectF grid = want->layout.grid();
    const double s = dpi / 72;
    const QRect cards = QRectF(grid.topLeft() * s, grid.size() * s).toAlignedRect();
    expectReadersMatch(*pdf, {want->image}, {QStringLiteral("card sheet")}, cards);
}

namespace {

// A smooth picture with a few hard edges (readers and Qt resample alike) whose halves differ, so
// that a wrong turn or mirror shows.
QImage scene(int w, int h, bool alpha = false)
{
    QImage img(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(230, 90, 40));
    g.setColorAt(1, QColor(40, 120, 220));
    p.fillRect(alpha ? QRect(0, 0, w, h * 2 / 3) : img.rect(), g);
    p.fillRect(QRect(w / 8, h / 8, w / 4, h / 2), QColor(250, 230, 60));
    p.fillRect(QRect(w * 5 / 8, h / 2, w / 4, h / 3), QColor(20, 40, 30));
    return img;
}

// What Qt cannot write: a CMYK JPEG (Adobe marker, inverted samples), through libjpeg.
QByteArray cmykJpeg(const QImage &source)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(rgb.width());
    c.image_height = JDIMENSION(rgb.height());
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(rgb.width()) * 4);
    while (c.next_scanline < c.image_height) {
        const uchar *in = rgb.constScanLine(int(c.next_scanline));
        for (int x = 0; x < rgb.width(); ++x) { // Adobe's inverted CMYK, as Photoshop writes it
            const int k = std::min({255 - in[3 * x], 255 - in[3 * x + 1], 255 - in[3 * x + 2]});
            for (int i = 0; i < 3; ++i)
                row[size_t(4 * x + i)] = uchar(255 - (k == 255 ? 0 : (255 - in[3 * x + i] - k) * 255 / (255 - k)));
            row[size_t(4 * x + 3)] = uchar(255 - k);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray out(reinterpret_cast<const char *>(mem), qsizetype(size));
    free(mem);
    return out;
}

} // namespace

// Every kind of picture, cropped and masked, against the renderer's bitmap in both readers; the
// JPEGs that every reader takes go in as their own bytes, the rest as pixels.
TEST(PdfFidelity, PicturesMatchTheRendererAndJpegsGoInAsTheyCame)
{
    using namespace LWTestPictures;
    const QImage picture = scene(360, 240);
    const QByteArray baseline = encode(picture, "jpeg", 92);
    struct Kind {
        const char *name;
        QByteArray bytes;
        bool passed; // stored as /DCTDecode with these very bytes
    };
    QByteArray wrongMarker = baseline;
    wrongMarker[3] = char(0x02); // the first segment's marker is no marker
    const Kind kinds[] = {
        {"baseline jpeg", baseline, true},
        {"progressive jpeg", encode(picture, "jpeg", 92, QImageIOHandler::TransformationNone, true), true},
        {"grey jpeg", encode(picture.convertToFormat(QImage::Format_Grayscale8), "jpeg", 92), true},
        {"exif 6 jpeg", turnedQuarter(encode(scene(240, 360), "jpeg", 92)), true},
        {"cmyk jpeg", cmykJpeg(picture), false},
        {"png with alpha", encode(scene(360, 240, true), "png"), false},
        {"heic", heic(picture), false},
        {"tiff", encode(picture, "tiff"), false},
        {"truncated jpeg", baseline.left(baseline.size() * 3 / 4), false},
        {"jpeg with a wrong marker", wrongMarker, false},
    };
    ASSERT_TRUE(kinds[1].bytes.contains("\xff\xc2")); // progressive indeed
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Pictures"));
    doc.pages.clear();
    QStringList names;
    const LWMask masks[] = {LWMask::ellipse, LWMask::rounded, LWMask::star, LWMask::hexagon};
    for (const Kind &k : kinds) {
        LWPage page;
        page.background = LWFill::solid(LWColor(0.95, 0.95, 0.9));
        LWElement photo = LWElement::makePhoto(LWRect(24, 12, 200, 124), masks[names.size() % 4], 16);
        photo.image->data = k.bytes;
        photo.image->cropL = 0.1;
        photo.image->cropT = 0.05;
        photo.image->cropR = 0.05;
        photo.image->cropB = 0.15;
        photo.rotation = names.size() % 2 ? 8 : 0;
        if (names.size() == 1 || names.size() == 5)
            photo.opacity = 0.6;
        if (names.size() == 7) { // stroked and half transparent: drawn in a group
            photo.opacity = 0.5;
            photo.stroke = LWStroke(LWColor(0.1, 0.3, 0.2), 6);
        }
        page.elements.append(photo);
        doc.pages.append(page);
        names << QString::fromLatin1(k.name);
    }
    QList<int> all(doc.pages.size());
    std::iota(all.begin(), all.end(), 0);
    const std::optional<QByteArray> pdf = LWExport::pdfData(doc, all, true);
    ASSERT_TRUE(pdf);

    const QList<LWPdfFile::StoredImage> images = LWPdfFile::images(*pdf);
    for (const Kind &k : kinds) {
        SCOPED_TRACE(k.name);
        const bool stored = std::any_of(images.begin(), images.end(), [&](const LWPdfFile::StoredImage &i) {
            return i.filter == "/DCTDecode" && i.data == k.bytes;
        });
        EXPECT_EQ(stored, k.passed);
    }
    const auto dct = std::count_if(images.begin(), images.end(),
                                   [](const LWPdfFile::StoredImage &i) { return i.filter == "/DCTDecode"; });
    EXPECT_EQ(dct, 4);
    EXPECT_EQ(images.size(), qsizetype(std::size(kinds)) - 1); // the wrong marker decodes to nothing
    EXPECT_TRUE(std::any_of(images.begin(), images.end(), [](const LWPdfFile::StoredImage &i) { return i.softMask; }));

    QList<QImage> want;
    for (int i : all)
        want.append(LWRenderer::bitmap(doc, i, LWRenderer::DPI{dpi}, true).value_or(QImage()));
    expectReadersMatch(*pdf, want, names);
}
