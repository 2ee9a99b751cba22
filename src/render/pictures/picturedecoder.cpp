#include "render/pictures/picturedecoder.h"

#include "render/pictures/decodebudget.h"
#include "render/worker/decodeworkers.h"
#include "render/pictures/heif.h"
#include "render/pictures/heifcontainer.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/pictureformat.h"

#include <QBuffer>
#include <QImageReader>
#include <QTransform>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>

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

// Qt's JPEG reader reports success on a cut or damaged file and fills in what it could not
// read; only libjpeg's warning, logged under Qt's category, tells it. Noted per thread while a
// JPEG is read; every message still reaches the handler that was there before.
thread_local bool jpegDamaged = false;
QtMessageHandler previousHandler = nullptr;

void noteJpegDamage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && context.category && qstrcmp(context.category, "qt.gui.imageio.jpeg") == 0 &&
        (message.startsWith(QLatin1String("Premature end")) ||
         (message.startsWith(QLatin1String("Corrupt JPEG data")) && !message.contains(QLatin1String("extraneous")))))
        jpegDamaged = true;
    if (previousHandler)
        previousHandler(type, context, message);
}

// Whether the JPEG the reader reads is damaged: set up before, asked after reading.
struct JpegDamageWatch {
    JpegDamageWatch()
    {
        static std::once_flag installed;
        std::call_once(installed, [] { previousHandler = qInstallMessageHandler(noteJpegDamage); });
        jpegDamaged = false;
    }
    [[nodiscard]] bool damaged() const { return jpegDamaged; }
};

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

// What cutDown copies beside the whole image: the held pixels at full size, then brought to size
// (smooth scaling first copies plain alpha premultiplied, at the source's size).
qint64 cutCost(QSize decoded, const LWPictureDecoder::Request &request, int bytesPerPixel, bool plainAlpha)
{
    const LWPictureDecoder::Made made = LWPictureDecoder::madeRect(decoded, request);
    const QRect source = coveredPixels(decoded, made.part());
    const qint64 cut = source.size() != decoded ? pixels(source.size()) * bytesPerPixel : 0;
    if (made.held.size() == source.size())
        return cut;
    return cut + pixels(made.held.size()) * bytesPerPixel + (plainAlpha ? pixels(source.size()) * bytesPerPixel : 0);
}

// What the parent's checks learn before a decode: the bytes it reserves and the size of the image
// it makes.
struct Plan {
    qint64 cost = 0;
    QSize made;
};

// With `stopAt` (the parent's checks) a decode stops where it would reserve, telling there its
// plan; without it the decode reserves the bytes here and goes on.
Result decodeHeif(const LWPictureFormat::Readable &picture, const LWPictureDecoder::Request &request, Plan *stopAt)
{
    // What the bitstreams will really make, before anything is decoded, and before libheif reads
    // the file at all: opening it copies every item's data.
    const std::optional<LWHeifContainer::Plan> plan = LWHeifContainer::plan(
        picture.bytes, LWPictureDecoder::maxPixelCount, LWPictureDecoder::maxCodedImages);
    if (!plan)
        return failed(Failure::unreadable);
    if (plan->overBounds)
        return failed(Failure::tooLarge);
    const std::optional<LWHeif::Primary> primary = LWHeif::primaryOf(picture.bytes);
    if (!primary)
        return failed(Failure::unreadable);
    const QSize size = primary->size;
    if (pixels(size) > LWPictureDecoder::maxPixelCount)
        return failed(Failure::tooLarge);
    const qint64 work = primary->work;
    const qint64 cost =
        pixels(size) * (4 + work) + work * plan->largestCoded + cutCost(size, request, 4, primary->alpha);
    if (stopAt)
        return *stopAt = {cost, LWPictureDecoder::madeRect(size, request).held.size()}, Result{};
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    std::optional<QImage> img = LWHeif::decode(picture.bytes, LWPictureDecoder::maxPixelCount);
    if (!img)
        return failed(Failure::unreadable);
    img = LWPictureDecoder::cutDown(std::move(*img), request);
    if (!img)
        return failed(Failure::outOfMemory);
    return {std::move(img), Failure::none};
}

