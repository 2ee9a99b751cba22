// Photos of the sizes real cameras and phones make, placed through the picture chooser on a card:
// the page view, a 600-DPI PNG and the PDF each show the photo's own colours where it lies, and
// the process stays within the decode budget. The photos are made once per run (some seconds).
#include "app/app_fixture.h"
#include "editorwindow.h"
#include "render/export.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/renderer.h"
#include "shell/mainwindow.h"
#include "support/bigphotos.h"
#include "support/filedialogs.h"
#include "support/picturepages.h"
#include "support/waitfor.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/editorscreen.h"
#include "ui/canvas/pagecanvas.h"
#include "ui/canvas/toolrail.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "../render/pdfprobe.h"

#include <QTest>
#include <functional>
#include <malloc.h>

namespace {

qint64 statusBytes(const char *field) { return LWPicturePages::statusKB(field) * 1024; }

bool near(QColor got, QColor want, int tolerance)
{
    return std::abs(got.red() - want.red()) <= tolerance && std::abs(got.green() - want.green()) <= tolerance &&
           std::abs(got.blue() - want.blue()) <= tolerance;
}

std::string text(QColor c)
{
    return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue()).toStdString();
}

class RealPhotos : public AppTest, protected EditorWindow {
protected:
    void TearDown() override
    {
        window.reset();
        runPosted();
        AppTest::TearDown();
    }

    // The card, empty, in the main window.
    void open()
    {
        if (app.editor())
            app.editor()->setDirty(false);
        app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
        ed = app.editor();
        ASSERT_NO_FATAL_FAILURE(showWindow(app));
    }

    // Place Picture on the tool rail, the file chosen in the dialog; waits until it lands.
    void place(const QString &file)
    {
        chooseInFileDialog(file);
        editorScreen->rail()->pictureButton()->click();
        runPosted();
        ASSERT_TRUE(waitFor([&] { return !ed->elements().isEmpty(); }, 60000));
    }

    QPointer<LWEditor> ed;
};

struct Photo {
    const char *name;
    const char *file;
    std::function<QByteArray()> make;
    QSize size;
    QRectF crop;     // the part of the photo shown (left, top, width, height in fractions)
    int tolerance;   // lossy coding at its fastest moves a flat colour a little
    int tile = 0;    // a grid's tile size: its quarters fall on whole tiles
};

} // namespace

