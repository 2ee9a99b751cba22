#include "render/text/fonts.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

// Registration happens once per process, so it is measured once.
static void BM_RegisterBundled(benchmark::State &state)
{
    for (auto _ : state)
        LWFonts::registerBundled();
    state.counters["faces"] = double(LWFonts::registeredPostScript().size());
}
BENCHMARK(BM_RegisterBundled)->Iterations(1)->Unit(benchmark::kMillisecond);

// The first lookup of every template font (74 platform names and the manifest's faces):
// index, Qt selection, one-time check of the face and font creation.
static void BM_FirstFontLookups(benchmark::State &state)
{
    const QStringList names = LWFonts::templateFonts();
    for (auto _ : state)
        for (const QString &name : names)
            benchmark::DoNotOptimize(LWFonts::font(name, 11));
    state.counters["fonts"] = double(names.size());
}
BENCHMARK(BM_FirstFontLookups)->Iterations(1)->Unit(benchmark::kMillisecond);

// Later lookups at new sizes (faces already checked) and cache hits.
static void BM_NewSizeLookup(benchmark::State &state)
{
    double size = 1;
    for (auto _ : state) {
        size += 0.25;
        benchmark::DoNotOptimize(LWFonts::font(QStringLiteral("AvenirNext-Regular"), size));
    }
}
BENCHMARK(BM_NewSizeLookup)->Unit(benchmark::kMicrosecond);

static void BM_CachedLookup(benchmark::State &state)
{
    const QString name = QStringLiteral("AvenirNext-Regular");
    for (auto _ : state)
        benchmark::DoNotOptimize(LWFonts::font(name, 12));
}
BENCHMARK(BM_CachedLookup);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
