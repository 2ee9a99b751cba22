#include "templates/templates.h"

#include <benchmark/benchmark.h>

// Every template's design in turn, as a contact sheet or a full thumbnail pass builds them.
static void BM_MakeAll500(benchmark::State &state)
{
    const QList<LWTemplate> &all = LWTemplates::all();
    for (auto _ : state)
        for (const LWTemplate &t : all)
            benchmark::DoNotOptimize(t.make());
    state.counters["per template"] = benchmark::Counter(
        double(state.iterations()) * all.size(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MakeAll500)->Unit(benchmark::kMillisecond);

// The 500 records alone, generated afresh in their five sizes; no design is built.
static void BM_Records500(benchmark::State &state)
{
    for (auto _ : state) {
        for (const LWSizePreset &p : LWTemplates::cardSizes())
            benchmark::DoNotOptimize(LWTemplates::cardTemplates(p));
        for (const LWSizePreset &p : LWTemplates::flyerSizes())
            benchmark::DoNotOptimize(LWTemplates::flyerTemplates(p));
    }
}
BENCHMARK(BM_Records500)->Unit(benchmark::kMicrosecond);
