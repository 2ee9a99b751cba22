#pragma once
// The picture cache's own tables, shared by its waiting and its non-waiting forms (imagecache.cpp):
// previews and full-size pictures by their bytes' key, what each picture's decodes found, and the
// pictures page views show. Internal to the cache: every member is read and written under
// Tables::lock.
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/pictureclock.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/shownpictures.h"
#include "render/worker/sanitizers.h"

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>
#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>
#include <memory>
#include <optional>

namespace LWPictureTables {

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
void letGo(QImage &&image);

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
// A decode that took this long (its worker's CPU time) is not paid again for a smaller use (the
// sanitizers' builds decode several times slower).
constexpr qint64 slowDecodeMs = LWSanitizers::address ? 4000 : 1000;

inline int sideOf(int longestSide) { return longestSide > 0 ? longestSide : INT_MAX; }

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

Tables &tables();

// Decodes outside the lock, which is held on entry and on return; what it finds is remembered.
[[nodiscard]] Result decodeUnlocked(Tables &t, QMutexLocker<QMutex> &guard, const QByteArray &key,
                                    const QByteArray &bytes, const LWPictureDecoder::Request &request);
// A HEIF whose whole fits the full table is decoded whole at its first use (lock held on entry
// and return).
void markWholeFirst(Tables &t, QMutexLocker<QMutex> &guard, const QByteArray &key, const QByteArray &bytes);
// The picture from its table, decoded into it when missing: at full size (side 0), or a preview
// decoded at `side` (one at least that large, or of the whole picture, serves).
[[nodiscard]] Result fetch(const QByteArray &bytes, const QByteArray &key, int side);
// What names a picture whose key is not known yet: its buffer, which the record keeps alive.
[[nodiscard]] QByteArray bufferName(const QByteArray &bytes);
// The key (hashed when not known); the views that noted the picture by its buffer learn it.
[[nodiscard]] QByteArray keyed(const QByteArray &bytes);
// The upright size by the header (read once), none when it gives none.
[[nodiscard]] std::optional<QSize> uprightOf(const QByteArray &bytes, const QByteArray &key);
// The step of a preview for the want: a guess at the aspect until the header told it.
[[nodiscard]] int stepOf(const LWImageCache::Want &want, const std::optional<QSize> &upright);

} // namespace LWPictureTables
