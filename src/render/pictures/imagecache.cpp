#include "render/pictures/imagecache.h"

#include "model/image.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imageproperties.h"
#include "render/pictures/formats/jpegprobe.h"
#include "render/pictures/pictureclock.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/formats/pictureformat.h"
#include "render/pictures/picturekey.h"
#include "render/pictures/picturequeue.h"
#include "render/pictures/shownpictures.h"
#include "render/worker/sanitizers.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>
#include <QWaitCondition>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <memory>

namespace {

using LWPictureDecoder::Failure;
using LWPictureDecoder::Result;

// A decode in progress: later requests for the same picture wait for it and share its result.
struct Flight {
    bool done = false;
    Result result;
    int side = 0; // a preview's step
};

struct Entry {
    QImage image;
    quint64 lastUse = 0;
    int step = 0; // a preview's: the longest side its decode was asked for
};

// Lets go of a dropped picture off the caller's thread when it is large: unmapping a worker's
// pixels costs tens of milliseconds a picture, and the tables' lock is held.
void letGo(QImage &&image)
{
    if (image.sizeInBytes() < (qsizetype(4) << 20))
        return;
    QThreadPool::globalInstance()->start([dropped = std::move(image)]() mutable { dropped = QImage(); });
}

// One size's pictures, least recently used dropped first past the budget.
struct Table {
    QHash<QByteArray, Entry> entries;
    QHash<QByteArray, std::shared_ptr<Flight>> flights;
    qint64 bytes = 0;
    qint64 budget = 0;

    // `held` entries are never dropped.
    void trim(const QByteArray &keep, const std::function<bool(const QByteArray &)> &held = {})
    {
        while (bytes > budget && !entries.isEmpty()) {
            auto oldest = entries.end();
            for (auto it = entries.begin(); it != entries.end(); ++it)
                if (it.key() != keep && !(held && held(it.key())) &&
                    (oldest == entries.end() || it->lastUse < oldest->lastUse))
                    oldest = it;
            if (oldest == entries.end())
                return;
            bytes -= oldest->image.sizeInBytes();
            letGo(std::move(oldest->image));
            entries.erase(oldest);
        }
    }
};

// What a picture's bytes are known to give: refused for any decode when unreadable, else for
// decodes whose longer side is at least `from` (INT_MAX: the full size; past it: none); drawn at
// longer sides up to `drawn` (0: never yet); `partial` when a decode found them cut or damaged.
struct Known {
    static constexpr qint64 never = qint64(INT_MAX) + 1;
    bool unreadable = false;
    qint64 from = never;
    int drawn = 0;
    bool partial = false;
    int printSide = -1; // the decode that tells how the picture prints, once asked (0: full size)
    bool slow = false;  // a decode took long (or, a HEIF, makes the whole): later uses are cut from one whole decode kept
    // The machine could not decode it (no worker, out of time): the tables do not try before this,
    // so that the page view does not wait for the same failure at every repaint; exports do.
    LWPictureClock::Time retryAt;
    LWPictureClock::Time wakeAt; // the page view asks again no sooner (retryAt, or the decoder's trouble)
    QList<LWPictureDecoder::Request> refusedParts; // parts refused as too large, the latest last
    [[nodiscard]] bool refused() const { return unreadable || from < never; }
};
// Past this many remembered pictures the oldest knowledge is dropped: a key is small, but a
// stream of designs must not make the table grow for ever.
constexpr qsizetype maxKnown = 20000;
constexpr qsizetype maxRefusedParts = 16; // a picture's, the oldest dropped first
// After the machine could not decode a picture, how long the tables wait before trying again.
constexpr std::chrono::seconds passingPause(30);
constexpr std::chrono::seconds missingPause(3);
// A decode that took this long is not paid again for a smaller use (the sanitizers' builds
// decode several times slower).
constexpr qint64 slowDecodeMs = LWSanitizers::address ? 4000 : 1000;

int sideOf(int longestSide) { return longestSide > 0 ? longestSide : INT_MAX; }

struct Tables;
Tables &tables();

struct Tables {
    QMutex lock;
    QWaitCondition finished;
    Table full;
    Table preview;
    QHash<QByteArray, Known> known;
    QHash<QByteArray, QSize> uprights; // by key, from the header
    LWShownPictures shown; // by key, or by the name of the bytes until a job hashed them
    int cap = LWImageCache::previewMaxPixels; // the largest step of a picture shown
    bool shrinking = false;                   // a job cuts shown previews down to their steps
    quint64 clock = 0;
    qint64 decodes = 0;
    Tables()
    {
        const LWImageCache::Budget b;
        full.budget = b.full;
        preview.budget = b.preview;
        // What the tables keep is the decode budget's too: a decode or an export short of room
        // has them let go of their least recently used pictures.
        LWDecodeBudget::setDropper([](qint64 bytes, bool forExport) {
            Tables &t = tables();
            QMutexLocker guard(&t.lock);
            t.drop(bytes, forExport);
            LWDecodeBudget::setKept(t.full.bytes + t.preview.bytes);
        });
    }

