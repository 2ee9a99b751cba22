#include "model/page.h"

#include "model/file/json.h"

QJsonObject LWGuide::toJson() const
{
    return {{"id", LWJson::to(id)}, {"vertical", vertical}, {"position", position}};
}

LWGuide LWGuide::fromJson(const LWJsonIn &in)
{
    return {in.get<QUuid>("id"), in.get<bool>("vertical"), in.get<double>("position")};
}

QJsonObject LWPage::toJson() const
{
    return {{"name", name}, {"background", background.toJson()}, {"elements", LWJson::to(elements)}};
}

LWPage LWPage::fromJson(const LWJsonIn &in)
{
    LWPage p;
    p.name = in.get<QString>("name");
    p.background = in.get<LWFill>("background");
    p.elements = in.get<QList<LWElement>>("elements");
    return p;
}
