#include "templates/cardlayouts.h"
#include "templates/flyerlayouts.h"
#include "templates/templates.h"

#include <QElapsedTimer>

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

// Each layout's slowest template: every template of the layout in every size is timed a few
// times first (outside the measurement), then the slowest one is measured. Args: family (0 cards,
// 1 flyers) and the layout's position.
static void BM_SlowestOfLayout(benchmark::State &state)
{
    const bool flyer = state.range(0) == 1;
    const QString style =
        flyer ? LWFlyerLayouts::all()[state.range(1)].name : LWCardLayouts::all()[state.range(1)].name;
    const LWDocKind kind = flyer ? LWDocKind::flyer : LWDocKind::businessCard;
    const LWTemplate *slowest = nullptr;
    double worst = -1;
    for (const LWTemplate &t : LWTemplates::all()) {
        if (t.kind != kind || t.style != style)
            continue;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 5; ++i)
            benchmark::DoNotOptimize(t.make());
        if (const double took = double(timer.nsecsElapsed()); took > worst) {
            worst = took;
            slowest = &t;
        }
    }
    if (!slowest) {
        state.SkipWithError("no template of this layout");
        return;
    }
    state.SetLabel((style + QLatin1Char(' ') + slowest->id).toStdString());
    for (auto _ : state)
        benchmark::DoNotOptimize(slowest->make());
}
BENCHMARK(BM_SlowestOfLayout)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(0, 9, 1)})
    ->Unit(benchmark::kMicrosecond);
