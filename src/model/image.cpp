#include "model/image.h"

#include "model/file/json.h"

LWImage LWImage::empty(LWMask mask)
{
    LWImage img;
    img.assetID = LWJson::uuidText(QUuid::createUuid());
    img.mask = mask;
    return img;
}

QJsonObject LWImage::toJson() const
{
    QJsonObject o{{"assetID", assetID},
                  {"fit", LWJson::to(fit)},
                  {"cropL", cropL},
                  {"cropT", cropT},
                  {"cropR", cropR},
                  {"cropB", cropB},
                  {"mask", LWJson::to(mask)}};
    LWJson::putOptional(o, "data", data);
    return o;
}

LWImage LWImage::fromJson(const LWJsonIn &in)
{
    LWImage img;
    img.assetID = in.get<QString>("assetID");
    img.data = in.opt<QByteArray>("data");
    img.fit = in.get<LWImageFit>("fit");
    img.cropL = in.get<double>("cropL");
    img.cropT = in.get<double>("cropT");
    img.cropR = in.get<double>("cropR");
    img.cropB = in.get<double>("cropB");
    img.mask = in.get<LWMask>("mask");
    return img;
}

bool operator==(const LWImage &a, const LWImage &b)
{
    const auto sameData = [](const std::optional<QByteArray> &x, const std::optional<QByteArray> &y) {
        if (!x || !y)
            return x.has_value() == y.has_value();
        return (x->constData() == y->constData() && x->size() == y->size()) || *x == *y;
    };
    return a.assetID == b.assetID && sameData(a.data, b.data) && a.fit == b.fit && a.cropL == b.cropL &&
           a.cropT == b.cropT && a.cropR == b.cropR && a.cropB == b.cropB && a.mask == b.mask;
}
