#include "render/pictures/picturedecoder.h"

#include "render/pictures/decodebudget.h"
#include "render/worker/decodeworkers.h"
#include "render/pictures/heif.h"
#include "render/pictures/formats/heifcontainer.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/imagescale.h"
#include "render/pictures/jpegpart.h"
#include "render/pictures/formats/pictureformat.h"
#include "render/pictures/picturekey.h"

#include <QBuffer>
#include <QHash>
#include <QMutex>
#include <QImageReader>
#include <QTransform>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <cmath>

namespace {

using LWPictureDecoder::Failure;
using LWPictureDecoder::Result;

Result failed(Failure why) { return {std::nullopt, why}; }

qint64 pixels(QSize s) { return qint64(std::max(0, s.width())) * std::max(0, s.height()); }

// The pixels of `size` covering `r` (fractions of it), whole pixels around it.
QRect coveredPixels(QSize size, const QRectF &r)
{
    return QRectF(r.x() * size.width(), r.y() * size.height(), r.width() * size.width(), r.height() * size.height())
        .toAlignedRect()
        .intersected(QRect(QPoint(0, 0), size));
}

// Where the pixels `r` of an upright picture `size` large lie in the picture as stored. Qt turns
// a stored image upright by mirroring and flipping it first, then turning it a quarter clockwise.
// Whole pixels stay whole: each step only swaps and reflects them.
QRect storedPixels(const QRect &r, QSize size, QImageIOHandler::Transformations t)
{
    const QSize stored = t & QImageIOHandler::TransformationRotate90 ? size.transposed() : size;
    QTransform toUpright;
    if (t & QImageIOHandler::TransformationMirror)
        toUpright *= QTransform(-1, 0, 0, 1, stored.width(), 0);
    if (t & QImageIOHandler::TransformationFlip)
        toUpright *= QTransform(1, 0, 0, -1, 0, stored.height());
    if (t & QImageIOHandler::TransformationRotate90)
        toUpright *= QTransform(0, 1, -1, 0, stored.height(), 0);
    return toUpright.inverted().mapRect(QRectF(r)).toAlignedRect();
}

// What cutDown makes beside the whole image, reckoned as a cut of the held pixels' reach, brought
// to size, and for plain alpha a premultiplied copy at the reach's size: it makes less (the
// scaling reads and premultiplies a few rows at a time), but what a picture is refused for stays.
qint64 cutCost(QSize decoded, const LWPictureDecoder::Request &request, int bytesPerPixel, bool plainAlpha)
{
    const LWPictureDecoder::Made made = LWPictureDecoder::madeRect(decoded, request);
    const QRect source = coveredPixels(decoded, made.part());
    const qint64 cut = source.size() != decoded ? pixels(source.size()) * bytesPerPixel : 0;
    if (made.held.size() == source.size())
        return cut;
    return cut + pixels(made.held.size()) * bytesPerPixel + (plainAlpha ? pixels(source.size()) * bytesPerPixel : 0) +
           LWImageScale::scratch(decoded, made.whole, made.held);
}

using Turns = QImageIOHandler::Transformations;

// Qt's transformation flags by EXIF orientation (1 to 8).
constexpr QImageIOHandler::Transformation exifTurns[9] = {
    QImageIOHandler::TransformationNone,          QImageIOHandler::TransformationNone,
    QImageIOHandler::TransformationMirror,        QImageIOHandler::TransformationRotate180,
    QImageIOHandler::TransformationFlip,          QImageIOHandler::TransformationFlipAndRotate90,
    QImageIOHandler::TransformationRotate90,      QImageIOHandler::TransformationMirrorAndRotate90,
    QImageIOHandler::TransformationRotate270};

int exifOrientation(Turns t)
{
    for (int i = 1; i <= 8; ++i)
        if (Turns(exifTurns[i]) == t)
            return i;
    return 1;
}

Turns turnsOf(int orientation)
{
    return orientation >= 1 && orientation <= 8 ? Turns(exifTurns[orientation]) : Turns();
}

std::optional<LWHeifContainer::Plan> heifPlan(const QByteArray &bytes)
{
    return LWHeifContainer::plan(bytes, LWPictureDecoder::maxPixelCount, LWPictureDecoder::maxCodedImages);
}

// The header of bytes our checks passed, read by the format's own reader (HEIF: libheif, whose
// container the plan has passed).
std::optional<LWPictureDecoder::Header> headerOf(const LWPictureFormat::Readable &picture)
{
    if (picture.format == LWPictureFormat::Format::heif) {
        const std::optional<LWHeif::Primary> primary = LWHeif::primaryOf(picture.bytes);
        if (!primary)
            return std::nullopt;
        return LWPictureDecoder::Header{primary->size, 1, int(QImage::Format_RGBA8888), int(primary->work),
                                        primary->alpha};
    }
    // A size from our own reading of the header is taken before the reader is asked anything:
    // Qt's WebP reader makes an animation's whole canvas to tell its size.
    if (picture.declared.isValid())
        return LWPictureDecoder::Header{picture.declared, 1, int(QImage::Format_ARGB32)};
    QBuffer buffer;
    const std::unique_ptr<QImageReader> reader = picture.reader(buffer);
    if (!reader)
        return std::nullopt;
    reader->setAutoTransform(false);
    if (!reader->canRead())
        return std::nullopt;
    return LWPictureDecoder::Header{reader->size(), exifOrientation(reader->transformation()),
                                    int(reader->imageFormat())};
}

// Where a decode in the parent's checks stops: the bytes it would reserve, the pixels the
// picture declares and the size of the image the decode makes.
struct Stop {
    qint64 cost = 0, pixels = 0;
    QSize made;
};

} // namespace

