#pragma once
#include "diagnostics/testrun.h"
#include "templates/template.h"

#include <QList>
#include <QString>

namespace LWSelfTest {

// The save-and-reopen group over the given template lists: the test design is US card 8 of
// `cards`, the others Letter flyers 4 and 43 and US card 56. A design missing from its list
// fails its checks (under "<list> <position>" when its name is unknown).
void saveReopenChecks(LWTestRun &run, const QString &folder, const QList<LWTemplate> &cards,
                      const QList<LWTemplate> &flyers);

} // namespace LWSelfTest
