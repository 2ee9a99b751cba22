#include "ui/inspector/keys.h"

#include "model/file/json.h"

QString elementKey(const QString &prefix, const QUuid &id)
{
    return prefix + LWJson::uuidText(id);
}

std::optional<QString> extendKey(const std::optional<QString> &key, const QUuid &id)
{
    if (!key)
        return std::nullopt;
    return *key + QLatin1Char('-') + LWJson::uuidText(id);
}

std::optional<QString> pageKey(const std::optional<QString> &key, int page)
{
    if (!key)
        return std::nullopt;
    return *key + QStringLiteral("-page") + QString::number(page);
}
