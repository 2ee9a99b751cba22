// The canvas during a move drag: one gesture step and one render of the visible part per frame,
// on a tabloid flyer with a 24-megapixel photo at canvas zoom 2, area 1000 x 700 at device scale
// 2; the heap after rendering the four corners at zoom 8; and a design file's very wide outline
// through zoom steps.
#include "support/samplepages.h"
#include "templates/templates.h"
#include "render/pictures/picturequeue.h"
#include "ui/canvas/pagecanvas.h"

#include <QCoreApplication>
#include <QThread>
#include <cmath>

#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

double heapMB()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1 << 20);
}

LWDocument tabloidWithPhoto()
{
    LWDocument doc = LWTemplates::flyerTemplates(LWSizePreset::tabloid).first().make();
    LWElement photo = LWElement::makePhoto(LWRect(72, 72, 600, 400));
    photo.image->data = LWSamplePages::encoded(LWSamplePages::landscape(6000, 4000), "jpeg", 90);
    doc.pages[0].elements.append(photo);
    return doc;
}

void BM_CanvasMoveFrame(benchmark::State &state)
{
    LWEditor editor(tabloidWithPhoto());
    editor.setSelection({editor.elements().last().id});
    PageCanvas page(editor);
    const double fit = 630.0 / (editor.doc().height + 2 * editor.doc().bleed);
    page.setScale(fit * 2);
    const QRectF visible(0, 0, 1000, 700);
    const QPointF start = page.gestures().toView({372, 272});
    page.gestures().changed(start, start, Qt::NoModifier);
    page.bitmapFor(visible, 2); // previews decoded once, beside
    while (LWPictureQueue::shared().busy() > 0)
        QThread::msleep(5);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(); // the view draws the photo's part anew
    int i = 0;
    for (auto _ : state) {
        page.gestures().changed(start, start + QPointF(5 + i % 40, 3), Qt::NoModifier);
        benchmark::DoNotOptimize(page.bitmapFor(visible, 2).image.constBits());
        ++i;
    }
    page.gestures().ended(start, start, Qt::NoModifier);
}
BENCHMARK(BM_CanvasMoveFrame)->Unit(benchmark::kMillisecond);

void BM_CanvasCornersAtZoom8(benchmark::State &state)
{
    LWEditor editor(tabloidWithPhoto());
    PageCanvas page(editor);
    const double fit = 630.0 / (editor.doc().height + 2 * editor.doc().bleed);
    page.setScale(fit * 8);
    const QSize size = page.size();
    const double before = heapMB();
    double peak = before;
    for (auto _ : state) {
        for (QPointF corner : {QPointF(0, 0), QPointF(size.width() - 1000, 0), QPointF(0, size.height() - 700),
                               QPointF(size.width() - 1000, size.height() - 700)}) {
            page.bitmapFor(QRectF(corner, QSizeF(1000, 700)), 2);
            peak = std::max(peak, heapMB());
        }
    }
    state.counters["heap_growth_MB"] = peak - before;
}
BENCHMARK(BM_CanvasCornersAtZoom8)->Unit(benchmark::kMillisecond)->Iterations(3);

// A Letter flyer's triangle with a dashed outline 10^arg points wide (a design file may hold any
// finite width) in the view at the window's fit, three zoom steps in and back out: each a render
// of the visible part, 1000 x 700 at device scale 2.
void BM_CanvasWideOutline(benchmark::State &state)
{
    LWEditor editor(LWSamplePages::wideOutline(std::pow(10.0, double(state.range(0)))));
    PageCanvas page(editor);
    const double fit = 630.0 / (editor.doc().height + 2 * editor.doc().bleed);
    for (auto _ : state)
        for (const double zoom : {1.0, 1.25, 1.5625, 1.953125, 1.5625, 1.25, 1.0}) {
            page.setScale(fit * zoom);
            benchmark::DoNotOptimize(page.bitmapFor(QRectF(0, 0, 1000, 700), 2).image.constBits());
        }
}
BENCHMARK(BM_CanvasWideOutline)->Arg(14)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
