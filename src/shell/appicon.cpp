#include "shell/appicon.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace LWAppIcon {

QString folder() { return QCoreApplication::applicationDirPath() + QStringLiteral("/Resources/icons/hicolor"); }

QString file(const QString &folder, int size)
{
    return folder + QStringLiteral("/%1x%1/apps/").arg(size) + name + QStringLiteral(".png");
}

QIcon load(const QString &folder)
{
    QIcon icon;
    for (int size : sizes) {
        const QString path = file(folder, size);
        if (QFileInfo(path).isFile())
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}

} // namespace LWAppIcon
