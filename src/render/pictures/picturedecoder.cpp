#include "render/pictures/picturedecoder.h"

#include "render/pictures/decodebudget.h"
#include "render/pictures/decodeworkers.h"
#include "render/pictures/heif.h"
#include "render/pictures/heifcontainer.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/pictureformat.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

using LWPictureDecoder::Failure;
using LWPictureDecoder::Result;

Result failed(Failure why) { return {std::nullopt, why}; }

// A decoded picture brought within `longest`; none when scaling fails for lack of memory.
std::optional<QImage> shrunk(QImage img, int longest)
{
    const QSize target = LWPictureDecoder::fitWithin(img.size(), longest);
    if (target != img.size())
        img = img.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (img.isNull())
        return std::nullopt;
    return img;
}

bool overLimit(QSize s) { return qint64(s.width()) * s.height() > LWPictureDecoder::maxPixelCount; }

// With `stopAt` (the parent's checks) the decode stops where it would reserve, telling there
// how many bytes; without it the decode reserves them here and goes on.
Result decodeHeif(const LWPictureFormat::Readable &picture, int longestSide, qint64 *stopAt)
{
    const std::optional<QSize> size = LWHeif::size(picture.bytes);
    if (!size)
        return failed(Failure::unreadable);
    if (overLimit(*size))
        return failed(Failure::tooLarge);
    // What the bitstreams will really make, before anything is decoded.
    const std::optional<LWHeifContainer::Plan> plan = LWHeifContainer::plan(
        picture.bytes, LWPictureDecoder::maxPixelCount, LWPictureDecoder::maxCodedImages);
    if (!plan)
        return failed(Failure::unreadable);
    if (plan->overBounds)
        return failed(Failure::tooLarge);
    const QSize target = longestSide > 0 ? LWPictureDecoder::fitWithin(*size, longestSide) : *size;
    const qint64 shrunkCopy = target != *size ? qint64(target.width()) * target.height() * 4 : 0;
    const qint64 cost =
        picture.decodeCost(*size, *size, 4, false) + LWHeif::decoderBytesPerPixel * plan->largestCoded + shrunkCopy;
    if (stopAt)
        return *stopAt = cost, Result{};
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    std::optional<QImage> img = LWHeif::decode(picture.bytes, LWPictureDecoder::maxPixelCount);
    if (img && longestSide > 0)
        img = shrunk(std::move(*img), longestSide);
    if (!img)
        return failed(Failure::unreadable);
    return {std::move(img), Failure::none};
}

// Decodes the first image of the bytes in the format their signature names, upright. The
// declared size is checked and the decode's peak reserved from the shared budget before
// anything is allocated, so a forged header cannot make us reserve gigabytes.
Result decodeReadable(const QByteArray &bytes, int longestSide, qint64 *stopAt)
{
    const LWPictureFormat::Readable picture = LWPictureFormat::readable(bytes);
    if (picture.format == LWPictureFormat::Format::heif)
        return decodeHeif(picture, longestSide, stopAt);
    QBuffer buffer;
    const std::unique_ptr<QImageReader> reader = picture.reader(buffer);
    if (!reader)
        return failed(Failure::unreadable);
    reader->setAutoTransform(true);
    reader->setAllocationLimit(LWImageCache::allocationLimitMB);

    // A size from the header is taken before the reader is asked anything: Qt's WebP reader
    // makes an animation's whole canvas to tell its size. A top-down BMP declares its height
    // negative.
    const bool fromHeader = picture.declared.isValid();
    const QSize declared = fromHeader ? picture.declared
                                      : QSize(std::abs(reader->size().width()), std::abs(reader->size().height()));
    if (declared.isEmpty())
        return failed(Failure::unreadable);
    if (overLimit(declared))
        return failed(Failure::tooLarge);
    // Scaling in the reader lets decoders that can (JPEG) skip most of the work; the others
    // decode in full and scale. The longer side is the same before and after the turn.
    const QSize target = longestSide > 0 ? LWPictureDecoder::fitWithin(declared, longestSide) : declared;
    const bool scalesItself = picture.format == LWPictureFormat::Format::jpeg;
    // Qt's WebP reader makes its own image and fails on a cut file: nothing to fill before.
    const bool makesItsOwn = scalesItself || picture.format == LWPictureFormat::Format::webp;
    if (target != declared)
        reader->setScaledSize(target);
    // A JPEG scaled in eighths comes out at most twice the target each way before the last step.
    const QSize made = scalesItself && target != declared ? (target * 2).boundedTo(declared) : declared;
    // A reader that could not parse the header may report any number as its format (Qt's JPEG
    // reader leaves it unset): taken as a number, and as a format only when it is one.
    const int raw = fromHeader ? int(QImage::Format_ARGB32) : int(reader->imageFormat());
    const bool known = raw > QImage::Format_Invalid && raw < QImage::NImageFormats;
    const auto format = known ? QImage::Format(raw) : QImage::Format_Invalid;
    const int perPixel = known ? std::max(4, QImage::toPixelFormat(format).bitsPerPixel() / 8) : 8;
    const bool turned = !fromHeader && reader->transformation() != QImageIOHandler::TransformationNone;
    const qint64 shrunkCopy = target != declared ? qint64(target.width()) * target.height() * 4 : 0;
    const qint64 cost = picture.decodeCost(declared, made, perPixel, turned) + shrunkCopy;
    if (stopAt)
        return *stopAt = cost, Result{};
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    // A reader that stops early leaves the rest of the image as the memory it found (a cut BMP
    // reports success, a cut PNG fails but still hands the image over): that memory must
    // never reach a page. JPEG fails instead and may make the image at another size.
    QImage img;
    if (!makesItsOwn && known) {
        img = QImage(declared, format);
        if (img.isNull())
            return failed(Failure::outOfMemory);
        img.fill(Qt::white);
    }
    if (!reader->read(&img) || img.isNull())
        return failed(Failure::unreadable);
    return {std::move(img), Failure::none};
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

Result decode(const QByteArray &bytes, const Request &request)
{
    LWDecodeBudget::HoldWork::forgetRefusal(); // a refusal of an earlier decode is not this one's
    qint64 cost = 0;
    if (Result checked = decodeReadable(bytes, request.longestSide, &cost); checked.failure != Failure::none)
        return checked;
    // Reserved here, where the budget is shared; the worker's memory limit follows from it.
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    return LWDecodeWorkers::decode(bytes, request, cost);
}

Result decodeHere(const QByteArray &bytes, const Request &request)
{
    Result r = decodeReadable(bytes, request.longestSide, nullptr);
    if (!r.image || request.whole())
        return r;
    const QSizeF s = r.image->size();
    const QRect part = QRectF(request.part.x() * s.width(), request.part.y() * s.height(),
                              request.part.width() * s.width(), request.part.height() * s.height())
                           .toAlignedRect()
                           .intersected(r.image->rect());
    QImage cut = r.image->copy(part);
    if (cut.isNull())
        return failed(part.isEmpty() ? Failure::unreadable : Failure::outOfMemory);
    r.image = std::move(cut);
    return r;
}

} // namespace LWPictureDecoder
