#include "kit/controls/chromebutton.h"
#include "kit/paint/paint.h"
#include "kit/paint/symbols.h"
#include "model/file/prefs.h"

#include <QApplication>
#include <QGridLayout>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// 100 chrome buttons (every fifth prominent, every third compact, some with a symbol) in a grid.
std::unique_ptr<QWidget> buttonGrid()
{
    auto window = std::make_unique<QWidget>();
    auto *grid = new QGridLayout(window.get());
    for (int i = 0; i < 100; ++i) {
        auto *b = new VKChromeButton(QStringLiteral("Button %1").arg(i));
        b->setProminent(i % 5 == 0);
        b->setCompact(i % 3 == 0);
        if (i % 4 == 0)
            b->setSymbol(VKSymbols::folder);
        grid->addWidget(b, i / 10, i % 10);
    }
    window->resize(window->sizeHint());
    window->show();
    return window;
}

// Paints the whole grid at device scale 2, as on a 200 % screen.
void paintAtScale2(QWidget &window, QImage &target)
{
    target.fill(Qt::transparent);
    window.render(&target, {}, {}, QWidget::DrawChildren);
}

QImage scale2Image(const QWidget &window)
{
    QImage img(window.size() * 2, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(2);
    return img;
}

} // namespace

// First paint: fresh buttons, no cached shadow masks.
static void BM_ChromeButtonsFirstPaint(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto window = buttonGrid();
        QImage img = scale2Image(*window);
        VKPaint::clearShadowCache();
        state.ResumeTiming();
        paintAtScale2(*window, img);
    }
}
BENCHMARK(BM_ChromeButtonsFirstPaint)->Unit(benchmark::kMillisecond);

// Repaint: every button's image and shadow cached.
static void BM_ChromeButtonsCachedPaint(benchmark::State &state)
{
    auto window = buttonGrid();
    QImage img = scale2Image(*window);
    paintAtScale2(*window, img);
    for (auto _ : state)
        paintAtScale2(*window, img);
}
BENCHMARK(BM_ChromeButtonsCachedPaint)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir; // never the user's settings
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
