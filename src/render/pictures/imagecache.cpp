#include "render/pictures/imagecache.h"

#include "model/image.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imageproperties.h"
#include "render/pictures/jpegprobe.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/pictureformat.h"
#include "render/pictures/picturekey.h"
#include "render/pictures/picturequeue.h"
#include "render/worker/sanitizers.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>
#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>

namespace {

using LWPictureDecoder::Failure;
using LWPictureDecoder::Result;

// A decode in progress: later requests for the same picture wait for it and share its result.
struct Flight {
    bool done = false;
    Result result;
};

struct Entry {
    QImage image;
    quint64 lastUse = 0;
};

// One size's pictures, least recently used dropped first past the budget.
struct Table {
    QHash<QByteArray, Entry> entries;
    QHash<QByteArray, std::shared_ptr<Flight>> flights;
    qint64 bytes = 0;
    qint64 budget = 0;

    void trim(const QByteArray &keep)
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
    std::chrono::steady_clock::time_point retryAt;
    QList<LWPictureDecoder::Request> refusedParts; // parts refused as too large, the latest last
    [[nodiscard]] bool refused() const { return unreadable || from < never; }
};
// Past this many remembered pictures the oldest knowledge is dropped: a key is small, but a
// stream of designs must not make the table grow for ever.
constexpr qsizetype maxKnown = 20000;
constexpr qsizetype maxRefusedParts = 16; // a picture's, the oldest dropped first
// After the machine could not decode a picture, how long the tables wait before trying again.
constexpr std::chrono::seconds passingPause(30);
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
    quint64 clock = 0;
    qint64 decodes = 0;
    Tables()
    {
        const LWImageCache::Budget b;
        full.budget = b.full;
        preview.budget = b.preview;
        // What the tables keep is the decode budget's too: a decode or an export short of room
        // has them let go of their least recently used pictures.
        LWDecodeBudget::setDropper([](qint64 bytes) {
            Tables &t = tables();
            QMutexLocker guard(&t.lock);
            t.drop(bytes);
            LWDecodeBudget::setKept(t.full.bytes + t.preview.bytes);
        });
    }

