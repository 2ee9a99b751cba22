#include "app/app.h"
#include "render/fonts.h"

#include <QApplication>
#include <QMainWindow>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char **argv)
{
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
