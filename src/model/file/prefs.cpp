#include "model/file/prefs.h"

#include "model/file/fileaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVariant>
#include <cmath>
#include <limits>
#include <optional>

namespace {

std::shared_ptr<QSettings> &current()
{
    static std::shared_ptr<QSettings> s;
    return s;
}

bool defaultBool(const QString &key)
{
    return key == LWPrefs::showBleedKey || key == LWPrefs::showSafeKey || key == LWPrefs::showTrimKey ||
           key == LWPrefs::snapKey || key == LWPrefs::exportBleedKey;
}

// The file Qt's own per-user settings of this application would use.
QString userFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder + QStringLiteral("/VELK/Leafwrighter.conf");
}

// Something Qt would open and wait on or read without end (a named pipe, a device), or fail on.
bool notOrdinary(const QString &path)
{
    return QFileInfo::exists(path) && !LWFileAccess::notRegularReason(path).isEmpty();
}

// Nothing can ever be made below /dev/null, so Qt reads nothing and every save fails before
// it opens any file: what is written stays in memory. Qt shares one set of values among
// stores of one file name, hence a name for each.
std::shared_ptr<QSettings> memoryStore()
{
    static int made = 0;
    return std::make_shared<QSettings>(QStringLiteral("/dev/null/leafwrighter-%1.conf").arg(++made),
                                       QSettings::IniFormat);
}

int defaultInt(const QString &key) { return key == LWPrefs::exportDPIKey ? 300 : 0; }

std::optional<bool> readBool(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return v.toLongLong() != 0;
    case QMetaType::QString: {
        // The INI format hands every plain value back as text.
        const QString s = v.toString().trimmed().toLower();
        if (s == u"true" || s == u"1")
            return true;
        if (s == u"false" || s == u"0")
            return false;
        break;
    }
    default:
        break;
    }
    return std::nullopt;
}

} // namespace

namespace LWPrefs {

QSettings &store()
{
    auto &s = current();
    if (!s)
        s = makeStore(userFile());
    return *s;
}

void setStore(std::shared_ptr<QSettings> settings) { current() = std::move(settings); }

std::shared_ptr<QSettings> makeStore(const QString &path)
{
    // Qt takes a lock file beside the settings before it writes them, and reads one left there.
    if (notOrdinary(path) || notOrdinary(path + QStringLiteral(".lock")))
        return memoryStore();
    return std::make_shared<QSettings>(path, QSettings::IniFormat);
}

bool boolValue(const QString &key) { return readBool(store().value(key)).value_or(defaultBool(key)); }

bool flagValue(const QString &key, bool absent)
{
    if (!store().contains(key))
        return absent;
    return readBool(store().value(key)).value_or(false);
}

int intValue(const QString &key)
{
    const QVariant v = store().value(key);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QString: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (ok && std::trunc(d) == d && d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max())
            return int(d);
        break;
    }
    default:
        break;
    }
    return defaultInt(key);
}

} // namespace LWPrefs

LWSettings &LWSettings::shared()
{
    static LWSettings *instance = new LWSettings; // lives as long as the process
    return *instance;
}

QVariant LWSettings::value(const QString &key, const QVariant &fallback) const
{
    return LWPrefs::store().value(key, fallback);
}

void LWSettings::setValue(const QString &key, const QVariant &value)
{
    LWPrefs::store().setValue(key, value);
    Q_EMIT changed(key);
}

void LWSettings::remove(const QString &key)
{
    LWPrefs::store().remove(key);
    Q_EMIT changed(key);
}
