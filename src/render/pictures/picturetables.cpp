#include "render/pictures/picturetables.h"

#include "render/pictures/imageproperties.h"
#include "render/pictures/formats/pictureformat.h"
#include "render/pictures/picturekey.h"
#include "render/pictures/picturequeue.h"
#include "render/worker/decodeworkers.h"

#include <QElapsedTimer>
#include <QThreadPool>

namespace LWPictureTables {

// Lets go of a dropped picture off the caller's thread when it is large: unmapping a worker's
// pixels costs tens of milliseconds a picture, and the tables' lock is held.
void letGo(QImage &&image)
{
    if (image.sizeInBytes() < (qsizetype(4) << 20))
        return;
    QThreadPool::globalInstance()->start([dropped = std::move(image)]() mutable { dropped = QImage(); });
}

Tables &tables()
{
    static Tables t; // created once, thread-safe
    return t;
}

// Cuts the previews shown larger than their steps down to them: no decode.
void shrinkShown()
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    t.shrinking = false;
    struct Cut {
        QByteArray key;
        QImage image;
        int side;
    };
    QList<Cut> cuts;
    for (auto it = t.preview.entries.cbegin(); it != t.preview.entries.cend(); ++it) {
        const int side = t.sideFor(it.key(), 0);
        if (t.shown.shown(it.key()) && it->step > side && std::max(it->image.width(), it->image.height()) > side)
            cuts.append({it.key(), it->image, side});
    }
    guard.unlock();
    for (const Cut &c : std::as_const(cuts)) {
        const std::optional<QImage> cut = LWPictureDecoder::cutDown(c.image, {c.side, {0, 0, 1, 1}});
        QMutexLocker again(&t.lock);
        const auto it = t.preview.entries.find(c.key);
        if (!cut || it == t.preview.entries.end() || it->image.cacheKey() != c.image.cacheKey())
            continue;
        t.preview.bytes += cut->sizeInBytes() - it->image.sizeInBytes();
        it->image = *cut;
        it->step = c.side;
        t.keptChanged();
    }
}

void Tables::trimPreview(const QByteArray &keep)
{
    preview.trim(keep, [this](const QByteArray &key) { return shown.shown(key); });
    if (preview.bytes <= preview.budget || shrinking)
        return;
    for (auto it = preview.entries.cbegin(); it != preview.entries.cend(); ++it)
        if (shown.shown(it.key()) && it->step > sideFor(it.key(), 0)) {
            shrinking = true;
            LWPictureQueue::shared().ask(QByteArrayLiteral("p:shrink"), 4, shrinkShown);
            return;
        }
}

void Tables::keepPreview(const QByteArray &key, const QImage &image, int side)
{
    const auto it = preview.entries.find(key);
    if (it != preview.entries.end() && it->step >= side) { // as large came meanwhile
        it->lastUse = ++clock;
        return;
    }
    if (it != preview.entries.end())
        preview.bytes -= it->image.sizeInBytes();
    preview.entries.insert(key, Entry{image, ++clock, side});
    preview.bytes += image.sizeInBytes();
    trimPreview(key);
    keptChanged();
}

// Whether the picture decoded whole at full size fits `budget` bytes, by its header.
bool fitsWhole(const QByteArray &bytes, qint64 budget)
{
    const std::optional<LWPictureDecoder::Header> h = LWPictureDecoder::header(bytes);
    return h && qint64(std::abs(h->stored.width())) * std::abs(h->stored.height()) * 4 <= budget;
}

void markWholeFirst(Tables &t, QMutexLocker<QMutex> &guard, const QByteArray &key, const QByteArray &bytes)
{
    if (t.known.value(key).slow || t.full.entries.contains(key) ||
        LWPictureFormat::sniff(bytes) != LWPictureFormat::Format::heif)
        return;
    const qint64 budget = t.full.budget;
    guard.unlock();
    const bool whole = fitsWhole(bytes, budget);
    guard.relock();
    if (!whole)
        return;
    if (t.known.size() >= maxKnown && !t.known.contains(key))
        t.known.clear();
    t.known[key].slow = true;
}

