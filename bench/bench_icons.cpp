#include "render/icons/icons.h"

#include <benchmark/benchmark.h>

// Every draw of an icon element places its cached outline into the element's frame.
static void BM_IconPlace(benchmark::State &state)
{
    const QString id = LWIcons::names().value(int(state.range(0)));
    (void)LWIcons::path(id); // built once, outside the timing
    for (auto _ : state)
        benchmark::DoNotOptimize(LWIcons::path(id, LWRect(12, 30, 64, 48)));
}
BENCHMARK(BM_IconPlace)->Arg(0)->Arg(55); // phone, vinyl (the largest outline)

// The icon picker and the icon sheet place every icon once.
static void BM_IconSheet(benchmark::State &state)
{
    const QStringList ids = LWIcons::names();
    for (const QString &id : ids)
        (void)LWIcons::path(id);
    for (auto _ : state)
        for (const QString &id : ids)
            benchmark::DoNotOptimize(LWIcons::path(id, LWRect(0, 0, 120, 120)));
}
BENCHMARK(BM_IconSheet);
