#pragma once
#include "diagnostics/testrun.h"
#include "model/document.h"

#include <optional>

// The undo/redo and editing groups with their library designs handed in, so that a test can run
// them on designs that lack what a step needs. The group operations `undoRedo` and `editing`
// (selftestgroups.h) pass US cards 2 and 3 and the first Letter flyer.
namespace LWSelfTest {

// 6 checks. `first` is edited six times and walked back and forth; `second` is typed into and
// dragged. A missing text item or element fails the checks that need it.
void undoRedoChecks(LWTestRun &run, const LWDocument &first, const LWDocument &second);
// 20 checks; the last adds a back side to `flyer` (none: that check fails).
void editingChecks(LWTestRun &run, const std::optional<LWDocument> &flyer);

} // namespace LWSelfTest