    // Lets go of the least recently used pictures of both tables until `bytes` are freed. A
    // preview a page view shows goes only for an export: for another decode the view shows it,
    // it would only be asked for again.
    void drop(qint64 bytes, bool forExport)
    {
        for (qint64 freed = 0; freed < bytes;) {
            Table *from = nullptr;
            QHash<QByteArray, Entry>::iterator oldest;
            for (Table *table : {&full, &preview})
                for (auto it = table->entries.begin(); it != table->entries.end(); ++it)
                    if ((forExport || table != &preview || !shown.shown(it.key())) &&
                        (!from || it->lastUse < oldest->lastUse))
                        from = table, oldest = it;
            if (!from)
                return;
            freed += oldest->image.sizeInBytes();
            from->bytes -= oldest->image.sizeInBytes();
            letGo(std::move(oldest->image));
            from->entries.erase(oldest);
        }
    }

    // Tells the budget what the tables keep. A picture just decoded stays even where the budget
    // is short of room: it goes when a decode or an export needs the room, not before the view
    // that asked for it has drawn it (which would only ask for it again).
    void keptChanged() { LWDecodeBudget::setKept(full.bytes + preview.bytes); }

    // A part needs less than the whole picture at the same size: it is refused for unreadable
    // bytes, or as a part refused before that it holds, at no smaller size.
    bool refuses(const QByteArray &key, const LWPictureDecoder::Request &request) const
    {
        const auto it = known.constFind(key);
        if (it == known.cend())
            return false;
        if (it->unreadable || (request.whole() && sideOf(request.longestSide) >= it->from))
            return true;
        // Never the whole picture: a part may be refused where the whole at its size would fit.
        return !request.whole() && std::any_of(it->refusedParts.cbegin(), it->refusedParts.cend(), [&](const LWPictureDecoder::Request &r) {
            return sideOf(request.longestSide) >= sideOf(r.longestSide) && request.part.contains(r.part);
        });
    }

    bool partial(const QByteArray &key) const { return known.value(key).partial; }

    // What a decode of that size is known to give; none until one was made.
    std::optional<LWImageCache::Drawn> outcome(const QByteArray &key, int longestSide) const
    {
        const auto it = known.constFind(key);
        if (it == known.cend())
            return std::nullopt;
        if (it->unreadable)
            return LWImageCache::Drawn::unreadable;
        if (sideOf(longestSide) >= it->from)
            return LWImageCache::Drawn::tooLarge;
        if (it->drawn >= sideOf(longestSide))
            return it->partial ? LWImageCache::Drawn::partial : LWImageCache::Drawn::whole;
        return std::nullopt;
    }

