#pragma once
#include <QString>

namespace LWSelfTest
{

// One check's outcome and label, worked out before it is reported.
struct Verdict {
    bool ok = false;
    QString label;
};

} // namespace LWSelfTest
