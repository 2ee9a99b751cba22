#include "render/pdf/pdfpictures.h"

#include "model/element.h"
#include "model/image.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/imageproperties.h"
#include "render/pictures/formats/jpegprobe.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/formats/pictureformat.h"
#include "render/pictures/picturekey.h"
#include "render/parallel.h"
#include "render/raster/pngwriter.h"
#include "render/worker/cancellable.h"

#include <QRandomGenerator>
#include <QSet>
#include <cstring>
#include <vector>

namespace LWExport {
namespace {

// Maps the unit square of the stored pixels onto the upright one, for EXIF orientation 1 to 8
// as Qt's reader applies it (mirror, then flip, then a quarter turn clockwise).
QTransform storedToUpright(int orientation)
{
    switch (orientation) {
    case 2: return {-1, 0, 0, 1, 1, 0};
    case 3: return {-1, 0, 0, -1, 1, 1};
    case 4: return {1, 0, 0, -1, 0, 1};
    case 5: return {0, 1, 1, 0, 0, 0};
    case 6: return {0, 1, -1, 0, 1, 0};
    case 7: return {0, -1, -1, 0, 1, 1};
    case 8: return {0, -1, 1, 0, 0, 1};
    default: return {};
    }
}

bool opaque(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const uchar *row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            if (row[4 * x + 3] != 255)
                return false;
    }
    return true;
}

LWPdfFile::ImageData flate(QByteArray data, int width, int height, bool gray, int colors)
{
    return {std::move(data), QByteArrayLiteral("/FlateDecode"), width, height, gray, colors};
}

// The decoded picture as 8-bit samples deflated on all cores: grey or RGB, and the alpha
// channel apart when it is not opaque everywhere.
std::optional<LWPdfFile::PictureSwap> pixelsSwap(const QImage &source)
{
    LWPdfFile::PictureSwap swap;
    const int w = source.width(), h = source.height();
    if (source.hasAlphaChannel()) {
        const QImage rgba = source.convertToFormat(QImage::Format_RGBA8888);
        if (rgba.isNull())
            return std::nullopt;
        if (!opaque(rgba)) {
            const auto colour = LWPngWriter::deflateRows(h, qsizetype(w) * 3, 3, [&](int y, uchar *out) {
                const uchar *in = rgba.constScanLine(y);
                for (int x = 0; x < w; ++x, in += 4, out += 3)
                    std::memcpy(out, in, 3);
            });
            const auto alpha = LWPngWriter::deflateRows(h, w, 1, [&](int y, uchar *out) {
                const uchar *in = rgba.constScanLine(y) + 3;
                for (int x = 0; x < w; ++x, in += 4)
                    *out++ = *in;
            });
            if (!colour || !alpha)
                return std::nullopt;
            swap.image = flate(*colour, w, h, false, 3);
            swap.softMask = flate(*alpha, w, h, true, 1);
            return swap;
        }
    }
    const bool gray = source.isGrayscale();
    const QImage image = source.convertToFormat(gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull())
        return std::nullopt;
    const int samples = gray ? 1 : 3;
    const auto data = LWPngWriter::deflateRows(h, qsizetype(w) * samples, samples, [&](int y, uchar *out) {
        std::memcpy(out, image.constScanLine(y), size_t(w) * size_t(samples));
    });
    if (!data)
        return std::nullopt;
    swap.image = flate(*data, w, h, gray, samples);
    return swap;
}

} // namespace

PdfPictures::PdfPictures()
{
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    m_nonce = QByteArray(reinterpret_cast<const char *>(words), sizeof words);
}

