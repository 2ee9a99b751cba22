#include "render/pictures/imagecache.h"

#include "model/image.h"
#include "render/pictures/heif.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imageproperties.h"
#include "render/pictures/pictureformat.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QWaitCondition>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// A decode in progress: later requests for the same picture wait for it and share its result.
struct Flight {
    bool done = false;
    std::optional<QImage> result;
};

struct Entry {
    QImage image;
    quint64 lastUse = 0;
};

// One size's pictures, least recently used dropped first past the budget.
struct Table {
    QHash<QString, Entry> entries;
    QHash<QString, std::shared_ptr<Flight>> flights;
    qint64 bytes = 0;
    qint64 budget = 0;

    void trim(const QString &keep)
    {
        while (bytes > budget && !entries.isEmpty()) {
            auto oldest = entries.end();
            for (auto it = entries.begin(); it != entries.end(); ++it)
                if (it.key() != keep && (oldest == entries.end() || it->lastUse < oldest->lastUse))
                    oldest = it;
            if (oldest == entries.end())
                return;
            bytes -= oldest->image.sizeInBytes();
            entries.erase(oldest);
        }
    }
};

struct Tables {
    QMutex lock;
    QWaitCondition finished;
    Table full;
    Table preview;
    quint64 clock = 0;
    qint64 decodes = 0;
    Tables()
    {
        const LWImageCache::Budget b;
        full.budget = b.full;
        preview.budget = b.preview;
    }
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

bool overLimit(QSize s) { return qint64(s.width()) * s.height() > LWImageCache::maxPixelCount; }

std::optional<QImage> decodeHeif(const LWPictureFormat::Readable &picture, bool preview)
{
    const std::optional<QSize> size = LWHeif::size(picture.bytes);
    if (!size || overLimit(*size))
        return std::nullopt;
    const std::optional<LWDecodeBudget::Reservation> reserved =
        LWDecodeBudget::reserve(picture.decodeCost(*size, *size, 4, false));
    if (!reserved)
        return std::nullopt;
    std::optional<QImage> img = LWHeif::decode(picture.bytes, LWImageCache::maxPixelCount);
    if (img && preview)
        return shrunk(std::move(*img));
    return img;
}

// Decodes the first image of the bytes in the format their signature names, upright. The
// declared size is checked and the decode's peak reserved from the shared budget before
// anything is allocated, so a forged header cannot make us reserve gigabytes.
std::optional<QImage> decode(const QByteArray &bytes, bool preview)
{
    const LWPictureFormat::Readable picture = LWPictureFormat::readable(bytes);
    if (picture.format == LWPictureFormat::Format::heif)
        return decodeHeif(picture, preview);
    QBuffer buffer;
    const std::unique_ptr<QImageReader> reader = picture.reader(buffer);
    if (!reader)
        return std::nullopt;
    reader->setAutoTransform(true);
    reader->setAllocationLimit(LWImageCache::allocationLimitMB);

    // A top-down BMP declares its height negative.
    const QSize declared(std::abs(reader->size().width()), std::abs(reader->size().height()));
    if (declared.isEmpty() || overLimit(declared))
        return std::nullopt;
    // Scaling in the reader lets decoders that can (JPEG) skip most of the work; the others
    // decode in full and scale. The longer side is the same before and after the turn.
    const QSize target = preview ? fitWithin(declared, LWImageCache::previewMaxPixels) : declared;
    const bool scalesItself = picture.format == LWPictureFormat::Format::jpeg;
    if (target != declared)
        reader->setScaledSize(target);
    // A JPEG scaled in eighths comes out at most twice the target each way before the last step.
    const QSize made = scalesItself && target != declared ? (target * 2).boundedTo(declared) : declared;
    // A reader that could not parse the header may report any number as its format (Qt's JPEG
    // reader leaves it unset): taken as a number, and as a format only when it is one.
    const int raw = int(reader->imageFormat());
    const bool known = raw > QImage::Format_Invalid && raw < QImage::NImageFormats;
    const auto format = known ? QImage::Format(raw) : QImage::Format_Invalid;
    const int perPixel = known ? std::max(4, QImage::toPixelFormat(format).bitsPerPixel() / 8) : 8;
    const bool turned = reader->transformation() != QImageIOHandler::TransformationNone;
    const qint64 shrunkCopy = target != declared ? qint64(target.width()) * target.height() * 4 : 0;
    const std::optional<LWDecodeBudget::Reservation> reserved =
        LWDecodeBudget::reserve(picture.decodeCost(declared, made, perPixel, turned) + shrunkCopy);
    if (!reserved)
        return std::nullopt;
    // A reader that stops early leaves the rest of the image as the memory it found (a cut BMP
    // reports success, a cut PNG fails but still hands the image over): that memory must
    // never reach a page. JPEG fails instead and may make the image at another size.
    QImage img;
    if (!scalesItself && known) {
        img = QImage(declared, format);
        img.fill(Qt::white);
    }
    if (!reader->read(&img) || img.isNull())
        return std::nullopt;
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
    Table &table = preview ? t.preview : t.full;
    if (const auto it = table.entries.find(picture.assetID); it != table.entries.end()) {
        it->lastUse = ++t.clock;
        return it->image;
    }
    if (const auto it = table.flights.constFind(picture.assetID); it != table.flights.cend()) {
        const std::shared_ptr<Flight> flight = *it;
        while (!flight->done)
            t.finished.wait(&t.lock);
        return flight->result;
    }
    const auto flight = std::make_shared<Flight>();
    table.flights.insert(picture.assetID, flight);
    ++t.decodes;
    guard.unlock();
    std::optional<QImage> img = decode(*picture.data, preview);
    guard.relock();
    flight->result = img;
    flight->done = true;
    table.flights.remove(picture.assetID);
    if (img) {
        table.entries.insert(picture.assetID, Entry{*img, ++t.clock});
        table.bytes += img->sizeInBytes();
        table.trim(picture.assetID);
    }
    t.finished.wakeAll();
    return img;
}

std::optional<QSizeF> pixelSize(const LWImage &picture)
{
    if (!picture.data)
        return std::nullopt;
    {
        Tables &t = tables();
        QMutexLocker guard(&t.lock);
        if (const auto it = t.full.entries.constFind(picture.assetID); it != t.full.entries.cend())
            return QSizeF(it->image.size());
    }
    if (const std::optional<LWImageProperties> props = LWImageProperties::read(*picture.data)) {
        if (props->width > 0 && props->height > 0) {
            if (qint64(props->width) * props->height > maxPixelCount)
                return std::nullopt;
            return props->quarterTurned() ? QSizeF(props->height, props->width) : QSizeF(props->width, props->height);
        }
    } else {
        return std::nullopt;
    }
    // A header without a usable size (a top-down BMP, say): only the pixels tell.
    const std::optional<QImage> img = image(picture, false);
    if (!img)
        return std::nullopt;
    return QSizeF(img->width(), img->height());
}

Budget setBudget(const Budget &budget)
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    const Budget old{t.full.budget, t.preview.budget};
    t.full.budget = std::max<qint64>(0, budget.full);
    t.preview.budget = std::max<qint64>(0, budget.preview);
    t.full.trim({});
    t.preview.trim({});
    return old;
}

Stats stats()
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    return {t.full.entries.size(), t.preview.entries.size(), t.full.bytes, t.preview.bytes, t.decodes};
}

} // namespace LWImageCache
