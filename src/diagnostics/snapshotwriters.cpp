#include "diagnostics/snapshot.h"

#include <QFileInfo>

// The snapshot mode's writers. The interface screenshots join here when they are built.
LWSnapshot::SnapshotWriters LWSnapshot::snapshotWriters()
{
    SnapshotWriters w;
    w.samples = [](const QString &folder, const std::optional<QString> &only) { return writeSamples(folder, only); };
    w.iconSheet = [](const QString &file) {
        return writeIconSheet(file) ? QStringList() : QStringList{QFileInfo(file).absoluteFilePath()};
    };
    return w;
}
