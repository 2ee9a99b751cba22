#include "model/style.h"

#include "model/file/json.h"

bool LWFill::isVisible() const
{
    if (kind == LWFillKind::none)
        return false;
    if (color.a > 0)
        return true;
    if (kind == LWFillKind::solid)
        return false;
    return color2.a > 0;
}

QJsonObject LWFill::toJson() const
{
    return {{"kind", LWJson::to(kind)}, {"color", color.toJson()}, {"color2", color2.toJson()}, {"angle", angle}};
}

LWFill LWFill::fromJson(const LWJsonIn &in)
{
    return {in.get<LWFillKind>("kind"), in.get<LWColor>("color"), in.get<LWColor>("color2"), in.get<double>("angle")};
}

QJsonObject LWStroke::toJson() const
{
    return {{"color", color.toJson()}, {"width", width}, {"dash", dash}};
}

LWStroke LWStroke::fromJson(const LWJsonIn &in)
{
    // Braces fix the reading order, so a file missing several keys is reported at the first one.
    return LWStroke{in.get<LWColor>("color"), in.get<double>("width"), in.get<double>("dash")};
}
