#include "diagnostics/snapshot.h"
#include "templates/templates.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// The four contact sheets of the whole library (500 templates), as "--lw-contact-sheets" writes
// them, into a throw-away folder; and the first sheet (200 designs) alone. The library's lists
// are built before timing starts, as the program's first sheet pays for that once.
static void BM_AllContactSheets(benchmark::State &state)
{
    (void)LWTemplates::all();
    QTemporaryDir dir;
    for (auto _ : state) {
        if (!LWSnapshot::writeAllContactSheets(dir.path(), {}))
            state.SkipWithError("a sheet was not written");
    }
}
BENCHMARK(BM_AllContactSheets)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_FirstContactSheet(benchmark::State &state)
{
    (void)LWTemplates::all();
    QTemporaryDir dir;
    for (auto _ : state) {
        if (!LWSnapshot::writeContactSheet(dir.filePath(QStringLiteral("sheet.png")), {}))
            state.SkipWithError("the sheet was not written");
    }
}
BENCHMARK(BM_FirstContactSheet)->Unit(benchmark::kMillisecond)->UseRealTime();
