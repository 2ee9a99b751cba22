#pragma once
#include <QProcessEnvironment>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

// How the process starts: a console mode (self-test, image-writing options) that shows no window
// and ends with its exit status, or the interface. Main thread only.
namespace LWStartup {

// The console modes, handed in by the executable (the shell links neither of them).
struct Runners {
    // The self-test; its exit status.
    std::function<int()> selfTest;
    // Whether the image-writing options apply to the full argument list (the same parser the
    // mode itself uses, so the decision and the mode never disagree).
    std::function<bool(const QStringList &)> imageWritingRequested;
    // The image-writing mode over the full list; its exit status, or none when it did not act.
    std::function<std::optional<int>(const QStringList &)> imageWriting;
};

// True when an argument is exactly "--selftest", wherever it stands.
[[nodiscard]] bool selfTestRequested(const QStringList &args);
// The self-test or an image-writing option applies.
[[nodiscard]] bool consoleRequested(const QStringList &args, const Runners &runners);

// Runs the console mode the arguments ask for (the self-test wins) and returns its exit status:
// 1 when that mode has no runner or did not act. Shuts the thumbnail worker down afterwards,
// since a console mode never reaches aboutToQuit. Needs the application object.
[[nodiscard]] int runConsole(const QStringList &args, const Runners &runners);

// Names the application (name, version, the kit's bundle facts), sets its window icon and registers
// the bundled fonts: both modes do this first, once the application object exists.
void prepareApplication();

// Whether a window can be shown: a display is named, or the platform needs none.
[[nodiscard]] bool displayFound(const QProcessEnvironment &env);

// The end of the window's run, once the event loop returned `code`: waits at most `limit` for
// work a print left behind (LWPrintPanel::waitForHandOvers) and returns `code`. When some still
// runs, the settings are saved, stdio flushed and the process ends at once with `code`, without
// the static destructors that work would run into.
int endOfRun(int code, std::chrono::milliseconds limit = std::chrono::seconds(2));

// The whole process: decides from a copy of the arguments made before Qt strips its own, then
// runs a console mode (offscreen, every Qt message dropped) or the window. Returns the exit status.
int main(int argc, char **argv, const Runners &runners);

} // namespace LWStartup