    // The step to decode a preview asked at `asked`: a picture shown at its largest shown step,
    // within the cap.
    int sideFor(const QByteArray &key, int asked) const
    {
        return shown.shown(key) ? std::min(std::max(asked, shown.step(key)), cap) : asked;
    }
    // An entry decoded at `side` or larger, or of the whole picture, serves.
    bool serves(const Entry &e, const QByteArray &key, int side) const
    {
        const int longest = std::max(e.image.width(), e.image.height());
        const QSize upright = uprights.value(key);
        return e.step >= side || longest < e.step || (upright.isValid() && longest >= std::max(upright.width(), upright.height()));
    }
    // The cap: the largest step at which all pictures shown fit the preview budget.
    void recap()
    {
        QList<int> steps;
        for (int c = LWImageCache::previewMaxPixels; c >= LWImageCache::smallestStep; c = c > 1024 ? 1024 : c / 2)
            steps << c;
        cap = shown.cap(steps, preview.budget, [this](const QByteArray &id, int step) {
            const QSize upright = uprights.value(id);
            const QSize made = upright.isValid() ? LWPictureDecoder::fitWithin(upright, step) : QSize(step, step * 3 / 4);
            return qint64(made.width()) * made.height() * 4;
        });
    }
    // Past the budget, the previews no view shows go, least recently used first; shown ones
    // larger than their steps are then cut down beside the caller (shrinkShown).
    void trimPreview(const QByteArray &keep);
    // A preview decoded at `side`, in place of a smaller one.
    void keepPreview(const QByteArray &key, const QImage &image, int side);
    void learn(const QByteArray &key, QSize upright)
    {
        if (uprights.size() >= maxKnown && !uprights.contains(key))
            uprights.clear();
        uprights.insert(key, upright);
    }

    void remember(const QByteArray &key, const LWPictureDecoder::Request &request, const Result &result)
    {
        if (!result.image && result.failure != Failure::unreadable && result.failure != Failure::tooLarge)
            return; // memory may be found later
        const int longestSide = request.longestSide;
        if (known.size() >= maxKnown && !known.contains(key))
            known.clear();
        Known &k = known[key];
        if (!result.image && result.failure == Failure::tooLarge && !request.whole()) {
            // Says nothing of smaller parts or sizes.
            if (k.refusedParts.size() >= maxRefusedParts)
                k.refusedParts.removeFirst();
            k.refusedParts.append(request);
            return;
        }
        if (result.image) {
            if (request.whole())
                k.drawn = std::max(k.drawn, sideOf(longestSide));
            k.partial = k.partial || result.partial;
        } else if (result.failure == Failure::unreadable) {
            k.unreadable = true;
        } else {
            k.from = std::min<qint64>(k.from, sideOf(longestSide));
        }
    }
};

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

// A HEIF is decoded whole for any use (a grid's every tile, however small the use): where the
// whole fits the full table, it is decoded so once, kept, and every use cut from it. Asked with
// the lock held, which is let go while the header is read.
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

// Decodes outside the lock, which is held on entry and on return.
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
    // (a 200-megapixel photo) is decoded by parts, as each use needs.
    const bool slow = result.image && took.elapsed() >= slowDecodeMs && fitsWhole(bytes, fullBudget);
    // Refused beside what an export holds: a want of memory, not a fault of the picture.
    if (!result.image && LWDecodeBudget::HoldWork::refusedForHold())
        result.failure = Failure::outOfMemory;
    guard.relock();
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

} // namespace

namespace {

// The picture from its table, decoded into it when missing: at full size (side 0), or a preview
// decoded at `side` (one at least that large, or of the whole picture, serves).
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
            t.finished.wait(&t.lock);
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

// What names a picture whose key is not known yet: its buffer, which the record keeps alive.
QByteArray bufferName(const QByteArray &bytes)
{
    return QByteArray::number(quintptr(bytes.constData()), 16) + ':' + QByteArray::number(bytes.size());
}

// The key (hashed when not known); the views that noted the picture by its buffer learn it.
QByteArray keyed(const QByteArray &bytes)
{
    const QByteArray key = LWPictureKey::of(bytes);
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    t.shown.resolve(bufferName(bytes), key);
    return key;
}

// The upright size by the header (read once), none when it gives none.
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

// The step of a preview for the want: a guess at the aspect until the header told it.
int stepOf(const LWImageCache::Want &want, const std::optional<QSize> &upright)
{
    return want ? LWImageCache::stepFor(want(upright.value_or(QSize(4000, 3000)))) : LWImageCache::previewMaxPixels;
}

std::atomic<quint64> showingIds{1};

} // namespace

