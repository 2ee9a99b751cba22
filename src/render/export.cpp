#include "render/export.h"

#include "model/document.h"
#include "model/units.h"
#include "render/pdf/pdfboxes.h"
#include "render/jpegwriter.h"
#include "render/pngwriter.h"
#include "render/renderer.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace LWExport {

std::optional<RasterType> rasterType(QStringView raw)
{
    if (raw == u"jpeg")
        return RasterType::jpeg;
    if (raw == u"png")
        return RasterType::png;
    return std::nullopt;
}

QString rawValue(RasterType type)
{
    return type == RasterType::jpeg ? QStringLiteral("jpeg") : QStringLiteral("png");
}

QString ext(RasterType type)
{
    return type == RasterType::jpeg ? QStringLiteral("jpg") : QStringLiteral("png");
}

QString uti(RasterType type)
{
    return type == RasterType::jpeg ? QStringLiteral("image/jpeg") : QStringLiteral("image/png");
}

namespace {

LWRect exportBox(const LWDocument &doc, bool includeBleed)
{
    return includeBleed ? doc.bleedRect() : doc.trimRect();
}

bool usable(const LWRect &r)
{
    return !r.isNull() && std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.width()) &&
           std::isfinite(r.height()) && r.width() > 0 && r.height() > 0;
}

} // namespace

PixelSize pixelSize(const LWDocument &doc, double dpi, bool includeBleed)
{
    const LWRect box = exportBox(doc, includeBleed);
    if (box.isNull())
        return {};
    return {LWUnits::pixels(box.width(), dpi), LWUnits::pixels(box.height(), dpi)};
}

QList<int> validPages(const LWDocument &doc, const QList<int> &indexes)
{
    QList<int> valid;
    for (int index : indexes)
        if (index >= 0 && index < doc.pages.size())
            valid.append(index);
    return valid;
}

std::optional<QByteArray> pdfData(const LWDocument &doc, const QList<int> &pages, bool includeBleed)
{
    const LWRect box = exportBox(doc, includeBleed);
    if (!usable(box))
        return std::nullopt;
    const QList<int> valid = validPages(doc, pages);
    if (valid.isEmpty())
        return std::nullopt;

    const LWRect trim = doc.trimRect();
    const QRectF media(0, 0, box.width(), box.height());
    // PDF space has its origin at the box's bottom-left corner, y up.
    QRectF trimBox(trim.minX() - box.minX(), box.maxY() - trim.maxY(), trim.width(), trim.height());
    trimBox = trimBox.intersected(media); // a negative bleed must not put the trim past the media
    const PdfPageBoxes boxes{media, media, media, trimBox.isEmpty() ? media : trimBox};

    PdfPageWriter writer(media.size(), {creatorText, doc.name});
    const LWRenderOptions options;
    for (int index : valid) {
        QPainter *p = writer.beginPage();
        if (!p)
            return std::nullopt;
        p->translate(-box.minX(), -box.minY());
        p->setClipRect(box.toQRectF());
        LWRenderer::draw(doc.pages[index], doc, *p, options);
    }
    return writer.finish(QList<PdfPageBoxes>(valid.size(), boxes));
}

std::optional<QByteArray> rasterData(const LWDocument &doc, int page, double dpi, bool includeBleed,
                                     RasterType type, double quality)
{
    if (page < 0 || page >= doc.pages.size())
        return std::nullopt;
    const PixelSize size = pixelSize(doc, dpi, includeBleed);
    if (size.width < 1 || size.height < 1 || size.width > LWRenderer::maxBitmapPixels / size.height)
        return std::nullopt;
    std::optional<QImage> image = LWRenderer::bitmap(doc, page, LWRenderer::DPI{dpi}, includeBleed);
    if (!image || image->width() != size.width || image->height() != size.height)
        return std::nullopt;
    // The page bitmap is white underneath, hence opaque: the same bytes read as RGB encode
    // faster and make a PNG without an alpha channel.
    switch (image->format()) {
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        image->reinterpretAsFormat(QImage::Format_RGB32);
        break;
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        image->reinterpretAsFormat(QImage::Format_RGBX8888);
        break;
    default:
        break;
    }
    return encode(std::move(*image), type, dpi, quality);
}

std::optional<QByteArray> encode(QImage image, RasterType type, double dpi, double quality)
{
    if (image.isNull() || !std::isfinite(dpi) || dpi <= 0 || dpi > 65535)
        return std::nullopt;
    // PNG keeps dots per metre (pHYs), JPEG dots per inch (JFIF): 300 dpi is 11811 px/m and
    // reads back as 300.
    const int perMetre = int(std::lround(dpi / 0.0254));
    const int jpegQuality = int(std::lround((std::isfinite(quality) ? std::clamp(quality, 0.0, 1.0) : 0.92) * 100));
    // Large page bitmaps go to the parallel writers; they decode to what Qt's writers make.
    if (type == RasterType::png && LWPngWriter::handles(image))
        return LWPngWriter::encode(image, perMetre);
    // Below a megapixel Qt's JPEG is as quick and has no restart markers.
    if (type == RasterType::jpeg && qint64(image.width()) * image.height() >= qint64(1) << 20 &&
        LWJpegWriter::handles(image))
        return LWJpegWriter::encode(image, jpegQuality, perMetre);
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer,
                        type == RasterType::jpeg ? QByteArrayLiteral("jpeg") : QByteArrayLiteral("png"));
    if (type == RasterType::jpeg)
        writer.setQuality(jpegQuality);
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

} // namespace LWExport
