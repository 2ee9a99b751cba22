#include "model/file/json.h"

#include <QJsonArray>
#include <benchmark/benchmark.h>

// Canonical writing of a record-heavy value, the shape of a design with many elements.
static void BM_JsonWriteRecords(benchmark::State &state)
{
    QJsonArray elements;
    for (int i = 0; i < state.range(0); ++i)
        elements.append(QJsonObject{{"frame", LWJson::to(LWRect(i * 1.5, i * 0.25, 120, 40))},
                                    {"name", QStringLiteral("Text %1 / copy").arg(i)},
                                    {"opacity", 0.85},
                                    {"rotation", 0.0}});
    const QJsonObject doc{{"elements", elements}};
    for (auto _ : state)
        benchmark::DoNotOptimize(LWJson::write(doc));
}
BENCHMARK(BM_JsonWriteRecords)->Arg(100)->Arg(1000);
