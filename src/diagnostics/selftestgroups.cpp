#include "diagnostics/selftest.h"
#include "diagnostics/selftestgroups.h"

namespace LWSelfTest {

// A group lands by uncommenting its own line (and raising the check count of the "selftest"
// test). The numbered lines between keep two groups' edits apart when branches merge.
QList<Group> groups()
{
    QList<Group> list;
    // 1
    list.append(fonts);
    // 2
    list.append(templates);
    // 3
    list.append(exports);
    // 4
    list.append(reflow);
    // 5
    list.append(sheet);
    // 6
    list.append(saveReopen);
    // 7
    list.append(undoRedo);
    // 8
    list.append(editing);
    // 9
    list.append(pictures);
    // 10
    list.append(looks);
    // 11
    list.append(helpAndBranding);
    // end
    return list;
}

} // namespace LWSelfTest