namespace LWImageCache {

int stepFor(double pixels)
{
    int step = smallestStep;
    while (step < pixels && step < 1024)
        step *= 2;
    return step < pixels ? previewMaxPixels : step;
}

std::optional<QImage> image(const LWImage &picture, bool preview)
{
    if (!picture.data)
        return std::nullopt;
    return fetch(*picture.data, LWPictureKey::of(*picture.data), preview ? previewMaxPixels : 0).image;
}

std::optional<QImage> image(const LWImage &picture, const Want &want)
{
    if (!picture.data)
        return std::nullopt;
    const QByteArray key = keyed(*picture.data);
    return fetch(*picture.data, key, stepOf(want, uprightOf(*picture.data, key))).image;
}

Showing::Showing() : m_id(showingIds++)
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    t.shown.add(m_id);
}

Showing::~Showing()
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    t.shown.remove(m_id);
    t.recap();
}

void Showing::begin(bool anew)
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    t.shown.begin(m_id, anew);
}

void Showing::done()
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    t.shown.done(m_id);
    t.recap();
    t.trimPreview({});
}

std::optional<Drawn> drawn(const LWImage &picture)
{
    if (!picture.data)
        return std::nullopt;
    const QByteArray &bytes = *picture.data;
    const QByteArray key = LWPictureKey::of(bytes);
    Tables &t = tables();
    int longest = -1;
    {
        QMutexLocker guard(&t.lock);
        longest = t.known.value(key).printSide;
        if (longest >= 0)
            if (const std::optional<Drawn> known = t.outcome(key, longest))
                return known;
    }
    // The print PDF takes such a JPEG as its own bytes, any other picture whole. The preview reads
    // all of the bytes; whether the whole picture fits is checked, not decoded, so asking costs no
    // second decode of a large picture.
    if (longest < 0)
        longest = LWJpegProbe::passable(bytes) ? previewMaxPixels : 0;
    // Any preview kept tells it; else one at the step a view shows the picture at, or the smallest.
    int side = 0;
    {
        QMutexLocker guard(&t.lock);
        t.shown.resolve(bufferName(bytes), key);
        side = t.sideFor(key, smallestStep);
    }
    const Result r = fetch(bytes, key, side);
    const Failure whole = r.image && longest == 0 ? LWPictureDecoder::check(bytes, {}) : Failure::none;
    QMutexLocker guard(&t.lock);
    Known &k = t.known[key];
    k.printSide = longest;
    if (whole == Failure::unreadable)
        k.unreadable = true;
    else if (whole == Failure::tooLarge)
        k.from = std::min<qint64>(k.from, sideOf(longest));
    else if (r.image)
        k.drawn = std::max(k.drawn, sideOf(longest));
    if (const std::optional<Drawn> known = t.outcome(key, longest))
        return known;
    if (r.image) // kept from before what is known was dropped
        return r.partial ? Drawn::partial : Drawn::whole;
    return std::nullopt;
}

Result exportImage(const LWImage &picture, const LWPictureDecoder::Request &request)
{
    if (!picture.data)
        return {std::nullopt, Failure::unreadable};
    const LWDecodeBudget::ForExport exporting; // before the page view's decodes
    const QByteArray key = LWPictureKey::of(*picture.data);
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    // A picture slow to decode is decoded whole once, kept, and every use cut from it (from that
    // decode, should the budget have had no room to keep it).
    if (!t.refuses(key, {}))
        markWholeFirst(t, guard, key, *picture.data);
    std::optional<QImage> whole;
    if (t.known.value(key).slow && !t.full.entries.contains(key) && !t.refuses(key, {})) {
        guard.unlock();
        whole = fetch(*picture.data, key, 0).image;
        guard.relock();
    }
    if (whole && !t.full.entries.contains(key)) {
        const bool partial = t.partial(key);
        guard.unlock();
        std::optional<QImage> cut = LWPictureDecoder::cutDown(*whole, request);
        const Failure failure = cut ? Failure::none : Failure::outOfMemory;
        return {std::move(cut), failure, partial};
    }
    // A kept decode at least as large serves: the export draws it scaled as it would its own.
    // A part is cut only from the full size, whose pixels are the decoder's own.
    const int want = sideOf(request.longestSide);
    for (Table *table : {&t.full, &t.preview}) {
        const auto it = table->entries.find(key);
        if (it == table->entries.end())
            continue;
        const int side = std::max(it->image.width(), it->image.height());
        if (table == &t.full && !request.whole()) {
            it->lastUse = ++t.clock;
            const QImage whole = it->image;
            const bool partial = t.partial(key);
            guard.unlock();
            std::optional<QImage> cut = LWPictureDecoder::cutDown(whole, request);
            const Failure failure = cut ? Failure::none : Failure::outOfMemory;
            return {std::move(cut), failure, partial};
        }
        if (request.whole() && (table == &t.full || side >= want)) {
            it->lastUse = ++t.clock;
            return {it->image, Failure::none, t.partial(key)};
        }
    }
    if (t.refuses(key, request))
        return {std::nullopt, t.known.value(key).unreadable ? Failure::unreadable : Failure::tooLarge};
    return decodeUnlocked(t, guard, key, *picture.data, request);
}

