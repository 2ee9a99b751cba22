#include "kit/cabinet/bezel.h"
#include "kit/controls/chromebutton.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/cabinet/led.h"
#include "kit/controls/searchfield.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/theme/themeroot.h"
#include "kit/zoom/zoomhost.h"

#include <QGridLayout>
#include <QImage>
#include <benchmark/benchmark.h>

namespace {

// A window's worth of kit controls: ten rows of buttons, round buttons, lamps, search fields and
// read-outs, in bezels.
QWidget *controls()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    for (int r = 0; r < 10; ++r) {
        auto *strip = new QWidget;
        auto *row = new QGridLayout(strip);
        row->addWidget(new VKChromeButton(QStringLiteral("Open %1").arg(r)), 0, 0);
        row->addWidget(new ChromeRoundButton(VKSymbols::ruler, QStringLiteral("Rulers"), {}), 0, 1);
        row->addWidget(new LED(LWStyle::moss()), 0, 2);
        row->addWidget(new VKSearchField(QStringLiteral("Search")), 0, 3);
        row->addWidget(new LCDReadout({QStringLiteral("BUSINESS CARD"), QStringLiteral("3.5 × 2 in")}), 0, 4);
        grid->addWidget(new Bezel(strip), r / 2, r % 2);
    }
    return page;
}

// One full repaint of the window at 1480 × 760, without the host (zoom < 0) or in it.
void repaint(benchmark::State &state, double zoom)
{
    if (zoom > 0)
        VKZoom::setValue(zoom);
    VELKThemeRoot root([zoom]() -> QWidget * {
        if (zoom > 0)
            return new VKZoomHost(controls(), {1480, 760});
        return controls();
    });
    root.resize(1480, 760);
    root.show();
    QImage image(root.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        root.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

} // namespace

BENCHMARK_CAPTURE(repaint, bare, -1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(repaint, host_100, 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(repaint, host_200, 2.0)->Unit(benchmark::kMillisecond);
