#include "shell/startup.h"

#include "app/sheets/printpanel.h"

#include "app/app.h"
#include "app/thumbs.h"
#include "kit/host/kithost.h"
#include "model/file/prefs.h"
#include "model/info.h"
#include "render/text/fonts.h"
#include "render/pictures/imagecache.h"
#include "shell/appicon.h"
#include "shell/handover.h"
#include "shell/instance.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"
#include "shell/windowkeeper.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#ifndef LW_VERSION
#define LW_VERSION "1.0"
#endif

namespace {

void dropMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

namespace LWStartup {

void prepareApplication()
{
    QApplication::setApplicationName(LWInfo::appName);
    QApplication::setApplicationVersion(QStringLiteral(LW_VERSION));
    VELKKitHost::setBundleInfo({LWInfo::appName, std::nullopt, QStringLiteral(LW_VERSION), std::nullopt});
    // Before any window exists, so that every window and dialog carries it.
    QApplication::setWindowIcon(LWAppIcon::load());
    // Ties the windows to the installed desktop file (and through it to the icon).
    QGuiApplication::setDesktopFileName(LWAppIcon::name);
    LWFonts::registerBundled(); // before any text is measured or drawn
}

bool selfTestRequested(const QStringList &args) { return args.contains(QStringLiteral("--selftest")); }

bool consoleRequested(const QStringList &args, const Runners &runners)
{
    return selfTestRequested(args) || (runners.imageWritingRequested && runners.imageWritingRequested(args));
}

int runConsole(const QStringList &args, const Runners &runners)
{
    LWImageCache::setConsole(true); // no window keeps previews: the print check reads headers
    int code = 1;
    if (selfTestRequested(args)) {
        if (runners.selfTest)
            code = runners.selfTest();
    } else if (runners.imageWriting) {
        code = runners.imageWriting(args).value_or(1);
    }
    LWThumbs::shared().shutdown();
    return code;
}

bool displayFound(const QProcessEnvironment &env)
{
    if (!env.value(QStringLiteral("DISPLAY")).isEmpty() ||
        !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        return true;
    // Platforms such as offscreen or vnc need no display; xcb and wayland do.
    const QString platform = env.value(QStringLiteral("QT_QPA_PLATFORM"));
    return !platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
           !platform.startsWith(QLatin1String("wayland"));
}

int main(int argc, char **argv, const Runners &runners)
{
    // QApplication removes the options it understands from argv.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    if (consoleRequested(args, runners)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // The offscreen plugin warns while the application starts; a console mode's only output
        // is its own.
        qInstallMessageHandler(dropMessage);
        QApplication app(argc, argv);
        prepareApplication();
        return runConsole(args, runners);
    }

    // Qt aborts without a display; say so plainly instead.
    if (!displayFound(QProcessEnvironment::systemEnvironment())) {
        std::fprintf(stderr, "leafwrighter: no display found (set DISPLAY, or run under xvfb-run -a).\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::optional<QString> design = LWInstance::designArgument(args, QDir::currentPath());
    // Before the window is built: a later launch only hands its design over and ends. Before the
    // application is named, too: the lock records the program's name, and a running holder only
    // counts as alive while that matches its executable's.
    LWInstance instance;
    if (!instance.claim()) {
        if (instance.send(design))
            return 0;
        std::fprintf(stderr, "leafwrighter: the running instance does not answer (%s).\n",
                     qPrintable(instance.error()));
        return 1;
    }
    prepareApplication();
    LWApp &state = LWSetup::configure();
    // The window quits the program itself once the user closed it; a window destroyed any other
    // way is replaced, and must not end the program on its way out.
    QApplication::setQuitOnLastWindowClosed(false);
    // One prompts object for every window: a dialog may still be up in it when its window goes.
    const auto prompts = std::make_shared<LWQtPrompts>();
    state.setPrompts(prompts);
    LWWindowKeeper keeper(state, [prompts](LWShellWindow &window) { prompts->setWindow(&window); });
    LWHandOver handOver(state);
    QObject::connect(&instance, &LWInstance::openRequested, &handOver, &LWHandOver::request);
    QObject::connect(&instance, &LWInstance::raiseRequested, &keeper, &LWWindowKeeper::bringToFront);
    if (design)
        handOver.request(*design);
    keeper.window()->show();
    return endOfRun(app.exec());
}

int endOfRun(int code, std::chrono::milliseconds limit)
{
    // A hand-over to the printer that was told to stop when the program quit ends on its own
    // within moments (cancelling its job); the program waits for that, not for a scheduler.
    if (LWPrintPanel::waitForHandOvers(limit))
        return code;
    // What is left is a band pdfium cannot be stopped in, or a scheduler that does not answer:
    // the objects it uses (Qt PDF's lock among them) must not be destroyed under it, so the
    // process ends here. The settings are the one thing written on the way out.
    std::fprintf(stderr, "leafwrighter: a print job was still being stopped when the program ended\n");
    LWPrefs::store().sync();
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace LWStartup
