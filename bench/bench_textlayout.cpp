#include "render/text/textlayout.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

// A 300-character paragraph of running text, justified and tracked as templates set body copy.
static LWText paragraph()
{
    QString s = QStringLiteral(
        "Fresh bread, local honey, handmade soap and seasonal vegetables from farms within twenty miles. "
        "Live music from noon, a children's corner with face painting, and warm cider by the fountain. "
        "Bring a bag, bring a friend, and stay for the raffle at four: every ticket helps the library fund.");
    s.truncate(300);
    return LWText(s, QStringLiteral("AvenirNext-Regular"), 10.5, LWColor::black, 20, 1.2, LWTextAlign::justified);
}

static void BM_LayoutParagraph(benchmark::State &state)
{
    const LWText text = paragraph();
    for (auto _ : state)
        benchmark::DoNotOptimize(LWTextLayout::layout(text, 240));
}
BENCHMARK(BM_LayoutParagraph)->Unit(benchmark::kMicrosecond);

static void BM_HeightParagraph(benchmark::State &state)
{
    const LWText text = paragraph();
    for (auto _ : state)
        benchmark::DoNotOptimize(LWTextLayout::height(text, 240));
}
BENCHMARK(BM_HeightParagraph)->Unit(benchmark::kMicrosecond);

static void BM_DrawParagraph300Dpi(benchmark::State &state)
{
    const LWText text = paragraph();
    QImage image(1100, 800, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(300.0 / 72, 300.0 / 72);
        LWTextLayout::draw(text, LWRect(10, 10, 240, 150), p);
    }
}
BENCHMARK(BM_DrawParagraph300Dpi)->Unit(benchmark::kMicrosecond);
