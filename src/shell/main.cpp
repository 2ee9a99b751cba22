#include "app/app.h"
#include "diagnostics/selftest.h"
#include "render/fonts.h"

#include <QApplication>
#include <QMainWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// "--selftest" anywhere among the arguments: the self-test runs instead of the window, headless,
// and its report is the only output (Qt's messages are dropped).
bool wantsSelfTest(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--selftest") == 0)
            return true;
    return false;
}

int runSelfTest(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELK Leafwrighter"));
    LWFonts::registerBundled();
    return LWSelfTest::run();
}

} // namespace

int main(int argc, char **argv)
{
    if (wantsSelfTest(argc, argv))
        return runSelfTest(argc, argv);
    // Qt aborts without a display; say so plainly instead.
    const bool offscreen = qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen");
    if (!offscreen && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "leafwrighter: no display found (set DISPLAY, or run under xvfb-run).\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELK Leafwrighter"));
    // Before any text is measured or drawn.
    LWFonts::registerBundled();
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("VELK Leafwrighter"));
    window.resize(1500, 940);
    window.setMinimumSize(900, 600);
    LWApp::shared().setPrompts(std::make_shared<LWQtPrompts>(&window));
    window.show();
    return app.exec();
}
