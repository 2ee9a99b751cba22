#include "model/file/recent.h"

#include "model/file/prefs.h"

#include <QFileInfo>
#include <QVariant>

namespace {

void store(const QStringList &paths)
{
    // A list of variants: the INI format gives a one-entry string list back as plain text.
    QVariantList list;
    list.reserve(paths.size());
    for (const QString &p : paths)
        list.append(p);
    LWSettings::shared().setValue(LWPrefs::recentKey, list);
    LWPrefs::store().sync();
}

} // namespace

namespace LWRecent {

QStringList paths()
{
    const QVariant v = LWSettings::shared().value(LWPrefs::recentKey);
    // Only the newest distinct entries count: a list written elsewhere may hold any number.
    QStringList out;
    const auto take = [&out](const QString &path) {
        if (out.size() < limit && !out.contains(path))
            out.append(path);
    };
    if (v.typeId() == QMetaType::QStringList) {
        for (const QString &path : v.toStringList())
            take(path);
    } else if (v.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : v.toList()) {
            if (item.typeId() != QMetaType::QString)
                return {};
            take(item.toString());
        }
    }
    return out;
}

QList<QUrl> urls()
{
    QList<QUrl> out;
    for (const QString &p : paths()) {
        if (QFileInfo::exists(p))
            out.append(QUrl::fromLocalFile(p));
    }
    return out;
}

void add(const QUrl &url)
{
    const QString path = url.toLocalFile();
    if (path.isEmpty()) // not a file URL
        return;
    QStringList list = paths();
    list.removeAll(path);
    list.prepend(path);
    if (list.size() > limit)
        list.resize(limit);
    store(list);
}

void remove(const QUrl &url)
{
    QStringList list = paths();
    list.removeAll(url.toLocalFile());
    store(list);
}

void clear() { store({}); }

} // namespace LWRecent
