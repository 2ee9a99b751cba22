#include "diagnostics/groups/templatesweep.h"
#include "diagnostics/selftestgroups.h"
#include "templates/templates.h"

#include <QThreadPool>
#include <benchmark/benchmark.h>

// The self-test's template group as a whole (its report thrown away), and its sweep over all
// 500 templates with 1 or 2 threads sharing the work (the self-test's budget is set on 2 cores).
static void BM_TemplatesGroup(benchmark::State &state)
{
    for (auto _ : state) {
        LWTestRun run([](const QByteArray &, bool) {});
        LWSelfTest::templates(run);
    }
}
BENCHMARK(BM_TemplatesGroup)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_TemplateSweep(benchmark::State &state)
{
    const QList<LWTemplate> &all = LWTemplates::all();
    const int saved = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(LWSelfTest::sweep(all));
    QThreadPool::globalInstance()->setMaxThreadCount(saved);
}
BENCHMARK(BM_TemplateSweep)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
