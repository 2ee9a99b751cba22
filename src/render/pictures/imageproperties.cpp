#include "render/pictures/imageproperties.h"

#include "render/pictures/heif.h"

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
    if (LWHeif::isHeif(bytes)) {
        const std::optional<QSize> s = LWHeif::size(bytes);
        if (!s)
            return std::nullopt;
        return LWImageProperties{s->width(), s->height(), 1};
    }
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return std::nullopt;
    const QSize s = reader.size();
    return LWImageProperties{s.width(), s.height(), exifOrientation(reader.transformation())};
}
