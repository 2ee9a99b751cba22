#include "app/app.h"
#include "app/sheets/exportjob.h"
#include "app/startscreen.h"
#include "app/thumbs.h"
#include "kit/zoom/zoom.h"
#include "editor/editor.h"
#include "model/file/prefs.h"
#include "shell/mainwindow.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"
#include "shell/startup.h"
#include "templates/templates.h"
#include "ui/canvas/pagecanvas.h"
#include "support/samplepages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace {

// Runs the event loop until a widget that `wanted` accepts receives a paint event.
void waitForPaint(std::function<bool(QObject *)> wanted)
{
    struct Watch : QObject {
        std::function<bool(QObject *)> wanted;
        QEventLoop loop;
        bool painted = false;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && !painted && wanted(o)) {
                painted = true;
                loop.quit();
            }
            return false;
        }
    } watch;
    watch.wanted = std::move(wanted);
    qApp->installEventFilter(&watch);
    if (!watch.painted)
        watch.loop.exec();
    qApp->removeEventFilter(&watch);
}

bool insideA(QObject *o, const char *className)
{
    for (; o; o = o->parent())
        if (o->inherits(className))
            return true;
    return false;
}

LWApp &configured()
{
    static LWApp &app = []() -> LWApp & {
        LWStartup::prepareApplication();
        return LWSetup::configure();
    }();
    return app;
}

} // namespace

// The process's first window: fonts registered, kit installed, the shell window built, shown and
// its start screen painted once. One iteration per process; run the program again for more.
static void BM_FirstWindow(benchmark::State &state)
{
    for (auto _ : state) {
        LWShellWindow window(configured());
        window.show();
        waitForPaint([](QObject *o) { return insideA(o, "StartScreen"); });
        state.PauseTiming();
        window.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// From the start screen: a new design from the first card template, until its page is painted.
static void BM_NewFromTemplate(benchmark::State &state)
{
    LWApp &app = configured();
    LWShellWindow window(app);
    window.show();
    waitForPaint([](QObject *o) { return insideA(o, "StartScreen"); });
    const LWTemplate &t = LWTemplates::cards()[0];
    for (auto _ : state) {
        app.newFromTemplate(t);
        waitForPaint([](QObject *o) { return qobject_cast<PageCanvas *>(o) != nullptr; });
        state.PauseTiming();
        app.close(); // unchanged: no question
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        waitForPaint([](QObject *o) { return insideA(o, "StartScreen"); });
        state.ResumeTiming();
    }
}
BENCHMARK(BM_NewFromTemplate)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 36 x 24 in poster of a dozen shapes exported as a 600-DPI PNG by the export sheet's job, a
// 10 ms timer of the interface thread running beside it: the export's time, and the longest the
// interface thread went without running the timer (longest_wait_ms; the window's liveness).
static void BM_PosterExportTurns(benchmark::State &state)
{
    const LWDocument doc = LWSamplePages::shapePoster();
    QTemporaryDir dir;
    qint64 longest = 0;
    for (auto _ : state) {
        LWExportJob job(
            {doc, LWExportJob::Kind::png, {0}, {dir.filePath(QStringLiteral("Poster.png"))}, 600, true});
        QEventLoop loop;
        QObject::connect(&job, &LWExportJob::finished, &loop, &QEventLoop::quit);
        QElapsedTimer sinceTick;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longest = std::max(longest, sinceTick.restart()); });
        tick.start(10);
        sinceTick.start();
        job.start();
        loop.exec();
    }
    state.counters["longest_wait_ms"] = double(longest);
}
BENCHMARK(BM_PosterExportTurns)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A Letter page of 2,000 dots in the main window at an interface zoom (percent), all selected,
// nudged by the Right and Left keys through the window, until the repaints are done. One zoom per
// process (--benchmark_filter=NudgeAll.*/85): the design stays open.
static void BM_NudgeAllInWindow(benchmark::State &state)
{
    LWApp &app = configured();
    VKZoom::setValue(double(state.range(0)) / 100); // the interface zoom
    LWShellWindow window(app);
    window.resize(1480, 900);
    window.show();
    waitForPaint([](QObject *o) { return insideA(o, "StartScreen"); });
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Dots"));
    for (int i = 0; i < 2000; ++i)
        doc.pages[0].elements.append(LWElement::makeShape(LWShapeKind::ellipse,
                                                          {18 + (i % 50) * 11.5, 18 + (i / 50) * 11.5, 6, 6},
                                                          LWFill::solid(LWColor::black), std::nullopt, 0,
                                                          QStringLiteral("Dot %1").arg(i + 1)));
    app.newDocument(doc);
    waitForPaint([](QObject *o) { return qobject_cast<PageCanvas *>(o) != nullptr; });
    PageCanvas *page = nullptr;
    for (QWidget *w : QApplication::allWidgets()) // the window's content sits inside its zoom host
        if (auto *canvas = qobject_cast<PageCanvas *>(w); canvas && canvas->isVisible())
            page = canvas;
    if (!page)
        return state.SkipWithError("no page view");
    QList<QUuid> all;
    for (const LWElement &e : app.editor()->elements())
        all.append(e.id);
    app.editor()->setSelection(all);
    QApplication::setActiveWindow(&window); // the editor's keys act only in the active window
    page->setFocus();
    const auto settle = [] {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    };
    settle();
    struct Paints : QObject {
        int n = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } paints;
    page->installEventFilter(&paints);
    const int renders = page->renderCount();
    int i = 0;
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, i++ % 2 ? Qt::Key_Left : Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(page, &press);
        QKeyEvent release(QEvent::KeyRelease, press.key(), Qt::NoModifier);
        QApplication::sendEvent(page, &release);
        settle();
    }
    state.counters["page_paints"] = double(paints.n) / double(state.iterations());
    state.counters["page_renders"] = double(page->renderCount() - renders) / double(state.iterations());
    page->removeEventFilter(&paints);
    if (app.editor()->elements().first().frame.x == 18)
        state.SkipWithError("the keys did not nudge");
    app.editor()->setSelection({});
}
BENCHMARK(BM_NudgeAllInWindow)
    ->Arg(100)
    ->Arg(85)
    ->Arg(150)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(41);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    // Throw-away settings; the fonts are left to the first benchmark.
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    LWThumbs::shared().shutdown();
    return 0;
}
