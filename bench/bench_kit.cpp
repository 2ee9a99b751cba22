#include "kit/help/help.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "model/file/prefs.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// A theme switch as the user sees it: the write, the queued rebuild of 300 labelled widgets, the
// deletion of the old ones and a repainted grab of the window.
static void BM_ThemeSwitch(benchmark::State &state)
{
    VELKThemeRoot root([] {
        auto *content = new QWidget;
        auto *grid = new QGridLayout(content);
        for (int i = 0; i < 300; ++i)
            grid->addWidget(new QLabel(QStringLiteral("Label %1").arg(i)), i / 12, i % 12);
        return content;
    });
    root.resize(1200, 800);
    root.show();
    const QStringList ids{QStringLiteral("rose-gold"), QStringLiteral("midnight-black")};
    int n = 0;
    for (auto _ : state) {
        VELKThemes::setCurrentID(ids[n++ % 2]);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        benchmark::DoNotOptimize(root.grab());
    }
    state.counters["shown"] = root.content()->isVisible() ? 1 : 0;
}
BENCHMARK(BM_ThemeSwitch)->Unit(benchmark::kMillisecond);

// One keystroke in the help window's search field: 30 topics of about a kilobyte, folded anew.
static void BM_HelpSearch(benchmark::State &state)
{
    QList<VELKHelpTopic> topics;
    const QString body = QStringLiteral("## Heading\nSome text about bleed, trim and colour. ").repeated(20);
    for (int i = 0; i < 30; ++i)
        topics.append({QStringLiteral("t%1").arg(i), QStringLiteral("Topic %1").arg(i), body, {"word", "other"}});
    VELKHelp::setTopics(topics);
    for (auto _ : state)
        benchmark::DoNotOptimize(VELKHelp::search(QStringLiteral("Bleed colour")));
}
BENCHMARK(BM_HelpSearch)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
