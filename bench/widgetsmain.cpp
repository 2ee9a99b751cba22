#include "model/file/prefs.h"
#include "render/fonts.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// Widgets need a QApplication and the bundled fonts, as in the program; the benchmarks' editors
// read and write a throw-away settings file, never the user's.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LWFonts::registerBundled();
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
