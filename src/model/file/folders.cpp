#include "model/file/folders.h"

#include "model/file/prefs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace LWFolders {

namespace {

const QString &key(Purpose purpose)
{
    switch (purpose) {
    case Purpose::pictures:
        return LWPrefs::pictureFolderKey;
    case Purpose::exports:
        return LWPrefs::exportFolderKey;
    case Purpose::designs:
        break;
    }
    return LWPrefs::designFolderKey;
}

} // namespace

QString start(Purpose purpose)
{
    const QString remembered = LWSettings::shared().value(key(purpose)).toString();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void remember(Purpose purpose, const QString &file)
{
    LWSettings::shared().setValue(key(purpose), QFileInfo(file).absolutePath());
}

} // namespace LWFolders