std::optional<Drawn> remembered(const LWImage &picture)
{
    if (!picture.data)
        return std::nullopt;
    const QByteArray key = LWPictureKey::of(*picture.data);
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    const auto it = t.known.constFind(key);
    if (it == t.known.cend())
        return std::nullopt;
    if (it->unreadable)
        return Drawn::unreadable;
    if (it->from < Known::never || !it->refusedParts.isEmpty())
        return Drawn::tooLarge;
    if (it->partial)
        return Drawn::partial;
    return std::nullopt;
}

std::optional<QSizeF> pixelSize(const LWImage &picture)
{
    if (!picture.data)
        return std::nullopt;
    const QByteArray key = LWPictureKey::of(*picture.data);
    {
        Tables &t = tables();
        QMutexLocker guard(&t.lock);
        if (const auto it = t.full.entries.constFind(key); it != t.full.entries.cend())
            return QSizeF(it->image.size());
        if (const auto it = t.known.constFind(key); it != t.known.cend() && it->unreadable)
            return std::nullopt;
    }
    if (const std::optional<LWImageProperties> props = LWImageProperties::read(*picture.data)) {
        if (props->width > 0 && props->height > 0)
            return QSizeF(*uprightOf(*picture.data, key)); // read once
    } else {
        return std::nullopt;
    }
    // A header without a usable size (a top-down BMP, say): only the pixels tell.
    const std::optional<QImage> img = image(picture, false);
    if (!img)
        return std::nullopt;
    return QSizeF(img->width(), img->height());
}

} // namespace LWImageCache

namespace {

// What the non-waiting forms learnt beside the caller, by the picture's key.
struct Checked {
    std::optional<LWImageCache::Drawn> drawn;
    std::optional<QSizeF> pixelSize;
};
struct SoonState {
    QMutex lock;
    QHash<QByteArray, Checked> checked;
    QHash<QByteArray, LWPictureClock::Time> restUntil; // ended without an answer: not asked again yet
};
SoonState &soonState()
{
    static SoonState s;
    return s;
}
constexpr std::chrono::milliseconds restTime(2000);

// A job's name: the key when it is known, else the buffer, which the queued job keeps alive.
QByteArray jobName(char kind, const QByteArray &bytes, const std::optional<QByteArray> &key)
{
    return kind + (key ? *key : bufferName(bytes));
}

// Until when a picture's work rests; a time past when it does not.
LWPictureClock::Time restEnd(const std::optional<QByteArray> &key, char kind)
{
    if (!key)
        return {};
    SoonState &s = soonState();
    QMutexLocker guard(&s.lock);
    return s.restUntil.value(kind + *key);
}

bool resting(const std::optional<QByteArray> &key, char kind) { return LWPictureClock::now() < restEnd(key, kind); }

void rest(const QByteArray &key, char kind)
{
    SoonState &s = soonState();
    QMutexLocker guard(&s.lock);
    if (s.restUntil.size() >= maxKnown)
        s.restUntil.clear();
    s.restUntil.insert(kind + key, LWPictureClock::now() + restTime);
}

} // namespace

