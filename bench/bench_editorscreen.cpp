// The inspector during a drag: one refresh per live update (200 of them) with a text box
// selected; and building the whole editor screen for a card template.
#include "app/app.h"
#include "templates/templates.h"
#include "ui/canvas/editorscreen.h"
#include "ui/inspector/inspector.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void BM_InspectorRefreshPerLiveUpdate(benchmark::State &state)
{
    LWApp app;
    LWEditor editor(LWTemplates::cards().first().make());
    for (const LWElement &e : editor.elements())
        if (e.kind == LWElementKind::text) {
            editor.setSelection({e.id});
            break;
        }
    Inspector inspector(editor, app);
    inspector.resize(300, 900);
    inspector.show();
    editor.beginInteraction();
    const QUuid id = editor.selection().first();
    int i = 0;
    for (auto _ : state) {
        const int index = editor.pageIndex();
        editor.liveUpdate([&](LWDocument &doc) {
            for (LWElement &e : doc.pages[index].elements)
                if (e.id == id)
                    e.frame.x += (i % 2 ? 1 : -1);
        });
        ++i;
    }
}
BENCHMARK(BM_InspectorRefreshPerLiveUpdate)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_EditorScreenBuild(benchmark::State &state)
{
    LWApp app;
    LWEditor editor(LWTemplates::cards().first().make());
    for (auto _ : state) {
        EditorScreen screen(app, editor);
        screen.resize(1480, 760);
        screen.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_EditorScreenBuild)->Unit(benchmark::kMillisecond);

} // namespace
