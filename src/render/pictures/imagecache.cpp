#include "render/pictures/imagecache.h"

#include "render/pictures/picturetables.h"

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

using namespace LWPictureTables;

namespace {

std::atomic<quint64> showingIds{1};
std::atomic<bool> console{false};

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

bool Showing::done()
{
    Tables &t = tables();
    QMutexLocker guard(&t.lock);
    const int was = t.cap;
    t.shown.done(m_id);
    t.recap();
    t.trimPreview({});
    return t.cap > was;
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
    bool held = false;
    {
        QMutexLocker guard(&t.lock);
        t.shown.resolve(bufferName(bytes), key);
        side = t.sideFor(key, smallestStep);
        held = t.preview.entries.contains(key) || t.full.entries.contains(key);
    }
    // In a console nothing is decoded for the check alone: the header tells, and the export's own
    // decode, remembered, tells the rest to any check after it.
    if (console && !held) {
        const std::optional<LWImageProperties> props = LWImageProperties::read(bytes);
        const Failure failure = LWPictureDecoder::check(bytes, {longest, {0, 0, 1, 1}});
        if (failure == Failure::unreadable || failure == Failure::tooLarge) {
            QMutexLocker guard(&t.lock);
            t.remember(key, {longest, {0, 0, 1, 1}}, {std::nullopt, failure});
            return t.outcome(key, longest);
        }
        if (props && props->width > 0 && props->height > 0 && failure == Failure::none) {
            QMutexLocker guard(&t.lock);
            if (t.known.value(key).unreadable)
                return Drawn::unreadable;
            return t.partial(key) ? Drawn::partial : Drawn::whole;
        }
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

void setConsole(bool on) { console = on; }

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