namespace LWImageCache {

Soon previewSoon(const LWImage &picture, int priority, const Want &want, Showing *showing)
{
    if (!picture.data)
        return {};
    const QByteArray &bytes = *picture.data;
    const std::optional<QByteArray> key = LWPictureKey::ifKnown(bytes);
    const QByteArray name = key ? *key : bufferName(bytes);
    const quint64 shownBy = showing ? showing->id() : 0;
    Soon soon{std::nullopt, true};
    LWPictureClock::Time notBefore = restEnd(key, 'p');
    {
        Tables &t = tables();
        QMutexLocker guard(&t.lock);
        std::optional<QSize> upright;
        if (const auto it = key ? t.uprights.constFind(*key) : t.uprights.cend(); it != t.uprights.cend())
            upright = *it;
        const int step = stepOf(want, upright);
        t.shown.note(shownBy, name, step);
        if (key) {
            const int side = t.sideFor(*key, step);
            if (const auto it = t.preview.entries.find(*key); it != t.preview.entries.end()) {
                it->lastUse = ++t.clock;
                soon.image = it->image;
                if (t.serves(*it, *key, side))
                    return {it->image, false};
            }
            if (t.refuses(*key, {side, {0, 0, 1, 1}}))
                return {soon.image, false};
            notBefore = std::max(notBefore, t.known.value(*key).wakeAt); // the machine could not, lately
        }
    }
    LWPictureQueue::shared().ask('p' + name, priority, [picture, want] {
        const QByteArray &bytes = *picture.data;
        const QByteArray key = keyed(bytes);
        const std::optional<QSize> upright = uprightOf(bytes, key);
        int side = 0;
        {
            Tables &t = tables();
            QMutexLocker guard(&t.lock);
            side = t.sideFor(key, stepOf(want, upright));
        }
        const Result r = fetch(bytes, key, side);
        if (!r.image && r.failure == Failure::outOfMemory)
            rest(key, 'p');
    }, notBefore);
    return soon;
}

CheckSoon checkSoon(const LWImage &picture, int priority)
{
    if (!picture.data)
        return {};
    const QByteArray &bytes = *picture.data;
    const std::optional<QByteArray> key = LWPictureKey::ifKnown(bytes);
    if (key) {
        std::optional<Checked> found;
        {
            SoonState &s = soonState();
            QMutexLocker guard(&s.lock);
            if (const auto it = s.checked.constFind(*key); it != s.checked.cend())
                found = *it;
        }
        Tables &t = tables();
        QMutexLocker guard(&t.lock);
        // What the tables learnt since (an export that found the picture unreadable) comes first.
        const auto k = t.known.constFind(*key);
        std::optional<Drawn> now;
        if (k != t.known.cend() && k->unreadable)
            now = Drawn::unreadable;
        else if (k != t.known.cend() && k->printSide >= 0)
            now = t.outcome(*key, k->printSide);
        if (found)
            return {false, now ? now : found->drawn, found->pixelSize};
    }
    if (resting(key, 'c'))
        return {};
    LWPictureQueue::shared().ask(jobName('c', bytes, key), priority, [picture] {
        Checked c{drawn(picture), pixelSize(picture)};
        const QByteArray key = LWPictureKey::of(*picture.data);
        if (!c.drawn) // memory ran short: nothing is known, asked again later
            return rest(key, 'c');
        SoonState &s = soonState();
        QMutexLocker guard(&s.lock);
        if (s.checked.size() >= maxKnown)
            s.checked.clear();
        s.checked.insert(key, c);
    });
    return {true, std::nullopt, std::nullopt};
}

Budget setBudget(const Budget &budget)
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    const Budget old{t.full.budget, t.preview.budget};
    t.full.budget = std::max<qint64>(0, budget.full);
    t.preview.budget = std::max<qint64>(0, budget.preview);
    t.full.trim({});
    t.recap();
    t.trimPreview({});
    t.keptChanged();
    return old;
}

Stats stats()
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    const auto failures = std::count_if(t.known.cbegin(), t.known.cend(), [](const Known &k) { return k.refused(); });
    return {t.full.entries.size(), t.preview.entries.size(), t.full.bytes, t.preview.bytes, t.decodes, failures};
}

} // namespace LWImageCache
