#include "render/imagecache.h"

#include "model/image.h"
#include "render/heif.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <algorithm>

namespace {

struct Tables {
    QMutex lock;
    QHash<QString, QImage> full;
    QHash<QString, QImage> preview;
    qint64 decodes = 0;
};

Tables &tables()
{
    static Tables t; // created once, thread-safe
    return t;
}

QSize fitWithin(QSize s, int longest)
{
    const int m = std::max(s.width(), s.height());
    if (m <= longest)
        return s;
    const double k = double(longest) / m;
    return {std::max(1, qRound(s.width() * k)), std::max(1, qRound(s.height() * k))};
}

// A decoded picture brought down to preview size; none when scaling fails for lack of memory.
std::optional<QImage> shrunk(QImage img)
{
    const QSize target = fitWithin(img.size(), LWImageCache::previewMaxPixels);
    if (target != img.size())
        img = img.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (img.isNull())
        return std::nullopt;
    return img;
}

// Decodes the first image of the bytes, upright. The declared size is checked before anything
// is allocated, so a forged header cannot make us reserve gigabytes.
std::optional<QImage> decode(const QByteArray &bytes, bool preview)
{
    if (LWHeif::isHeif(bytes)) {
        std::optional<QImage> img = LWHeif::decode(bytes, LWImageCache::maxPixelCount);
        if (img && preview)
            return shrunk(std::move(*img));
        return img;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(LWImageCache::allocationLimitMB);

    const QSize declared = reader.size();
    if (declared.isValid()) {
        if (qint64(declared.width()) * declared.height() > LWImageCache::maxPixelCount)
            return std::nullopt;
        // Scaling in the reader lets decoders that can (JPEG) skip most of the work. The longer
        // side is the same before and after the orientation turn.
        if (preview) {
            const QSize target = fitWithin(declared, LWImageCache::previewMaxPixels);
            if (target != declared)
                reader.setScaledSize(target);
        }
    }

    QImage img = reader.read();
    if (img.isNull())
        return std::nullopt;
    if (preview && !declared.isValid())
        return shrunk(std::move(img));
    return img;
}

} // namespace

namespace LWImageCache {

std::optional<QImage> image(const LWImage &picture, bool preview)
{
    if (!picture.data)
        return std::nullopt;
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    QHash<QString, QImage> &table = preview ? t.preview : t.full;
    if (const auto it = table.constFind(picture.assetID); it != table.constEnd())
        return *it;
    ++t.decodes;
    std::optional<QImage> img = decode(*picture.data, preview);
    if (img)
        table.insert(picture.assetID, *img);
    return img;
}

std::optional<QSizeF> pixelSize(const LWImage &picture)
{
    const std::optional<QImage> img = image(picture, false);
    if (!img)
        return std::nullopt;
    return QSizeF(img->width(), img->height());
}

Stats stats()
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    return {t.full.size(), t.preview.size(), t.decodes};
}

} // namespace LWImageCache
