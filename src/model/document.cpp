#include "model/document.h"

#include "model/format.h"
#include "model/file/json.h"

#include <QDateTime>
#include <cmath>
#include <utility>

const QList<LWSizePreset> &LWSizePreset::all()
{
    static const QList<LWSizePreset> presets{usCard, euCard, letter, a4, halfLetter, tabloid};
    return presets;
}

std::optional<LWSizePreset> LWSizePreset::named(const QString &id)
{
    for (const LWSizePreset &p : all())
        if (p.id == id)
            return p;
    return std::nullopt;
}

LWDocument LWDocument::blank(const LWSizePreset &preset, std::optional<bool> landscape, const QString &name)
{
    double w = preset.width, h = preset.height;
    if (landscape && (w < h) == *landscape)
        std::swap(w, h);
    return blank(preset.kind, preset.id, w, h, preset.safe, name);
}

LWDocument LWDocument::blank(LWDocKind kind, const QString &sizeID, double width, double height, double safe,
                             const QString &name)
{
    // Whole seconds, halves away from zero.
    const double now = std::round(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
    const LWFill white = LWFill::solid(LWColor::white);
    QList<LWPage> pages;
    if (kind == LWDocKind::businessCard)
        pages = {{QStringLiteral("Front"), white, {}}, {QStringLiteral("Back"), white, {}}};
    else
        pages = {{QStringLiteral("Page 1"), white, {}}};
    LWDocument d;
    d.format = formatName;
    d.version = 1;
    d.id = QUuid::createUuid();
    d.name = name;
    d.kind = kind;
    d.sizeID = sizeID;
    d.width = width;
    d.height = height;
    d.bleed = LWUnits::standardBleed;
    d.safe = safe;
    d.pages = std::move(pages);
    d.created = d.modified = now;
    return d;
}

QString LWDocument::sizeText() const
{
    static const QString times = QStringLiteral(" \u00D7 ");
    if (sizeID == QLatin1String("eu-card") || sizeID == QLatin1String("a4"))
        return QString::asprintf("%.0f", width / (72 / 25.4)) + times + QString::asprintf("%.0f", height / (72 / 25.4)) +
               QStringLiteral(" mm");
    return LWFormat::num(width / 72, 3) + times + LWFormat::num(height / 72, 3) + QStringLiteral(" in");
}

QList<LWElement> LWDocument::allElements() const
{
    QList<LWElement> out;
    for (const LWPage &p : pages)
        for (const LWElement &e : p.elements)
            out += e.flattened();
    return out;
}

QJsonObject LWDocument::toJson() const
{
    QJsonObject o{{"format", format},
                  {"version", LWJson::to(version)},
                  {"id", LWJson::to(id)},
                  {"name", name},
                  {"kind", LWJson::to(kind)},
                  {"sizeID", sizeID},
                  {"width", width},
                  {"height", height},
                  {"bleed", bleed},
                  {"safe", safe},
                  {"pages", LWJson::to(pages)},
                  {"guides", LWJson::to(guides)},
                  {"created", created},
                  {"modified", modified}};
    LWJson::putOptional(o, "templateID", templateID);
    return o;
}

LWDocument LWDocument::fromJson(const LWJsonIn &in)
{
    LWDocument d;
    d.format = in.get<QString>("format");
    d.version = in.get<qint64>("version");
    d.id = in.get<QUuid>("id");
    d.name = in.get<QString>("name");
    d.kind = in.get<LWDocKind>("kind");
    d.sizeID = in.get<QString>("sizeID");
    d.width = in.get<double>("width");
    d.height = in.get<double>("height");
    d.bleed = in.get<double>("bleed");
    d.safe = in.get<double>("safe");
    d.pages = in.get<QList<LWPage>>("pages");
    d.guides = in.get<QList<LWGuide>>("guides");
    d.templateID = in.opt<QString>("templateID");
    d.created = in.get<double>("created");
    d.modified = in.get<double>("modified");
    return d;
}
