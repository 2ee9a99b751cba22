#include "render/renderer.h"

#include <benchmark/benchmark.h>

// A text-heavy Letter flyer: a heading, twelve paragraphs, shapes and a gradient background.
static LWDocument textFlyer()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Bench flyer"));
    LWPage &page = doc.pages[0];
    page.background = LWFill::linear(LWColor::hex(0xF6F1E7), LWColor::hex(0xE3ECF2), 90);
    page.elements.append(LWElement::makeText(LWText(QStringLiteral("Autumn Market & Harvest Fair"),
                                                    QStringLiteral("AbrilFatface-Regular"), 40, LWColor::hex(0x223344)),
                                             {36, 36, 540, 100}));
    const QString para = QStringLiteral(
        "Fresh bread, local honey, handmade soap and seasonal vegetables from farms within twenty miles. "
        "Live music from noon, a children's corner with face painting, and warm cider by the fountain.");
    for (int i = 0; i < 12; ++i) {
        LWText t(para, QStringLiteral("Arvo"), 10.5, LWColor::hex(0x333333), 10, 1.2,
                 i % 3 == 0 ? LWTextAlign::justified : LWTextAlign::left);
        page.elements.append(LWElement::makeText(t, {36.0 + (i % 2) * 276, 150.0 + (i / 2) * 100, 264, 90}));
    }
    page.elements.append(LWElement::makeShape(LWShapeKind::rectangle, {0, 700, 612, 92},
                                              LWFill::solid(LWColor::hex(0x8A5A44)), std::nullopt));
    return doc;
}

static void BM_DrawTextFlyer(benchmark::State &state)
{
    const LWDocument doc = textFlyer();
    const double dpi = double(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(LWRenderer::bitmap(doc, 0, LWRenderer::DPI{dpi}, false));
}
BENCHMARK(BM_DrawTextFlyer)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

// A star 9 in across on a 10-in page with a 6-pt outline, dashed (arg 1: 6-pt dashes) or not (arg
// 0), drawn at 600 DPI: what laying the dashes and their joins costs beside the plain outline.
static void BM_DrawOutlinedStar(benchmark::State &state)
{
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 720, 720, 0, QStringLiteral("Star"));
    doc.pages[0].elements.append(LWElement::makeShape(LWShapeKind::star, {36, 36, 648, 648}, LWFill::none(),
                                                      LWStroke(LWColor::hex(0x1F3A5F), 6, state.range(0) ? 6 : 0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(LWRenderer::bitmap(doc, 0, LWRenderer::DPI{600}, false));
}
BENCHMARK(BM_DrawOutlinedStar)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
