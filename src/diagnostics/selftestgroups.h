#pragma once
#include "diagnostics/testrun.h"

#include <QString>

// The check groups, in run order. Each prints its title first, then one check per condition;
// a failed check never stops a group. `folder` is the run's throw-away folder.
namespace LWSelfTest {
void fonts(LWTestRun &run);
void templates(LWTestRun &run);
void exports(LWTestRun &run, const QString &folder);
void reflow(LWTestRun &run);
void sheet(LWTestRun &run, const QString &folder);
void saveReopen(LWTestRun &run, const QString &folder);
void undoRedo(LWTestRun &run);
void editing(LWTestRun &run);
void pictures(LWTestRun &run);
void looks(LWTestRun &run);
void helpAndBranding(LWTestRun &run);
} // namespace LWSelfTest