std::optional<LWRenderer::PictureSink::StandIn> PdfPictures::standIn(const LWImage &picture)
{
    if (!picture.data)
        return std::nullopt;
    const QByteArray key = LWPictureKey::of(*picture.data);
    if (const auto it = m_byKey.constFind(key); it != m_byKey.constEnd()) {
        if (*it < 0)
            return std::nullopt;
        return m_entries[*it].standIn;
    }
    Entry entry;
    const QByteArray &bytes = *picture.data;
    const std::optional<LWJpegProbe::Jpeg> jpeg = LWJpegProbe::passable(bytes);
    // Qt's reading of the header (in a decode worker) decides the orientation, as it does when it decodes.
    const std::optional<LWImageProperties> props = jpeg ? LWImageProperties::read(bytes) : std::nullopt;
    if (props && props->width == jpeg->width && props->height == jpeg->height) {
        entry.standIn.stored = storedToUpright(props->orientation);
        entry.standIn.upright = props->quarterTurned() ? QSize(jpeg->height, jpeg->width) : QSize(jpeg->width, jpeg->height);
        const QSize stored = entry.standIn.stored.isRotating() ? entry.standIn.upright.transposed() : entry.standIn.upright;
        // Its comments left out, as the decoder's reader reads it: megabytes of them are no picture.
        const LWPictureFormat::Readable read = LWPictureFormat::readable(bytes);
        entry.swap.image = {read.format == LWPictureFormat::Format::jpeg ? read.bytes : bytes,
                            QByteArrayLiteral("/DCTDecode"), stored.width(), stored.height(), jpeg->components == 1, 0};
    } else {
        Made made = m_prepared.contains(key) ? m_prepared.take(key) : make(picture);
        if (!made.swap) {
            if (made.failure == LWPictureDecoder::Failure::outOfMemory)
                m_outOfMemory = true; // not remembered: the export stops
            else if (!LWDecodeWorkers::Cancellable::heard()) // cancelled: the export stops
                m_byKey.insert(key, -1);
            return std::nullopt;
        }
        entry.standIn.upright = made.upright;
        entry.swap = std::move(*made.swap);
    }
    // Samples no picture of this size holds by chance: a random nonce, the entry's index, and one
    // pixel that is not grey (Qt writes a grey image as DeviceGray).
    QByteArray rgb = m_nonce;
    const qint32 index = qint32(m_entries.size());
    rgb.append(reinterpret_cast<const char *>(&index), sizeof index);
    rgb.append(3 * standInWidth * standInHeight - rgb.size() - 3, char(0x5A));
    rgb.append("\xFF\x00\x80", 3);
    QImage image(standInWidth, standInHeight, QImage::Format_RGB32);
    const auto *s = reinterpret_cast<const uchar *>(rgb.constData());
    for (int y = 0; y < standInHeight; ++y)
        for (int x = 0; x < standInWidth; ++x, s += 3)
            image.setPixel(x, y, qRgb(s[0], s[1], s[2]));
    entry.standIn.image = image;
    entry.swap.standInSize = QSize(standInWidth, standInHeight);
    entry.swap.standInRgb = rgb;
    m_byKey.insert(key, m_entries.size());
    m_entries.append(std::move(entry));
    return m_entries.last().standIn;
}

PdfPictures::Made PdfPictures::make(const LWImage &picture)
{
    Made made;
    LWPictureDecoder::Result decoded = LWImageCache::exportImage(picture, LWPictureDecoder::Request{});
    made.failure = decoded.failure;
    // Cancel heard after the decode: nothing is compressed, and nothing is the picture's fault.
    if (decoded.image && LWDecodeWorkers::Cancellable::now())
        decoded.image.reset(), made.failure = LWPictureDecoder::Failure::unavailable;
    if (decoded.image && !decoded.image->isNull()) {
        made.upright = decoded.image->size();
        made.swap = pixelsSwap(*decoded.image);
        decoded.image.reset(); // only the compressed data stays
        if (!made.swap)
            made.failure = LWDecodeWorkers::Cancellable::heard() ? LWPictureDecoder::Failure::unavailable
                                                                 : LWPictureDecoder::Failure::outOfMemory;
    }
    return made;
}

void PdfPictures::prepare(const QList<LWElement> &elements)
{
    QList<std::pair<QByteArray, const LWImage *>> wanted;
    QSet<QByteArray> seen;
    const std::function<void(const QList<LWElement> &)> gather = [&](const QList<LWElement> &list) {
        for (const LWElement &e : list) {
            if (e.hidden || !(e.opacity > 0))
                continue; // never drawn
            if (e.kind == LWElement::Kind::group && e.children)
                gather(*e.children);
            if (e.kind != LWElement::Kind::image || !e.image || !e.image->data)
                continue;
            const QByteArray &bytes = *e.image->data;
            const QByteArray key = LWPictureKey::of(bytes);
            if (seen.contains(key) || m_byKey.contains(key) || m_prepared.contains(key) || LWJpegProbe::passable(bytes))
                continue;
            seen.insert(key);
            const std::optional<QSizeF> size = LWImageCache::pixelSize(*e.image);
            if (size && size->width() * size->height() <= double(preparedPixels))
                wanted.append({key, &*e.image});
        }
    };
    gather(elements);
    if (wanted.size() < 2)
        return; // nothing to overlap
    std::vector<Made> made(size_t(wanted.size()));
    LWParallel::forEach(int(wanted.size()), [&](int i) { made[size_t(i)] = make(*wanted[i].second); });
    for (qsizetype i = 0; i < wanted.size(); ++i)
        m_prepared.insert(wanted[i].first, std::move(made[size_t(i)]));
}

QList<LWPdfFile::PictureSwap> PdfPictures::takeSwaps()
{
    QList<LWPdfFile::PictureSwap> out;
    out.reserve(m_entries.size());
    for (Entry &e : m_entries)
        out.append(std::move(e.swap));
    return out;
}

} // namespace LWExport
