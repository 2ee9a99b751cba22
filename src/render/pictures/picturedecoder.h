#pragma once
#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <optional>

// Decodes the first image of a picture's bytes, upright by the file's orientation (HEIF: by its
// own rotation boxes, through LWHeif, as 8-bit RGBA). Only the formats LWPictureFormat takes are
// decoded. The declared size is checked against maxPixelCount and the decode's peak reserved from
// the shared budget (LWDecodeBudget) before anything is allocated. Thread-safe; caches nothing.
namespace LWPictureDecoder {

// Pictures whose header declares more pixels than this are refused before any decoding.
// Generous enough for real photos of 100 megapixels and more, in 16-bit colour too.
inline constexpr qint64 maxPixelCount = 150'000'000;
// A HEIF/AVIF whose primary image takes more coded images than this (grid tiles, overlay layers,
// each use counted) is refused: each costs a decoder start whatever its size. Four times the
// tiles of a 48-megapixel phone photo.
inline constexpr int maxCodedImages = 1024;

enum class Failure {
    none,
    unreadable,  // no picture the program takes, or bytes that do not decode
    tooLarge,    // over maxPixelCount, or its decode alone needs more than the whole budget
    outOfMemory, // an allocation failed
};
struct Result {
    std::optional<QImage> image; // none on failure
    Failure failure = Failure::none;
    // The bytes ended or broke before the whole picture was decoded; the rest of the image is
    // filled in. Set only where the decoder tells it.
    bool partial = false;
};

// What one use wants of a picture: the whole upright picture brought within `longestSide` pixels
// on its longer side (never scaled up; 0 keeps the full size), of which only `part` (fractions
// of the upright picture) is made.
struct Request {
    int longestSide = 0;
    QRectF part{0, 0, 1, 1};
    [[nodiscard]] bool whole() const { return part.contains(QRectF(0, 0, 1, 1)); }
};

[[nodiscard]] Result decode(const QByteArray &bytes, const Request &request);
// The same decode in the calling process, with no limits but the budget: what a decode worker
// runs. `decode` checks the bytes, reserves from the budget and has a worker run this.
[[nodiscard]] Result decodeHere(const QByteArray &bytes, const Request &request);

// The whole picture with its longer side at most `longestSide` pixels.
[[nodiscard]] inline Result decode(const QByteArray &bytes, int longestSide)
{
    return decode(bytes, Request{longestSide, {0, 0, 1, 1}});
}

// `size` brought within `longest` pixels on its longer side, aspect kept; never enlarged.
[[nodiscard]] QSize fitWithin(QSize size, int longest);

} // namespace LWPictureDecoder