Result decodeUnlocked(Tables &t, QMutexLocker<QMutex> &guard, const QByteArray &key, const QByteArray &bytes,
                      const LWPictureDecoder::Request &request)
{
    ++t.decodes;
    const qint64 fullBudget = t.full.budget;
    guard.unlock();
    QElapsedTimer took;
    took.start();
    Result result = LWPictureDecoder::decode(bytes, request);
    // Kept whole for later uses only where the whole picture fits the full table: a larger one
    // (a 200-megapixel photo) is decoded by parts, as each use needs. Slow by the worker's CPU
    // time where known: on a loaded machine every photo takes long, and none is kept whole for it.
    const qint64 cost = result.cpuMs >= 0 ? result.cpuMs : took.elapsed();
    const bool slow = result.image && cost >= slowDecodeMs && fitsWhole(bytes, fullBudget);
    // Refused beside what an export holds: a want of memory, not a fault of the picture.
    if (!result.image && LWDecodeBudget::HoldWork::refusedForHold())
        result.failure = Failure::outOfMemory;
    guard.relock();
    // Cancelled by its caller: nothing is known of the machine, the page view may ask at once.
    if (result.failure == Failure::unavailable && LWDecodeWorkers::Cancellable::heard())
        return result;
    t.remember(key, request, result);
    if (slow && t.known.contains(key))
        t.known[key].slow = true;
    if (result.failure == Failure::unavailable || result.failure == Failure::decoderMissing ||
        result.failure == Failure::decoderUnsafe) {
        if (t.known.size() >= maxKnown && !t.known.contains(key))
            t.known.clear();
        Known &k = t.known[key];
        // The decoder's own trouble is the pool's to watch (a reinstalled one serves at once):
        // the page view only asks again a little later, a reinstalled decoder within a few
        // seconds, one that cannot shut itself in, which stays so, not at every repaint.
        if (result.failure == Failure::unavailable)
            k.retryAt = LWPictureClock::now() + passingPause;
        k.wakeAt = LWPictureClock::now() + (result.failure == Failure::decoderMissing ? missingPause : passingPause);
    } else if (result.image && t.known.contains(key)) {
        t.known[key].retryAt = {};
        t.known[key].wakeAt = {};
    }
    return result;
}

Result fetch(const QByteArray &bytes, const QByteArray &key, int side)
{
    const bool preview = side > 0;
    const LWPictureDecoder::Request request{side, {0, 0, 1, 1}};
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    Table &table = preview ? t.preview : t.full;
    for (;;) {
        if (const auto it = table.entries.find(key); it != table.entries.end() && (!preview || t.serves(*it, key, side))) {
            it->lastUse = ++t.clock;
            return {it->image, Failure::none, t.partial(key)};
        }
        // A whole decode kept serves the preview; a picture slow to decode is decoded whole once.
        if (preview && !t.refuses(key, {}))
            markWholeFirst(t, guard, key, bytes);
        if (preview && !t.refuses(key, {}) && (t.full.entries.contains(key) || t.known.value(key).slow)) {
            guard.unlock();
            Result whole = fetch(bytes, key, 0);
            // Cut with the lock let go: the interface thread asks the tables meanwhile.
            std::optional<QImage> cut = whole.image ? LWPictureDecoder::cutDown(*whole.image, request) : std::nullopt;
            whole.image.reset(); // a large decode let go here, not under the lock
            guard.relock();
            if (whole.failure == Failure::none) {
                if (!cut)
                    return {std::nullopt, Failure::outOfMemory};
                t.keepPreview(key, *cut, side);
                return {std::move(cut), Failure::none, whole.partial};
            }
        }
        if (t.refuses(key, request))
            return {std::nullopt, t.known.value(key).unreadable ? Failure::unreadable : Failure::tooLarge};
        if (LWPictureClock::now() < t.known.value(key).retryAt)
            return {std::nullopt, Failure::unavailable};
        const auto it = table.flights.constFind(key);
        if (it == table.flights.cend())
            break;
        const std::shared_ptr<Flight> flight = *it;
        while (!flight->done)
            if (!LWDecodeWorkers::Cancellable::wait(t.finished, guard)) // another use's decode goes on
                return {std::nullopt, Failure::unavailable};
        if (!preview || !flight->result.image || flight->side >= side)
            return flight->result;
        // A smaller preview than this one asks: look again.
    }
    const auto flight = std::make_shared<Flight>();
    flight->side = side;
    table.flights.insert(key, flight);
    Result result = decodeUnlocked(t, guard, key, bytes, request);
    flight->result = result;
    flight->done = true;
    table.flights.remove(key);
    if (result.image && preview) {
        t.keepPreview(key, *result.image, side);
    } else if (result.image) {
        t.learn(key, result.image->size());
        table.entries.insert(key, Entry{*result.image, ++t.clock});
        table.bytes += result.image->sizeInBytes();
        table.trim(key);
        t.keptChanged();
    }
    t.finished.wakeAll();
    return result;
}

QByteArray bufferName(const QByteArray &bytes)
{
    return QByteArray::number(quintptr(bytes.constData()), 16) + ':' + QByteArray::number(bytes.size());
}

QByteArray keyed(const QByteArray &bytes)
{
    const QByteArray key = LWPictureKey::of(bytes);
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    t.shown.resolve(bufferName(bytes), key);
    return key;
}

std::optional<QSize> uprightOf(const QByteArray &bytes, const QByteArray &key)
{
    Tables &t = tables();
    {
        QMutexLocker guard(&t.lock);
        if (const auto it = t.uprights.constFind(key); it != t.uprights.cend())
            return *it;
    }
    const std::optional<LWImageProperties> props = LWImageProperties::read(bytes);
    if (!props || props->width <= 0 || props->height <= 0)
        return std::nullopt;
    const QSize upright = props->quarterTurned() ? QSize(props->height, props->width) : QSize(props->width, props->height);
    QMutexLocker guard(&t.lock);
    t.learn(key, upright);
    t.recap();
    return upright;
}

int stepOf(const LWImageCache::Want &want, const std::optional<QSize> &upright)
{
    return want ? LWImageCache::stepFor(want(upright.value_or(QSize(4000, 3000)))) : LWImageCache::previewMaxPixels;
}

} // namespace LWPictureTables
