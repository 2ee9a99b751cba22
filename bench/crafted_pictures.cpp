// Crafted pictures whose few bytes or odd layout could cost far more than a real picture of their
// size, and what a user's uses of each cost in the program (bench/crafted_vs_decode.sh runs it
// beside a plain decoder of the same files).
//   lw_crafted_pictures make DIR       the pictures, and a business card of each as a design file
//   lw_crafted_pictures uses DESIGN    opens the design, draws the page view, runs the print
//                                      check, the PNG (150 DPI) and the print PDF: seconds of each
//   lw_crafted_pictures qtread FILE    Qt's reader decoding the file whole, as a plain program would
#include "model/document.h"
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/preflight.h"
#include "render/renderer.h"

#include "support/hostilepictures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QUrl>
#include <cstdio>

namespace {

using namespace LWHostilePictures;
using namespace LWHeifCraft;

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A business card holding the picture in one frame.
bool writeCard(const QString &path, const QByteArray &bytes, const QString &name)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    LWElement photo = LWElement::makePhoto({20, 20, 160, 110});
    photo.image->data = bytes;
    photo.image->assetID = name;
    doc.pages[0].elements = {photo};
    return LWDocumentIO::save(doc, QUrl::fromLocalFile(path)).ok();
}

// The PNG with a private chunk of `size` bytes before its image data.
QByteArray withPrivateChunk(const QByteArray &png, qsizetype size)
{
    return QByteArray(png).insert(png.indexOf("IDAT") - 4, pngChunk("prVt", QByteArray(size, 'p')));
}

int make(const QString &dir)
{
    // AVIF grids of 1,024 uses of one tile, each given its 1-MB configuration first: one unit of
    // padding, or 131,072 small metadata units (67 megapixels: a CPU allowance of some 14 s).
    const Coded av1 = codedOf(heic(twoTone(64, 64), heif_orientation_normal, 8, heif_compression_AV1));
    const Coded av1Large = codedOf(heic(twoTone(256, 256), heif_orientation_normal, 8, heif_compression_AV1));
    const Layout grid1024{Layout::grid, {64, 64}, 32, 32, 1, {2048, 2048}};
    const Layout grid1024Large{Layout::grid, {256, 256}, 32, 32, 1, {8192, 8192}};
    // A HEIC grid of 1,024 uses of one 352 x 352 tile: 127 megapixels.
    const Coded tile = codedOf(heic(twoTone(352, 352)));
    const QByteArray mono = monoPng(12000, 12000); // 144 megapixels of one bit
    const struct {
        const char *name;
        QByteArray bytes;
    } files[] = {
        {"avif-av1c-padding.avif", craft(withConfigObus(av1, 15, 1, 1 << 20), grid1024)},
        {"avif-av1c-metadata.avif", craft(withConfigObus(av1Large, 5, 1 << 17, 6), grid1024Large)},
        {"heic-grid.heic", craft(tile, {Layout::grid, {352, 352}, 32, 32, 1, {11264, 11264}})},
        {"png-chunks.png", pngInChunks(mono, 1)},
        {"png-onechunk.png", mono},
        {"png-private.png", withPrivateChunk(encode(twoTone(64, 64), "png"), qsizetype(500) << 20)},
    };
    for (const auto &f : files) {
        const QString name = QString::fromLatin1(f.name);
        const QString design = dir + u'/' + name.section(u'.', 0, 0) + QStringLiteral(".velkfolio");
        if (!write(dir + u'/' + name, f.bytes) || !writeCard(design, f.bytes, name)) {
            std::fprintf(stderr, "could not write %s\n", f.name);
            return 1;
        }
        std::printf("%-26s %10lld bytes\n", f.name, qint64(f.bytes.size()));
    }
    return 0;
}

int uses(const QString &path)
{
    QElapsedTimer all, step;
    all.start();
    step.start();
    const auto lap = [&](const char *what) { std::printf("%-10s %6.2f s\n", what, step.restart() / 1000.0); };
    auto opened = LWDocumentIO::open(QUrl::fromLocalFile(path));
    if (!opened.ok())
        return 1;
    const LWDocument doc = std::move(opened).value();
    lap("open");
    QImage view(700, 400, QImage::Format_ARGB32_Premultiplied);
    view.fill(Qt::white);
    {
        QPainter p(&view);
        p.scale(view.width() / LWSizePreset::usCard.width, view.width() / LWSizePreset::usCard.width);
        LWRenderOptions preview;
        preview.preview = true;
        LWRenderer::draw(doc.pages[0], doc, p, preview);
    }
    lap("view");
    (void)LWExport::preflight(doc);
    lap("check");
    const QString png = path + QStringLiteral(".png");
    const QString failed = LWExport::writeRaster(doc, 0, 150, false, LWExport::RasterType::png, 0.92, png);
    QFile::remove(png);
    lap("png");
    const bool pdf = LWExport::pdfData(doc, {0}, true).has_value();
    lap("pdf");
    std::printf("%-10s %6.2f s\n", "all", all.elapsed() / 1000.0);
    if (!failed.isEmpty())
        std::printf("  png: %s\n", qPrintable(failed));
    if (!pdf)
        std::printf("  pdf: failed\n");
    return 0;
}

int qtread(const QString &path)
{
    QImageReader reader(path);
    reader.setAllocationLimit(0);
    QElapsedTimer t;
    t.start();
    const QImage img = reader.read();
    std::printf("%-10s %6.2f s  %d x %d\n", "qtread", t.elapsed() / 1000.0, img.width(), img.height());
    return img.isNull() ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    LWFonts::registerBundled();
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("make"))
        return make(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("uses"))
        return uses(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("qtread"))
        return qtread(args[2]);
    std::fprintf(stderr, "usage: lw_crafted_pictures make DIR | uses DESIGN | qtread FILE\n");
    return 2;
}
