#include "model/info.h"

const QUrl &LWInfo::website()
{
    static const QUrl url(QStringLiteral("https://www.velkmoor.com"));
    return url;
}
