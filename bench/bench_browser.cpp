#include "app/app.h"
#include "app/templatebrowser.h"
#include "app/templategrid.h"
#include "app/thumbs.h"
#include "kit/controls/searchfield.h"
#include "render/text/fonts.h"
#include "templates/templates.h"

#include <QApplication>
#include <QEventLoop>
#include <QSet>
#include <benchmark/benchmark.h>

namespace {

// The grid keys of the library's first `n` templates, as the first tiles ask for them.
QSet<QString> firstKeys(qsizetype n)
{
    QSet<QString> keys;
    for (const LWTemplate &t : LWTemplates::all().mid(0, n))
        keys << *LWThumbs::key(t.id, 0, TemplateGrid::thumbHeight(t));
    return keys;
}

} // namespace

// From showing a new browser at the app's minimum size, with nothing cached, until the thumbnails
// of its first 12 tiles are ready.
static void BM_ShowUntilFirst12Thumbs(benchmark::State &state)
{
    LWApp app;
    const QSet<QString> wanted = firstKeys(12);
    for (auto _ : state) {
        LWThumbs store;
        QSet<QString> missing = wanted;
        QEventLoop loop;
        QObject::connect(&store, &LWThumbs::changed, &loop, [&](const QString &key) {
            if (missing.remove(key) && missing.isEmpty())
                loop.quit();
        });
        TemplateBrowser browser(app, &store);
        browser.resize(1480, 760);
        browser.show();
        loop.exec();
        state.PauseTiming();
        browser.hide();
        store.shutdown();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ShowUntilFirst12Thumbs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// One keystroke in the search field: the list filtered again, the grid laid out and repainted.
static void BM_Keystroke(benchmark::State &state)
{
    LWApp app;
    LWThumbs store;
    TemplateBrowser browser(app, &store);
    browser.resize(1480, 760);
    browser.show();
    const QString queries[] = {QStringLiteral("s"), QString()};
    int i = 0;
    for (auto _ : state) {
        browser.searchField()->setText(queries[i++ % 2]);
        browser.grid()->viewport()->repaint();
    }
    store.shutdown();
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    LWFonts::registerBundled();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
