#include "app/app.h"
#include "app/startscreen.h"
#include "app/thumbs.h"
#include "kit/theme/themeroot.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// The start screen in a themed window, shown, with its banner thumbnail in the store and painted.
void showStartScreen(LWApp &app)
{
    VELKThemeRoot root([&app] { return new StartScreen(app); });
    root.resize(1180, 760);
    LWThumbs &store = LWThumbs::shared();
    const QString key = *LWThumbs::key(QStringLiteral("card-001"), 0, 118);
    QEventLoop loop;
    QObject::connect(&store, &LWThumbs::changed, &loop, [&](const QString &k) {
        if (k == key)
            loop.quit();
    });
    root.show();
    if (!store.images().contains(key) && !store.failed().contains(key))
        loop.exec();
    benchmark::DoNotOptimize(root.grab());
}

} // namespace

// The first start screen of a process: nothing built yet (templates, thumbnails, kit caches), the
// bundled fonts registered. One iteration per process; run the program again for more figures.
static void BM_FirstStartScreen(benchmark::State &state)
{
    for (auto _ : state) {
        LWApp app;
        showStartScreen(app);
    }
}
BENCHMARK(BM_FirstStartScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A later start screen (after closing a design): the thumbnail and the library are ready.
static void BM_LaterStartScreen(benchmark::State &state)
{
    LWApp app;
    for (auto _ : state)
        showStartScreen(app);
}
BENCHMARK(BM_LaterStartScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

// A start whose settings file holds a recent list of 100,000 entries (twenty designs exist): the
// file read afresh, then the start screen with its recent designs.
static void BM_StartScreenWithHugeRecentList(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("huge.ini"));
    {
        QVariantList list;
        for (int i = 0; i < 100000; ++i) {
            const QString path = dir.filePath(QStringLiteral("d%1.velkfolio").arg(i));
            if (i < 20)
                (void)QFile(path).open(QIODevice::WriteOnly);
            list.append(path);
        }
        QSettings(file, QSettings::IniFormat).setValue(LWPrefs::recentKey, list);
    }
    LWApp app;
    for (auto _ : state) {
        LWPrefs::setStore(LWPrefs::makeStore(file));
        showStartScreen(app);
    }
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini"))));
}
BENCHMARK(BM_StartScreenWithHugeRecentList)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    LWFonts::registerBundled();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    LWThumbs::shared().shutdown();
    return 0;
}
