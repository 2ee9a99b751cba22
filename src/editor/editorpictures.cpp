// Picture placement of LWEditor.
#include "editor/editor.h"

#include "model/file/json.h"
#include "render/pictures/imageproperties.h"

#include <algorithm>
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
    return placeImage(data, *props, pictureTarget(at), {});
}

LWPictureTarget LWEditor::pictureTarget(std::optional<QPointF> at) const
{
    std::optional<LWElement> target = single();
    if ((!target || target->kind != LWElementKind::image) && at)
        target = hitTest(*at, 0);
    if (target && target->kind == LWElementKind::image)
        return {pageIndex(), target->id, std::nullopt, selection()};
    return {pageIndex(), std::nullopt, at, selection()};
}

void LWEditor::setPressing(bool on) { assign(m_pressing, on, &LWEditor::pressingChanged); }

bool LWEditor::placeImage(const QByteArray &data, const LWImageProperties &props, const LWPictureTarget &target,
                          QString assetID)
{
    if (target.side < 0 || target.side >= m_doc.pages.size()) {
        setMessage(pictureSideGoneMessage);
        return false;
    }
    // Readers report what they could not parse as -1 and a top-down BMP's height as negative;
    // neither is a size to print at.
    double pw = props.width > 0 ? props.width : unknownPixels;
    double ph = props.height > 0 ? props.height : unknownPixels;
    if (props.quarterTurned())
        std::swap(pw, ph);
    // The picture cache is keyed by asset id: new bytes always need a new one.
    if (assetID.isEmpty())
        assetID = LWJson::uuidText(QUuid::createUuid());
    const int side = target.side;
    const bool shown = side == pageIndex();
    // Work that ends later leaves a selection the user has made since alone.
    const bool select = shown && (!target.selection || *target.selection == selection());

    if (target.picture) {
        const QList<LWElement> &elements = m_doc.pages[side].elements;
        const auto it = std::find_if(elements.cbegin(), elements.cend(),
                                     [&](const LWElement &e) { return e.id == *target.picture; });
        if (it == elements.cend() || it->kind != LWElementKind::image) {
            setMessage(pictureFrameGoneMessage);
            return false;
        }
        if (it->locked)
            return false;
        const QUuid id = it->id;
        const qsizetype at = it - elements.cbegin();
        return change(QStringLiteral("Place Picture"), std::nullopt, [&](LWDocument &d) {
            LWElement &e = d.pages[side].elements[at];
            LWImage picture = e.image ? *e.image : LWImage::empty(LWMask::none);
            picture.assetID = assetID;
            picture.data = data;
            picture.cropL = picture.cropT = picture.cropR = picture.cropB = 0;
            e.image = std::move(picture);
        }, select ? std::optional(QList<QUuid>{id}) : std::nullopt);
    }

    const double w = pw * 72 / printDPI, h = ph * 72 / printDPI;
    const double s = std::min(pageShare * m_doc.height / h, std::min(pageShare * m_doc.width / w, 1.0));
    const QPointF centre = target.at ? *target.at : QPointF(m_doc.width / 2, m_doc.height / 2);
    LWElement picture(LWElementKind::image, QStringLiteral("Picture"),
                      LWRect(centre.x() - w * s / 2, centre.y() - h * s / 2, w * s, h * s));
    picture.image = LWImage::empty(LWMask::none);
    picture.image->assetID = assetID;
    picture.image->data = data;
    if (shown)
        return add(picture, select);
    return change(QStringLiteral("Place Picture"), std::nullopt,
                  [&](LWDocument &d) { d.pages[side].elements.append(picture); });
}
