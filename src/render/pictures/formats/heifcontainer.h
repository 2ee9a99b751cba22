#pragma once
#include <QByteArray>
#include <QSize>
#include <optional>

// What decoding a HEIF/AVIF's primary image will really make, read from the container's boxes
// and the codecs' own headers (HEVC sequence parameter sets, AV1 sequence headers) without
// decoding: libheif decodes a coded image at whatever size its bitstream says, whatever the
// container declares, and every picture its bitstream codes. Every reference of a grid or
// overlay counts, so a tile used 20,000 times is 20,000 decodes. Thread-safe.
namespace LWHeifContainer {

struct Plan {
    qint64 codedPixels = 0;   // pixels of every picture decoded, each reference counted
    qint64 largestCoded = 0;  // pixels of the largest single coded image
    int codedImages = 0;      // coded images decoded, each reference counted
    qint64 dataRead = 0;      // item data and codec configurations the decoder copies, each use counted
    bool overBounds = false;  // more than maxImages, maxPixels or the data read allowed: the counting stopped there
};

// The decoder copies an item's data and its codec configuration at every use: a plan whose uses
// read more than twice the file and this is over its bounds (a photo's grid reads its file once).
inline constexpr qint64 maxDataReadBeyondFile = qint64(256) << 20;
// The decoder parses every NAL unit besides slices (parameter sets, messages), and every AV1 OBU
// besides frames (sequence headers, metadata, padding), of an image's configuration and data with
// each image: more than this many a coded image on average (each use counted) is over the bounds.
inline constexpr int maxOtherUnitsPerImage = 8;

// A coded image may exceed its declared size by this much on each side: encoders pad to their
// block size, and the bitstream crops back to the declared size.
inline constexpr int codingPadding = 64;

// Everything libheif reads is checked here first, so that it never reads a file refused here:
// the plan is None when the container cannot be followed within its bytes; when it lists more
// than 2 * maxImages + 64 items (or more reference boxes than that), an item twice (described,
// located, given properties or derived twice, or given two sizes or codec configurations), a box
// of which one is read given twice (the meta box, its item tables, its property container), or
// item data that together exceed the file (libheif copies it all on opening); when a coded
// image's bitstream gives no size or a size beyond its declared one (plus codingPadding); when a
// grid or overlay canvas exceeds its declared size; when an overlay places a layer above or left of
// its canvas (a negative offset, for which the decoder reads past the layer's end) or gives no
// offset for a layer. A primary image of more than `maxImages`
// coded images or `maxPixels` coded pixels in all (or whose item data, read at every use, passes
// maxDataReadBeyondFile beyond twice the file, or whose configurations and data give the
// decoder more than maxOtherUnitsPerImage units besides slices or frames an image), its auxiliary images (alpha, depth, of any
// kind, grids included) and the pictures of its codec configurations (given to the decoder with
// every image) counted, gives a plan overBounds, counted no further.
[[nodiscard]] std::optional<Plan> plan(const QByteArray &bytes, qint64 maxPixels, int maxImages);

} // namespace LWHeifContainer
