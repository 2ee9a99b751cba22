#include "diagnostics/screens.h"
#include "diagnostics/snapshot.h"

#include <QFileInfo>

// The snapshot mode's writers.
LWSnapshot::SnapshotWriters LWSnapshot::snapshotWriters()
{
    SnapshotWriters w;
    w.samples = [](const QString &folder, const std::optional<QString> &only) { return writeSamples(folder, only); };
    w.iconSheet = [](const QString &file) {
        return writeIconSheet(file) ? QStringList() : QStringList{QFileInfo(file).absoluteFilePath()};
    };
    w.screens = [](const QString &folder) { return LWScreens::write(folder); };
    return w;
}
