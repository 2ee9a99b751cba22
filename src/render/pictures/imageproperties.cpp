#include "render/pictures/imageproperties.h"

#include "render/pictures/heif.h"
#include "render/pictures/heifcontainer.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/pictureformat.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

namespace {

// Qt's transformation flags back to the EXIF numbering.
int exifOrientation(QImageIOHandler::Transformations t)
{
    using T = QImageIOHandler::Transformation;
    switch (int(t)) {
    case T::TransformationMirror: return 2;
    case T::TransformationRotate180: return 3;
    case T::TransformationFlip: return 4;
    case T::TransformationFlipAndRotate90: return 5;
    case T::TransformationRotate90: return 6;
    case T::TransformationMirrorAndRotate90: return 7;
    case T::TransformationRotate270: return 8;
    default: return 1;
    }
}

} // namespace

std::optional<LWImageProperties> LWImageProperties::read(const QByteArray &bytes)
{
    const LWPictureFormat::Readable picture = LWPictureFormat::readable(bytes);
    if (picture.format == LWPictureFormat::Format::heif) {
        // A picture whose coded images would make more than it declares is none: it is never
        // decoded, so its size would only mislead the print check. Checked before libheif reads it.
        const std::optional<LWHeifContainer::Plan> plan =
            LWHeifContainer::plan(bytes, LWPictureDecoder::maxPixelCount, LWPictureDecoder::maxCodedImages);
        if (!plan || plan->overBounds)
            return std::nullopt;
        const std::optional<QSize> s = LWHeif::size(bytes);
        if (!s)
            return std::nullopt;
        return LWImageProperties{s->width(), s->height(), 1};
    }
    if (picture.declared.isValid())
        return LWImageProperties{picture.declared.width(), picture.declared.height(), 1};
    QBuffer buffer;
    const std::unique_ptr<QImageReader> reader = picture.reader(buffer);
    if (!reader)
        return std::nullopt;
    reader->setAutoTransform(false);
    if (!reader->canRead())
        return std::nullopt;
    const QSize s = reader->size();
    return LWImageProperties{s.width(), s.height(), exifOrientation(reader->transformation())};
}
