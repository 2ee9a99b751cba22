#pragma once
#include <QImage>
#include "render/pictures/picturedecoder.h"

#include <QSizeF>
#include <functional>
#include <optional>

struct LWImage;

// Decoded pictures under their bytes (LWPictureKey): records with the same bytes share one decode
// whatever their asset ids. Two independent tables, previews and full size, each limited by
// bytes: past its budget the least recently used pictures are dropped and decoded again when
// next asked for. A picture that alone exceeds a budget is kept alone. What they keep counts in
// the decode budget (LWDecodeBudget) and gives way, least recently used first, to any decode or
// export short of room there. Decodes run outside the
// lock: different pictures decode in parallel, while a second request for a picture being
// decoded waits for that decode, so each picture is decoded once per size while it stays in its
// table. Decoding is LWPictureDecoder's. A picture that does not decode, or is refused as too
// large, is remembered as such (by its bytes, for the sizes it was refused at): the page view,
// thumbnails, exports and preflight do not try it again. A decode that failed for want of memory
// is not remembered; one the machine could not decode now (LWPictureDecoder::Failure::unavailable)
// is not tried again by the tables for half a minute, while exports try at once; one no picture
// would decode for (the decoder missing or unsafe here) is not remembered either: the decode
// workers fail those at once, and try a worker again within seconds. Thread-safe.
namespace LWImageCache {

// Longer side of a preview, in pixels. Smaller pictures are never scaled up.
inline constexpr int previewMaxPixels = 1600;

// Every decode reserves what it may allocate, for the size the use needs, from one budget of
// allocationLimitMB shared by all decodes in flight (LWDecodeBudget), waiting while others hold
// it; one that alone needs more is refused. Only the formats LWPictureFormat takes are decoded.
inline constexpr int allocationLimitMB = 1200;

// Bytes of decoded pixels each table keeps: five 24-megapixel photos at full size, some twenty
// previews of 1600 pixels or hundreds at the sizes a page shows them. What a view shows stays in
// the preview table (see Showing).
struct Budget {
    qint64 full = qint64(512) << 20;
    qint64 preview = qint64(128) << 20;
};

// The picture decoded at preview size (preview true) or full size; none when the record has no
// data (no table is touched then) or the bytes cannot be decoded.
[[nodiscard]] std::optional<QImage> image(const LWImage &picture, bool preview);

// The sides previews are decoded at: powers of two from smallestStep to 1024, then
// previewMaxPixels. A use asks for the step at or above the size it shows a picture at, so that a
// small zoom change decodes nothing; a JPEG is decoded at that step by its DCT scaling.
inline constexpr int smallestStep = 32;
[[nodiscard]] int stepFor(double pixels);
// The longest side, in pixels, that a use shows the whole of a picture of `upright` pixels at
// (its aspect decides how a fill or a crop enlarges it). Asked before the picture's size is known
// with a guess of 4000 x 3000.
using Want = std::function<int(QSize upright)>;
// The preview at the step of what `want` asks; waits for its decode.
[[nodiscard]] std::optional<QImage> image(const LWImage &picture, const Want &want);

// What one view shows (its pictures noted as previewSoon draws them): none of them is dropped
// from the preview table to make room for another picture. When all that views show do not fit
// the budget at their steps, every one of them is taken the same step smaller, down to
// smallestStep (the pictures already decoded are cut down, not decoded again); only then may the
// table pass its budget. Main thread.
class Showing {
public:
    Showing();
    ~Showing();
    Showing(const Showing &) = delete;
    Showing &operator=(const Showing &) = delete;
    // Starts a new account of what is shown (the whole view drawn anew), which replaces the last
    // one at done(); anew false adds to the last one (a part drawn again). done() tells whether
    // the largest step shown pictures get rose with the new account: the drawing asked its
    // pictures at the steps of the last one, and is to be made again.
    void begin(bool anew);
    [[nodiscard]] bool done();
    [[nodiscard]] quint64 id() const { return m_id; }

private:
    quint64 m_id;
};

// What a picture's bytes give where print output draws them: whole, only in part (cut off or
// damaged, the rest filled in), or nothing (unreadable, or too large to draw). Decided by a decode
// at the size the print PDF takes them (a JPEG that goes in as its own bytes: the preview, which
// reads all of them; any other picture: the full size) made through the tables and kept there,
// so the drawing that follows does not decode again; the outcome is remembered by the bytes.
// None without data, or when memory ran short (nothing is known then).
enum class Drawn { whole, partial, unreadable, tooLarge };
[[nodiscard]] std::optional<Drawn> drawn(const LWImage &picture);

// In a console (set by the console modes: no window keeps previews, and an export follows the
// check), drawn() decodes nothing for a picture the tables do not hold: it goes by the header
// (unreadable or too large) and by what decodes so far found; an export's decode, remembered,
// then tells any later check that the picture drew only in part or not at all.
void setConsole(bool on);

// What the decodes so far found the picture's bytes to give, decoding nothing: unreadable, too
// large (whole, or a part of it), drawn only in part, or none when nothing of that is known.
[[nodiscard]] std::optional<Drawn> remembered(const LWImage &picture);

// The upright pixel size of the full image: read from the file's header (sides swapped for a
// quarter turn), or from the full table when it holds the picture; only a header that gives no
// size makes it decode. None when the record has no data or the bytes are no picture; a picture
// too large to decode whole still has its size.
[[nodiscard]] std::optional<QSizeF> pixelSize(const LWImage &picture);

// The picture for an export, which holds it itself, as LWPictureDecoder::decode makes it for the
// request; for the whole picture, a table entry at least that large is taken as it is. Otherwise
// it is decoded for the caller and not kept in a table. Counted in stats().decodes; failures
// remembered as above (a part refused as too large is not: another part may fit).
[[nodiscard]] LWPictureDecoder::Result exportImage(const LWImage &picture, const LWPictureDecoder::Request &request);

// Forms that never wait for a decode, for the interface thread. Each answers from what is known
// now, or queues the work beside the caller (LWPictureQueue::shared(), at `priority`: higher
// first) and says that it is pending; the queue's `finished` tells when to ask again. Work that
// ended without an answer (memory ran short, say) is not queued again for a short while.
// A preview is asked at the step of `want` (previewMaxPixels without one); a picture the machine
// could not decode now, or whose decode found no memory, stays pending and is tried again after
// the pause (its job waits in the queue until then). Pictures the view shows go to `showing`.
struct Soon {
    std::optional<QImage> image; // the best preview decoded so far, maybe smaller than asked
    bool pending = false;        // the step asked is queued, being decoded or waits for a pause
};
[[nodiscard]] Soon previewSoon(const LWImage &picture, int priority = 0, const Want &want = {},
                               Showing *showing = nullptr);
// What drawn() and pixelSize() give, once known; pending until then.
struct CheckSoon {
    bool pending = false;
    std::optional<Drawn> drawn;
    std::optional<QSizeF> pixelSize;
};
[[nodiscard]] CheckSoon checkSoon(const LWImage &picture, int priority = 0);

// Sets the budgets (tests and diagnostics), dropping what no longer fits; returns the old ones.
Budget setBudget(const Budget &budget);

// Table sizes, their bytes and the number of decodes attempted so far, for tests and diagnostics.
struct Stats {
    qsizetype full = 0;
    qsizetype preview = 0;
    qint64 fullBytes = 0;
    qint64 previewBytes = 0;
    qint64 decodes = 0;
    qsizetype failures = 0; // pictures remembered as undecodable or too large
};
Stats stats();

} // namespace LWImageCache
