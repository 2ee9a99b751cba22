#pragma once
#include "diagnostics/testrun.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <concepts>
#include <functional>
#include <limits>

// The built-in self-test ("--selftest"): runs the check groups in-process and reports on
// standard output. Main thread only, after the application object exists and the bundled fonts
// are registered.
namespace LWSelfTest {

// One check group: reports only through the tally; `folder` is the run's throw-away folder.
struct Group {
    using Body = std::function<void(LWTestRun &run, const QString &folder)>;
    Body body;

    // From a group operation or any callable, with or without the folder.
    template <typename F>
        requires std::invocable<F &, LWTestRun &, const QString &>
    Group(F f) : body(std::move(f))
    {
    }
    template <typename F>
        requires(std::invocable<F &, LWTestRun &> && !std::invocable<F &, LWTestRun &, const QString &>)
    Group(F f) : body([f = std::move(f)](LWTestRun &run, const QString &) mutable { f(run); })
    {
    }
};

// The groups that have been built, in run order (selftestgroups.cpp).
QList<Group> groups();

// The whole self-test over groups(), reported on standard output; returns the exit code.
[[nodiscard]] int run();

// Raises the self-test flag, makes a throw-away folder and settings file (every setting of the
// run goes there; the user's settings are never opened), runs every group, prints the run time
// and the result and removes folder and file. 0 when at least one check ran and none failed,
// else 1 (a run without checks proves nothing). The flag and the settings store stay replaced:
// the caller ends the process.
[[nodiscard]] int run(const QList<Group> &groups, const LWReportSink &sink);

// A list in a check label: ["a", "b"], [] when empty; at most the first `limit` items. A '"' or
// '\' in an item gets a backslash before it.
QString listText(const QStringList &items, qsizetype limit = std::numeric_limits<qsizetype>::max());

} // namespace LWSelfTest
