// Memory and time of the scenarios that used to grow without bound: a window dragged through
// many sizes (shadow masks), a 600-DPI page with a half-transparent panel (layers per band),
// large photos placed and preflighted (picture cache) and a page of photos exported cold (decodes
// side by side). Each reports resident memory in MB: `grown` (after minus before), `peak` (the
// high-water mark during the run, from /proc) and `final`. Run one per process for clean figures:
//   build/bin/lw_bench_memory --benchmark_filter=ResizeDrag/2
#include "app/app.h"
#include "app/startscreen.h"
#include "app/thumbs.h"
#include "kit/theme/themeroot.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/imageproperties.h"
#include "render/preflight.h"
#include "render/renderer.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

namespace {

double residentMB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

// Starts a new high-water mark of resident memory.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double peakMB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

struct Memory {
    double before = residentMB();
    Memory()
    {
        malloc_trim(0); // what earlier runs freed goes back to the system first
        before = residentMB();
        resetPeak();
    }
    void report(benchmark::State &state) const
    {
        const double now = residentMB();
        state.counters["grown_MB"] = now - before;
        state.counters["peak_MB"] = peakMB();
        state.counters["final_MB"] = now;
    }
};

// A 6000 x 4000 photo-like JPEG (smooth colours, some detail), different for every seed.
QByteArray photo(int seed)
{
    QImage img(6000, 4000, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 6000, 4000);
    g.setColorAt(0, QColor::fromHsv((seed * 45) % 360, 160, 230));
    g.setColorAt(1, QColor::fromHsv((seed * 45 + 120) % 360, 200, 90));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(Qt::white, 9));
    for (int i = 0; i < 60; ++i)
        p.drawLine(i * 100, 0, 6000 - i * 100, 4000);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(85);
    (void)writer.write(img);
    return bytes;
}

const QList<QByteArray> &photos()
{
    static const QList<QByteArray> all = [] {
        QList<QByteArray> list;
        for (int i = 0; i < 8; ++i)
            list.append(photo(i));
        return list;
    }();
    return all;
}

int generation = 0; // fresh asset ids: nothing of an earlier run is in the picture cache

LWElement placed(const QByteArray &bytes, const LWRect &frame)
{
    LWElement e = LWElement::makePhoto(frame);
    e.image->data = bytes;
    e.image->assetID = QStringLiteral("bench-%1-%2").arg(++generation).arg(qHash(bytes));
    return e;
}

} // namespace

// 600 steps of dragging the window corner over the themed start screen, each step laid out and
// painted at the device scale given.
static void BM_ResizeDragStartScreen(benchmark::State &state)
{
    const double scale = double(state.range(0));
    LWApp app;
    VELKThemeRoot root([&app] { return new StartScreen(app); });
    root.resize(900, 600);
    root.show();
    QApplication::processEvents();
    const Memory memory;
    double ms = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 600; ++i) {
            root.resize(900 + i, 600 + (i * 2) / 3);
            QApplication::sendPostedEvents();
            QImage frame(root.size() * scale, QImage::Format_ARGB32_Premultiplied);
            frame.setDevicePixelRatio(scale);
            frame.fill(Qt::transparent);
            root.render(&frame, {}, {}, QWidget::DrawChildren | QWidget::DrawWindowBackground);
            benchmark::DoNotOptimize(frame.constBits());
        }
        ms = timer.nsecsElapsed() / 1e6 / 600;
    }
    state.counters["ms_per_frame"] = ms;
    memory.report(state);
}
BENCHMARK(BM_ResizeDragStartScreen)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

// A Letter page holding one half-transparent panel, at 600 DPI in the given number of bands.
static void BM_HalfTransparentPanel600Dpi(benchmark::State &state)
{
    const int bands = int(state.range(0));
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Panel"));
    LWElement panel = LWElement::makeShape(LWShapeKind::rectangle, {36, 36, 540, 720}, LWFill::solid(LWColor::hex(0x3C6E91)),
                                           LWStroke(LWColor::hex(0x1F3A5F), 6, 0), 16);
    panel.opacity = 0.5;
    doc.pages[0].elements.append(panel);
    const LWRect area = doc.trimRect();
    const int w = 5100, h = 6600;
    const Memory memory;
    for (auto _ : state) {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        LWRenderer::paintBands(image, bands, true, [&](QPainter &p) {
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(w / area.width(), h / area.height());
            p.translate(-area.minX(), -area.minY());
            LWRenderer::draw(doc.pages[0], doc, p);
        });
        benchmark::DoNotOptimize(image.constBits());
    }
    memory.report(state);
}
BENCHMARK(BM_HalfTransparentPanel600Dpi)->Arg(1)->Arg(8)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight 24-megapixel photos placed one after another on a Letter page, each read for its size,
// previewed and the design preflighted; then every one removed (the design is blank again).
static void BM_EightPhotosPlacedAndPreflighted(benchmark::State &state)
{
    (void)photos(); // encoded before measuring
    const Memory memory;
    double preflightMs = 0;
    for (auto _ : state) {
        LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Photos"));
        for (int i = 0; i < 8; ++i) {
            const LWElement e = placed(photos()[i], {36.0 + (i % 2) * 280, 36.0 + (i / 2) * 180, 260, 170});
            benchmark::DoNotOptimize(LWImageProperties::read(*e.image->data));
            benchmark::DoNotOptimize(LWImageCache::image(*e.image, true));
            doc.pages[0].elements.append(e);
            QElapsedTimer timer;
            timer.start();
            benchmark::DoNotOptimize(LWExport::preflight(doc));
            preflightMs += timer.nsecsElapsed() / 1e6;
        }
        doc.pages[0].elements.clear();
    }
    state.counters["preflight_ms"] = preflightMs / 8 / double(state.iterations());
    memory.report(state);
}
BENCHMARK(BM_EightPhotosPlacedAndPreflighted)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A Letter page of four 24-megapixel photos exported at 300 DPI: cold (no picture decoded yet)
// and warm (all four in the cache).
static void BM_FourPhotosExport(benchmark::State &state)
{
    const bool cold = state.range(0) != 0;
    (void)photos();
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Four"));
    const auto fill = [&] {
        doc.pages[0].elements.clear();
        for (int i = 0; i < 4; ++i)
            doc.pages[0].elements.append(placed(photos()[i], {36.0 + (i % 2) * 280, 36.0 + (i / 2) * 360, 260, 340}));
    };
    fill();
    if (!cold)
        benchmark::DoNotOptimize(LWRenderer::bitmap(doc, 0, LWRenderer::DPI{300}, false));
    const Memory memory;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            fill();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(LWRenderer::bitmap(doc, 0, LWRenderer::DPI{300}, false));
    }
    memory.report(state);
}
BENCHMARK(BM_FourPhotosExport)->Arg(1)->Arg(0)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir dir; // never the user's settings
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("bench.ini"))));
    LWFonts::registerBundled();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    LWThumbs::shared().shutdown();
    return 0;
}
