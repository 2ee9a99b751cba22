// A letter flyer of six distinct 48-megapixel HEIC photos (grids of 512-pixel tiles) opened in the
// page view: the time until the last photo is drawn and the longest the interface thread went
// without running a 10 ms timer. "view" runs the page view as it is; "waiting" draws the view's
// bitmap as the page view did before it stopped waiting for pictures (previews decoded during the
// paint, on the interface thread). One mode per process, so that no picture is cached; run it
// under taskset for a number of cores (bench/picturewaits.sh). "save FILE" writes the flyer as a
// design file.
#include "editor/editor.h"
#include "model/file/documentio.h"
#include "render/renderer.h"
#include "support/bigphotos.h"
#include "ui/canvas/pagecanvas.h"
#include "widgetsapp.h"

#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

namespace {

LWDocument flyer()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    for (int i = 0; i < 6; ++i) {
        const int w = 8000 + 64 * i, h = 6000; // distinct bytes, so six decodes
        LWElement e = LWElement::makePhoto({36.0 + (i % 2) * 276, 36.0 + (i / 2) * 240, 264, 264.0 * h / w});
        e.image->data = LWBigPhotos::heicGrid(w, h, 512);
        doc.pages[0].elements.append(e);
    }
    return doc;
}

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 60;
}

bool allDrawn(const QImage &view, PageCanvas &page, const LWDocument &doc)
{
    for (const LWElement &e : doc.pages[0].elements)
        for (const double f : {0.25, 0.75}) {
            const QPointF at(e.frame.x + f * e.frame.w, e.frame.y + f * e.frame.h);
            if (!near(view.pixelColor(page.gestures().toView(at).toPoint()), LWBigPhotos::quarterAt(f, f)))
                return false;
        }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    LWWidgetsApp app(argc, argv);
    const bool waiting = argc > 1 && QByteArray(argv[1]) == "waiting";
    if (argc > 2 && QByteArray(argv[1]) == "save") // the flyer as a design file, to open in the program
        return LWDocumentIO::save(flyer(), QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2]))).ok() ? 0 : 1;

    LWEditor editor(flyer());
    PageCanvas page(editor);
    page.setScale(900.0 / (editor.doc().height + 2 * editor.doc().bleed));
    qint64 last = 0, worst = 0;
    QElapsedTimer clock;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    ticks.start();
    qint64 drawn = -1;
    if (waiting) {
        // The view's paint before: its bitmap with preview pictures, decoded as they are drawn.
        const LWDocument doc = editor.doc();
        const double s = page.scale();
        const std::optional<QImage> image =
            LWRenderer::bitmap(page.width(), page.height(), true, [&](QPainter &p) {
                p.scale(s, s);
                p.translate(doc.bleed, doc.bleed);
                LWRenderOptions options;
                options.preview = true;
                LWRenderer::draw(doc.pages[0], doc, p, options);
            });
        drawn = image ? clock.elapsed() : -1;
        worst = std::max(worst, drawn - last);
    } else {
        page.show();
        while (clock.elapsed() < 120000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (allDrawn(page.grab().toImage(), page, editor.doc())) {
                drawn = clock.elapsed();
                break;
            }
        }
    }
    std::printf("%s: last photo drawn after %lld ms, interface thread waited at most %lld ms\n",
                waiting ? "waiting" : "view", static_cast<long long>(drawn), static_cast<long long>(worst));
    return drawn >= 0 ? 0 : 1;
}
