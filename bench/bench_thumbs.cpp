#include "app/templatethumb.h"
#include "app/thumbs.h"
#include "templates/templates.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

double gridHeight(const LWTemplate &t)
{
    return t.kind == LWDocKind::businessCard ? 100 : 200;
}

// The first template's page at 100 points, waited for.
QImage readyThumb(LWThumbs &store)
{
    const LWTemplate t = LWTemplates::all().first();
    QEventLoop loop;
    QObject::connect(&store, &LWThumbs::changed, &loop, &QEventLoop::quit);
    if (!store.image(t, 0, 100))
        loop.exec();
    return store.image(t, 0, 100).value_or(QImage());
}

} // namespace

// Page 0 of every template at its grid height, from the first request to the last `changed`:
// the wait for a full browser grid with nothing cached.
static void BM_All500AtGridHeights(benchmark::State &state)
{
    const QList<LWTemplate> &all = LWTemplates::all();
    for (auto _ : state) {
        LWThumbs store;
        qsizetype done = 0;
        QEventLoop loop;
        QObject::connect(&store, &LWThumbs::changed, &loop, [&] {
            if (++done == all.size())
                loop.quit();
        });
        for (const LWTemplate &t : all)
            benchmark::DoNotOptimize(store.image(t, 0, gridHeight(t)));
        loop.exec();
        if (!store.failed().isEmpty())
            state.SkipWithError("a template gave no thumbnail");
    }
    state.counters["per thumbnail"] = benchmark::Counter(
        double(state.iterations()) * all.size(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_All500AtGridHeights)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A ready thumbnail's lookup, as every repaint of a tile makes it.
static void BM_LookupReady(benchmark::State &state)
{
    LWThumbs store;
    (void)readyThumb(store);
    const LWTemplate t = LWTemplates::all().first();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.image(t, 0, 100));
}
BENCHMARK(BM_LookupReady);

// One grid tile painted at interface scale 1 and 2: shadow (cached), rounded image fill.
static void BM_PaintTile(benchmark::State &state)
{
    const double scale = double(state.range(0));
    LWThumbs store;
    const std::optional<QImage> image = readyThumb(store);
    QImage target(QSize(190, 115) * scale, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(scale);
    for (auto _ : state) {
        QPainter p(&target);
        paintTemplateThumb(p, QRectF(7, 7, 175, 100), image, std::nullopt);
    }
}
BENCHMARK(BM_PaintTile)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