TEST_F(RealPhotos, DrawnExportedAndPrintedWithinTheBudget)
{
    const Photo photos[] = {
        {"AVIF, ordinary sequence header, 45 MP", "ordinary45.avif",
         [] { return LWBigPhotos::avifOrdinary(8256, 5504); }, {8256, 5504}, {0, 0, 1, 1}, 40},
        {"AVIF, reduced sequence header, 45 MP", "reduced45.avif", [] { return LWBigPhotos::avifReduced(8256, 5504); },
         {8256, 5504}, {0, 0, 1, 1}, 30},
        {"AVIF, ordinary sequence header, 72 MP", "ordinary72.avif",
         [] { return LWBigPhotos::avifOrdinary(10368, 6912); }, {10368, 6912}, {0, 0, 1, 1}, 40},
        {"AVIF, reduced sequence header, 72 MP", "reduced72.avif", [] { return LWBigPhotos::avifReduced(10368, 6912); },
         {10368, 6912}, {0, 0, 1, 1}, 30},
        {"HEIC of 512-pixel tiles, 48 MP", "grid48.heic", [] { return LWBigPhotos::heicGrid(8000, 6000, 512); },
         {8000, 6000}, {0, 0, 1, 1}, 30, 512},
        {"baseline JPEG, 200 MP", "phone200.jpg", [] { return LWBigPhotos::jpeg(16320, 12240); }, {16320, 12240},
         {0, 0, 1, 1}, 30},
        // Across the middle of the top edge of the quarters: two colours in 2 % of the photo.
        {"JPEG of 150 MP cropped to 2 % x 2 %", "cropped150.jpg", [] { return LWBigPhotos::jpeg(15000, 10000); },
         {15000, 10000}, {0.49, 0.24, 0.02, 0.02}, 30},
    };
    const qint64 budget = LWDecodeBudget::limit();
    for (const Photo &photo : photos) {
        SCOPED_TRACE(photo.name);
        const QString file = path(QLatin1String(photo.file));
        {
            const QByteArray bytes = photo.make();
            ASSERT_FALSE(bytes.isEmpty());
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        malloc_trim(0);
        ASSERT_TRUE(LWPicturePages::resetPeak());
        const qint64 base = statusBytes("VmRSS:");
        LWDecodeBudget::resetPeak();

        open();
        place(file);
        const QUuid id = ed->elements().first().id;
        if (photo.crop != QRectF(0, 0, 1, 1)) {
            // The sliders stop at 45 % a side; a design file may carry any crop.
            ASSERT_TRUE(ed->updateElements({id}, QStringLiteral("Crop"), std::nullopt, [&](LWElement &e) {
                e.image->cropL = photo.crop.left(), e.image->cropT = photo.crop.top();
                e.image->cropR = 1 - photo.crop.right(), e.image->cropB = 1 - photo.crop.bottom();
            }));
        }
        const LWDocument doc = ed->doc();
        const LWElement &e = doc.pages[0].elements.first();
        ASSERT_EQ(LWImageCache::pixelSize(*e.image), QSizeF(photo.size));
        const std::optional<LWRenderer::PicturePlace> place = LWRenderer::placePicture(e, QSizeF(photo.size));
        ASSERT_TRUE(place);

        // Points of the photo inside what the frame shows: page points and the colour there.
        struct Point {
            QPointF at;
            QColor colour;
        };
        QList<Point> points;
        const QRectF shown = place->target.intersected(e.frame.toQRectF());
        for (double fx : {0.2, 0.4, 0.6, 0.8})
            for (double fy : {0.2, 0.4, 0.6, 0.8}) {
                const QPointF at(shown.left() + fx * shown.width(), shown.top() + fy * shown.height());
                const double px = (at.x() - place->whole.left()) / place->whole.width();
                const double py = (at.y() - place->whole.top()) / place->whole.height();
                // Away from the quarters' edges, where smoothing mixes them.
                if (std::abs(px - 0.5) * place->whole.width() < 3 || std::abs(py - 0.5) * place->whole.height() < 3)
                    continue;
                points.append({at, photo.tile ? LWBigPhotos::gridQuarterAt(px, py, photo.size, photo.tile)
                                              : LWBigPhotos::quarterAt(px, py)});
            }
        ASSERT_GE(points.size(), 8);
        QSet<QRgb> seen;
        for (const Point &p : points)
            seen.insert(p.colour.rgb());
        EXPECT_GE(seen.size(), 2); // the part shown is where it should be

        // The page view.
        ASSERT_TRUE(waitFor(
            [&] {
                const QImage view = page->grab().toImage();
                for (const Point &p : points)
                    if (!near(view.pixelColor(page->gestures().toView(p.at).toPoint() * view.devicePixelRatio()),
                              p.colour, photo.tolerance))
                        return false;
                return true;
            },
            20000))
            << "the page view";

        // PNG at 600 DPI.
        const QString png = path(QStringLiteral("card.png"));
        ASSERT_EQ(LWExport::writeRaster(doc, 0, 600, false, LWExport::RasterType::png, 0.92, png), QString());
        const QImage written(png);
        ASSERT_FALSE(written.isNull());
        const LWRect trim = doc.trimRect();
        for (const Point &p : points) {
            const QPoint px(int((p.at.x() - trim.minX()) * 600 / 72), int((p.at.y() - trim.minY()) * 600 / 72));
            EXPECT_TRUE(near(written.pixelColor(px), p.colour, photo.tolerance))
                << "PNG at " << px.x() << ", " << px.y() << ": " << text(written.pixelColor(px)) << " for "
                << text(p.colour);
        }

        // The PDF, drawn back by poppler.
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0}, false);
        ASSERT_TRUE(pdf);
        const QImage printed = pdfprobe::poppler(*pdf, 1, 144);
        ASSERT_FALSE(printed.isNull());
        for (const Point &p : points) {
            const QPoint px(int((p.at.x() - trim.minX()) * 2), int((p.at.y() - trim.minY()) * 2));
            EXPECT_TRUE(near(printed.pixelColor(px), p.colour, photo.tolerance))
                << "PDF at " << px.x() << ", " << px.y() << ": " << text(printed.pixelColor(px)) << " for "
                << text(p.colour);
        }

        EXPECT_LE(LWDecodeBudget::peak(), budget);
        // Reserved for what such a photo takes, not for what its headers might allow.
        EXPECT_LE(LWDecodeBudget::peak(), qint64(photo.size.width()) * photo.size.height() * 12)
            << "reserved " << (LWDecodeBudget::peak() >> 20) << " MB";
        // The page's own bitmaps and the encoded file come on top of the decodes.
        EXPECT_LE(statusBytes("VmHWM:") - base, budget + (qint64(400) << 20))
            << "peak " << ((statusBytes("VmHWM:") - base) >> 20) << " MB";
        window.reset();
        runPosted();
        QFile::remove(file);
    }
}
