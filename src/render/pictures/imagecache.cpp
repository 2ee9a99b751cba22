#include "render/pictures/imagecache.h"

#include "model/image.h"
#include "render/pictures/imageproperties.h"
#include "render/pictures/picturedecoder.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QWaitCondition>
#include <algorithm>
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
    std::optional<QImage> img =
        LWPictureDecoder::decode(*picture.data, preview ? LWImageCache::previewMaxPixels : 0).image;
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