// What a HEIF decode takes whatever part is wanted: libheif makes the whole picture.
struct LWPictureDecoder::Costs::Heif {
    QSize size;
    qint64 base = 0;
    bool alpha = true;
};
// What a JPEG decode is planned from: its stored size, orientation and coefficients kept.
struct LWPictureDecoder::Costs::Jpeg {
    QSize stored;
    QImageIOHandler::Transformations turn;
    double workPerPixel = 0;
};

namespace {

using HeifBase = LWPictureDecoder::Costs::Heif;
using JpegHeader = LWPictureDecoder::Costs::Jpeg;

// What a HEIF decode reserves besides the part's cut, from its header and its plan; none past
// the pixel ceiling.
std::optional<HeifBase> heifBase(const LWPictureDecoder::Header &header, qint64 largestCoded)
{
    const QSize size = header.stored;
    if (pixels(size) > LWPictureDecoder::maxPixelCount)
        return std::nullopt;
    const qint64 work = std::clamp<qint64>(header.heifWork, LWHeif::decoderBytesPerPixel, LWHeif::deepDecoderBytesPerPixel);
    return HeifBase{size, pixels(size) * (4 + work) + work * largestCoded, header.alpha};
}

qint64 heifCost(const HeifBase &h, const LWPictureDecoder::Request &request)
{
    return h.base + cutCost(h.size, request, 4, h.alpha);
}

Result decodeHeif(const LWPictureFormat::Readable &picture, const LWPictureDecoder::Request &request,
                  const LWPictureDecoder::Header &header, qint64 largestCoded, Stop *stopAt)
{
    const std::optional<HeifBase> base = heifBase(header, largestCoded);
    if (!base)
        return failed(Failure::tooLarge);
    const qint64 cost = heifCost(*base, request);
    if (stopAt)
        return *stopAt = {cost, pixels(base->size), LWPictureDecoder::madeRect(base->size, request).held.size()}, Result{};
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    bool outOfMemory = false;
    std::optional<QImage> img = LWHeif::decode(picture.bytes, LWPictureDecoder::maxPixelCount, &outOfMemory);
    if (!img)
        return failed(outOfMemory ? Failure::outOfMemory : Failure::unreadable);
    img = LWPictureDecoder::cutDown(std::move(*img), request);
    if (!img)
        return failed(Failure::outOfMemory);
    return {std::move(img), Failure::none};
}

// A JPEG's decode for a request: the scale in eighths, the pixels of the picture at that scale
// (upright) that the held ones read (as one scaling of the whole reads them), where they lie as
// stored, and the peak.
struct JpegSteps {
    LWPictureDecoder::Made made;
    int eighths = 8;
    QSize scaledStored, scaledUpright;
    QRect source, stored;
    bool scaled = false; // brought to size after the DCT
    qint64 cost = 0;
};

JpegSteps jpegSteps(const JpegHeader &h, const LWPictureDecoder::Request &request)
{
    const bool quarter = h.turn & QImageIOHandler::TransformationRotate90;
    const QSize upright = quarter ? h.stored.transposed() : h.stored;
    JpegSteps s;
    s.made = LWPictureDecoder::madeRect(upright, request);
    if (s.made.held.isEmpty())
        return s;
    s.eighths = LWJpegPart::eighths(h.stored, quarter ? s.made.whole.transposed() : s.made.whole);
    s.scaledStored = LWJpegPart::scaled(h.stored, s.eighths);
    s.scaledUpright = quarter ? s.scaledStored.transposed() : s.scaledStored;
    s.scaled = s.scaledUpright != s.made.whole;
    s.source = s.scaled ? LWImageScale::reach(s.scaledUpright, s.made.whole, s.made.held) : s.made.held;
    s.stored = storedPixels(s.source, s.scaledUpright, h.turn);
    // The part is made upright as it is decoded; scaling makes the held pixels beside it.
    s.cost = qint64(std::ceil(double(pixels(h.stored)) * h.workPerPixel)) +
             LWJpegPart::cost(h.stored, s.eighths, s.stored) +
             (s.scaled ? pixels(s.made.held.size()) * 4 +
                             LWImageScale::scratch(s.scaledUpright, s.made.whole, s.made.held)
                       : 0);
    return s;
}

// Stored rows of a JPEG's part written where they stand upright, as Qt turns a picture (mirrored
// and flipped first, then a quarter clockwise): a quarter turn makes each stored row a column.
class TurnedRows {
public:
    TurnedRows(const JpegSteps &s, Turns turn, uchar *into, qsizetype stride) : m_into(into), m_stride(stride)
    {
        const int mx = turn & QImageIOHandler::TransformationMirror ? -1 : 1;
        const int my = turn & QImageIOHandler::TransformationFlip ? -1 : 1;
        const bool quarter = turn & QImageIOHandler::TransformationRotate90;
        // Where stored pixel (x, y) of the scaled picture stands upright, and the steps along x and y.
        const auto upright = [&](int x, int y) {
            const int fx = mx < 0 ? s.scaledStored.width() - 1 - x : x;
            const int fy = my < 0 ? s.scaledStored.height() - 1 - y : y;
            return quarter ? QPoint(s.scaledStored.height() - 1 - fy, fx) : QPoint(fx, fy);
        };
        const QPoint origin = upright(s.stored.x(), s.stored.y()) - s.source.topLeft();
        const QPoint alongX = upright(s.stored.x() + 1, s.stored.y()) - upright(s.stored.x(), s.stored.y());
        const QPoint alongY = upright(s.stored.x(), s.stored.y() + 1) - upright(s.stored.x(), s.stored.y());
        m_first = qsizetype(origin.y()) * stride + qsizetype(origin.x()) * 4;
        m_stepX = qsizetype(alongX.y()) * stride + qsizetype(alongX.x()) * 4;
        m_stepY = qsizetype(alongY.y()) * stride + qsizetype(alongY.x()) * 4;
        m_width = s.stored.width();
        m_quarter = quarter;
        const QRect all(QPoint(0, 0), s.source.size());
        for (const QPoint corner : {s.stored.topLeft(), s.stored.topRight(), s.stored.bottomLeft(), s.stored.bottomRight()})
            m_fits = m_fits && all.contains(upright(corner.x(), corner.y()) - s.source.topLeft());
        m_fits = m_fits && s.stored.size() == (quarter ? s.source.size().transposed() : s.source.size());
    }
    // Whether the stored part lands exactly on the upright one.
    bool fits() const { return m_fits; }
    LWJpegPart::Rows rows()
    {
        return [this](const uchar *first, int count, qsizetype stride) {
            uchar *at = m_into + m_first + qsizetype(m_done) * m_stepY;
            // Along the upright rows: a quarter turn writes each upright row's run of pixels together.
            if (m_quarter) {
                for (int x = 0; x < m_width; ++x, at += m_stepX)
                    for (int i = 0; i < count; ++i)
                        std::memcpy(at + i * m_stepY, first + i * stride + x * 4, 4);
            } else {
                for (int i = 0; i < count; ++i) {
                    uchar *p = at + i * m_stepY;
                    const uchar *row = first + i * stride;
                    for (int x = 0; x < m_width; ++x, p += m_stepX)
                        std::memcpy(p, row + x * 4, 4);
                }
            }
            m_done += count;
            return true;
        };
    }

private:
    uchar *m_into;
    qsizetype m_stride, m_first = 0, m_stepX = 0, m_stepY = 0;
    int m_width = 0, m_done = 0;
    bool m_quarter = false, m_fits = true;
};

Result decodeJpeg(const LWPictureFormat::Readable &picture, const JpegHeader &h,
                  const LWPictureDecoder::Request &request, Stop *stopAt, const LWPictureDecoder::RowsOut *out)
{
    const JpegSteps s = jpegSteps(h, request);
    if (s.made.held.isEmpty() || s.stored.isEmpty() || s.source.isEmpty())
        return failed(Failure::unreadable);
    if (stopAt)
        return *stopAt = {s.cost, pixels(h.stored), s.made.held.size()}, Result{};
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(s.cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    bool outOfMemory = false;
    const bool turned = h.turn != QImageIOHandler::TransformationNone;
    if (turned && !TurnedRows(s, h.turn, nullptr, 4 * qsizetype(s.source.width())).fits())
        return failed(Failure::unreadable);
    const auto decoded = [&](const std::optional<LWJpegPart::Part> &part) -> Result {
        if (!part)
            return failed(outOfMemory ? Failure::outOfMemory : Failure::unreadable);
        return {std::nullopt, Failure::none, part->damaged, true};
    };
    // Nothing follows the DCT: the rows go straight into the answer, or where they stand upright.
    if (out && !s.scaled && !turned) {
        if (!out->begin(s.made.held.size()))
            return failed(Failure::outOfMemory);
        return decoded(LWJpegPart::decodeRows(picture.bytes, s.eighths, s.stored, out->rows, &outOfMemory));
    }
    if (out && !s.scaled && out->canvas) {
        qsizetype stride = 0;
        uchar *canvas = out->canvas(s.made.held.size(), &stride);
        if (!canvas)
            return failed(Failure::outOfMemory);
        TurnedRows into(s, h.turn, canvas, stride);
        return decoded(LWJpegPart::decodeRows(picture.bytes, s.eighths, s.stored, into.rows(), &outOfMemory));
    }
    std::optional<LWJpegPart::Part> part;
    if (turned) {
        QImage upright(s.source.size(), QImage::Format_RGB32);
        if (upright.isNull())
            return failed(Failure::outOfMemory);
        TurnedRows into(s, h.turn, upright.bits(), upright.bytesPerLine());
        part = LWJpegPart::decodeRows(picture.bytes, s.eighths, s.stored, into.rows(), &outOfMemory);
        if (part)
            part->image = std::move(upright);
    } else {
        part = LWJpegPart::decode(picture.bytes, s.eighths, s.stored, &outOfMemory);
    }
    if (!part)
        return failed(outOfMemory ? Failure::outOfMemory : Failure::unreadable);
    std::optional<QImage> img = std::move(part->image);
    // Brought to size as one scaling of the whole picture would: parts made apart join exactly.
    if (s.scaled)
        img = LWImageScale::scaled(*img, s.source.topLeft(), s.scaledUpright, s.made.whole, s.made.held);
    if (!img || img->isNull())
        return failed(Failure::outOfMemory);
    return {std::move(img), Failure::none, part->damaged};
}

// A JPEG's plan from its header: stored size and orientation.
std::optional<JpegHeader> jpegHeader(const LWPictureFormat::Readable &picture, const LWPictureDecoder::Header &header)
{
    if (header.stored.isEmpty())
        return std::nullopt;
    return JpegHeader{header.stored, turnsOf(header.orientation), picture.workPerPixel};
}

// The bytes as our own checks, linear in them, pass them to a third-party reader; none when
// they refuse them.
std::optional<LWPictureFormat::Readable> passed(const QByteArray &bytes)
{
    LWPictureFormat::Readable picture = LWPictureFormat::readable(bytes);
    if (picture.format == LWPictureFormat::Format::none)
        return std::nullopt;
    if (picture.format == LWPictureFormat::Format::heif) {
        const std::optional<LWHeifContainer::Plan> plan = heifPlan(picture.bytes);
        if (!plan || plan->overBounds)
            return std::nullopt;
    }
    return picture;
}

// Header answers the workers gave, by the bytes' key; none kept for bytes they could not read.
struct Headers {
    static constexpr qsizetype most = 20000; // then forgotten all at once, as the picture cache does
    QMutex lock;
    QHash<QByteArray, std::optional<LWPictureDecoder::Header>> known;
};

Headers &headers()
{
    static Headers h;
    return h;
}

// The header of bytes our checks passed, from a worker (a WebP's from our own reading), the
// answer remembered by the bytes' key.
std::optional<LWPictureDecoder::Header> askedHeader(const QByteArray &bytes, const LWPictureFormat::Readable &picture,
                                                    Failure *passing = nullptr)
{
    if (picture.format != LWPictureFormat::Format::heif && picture.declared.isValid())
        return headerOf(picture);
    const QByteArray key = LWPictureKey::of(bytes);
    Headers &h = headers();
    {
        QMutexLocker guard(&h.lock);
        if (const auto it = h.known.constFind(key); it != h.known.cend())
            return *it;
    }
    bool lasting = true;
    Failure cannot = Failure::unavailable;
    const std::optional<LWPictureDecoder::Header> told =
        LWDecodeWorkers::header(picture.bytes, &lasting, &cannot);
    if (passing)
        *passing = lasting ? Failure::none : cannot;
    if (lasting) {
        QMutexLocker guard(&h.lock);
        if (h.known.size() >= Headers::most)
            h.known.clear();
        h.known.insert(key, told);
    }
    return told;
}

// Decodes the first image of the bytes in the format their signature names, upright. The
// declared size is checked and the decode's peak reserved from the shared budget before
// anything is allocated, so a forged header cannot make us reserve gigabytes. With `stopAt`
// (the program's checks) it stops where it would reserve, telling there how many bytes, and
// the header comes from a worker; without it (in a worker) the decode reserves them and goes on.
Result decodeReadable(const QByteArray &bytes, const LWPictureDecoder::Request &request, Stop *stopAt,
                      QByteArray *readable = nullptr, const LWPictureDecoder::RowsOut *out = nullptr)
{
    const LWPictureFormat::Readable picture = LWPictureFormat::readable(bytes);
    if (readable)
        *readable = picture.bytes;
    if (picture.format == LWPictureFormat::Format::none)
        return failed(Failure::unreadable);
    // What the bitstreams will really make, before anything is decoded, and before libheif reads
    // the file at all: opening it copies every item's data.
    std::optional<LWHeifContainer::Plan> plan;
    if (picture.format == LWPictureFormat::Format::heif) {
        plan = heifPlan(picture.bytes);
        if (!plan)
            return failed(Failure::unreadable);
        if (plan->overBounds)
            return failed(Failure::tooLarge);
    }
    Failure passing = Failure::none;
    const std::optional<LWPictureDecoder::Header> header =
        stopAt ? askedHeader(bytes, picture, &passing) : headerOf(picture);
    if (!header) // no worker could read it now (the machine's fault or the decoder's, not the picture's)
        return failed(passing == Failure::none ? Failure::unreadable : passing);
    if (plan)
        return decodeHeif(picture, request, *header, plan->largestCoded, stopAt);
    if (picture.format == LWPictureFormat::Format::jpeg) {
        const std::optional<JpegHeader> jpeg = jpegHeader(picture, *header);
        return jpeg ? decodeJpeg(picture, *jpeg, request, stopAt, out) : failed(Failure::unreadable);
    }

    // A top-down BMP declares its height negative.
    const QSize declared(std::abs(header->stored.width()), std::abs(header->stored.height()));
    if (declared.isEmpty())
        return failed(Failure::unreadable);
    const bool fromHeader = picture.declared.isValid();
    const Turns turn = fromHeader ? Turns() : turnsOf(header->orientation);
    const bool turned = turn != QImageIOHandler::TransformationNone;
    const QSize upright = turn & QImageIOHandler::TransformationRotate90 ? declared.transposed() : declared;
    const LWPictureDecoder::Made made = LWPictureDecoder::madeRect(upright, request);
    if (made.held.isEmpty())
        return failed(Failure::unreadable);
    // Qt's WebP reader makes its own image and fails on a cut file: nothing to fill before.
    const bool makesItsOwn = picture.format == LWPictureFormat::Format::webp;
    const QSize decoded = declared;
    // A reader that could not parse the header may report any number as its format (Qt's JPEG
    // reader leaves it unset): taken as a number, and as a format only when it is one.
    const int raw = header->format;
    const bool known = raw > QImage::Format_Invalid && raw < QImage::NImageFormats;
    const auto format = known ? QImage::Format(raw) : QImage::Format_Invalid;
    const int perPixel = known ? std::max(4, QImage::toPixelFormat(format).bitsPerPixel() / 8) : 8;
    // Smooth scaling works on premultiplied pixels: plain alpha is first copied so, at its size.
    const QPixelFormat pixelFormat = QImage::toPixelFormat(format);
    const bool plainAlpha = known && pixelFormat.alphaUsage() == QPixelFormat::UsesAlpha &&
                            pixelFormat.premultiplied() == QPixelFormat::NotPremultiplied;
    qint64 extra = cutCost(upright, request, perPixel, plainAlpha);
    // Wide pictures (16-bit PNG and TIFF) are handed on at 8 bits a channel, as every use draws
    // them: their copy is counted here, never made later beside the wide one.
    const bool wide = perPixel > 4;
    if (wide)
        extra += pixels(made.held.size()) * 4;
    const qint64 cost = picture.decodeCost(declared, decoded, perPixel, turned) + extra;
    if (stopAt)
        return *stopAt = {cost, pixels(declared), made.held.size()}, Result{};
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    QBuffer buffer;
    const std::unique_ptr<QImageReader> reader = picture.reader(buffer);
    if (!reader)
        return failed(Failure::unreadable);
    reader->setAutoTransform(true);
    reader->setAllocationLimit(LWImageCache::allocationLimitMB);
    // A reader that stops early leaves the rest of the image as the memory it found (a cut BMP
    // reports success, a cut PNG fails but still hands the image over): that memory must
    // never reach a page.
    QImage img;
    if (!makesItsOwn && known) {
        img = QImage(declared, format);
        if (img.isNull())
            return failed(Failure::outOfMemory);
        img.fill(Qt::white);
    }
    // An image of another size than its header told (a GIF drawn on a screen its reader
    // disbelieved) was not what was reserved for, nor what the page measured.
    if (!reader->read(&img) || img.isNull() || img.size() != upright)
        return failed(Failure::unreadable);
    std::optional<QImage> cut = LWPictureDecoder::cutDown(std::move(img), request);
    if (cut && cut->depth() > 32)
        cut = cut->convertToFormat(cut->hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (!cut || cut->isNull())
        return failed(Failure::outOfMemory);
    return {std::move(cut), Failure::none};
}

} // namespace

namespace LWPictureDecoder {

QSize fitWithin(QSize s, int longest)
{
    const int m = std::max(s.width(), s.height());
    if (m <= longest)
        return s;
    const double k = double(longest) / m;
    return {std::max(1, qRound(s.width() * k)), std::max(1, qRound(s.height() * k))};
}

Made madeRect(QSize upright, const Request &request)
{
    const QSize whole = request.longestSide > 0 ? fitWithin(upright, request.longestSide) : upright;
    return {whole, coveredPixels(whole, request.part)};
}

std::optional<QImage> cutDown(QImage whole, const Request &request)
{
    const Made made = madeRect(whole.size(), request);
    if (made.held.isEmpty())
        return std::nullopt;
    // Scaled as the whole would be, whatever part is asked: parts cut apart join without a seam.
    if (made.whole != whole.size())
        return LWImageScale::scaled(whole, {0, 0}, whole.size(), made.whole, made.held);
    if (made.held != whole.rect()) {
        whole = whole.copy(made.held); // the rest goes at once
        if (whole.isNull())
            return std::nullopt;
    }
    return whole;
}

Result decode(const QByteArray &bytes, const Request &request)
{
    LWDecodeBudget::HoldWork::forgetRefusal(); // a refusal of an earlier decode is not this one's
    if (LWDecodeWorkers::Cancellable::now()) // before its checks copy the bytes
        return failed(Failure::unavailable);
    Stop stop;
    // The worker is handed what its reader reads: what the checks leave out never crosses.
    QByteArray readable;
    if (Result checked = decodeReadable(bytes, request, &stop, &readable); checked.failure != Failure::none)
        return checked;
    // Reserved here, where the budget is shared; the worker's memory limit follows from it.
    std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(stop.cost);
    if (!reserved) // or its wait for room heard Cancel: nothing is known
        return failed(LWDecodeWorkers::Cancellable::heard() ? Failure::unavailable : Failure::tooLarge);
    bool underLimit = false;
    Result first =
        LWDecodeWorkers::decode(readable, request, stop.cost, stop.made, stop.pixels, {false, &underLimit});
    if (!underLimit)
        return first;
    // A decoder short of memory under its limit may call the picture anything: the same decode
    // again with ample room, reserved anew (so that a thread waits holding nothing), says whether
    // the fault is the picture's.
    reserved.reset();
    const qint64 wanted = std::min(LWDecodeBudget::roomBesideHolds(), LWDecodeWorkers::ampleRoom(stop.cost));
    const qint64 ample = std::max(stop.cost, wanted);
    const std::optional<LWDecodeBudget::Reservation> room = LWDecodeBudget::reserve(ample);
    if (!room) { // no room beside an export's hold now: known later
        LWDecodeBudget::HoldWork::forgetRefusal();
        return failed(Failure::unavailable);
    }
    return LWDecodeWorkers::decode(readable, request, ample, stop.made, stop.pixels, {true, nullptr});
}

Costs::Costs(const QByteArray &bytes) : m_bytes(bytes)
{
    const std::optional<LWPictureFormat::Readable> picture = passed(bytes);
    if (!picture || (picture->format != LWPictureFormat::Format::heif && picture->format != LWPictureFormat::Format::jpeg))
        return;
    const std::optional<Header> told = askedHeader(bytes, *picture);
    if (!told) {
        m_refused = true;
    } else if (picture->format == LWPictureFormat::Format::heif) {
        const std::optional<LWHeifContainer::Plan> plan = heifPlan(picture->bytes);
        const std::optional<HeifBase> base = plan ? heifBase(*told, plan->largestCoded) : std::nullopt;
        if (base)
            m_heif = std::make_shared<const HeifBase>(*base);
        else
            m_refused = true;
    } else if (const std::optional<JpegHeader> h = jpegHeader(*picture, *told)) {
        m_jpeg = std::make_shared<const JpegHeader>(*h);
    } else {
        m_refused = true;
    }
}

std::optional<qint64> Costs::of(const Request &request) const
{
    if (m_refused)
        return std::nullopt;
    if (m_heif)
        return heifCost(*m_heif, request);
    if (m_jpeg) {
        const JpegSteps s = jpegSteps(*m_jpeg, request);
        return s.made.held.isEmpty() ? std::nullopt : std::optional<qint64>(s.cost);
    }
    Stop stop;
    if (decodeReadable(m_bytes, request, &stop).failure != Failure::none)
        return std::nullopt;
    return stop.cost;
}

Result decodeHere(const QByteArray &bytes, const Request &request) { return decodeReadable(bytes, request, nullptr); }

Result decodeHere(const QByteArray &bytes, const Request &request, const RowsOut &out)
{
    return decodeReadable(bytes, request, nullptr, nullptr, &out);
}

std::optional<Header> headerHere(const QByteArray &bytes)
{
    const std::optional<LWPictureFormat::Readable> picture = passed(bytes);
    return picture ? headerOf(*picture) : std::nullopt;
}

std::optional<Header> header(const QByteArray &bytes)
{
    const std::optional<LWPictureFormat::Readable> picture = passed(bytes);
    return picture ? askedHeader(bytes, *picture) : std::nullopt;
}

Failure check(const QByteArray &bytes, const Request &request)
{
    Stop stop;
    if (const Result checked = decodeReadable(bytes, request, &stop); checked.failure != Failure::none)
        return checked.failure;
    return stop.cost > LWDecodeBudget::limit() ? Failure::tooLarge : Failure::none;
}

} // namespace LWPictureDecoder
