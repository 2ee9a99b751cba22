#pragma once
#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <functional>
#include <memory>
#include <optional>

// Decodes the first image of a picture's bytes, upright by the file's orientation (HEIF: by its
// own rotation boxes, through LWHeif, as 8-bit RGBA). Only the formats LWPictureFormat takes are
// decoded, at the size and of the part a use asks for: a JPEG through its DCT scaling (by M/8) and
// only the rows and columns the part covers (LWJpegPart); the others decoded whole and cut down at
// once. A part brought to a smaller size is scaled as one scaling of the whole would be
// (LWImageScale), so that parts made apart join without a seam. The decode's peak, for what the use makes of the picture rather than what the file declares, is reserved
// from the shared budget (LWDecodeBudget) before anything is allocated; a picture is refused only
// when that peak alone exceeds the budget. Thread-safe; caches nothing.
namespace LWPictureDecoder {

// A HEIF/AVIF whose decoder would make more pixels than this is refused: libheif always makes the
// whole picture, and a larger one never fits the budget beside the decoder's own work.
inline constexpr qint64 maxPixelCount = 150'000'000;
// A HEIF/AVIF whose primary image takes more coded images than this (grid tiles, overlay layers,
// each use counted) is refused: each costs a decoder start whatever its size. Four times the
// tiles of a 48-megapixel phone photo.
inline constexpr int maxCodedImages = 1024;

enum class Failure {
    none,
    unreadable,  // no picture the program takes, or bytes that do not decode
    tooLarge,    // what the use needs alone takes more than the whole budget (HEIF: over maxPixelCount)
    outOfMemory, // an allocation failed
    // The machine could not decode it now (no decode worker could be started, or the decode ran
    // out of wall-clock time on a loaded machine): the next try may. Never a worker's answer.
    unavailable,
    // No picture decodes, whatever its bytes: the decode worker program is missing or cannot
    // start (a broken install), or cannot shut itself in on this system. Never a worker's answer.
    decoderMissing,
    decoderUnsafe,
};
struct Result {
    std::optional<QImage> image; // none on failure
    Failure failure = Failure::none;
    // The bytes ended or broke before the whole picture was decoded; the rest of the image is
    // filled in. Set only where the decoder tells it.
    bool partial = false;
    // The image's rows went to RowsOut as they were made: `image` is none, failure none.
    bool handedOut = false;
    // The CPU time the worker that made the image spent on it (-1: not known); unlike the wall
    // clock, a loaded machine does not lengthen it.
    qint64 cpuMs = -1;
};

// Where a decode may hand the image's rows over as it makes them instead of keeping the image
// (a worker writes them straight into its answer, never holding a large part twice): begin()
// with the image's size before the first, then rows() top down, RGB32. A decode whose rows come
// in another order (a turned JPEG: the image's rows are the stored picture's columns) writes
// them into canvas() instead, the whole image's memory (RGB32, `stride` bytes a row), when it is
// given. False or null from any of them stops the decode, which then fails as out of memory.
struct RowsOut {
    std::function<bool(QSize size)> begin;
    std::function<bool(const uchar *first, int count, qsizetype stride)> rows;
    std::function<uchar *(QSize size, qsizetype *stride)> canvas;
};

// What one use wants of a picture: the whole upright picture brought within `longestSide` pixels
// on its longer side (never scaled up; 0 keeps the full size), of which only `part` (fractions
// of the upright picture) is made.
struct Request {
    int longestSide = 0;
    QRectF part{0, 0, 1, 1};
    [[nodiscard]] bool whole() const { return part.contains(QRectF(0, 0, 1, 1)); }
};

// The image holds exactly madeRect(upright, request) of the whole picture brought within
// request.longestSide, at that rectangle's size.
[[nodiscard]] Result decode(const QByteArray &bytes, const Request &request);
// The same decode in the calling process, with no limits but the budget: what a decode worker
// runs. `decode` checks the bytes, reserves from the budget and has a worker run this.
[[nodiscard]] Result decodeHere(const QByteArray &bytes, const Request &request);
// The same, the rows handed to `out` where the decode makes them (a JPEG not scaled after its
// DCT); elsewhere the image, as without it.
[[nodiscard]] Result decodeHere(const QByteArray &bytes, const Request &request, const RowsOut &out);
// What `decode` would say before decoding: the checks' failure, tooLarge when the decode's peak
// alone exceeds the whole budget, else none. Decodes nothing and reserves nothing.
[[nodiscard]] Failure check(const QByteArray &bytes, const Request &request);

// What a picture's header tells, read without decoding pixels.
struct Header {
    QSize stored;        // as stored, before any orientation turn; a side may be 0 or less (a
                         // top-down BMP reports its height negative): callers decide
    int orientation = 1; // the EXIF orientation, 1 to 8 (HEIF: 1, its size already upright)
    int format = 0;      // the reader's QImage::Format as a number: a reader may report any
    int heifWork = 0;    // HEIF: the decoder's bytes a pixel besides the image (LWHeif::Primary)
    bool alpha = false;  // HEIF: the primary image has alpha
};
// The header read by the formats' third-party readers after the checks `decode` makes; none
// when those refuse the bytes or the reader cannot read them. What a decode worker runs.
[[nodiscard]] std::optional<Header> headerHere(const QByteArray &bytes);
// The same through a decode worker, under small limits, after the same checks made here; each
// picture's answer is remembered by its bytes (a want of memory of the machine is not). A WebP's
// comes from its RIFF header here. Only this reads a header in the program.
[[nodiscard]] std::optional<Header> header(const QByteArray &bytes);

// What decodes of one picture reserve, its header read once: for an export that plans many
// parts of one picture. Read from any thread.
class Costs {
public:
    explicit Costs(const QByteArray &bytes);
    // The bytes a decode of the request reserves; none when the checks refuse the picture.
    [[nodiscard]] std::optional<qint64> of(const Request &request) const;
    struct Heif;
    struct Jpeg;

private:
    QByteArray m_bytes;
    std::shared_ptr<const Heif> m_heif;
    std::shared_ptr<const Jpeg> m_jpeg;
    bool m_refused = false;
};

// The whole picture with its longer side at most `longestSide` pixels.
[[nodiscard]] inline Result decode(const QByteArray &bytes, int longestSide)
{
    return decode(bytes, Request{longestSide, {0, 0, 1, 1}});
}

// `size` brought within `longest` pixels on its longer side, aspect kept; never enlarged.
[[nodiscard]] QSize fitWithin(QSize size, int longest);

// What a decode of a picture `upright` pixels large makes for the request: the whole picture's
// size brought within the request, and the pixels of it that the part covers (whole pixels
// around it).
struct Made {
    QSize whole;
    QRect held;
    // The held pixels in fractions of the whole picture.
    [[nodiscard]] QRectF part() const
    {
        return {double(held.x()) / whole.width(), double(held.y()) / whole.height(),
                double(held.width()) / whole.width(), double(held.height()) / whole.height()};
    }
};
[[nodiscard]] Made madeRect(QSize upright, const Request &request);

// The request made from the whole picture already decoded (at any size): the held pixels of the
// whole brought to its size. None for lack of memory.
[[nodiscard]] std::optional<QImage> cutDown(QImage whole, const Request &request);

} // namespace LWPictureDecoder
