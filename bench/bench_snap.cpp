#include "editor/editor.h"
#include "model/file/prefs.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A Letter page with 1,000 elements (every fifth turned, every tenth hidden) and 20 guides,
// snapping on and the grid shown: the per-pointer-move cost of a drag on a busy page.
LWDocument busyDesign()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    for (int i = 0; i < 1000; ++i) {
        LWElement e = LWElement::makeShape(LWShapeKind::rectangle, LWRect((i * 37) % 580, (i * 53) % 760, 20, 12),
                                           LWFill::solid(LWColor::black), std::nullopt);
        e.rotation = i % 5 ? 0 : 30;
        e.hidden = i % 10 == 9;
        doc.pages[0].elements.append(e);
    }
    for (int i = 0; i < 20; ++i)
        doc.guides.append({QUuid::createUuid(), i % 2 == 0, 15.0 + i * 29});
    return doc;
}

std::unique_ptr<LWEditor> busyEditor()
{
    static QTemporaryDir dir; // never the user's settings
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    auto ed = std::make_unique<LWEditor>(busyDesign());
    ed->setSnapping(true);
    ed->setShowGrid(true);
    return ed;
}

} // namespace

static void BM_SnapTargets(benchmark::State &state)
{
    auto ed = busyEditor();
    const QSet<QUuid> moving{ed->elements().first().id};
    for (auto _ : state)
        benchmark::DoNotOptimize(ed->snapTargets(moving));
}
BENCHMARK(BM_SnapTargets)->Unit(benchmark::kMicrosecond);

static void BM_Snap(benchmark::State &state)
{
    auto ed = busyEditor();
    const QSet<QUuid> moving{ed->elements().first().id};
    double x = 0;
    for (auto _ : state) {
        x = x > 580 ? 0 : x + 0.7; // a drag across the page
        benchmark::DoNotOptimize(ed->snap(LWRect(x, 300 + x * 0.3, 20, 12), moving, 6));
    }
}
BENCHMARK(BM_Snap)->Unit(benchmark::kMicrosecond);

static void BM_ResizedRotated(benchmark::State &state)
{
    LWElement e = LWElement::makeShape(LWShapeKind::rectangle, LWRect(100, 100, 100, 50),
                                       LWFill::solid(LWColor::black), std::nullopt);
    e.rotation = 30;
    double x = 0;
    for (auto _ : state) {
        x = x > 300 ? 0 : x + 0.7;
        benchmark::DoNotOptimize(LWEditor::resized(e, 4, QPointF(200 + x, 160), true));
    }
}
BENCHMARK(BM_ResizedRotated);