    // Lets go of the least recently used pictures of both tables until `bytes` are freed.
    void drop(qint64 bytes)
    {
        for (qint64 freed = 0; freed < bytes;) {
            Table *from = nullptr;
            QHash<QByteArray, Entry>::iterator oldest;
            for (Table *table : {&full, &preview})
                for (auto it = table->entries.begin(); it != table->entries.end(); ++it)
                    if (!from || it->lastUse < oldest->lastUse)
                        from = table, oldest = it;
            if (!from)
                return;
            freed += oldest->image.sizeInBytes();
            from->bytes -= oldest->image.sizeInBytes();
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
    if (result.failure == Failure::unavailable) {
        if (t.known.size() >= maxKnown && !t.known.contains(key))
            t.known.clear();
        t.known[key].retryAt = std::chrono::steady_clock::now() + passingPause;
    }
    else if (result.image && t.known.contains(key))
        t.known[key].retryAt = {};
    return result;
}

} // namespace

namespace {

// The picture from its table, decoded into it when missing.
Result fetch(const QByteArray &bytes, const QByteArray &key, bool preview)
{
    const LWPictureDecoder::Request request{preview ? LWImageCache::previewMaxPixels : 0, {0, 0, 1, 1}};
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    Table &table = preview ? t.preview : t.full;
    if (const auto it = table.entries.find(key); it != table.entries.end()) {
        it->lastUse = ++t.clock;
        return {it->image, Failure::none, t.partial(key)};
    }
    // A whole decode kept serves the preview; a picture slow to decode is decoded whole once.
    if (preview && !t.refuses(key, {}))
        markWholeFirst(t, guard, key, bytes);
    if (preview && !t.refuses(key, {}) && (t.full.entries.contains(key) || t.known.value(key).slow)) {
        guard.unlock();
        Result whole = fetch(bytes, key, false);
        guard.relock();
        if (whole.image) {
            std::optional<QImage> cut = LWPictureDecoder::cutDown(*whole.image, request);
            if (!cut)
                return {std::nullopt, Failure::outOfMemory};
            if (!table.entries.contains(key)) {
                table.entries.insert(key, Entry{*cut, ++t.clock});
                table.bytes += cut->sizeInBytes();
                table.trim(key);
                t.keptChanged();
            }
            return {std::move(cut), Failure::none, whole.partial};
        }
    }
    if (t.refuses(key, request))
        return {std::nullopt, t.known.value(key).unreadable ? Failure::unreadable : Failure::tooLarge};
    if (std::chrono::steady_clock::now() < t.known.value(key).retryAt)
        return {std::nullopt, Failure::unavailable};
    if (const auto it = table.flights.constFind(key); it != table.flights.cend()) {
        const std::shared_ptr<Flight> flight = *it;
        while (!flight->done)
            t.finished.wait(&t.lock);
        return flight->result;
    }
    const auto flight = std::make_shared<Flight>();
    table.flights.insert(key, flight);
    Result result = decodeUnlocked(t, guard, key, bytes, request);
    flight->result = result;
    flight->done = true;
    table.flights.remove(key);
    if (result.image) {
        table.entries.insert(key, Entry{*result.image, ++t.clock});
        table.bytes += result.image->sizeInBytes();
        table.trim(key);
        t.keptChanged();
    }
    t.finished.wakeAll();
    return result;
}

} // namespace

namespace LWImageCache {

std::optional<QImage> image(const LWImage &picture, bool preview)
{
    if (!picture.data)
        return std::nullopt;
    return fetch(*picture.data, LWPictureKey::of(*picture.data), preview).image;
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
    const Result r = fetch(bytes, key, true);
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
        whole = fetch(*picture.data, key, false).image;
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
        if (props->width > 0 && props->height > 0) {
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
    QHash<QByteArray, QDeadlineTimer> restUntil; // ended without an answer: not asked again yet
};
SoonState &soonState()
{
    static SoonState s;
    return s;
}
constexpr int restMs = 2000;

// A job's name: the key when it is known, else the buffer, which the queued job keeps alive.
QByteArray jobName(char kind, const QByteArray &bytes, const std::optional<QByteArray> &key)
{
    return kind + (key ? *key : QByteArray::number(quintptr(bytes.constData()), 16) + ':' +
                                    QByteArray::number(bytes.size()));
}

bool resting(const std::optional<QByteArray> &key, char kind)
{
    if (!key)
        return false;
    SoonState &s = soonState();
    QMutexLocker guard(&s.lock);
    const auto it = s.restUntil.constFind(kind + *key);
    return it != s.restUntil.cend() && !it->hasExpired();
}

void rest(const QByteArray &key, char kind)
{
    SoonState &s = soonState();
    QMutexLocker guard(&s.lock);
    if (s.restUntil.size() >= maxKnown)
        s.restUntil.clear();
    s.restUntil.insert(kind + key, QDeadlineTimer(restMs));
}

} // namespace

namespace LWImageCache {

Soon previewSoon(const LWImage &picture, int priority)
{
    if (!picture.data)
        return {};
    const QByteArray &bytes = *picture.data;
    const std::optional<QByteArray> key = LWPictureKey::ifKnown(bytes);
    if (key) {
        Tables &t = tables();
        QMutexLocker guard(&t.lock);
        if (const auto it = t.preview.entries.find(*key); it != t.preview.entries.end()) {
            it->lastUse = ++t.clock;
            return {it->image, false};
        }
        if (t.refuses(*key, {previewMaxPixels, {0, 0, 1, 1}}))
            return {};
    }
    if (resting(key, 'p'))
        return {};
    LWPictureQueue::shared().ask(jobName('p', bytes, key), priority, [picture] {
        if (!image(picture, true))
            rest(LWPictureKey::of(*picture.data), 'p');
    });
    return {std::nullopt, true};
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
    t.preview.trim({});
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
