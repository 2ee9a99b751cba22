#pragma once
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

// Settings keys and the one settings store they live in.
//
// Every reader and writer of settings (the recent-designs list included) goes through store().
// Unless replaced, that is the user's own settings file (VELK/Leafwrighter.conf in the user's
// configuration folder), made on first use. Tests and the self-test point it at a throw-away INI
// file before anything reads or writes a setting.
namespace LWPrefs {
inline const QString recentKey = QStringLiteral("lf.recentFiles");    // paths, newest first
inline const QString showBleedKey = QStringLiteral("lf.showBleed");    // default true
inline const QString showSafeKey = QStringLiteral("lf.showSafe");      // default true
inline const QString showTrimKey = QStringLiteral("lf.showTrim");      // default true
inline const QString snapKey = QStringLiteral("lf.snap");              // default true
inline const QString gridKey = QStringLiteral("lf.grid");              // default false
inline const QString exportDPIKey = QStringLiteral("lf.exportDPI");    // default 300
inline const QString exportBleedKey = QStringLiteral("lf.exportBleed"); // default true
// Folders file dialogs last used (LWFolders).
inline const QString designFolderKey = QStringLiteral("lf.designFolder");
inline const QString pictureFolderKey = QStringLiteral("lf.pictureFolder");
inline const QString exportFolderKey = QStringLiteral("lf.exportFolder");

// Main thread only. The reference stays valid until the next setStore.
QSettings &store();
void setStore(std::shared_ptr<QSettings> settings);
// A store in the INI file at `path` (created on first write). Where something other than an
// ordinary file is at `path` or at Qt's lock file `path`.lock (a named pipe, a device, a folder;
// links followed), nothing is read or written: the store starts empty, as for a missing file,
// and keeps what is written in memory only.
[[nodiscard]] std::shared_ptr<QSettings> makeStore(const QString &path);

// The stored value, or the key's default when nothing is stored or the value is no Bool /
// whole number. Values read back from the file as text ("false", "300") count as stored.
[[nodiscard]] bool boolValue(const QString &key);
[[nodiscard]] int intValue(const QString &key);
// The view toggles' reading: `absent` when the key holds nothing; otherwise the stored value as a
// Boolean, where anything that is no Boolean (nor "true"/"false"/whole number) reads false.
[[nodiscard]] bool flagValue(const QString &key, bool absent);
} // namespace LWPrefs

// The settings store with change notice: every write through it, even of an equal value, emits
// changed(key) after the store holds the new value, so views that mirror a key stay in step
// however it was written. Writes straight to LWPrefs::store() go unnoticed. Main thread only.
class LWSettings : public QObject {
    Q_OBJECT
public:
    static LWSettings &shared();

    // The stored value, or `fallback` when nothing is stored under the key.
    [[nodiscard]] QVariant value(const QString &key, const QVariant &fallback = {}) const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);

Q_SIGNALS:
    void changed(const QString &key);

private:
    LWSettings() = default;
};