// Decodes the first image of the bytes in the format their signature names, upright. The
// declared size is checked and the decode's peak reserved from the shared budget before
// anything is allocated, so a forged header cannot make us reserve gigabytes.
Result decodeReadable(const QByteArray &bytes, const LWPictureDecoder::Request &request, Plan *stopAt)
{
    const LWPictureFormat::Readable picture = LWPictureFormat::readable(bytes);
    if (picture.format == LWPictureFormat::Format::heif)
        return decodeHeif(picture, request, stopAt);
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
    const QImageIOHandler::Transformations turn =
        fromHeader ? QImageIOHandler::TransformationNone : reader->transformation();
    const bool turned = turn != QImageIOHandler::TransformationNone;
    const QSize upright = turn & QImageIOHandler::TransformationRotate90 ? declared.transposed() : declared;
    const LWPictureDecoder::Made made = LWPictureDecoder::madeRect(upright, request);
    if (made.held.isEmpty())
        return failed(Failure::unreadable);
    // A JPEG decodes only the rows and columns of the part, scaled in eighths in its DCT (at most
    // twice the size wanted each way before the last step); the others decode whole and are cut.
    const bool scalesItself = picture.format == LWPictureFormat::Format::jpeg;
    // Qt's WebP reader makes its own image and fails on a cut file: nothing to fill before.
    const bool makesItsOwn = scalesItself || picture.format == LWPictureFormat::Format::webp;
    QSize decoded = declared;
    qint64 extra = 0;
    if (scalesItself) {
        // At full size the part's own pixels; smaller, the stored pixels that cover it.
        const bool quarter = turn & QImageIOHandler::TransformationRotate90;
        const QRect held = storedPixels(made.held, made.whole, turn);
        const QSize wholeStored = quarter ? made.whole.transposed() : made.whole;
        const QRect clip = made.whole == upright
                               ? held
                               : coveredPixels(declared, LWPictureDecoder::Made{wholeStored, held}.part());
        const QSize out = held.size();
        if (clip != QRect(QPoint(0, 0), declared))
            reader->setClipRect(clip);
        if (out != clip.size()) {
            reader->setScaledSize(out);
            extra = pixels(out) * 4;
        }
        decoded = out != clip.size() ? (out * 2).boundedTo(clip.size()) : clip.size();
    }
    // A reader that could not parse the header may report any number as its format (Qt's JPEG
    // reader leaves it unset): taken as a number, and as a format only when it is one.
    const int raw = fromHeader ? int(QImage::Format_ARGB32) : int(reader->imageFormat());
    const bool known = raw > QImage::Format_Invalid && raw < QImage::NImageFormats;
    const auto format = known ? QImage::Format(raw) : QImage::Format_Invalid;
    const int perPixel = known ? std::max(4, QImage::toPixelFormat(format).bitsPerPixel() / 8) : 8;
    // Smooth scaling works on premultiplied pixels: plain alpha is first copied so, at its size.
    const QPixelFormat pixelFormat = QImage::toPixelFormat(format);
    const bool plainAlpha = known && pixelFormat.alphaUsage() == QPixelFormat::UsesAlpha &&
                            pixelFormat.premultiplied() == QPixelFormat::NotPremultiplied;
    if (!scalesItself)
        extra = cutCost(upright, request, perPixel, plainAlpha);
    // Wide pictures (16-bit PNG and TIFF) are handed on at 8 bits a channel, as every use draws
    // them: their copy is counted here, never made later beside the wide one.
    const bool wide = perPixel > 4;
    if (wide)
        extra += pixels(made.held.size()) * 4;
    const qint64 cost = picture.decodeCost(declared, decoded, perPixel, turned) + extra;
    if (stopAt)
        return *stopAt = {cost, made.held.size()}, Result{};
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
    std::optional<JpegDamageWatch> watch;
    if (picture.format == LWPictureFormat::Format::jpeg)
        watch.emplace();
    if (!reader->read(&img) || img.isNull())
        return failed(Failure::unreadable);
    if (scalesItself)
        return {std::move(img), Failure::none, watch && watch->damaged()};
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
    const QRect source = coveredPixels(whole.size(), made.part());
    if (source != whole.rect()) {
        whole = whole.copy(source); // the rest goes at once
        if (whole.isNull())
            return std::nullopt;
    }
    if (whole.size() != made.held.size())
        whole = whole.scaled(made.held.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (whole.isNull())
        return std::nullopt;
    return whole;
}

Result decode(const QByteArray &bytes, const Request &request)
{
    LWDecodeBudget::HoldWork::forgetRefusal(); // a refusal of an earlier decode is not this one's
    Plan plan;
    if (Result checked = decodeReadable(bytes, request, &plan); checked.failure != Failure::none)
        return checked;
    // Reserved here, where the budget is shared; the worker's memory limit follows from it.
    const std::optional<LWDecodeBudget::Reservation> reserved = LWDecodeBudget::reserve(plan.cost);
    if (!reserved)
        return failed(Failure::tooLarge);
    return LWDecodeWorkers::decode(bytes, request, plan.cost, plan.made);
}

Result decodeHere(const QByteArray &bytes, const Request &request) { return decodeReadable(bytes, request, nullptr); }

Failure check(const QByteArray &bytes, const Request &request)
{
    Plan plan;
    if (const Result checked = decodeReadable(bytes, request, &plan); checked.failure != Failure::none)
        return checked.failure;
    return plan.cost > LWDecodeBudget::limit() ? Failure::tooLarge : Failure::none;
}

} // namespace LWPictureDecoder
