#include "diagnostics/snapshot.h"

// The snapshot mode's writers. The sample renders, the icon sheet and the interface screenshots
// are not built yet; each joins here when it is (samples, iconSheet, screens).
LWSnapshot::SnapshotWriters LWSnapshot::snapshotWriters()
{
    return {};
}
