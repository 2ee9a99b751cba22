// Picture placement of LWEditor.
#include "editor/editor.h"

#include "model/file/json.h"
#include "render/pictures/imageproperties.h"

#include <utility>

namespace {

constexpr double printDPI = 300;
constexpr double unknownPixels = 1000; // a side the header does not give
constexpr double pageShare = 0.8;

} // namespace

bool LWEditor::placeImage(const QByteArray &data, std::optional<QPointF> at)
{
    const std::optional<LWImageProperties> props = LWImageProperties::read(data);
    if (!props) {
        setMessage(unreadablePictureMessage);
        return false;
    }
    return placeImage(data, *props, at, {});
}

bool LWEditor::placeImage(const QByteArray &data, const LWImageProperties &props, std::optional<QPointF> at,
                          QString assetID)
{
    // Readers report what they could not parse as -1 and a top-down BMP's height as negative;
    // neither is a size to print at.
    double pw = props.width > 0 ? props.width : unknownPixels;
    double ph = props.height > 0 ? props.height : unknownPixels;
    if (props.quarterTurned())
        std::swap(pw, ph);
    // The picture cache is keyed by asset id: new bytes always need a new one.
    if (assetID.isEmpty())
        assetID = LWJson::uuidText(QUuid::createUuid());

    std::optional<LWElement> target = single();
    if (!target || target->kind != LWElementKind::image) {
        target.reset();
        if (at)
            if (std::optional<LWElement> hit = hitTest(*at, 0); hit && hit->kind == LWElementKind::image)
                target = std::move(hit);
    }

    if (target) {
        if (target->locked)
            return false;
        const QUuid id = target->id;
        updateElements({id}, QStringLiteral("Place Picture"), std::nullopt, [&](LWElement &e) {
            LWImage picture = e.image ? *e.image : LWImage::empty(LWMask::none);
            picture.assetID = assetID;
            picture.data = data;
            picture.cropL = picture.cropT = picture.cropR = picture.cropB = 0;
            e.image = std::move(picture);
        });
        setSelection({id});
        return true;
    }

    const double w = pw * 72 / printDPI, h = ph * 72 / printDPI;
    const double s = std::min(pageShare * m_doc.height / h, std::min(pageShare * m_doc.width / w, 1.0));
    const QPointF centre = at ? *at : QPointF(m_doc.width / 2, m_doc.height / 2);
    LWElement picture(LWElementKind::image, QStringLiteral("Picture"),
                      LWRect(centre.x() - w * s / 2, centre.y() - h * s / 2, w * s, h * s));
    picture.image = LWImage::empty(LWMask::none);
    picture.image->assetID = assetID;
    picture.image->data = data;
    return add(picture);
}
