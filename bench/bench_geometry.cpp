#include "model/element.h"
#include "model/geometry.h"

#include <benchmark/benchmark.h>

#include <cmath>

// Shape paths are rebuilt on every draw of the canvas and of each thumbnail.
static void BM_GeometrySmoothPath(benchmark::State &state)
{
    LWElement e;
    e.shape = LWShapeKind::path;
    e.frame = LWRect(10, 10, 300, 200);
    e.smooth = true;
    QList<QPointF> pts;
    for (int i = 0; i < state.range(0); ++i) {
        const double a = i * 2 * M_PI / state.range(0);
        pts.append({0.5 + 0.5 * std::cos(a) * (i % 2 ? 0.7 : 1), 0.5 + 0.5 * std::sin(a)});
    }
    e.points = pts;
    e.corners = QList<qint64>{0, 3};
    for (auto _ : state)
        benchmark::DoNotOptimize(LWGeometry::shapePath(e));
}
BENCHMARK(BM_GeometrySmoothPath)->Arg(12)->Arg(200);

static void BM_GeometryStar(benchmark::State &state)
{
    LWElement e;
    e.shape = LWShapeKind::star;
    e.frame = LWRect(0, 0, 120, 120);
    e.sides = 5;
    for (auto _ : state)
        benchmark::DoNotOptimize(LWGeometry::shapePath(e));
}
BENCHMARK(BM_GeometryStar);

// Picking under the pointer tests every element of a page per mouse move.
static void BM_GeometryHitRotated(benchmark::State &state)
{
    LWElement e;
    e.frame = LWRect(40, 60, 200, 80);
    e.rotation = 17;
    double x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LWGeometry::hit(e, QPointF(100 + x, 90), 4));
        x = x > 50 ? 0 : x + 0.5;
    }
}
BENCHMARK(BM_GeometryHitRotated);
