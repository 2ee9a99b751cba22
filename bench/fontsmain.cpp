#include "render/text/fonts.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

// Drawing and layout need an application object and the bundled fonts, as in the program.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    LWFonts::registerBundled();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
