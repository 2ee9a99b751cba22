// The window never waits for a picture: a design of large photos opened in the main window draws
// at once (each photo a stand-in until its preview comes), the interface thread serves its events
// while the photos decode beside it, and the photos then show on the page. Edits made to a picture
// still decoding stay when it comes.
#include "app/app_fixture.h"
#include "editorwindow.h"
#include "app/sheets/preflightsheet.h"
#include "app/sheets/sheetpresenter.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/pictureclock.h"
#include "render/pictures/picturequeue.h"
#include "render/worker/decodeworkers.h"
#include "render/worker/sanitizers.h"
#include "shell/headerbar.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/slider.h"
#include "ui/inspector/inspector.h"
#include "ui/inspector/sections/imagesection.h"
#include "support/bigphotos.h"
#include "support/filedialogs.h"
#include "support/testpictures.h"
#include "support/waitfor.h"
#include "ui/canvas/canvastoolbar.h"
#include "ui/canvas/pagecanvas.h"
#include "ui/canvas/toolrail.h"
#include "kit/cabinet/chromeroundbutton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTimer>

namespace {

// A decode's wall clock for these tests: a worker waiting for a share of a loaded machine's
// cores is never cut short, so each outcome is the decoder's answer (its CPU time decides).
constexpr int patientWallMs = 600000;
// How long a test waits for what must come, against a hang only: on one core shared with other
// work, and under the sanitizers, decodes take many times as long as alone.
constexpr int comesMs = 300000;

// Turns of the interface thread's 10 ms timer taken while picture work ran beside it: the window
// served its events during the decodes, not only after them.
struct TurnsBeside {
    QTimer timer;
    int turns = 0;
    TurnsBeside()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (LWPictureQueue::shared().busy() > 0)
                ++turns;
        });
        timer.start(10);
    }
};

// Every thread of the picture queue held until the end of the scope or release(): no picture
// work runs, so the decodes come only when the test lets them.
struct QueueHeld {
    QSemaphore hold, holding;
    int held = 0;
    QueueHeld()
    {
        LWPictureQueue &queue = LWPictureQueue::shared();
        for (; held < queue.threads(); ++held)
            (void)queue.ask("hold " + QByteArray::number(held), INT_MAX, [this] {
                holding.release();
                hold.acquire();
            });
        holding.acquire(held);
    }
    void release() { hold.release(std::exchange(held, 0)); }
    ~QueueHeld() { release(); }
};

bool near(QColor got, QColor want, int tolerance = 40)
{
    return std::abs(got.red() - want.red()) <= tolerance && std::abs(got.green() - want.green()) <= tolerance &&
           std::abs(got.blue() - want.blue()) <= tolerance;
}

// The colour the page view shows at a page point.
QColor shownAt(const QImage &view, PageCanvas &page, QPointF at)
{
    return view.pixelColor((page.gestures().toView(at) * view.devicePixelRatio()).toPoint());
}

// A point of a frame, in fractions of it.
QPointF in(const LWRect &r, double fx, double fy) { return {r.x + fx * r.w, r.y + fy * r.h}; }

const QColor standInFill(0xEE, 0xF0, 0xEE);
const QColor placeholderSky(0xCF, 0xE3, 0xEA); // the top of the missing-picture art

class PictureWaits : public AppTest, protected EditorWindow {
protected:
    void TearDown() override
    {
        presenter.reset();
        window.reset();
        runPosted();
        LWPictureQueue::shared().drain();
        LWDecodeWorkers::setForTests({}, 0, 0);
        AppTest::TearDown();
    }

    static QString misbehaving()
    {
        return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() +
               QStringLiteral("/lw-misbehaving-decoder");
    }

    // The design saved and opened in the main window, which shows the editor.
    void openDesign(const LWDocument &doc)
    {
        if (app.editor())
            app.editor()->setDirty(false);
        ASSERT_TRUE(LWDocumentIO::save(doc, url(QStringLiteral("design.velkfolio"))).ok());
        app.open(url(QStringLiteral("design.velkfolio")));
        ASSERT_NE(app.editor(), nullptr);
        if (!window) {
            ASSERT_NO_FATAL_FAILURE(showWindow(app));
        }
        editorScreen = qobject_cast<EditorScreen *>(window->screen());
        ASSERT_NE(editorScreen, nullptr);
        page = editorScreen->canvas()->page();
    }

    // Through the header's button, presented as the program's window presents sheets.
    QPointer<PreflightSheet> openPrintCheck()
    {
        if (!presenter)
            presenter = std::make_unique<LWSheetPresenter>(app, window.get());
        window->headerBar()->preflightButton()->click();
        runPosted();
        return qobject_cast<PreflightSheet *>(presenter->dialog());
    }

    std::unique_ptr<LWSheetPresenter> presenter;
};

} // namespace

// Four distinct 12- to 20-megapixel HEIC photos on a letter flyer (each of four flat quarters):
// the view draws them while they decode, opened alone, with the print check opened at once, and
// beside a crafted picture whose decode runs into its time limit.
TEST_F(PictureWaits, PhotosDecodeBesideTheWindow)
{
    const QList<QSize> sizes = {{4096, 3072}, {4608, 3456}, {5120, 3840}, {4096, 3584}};
    QList<QByteArray> photos;
    for (const QSize s : sizes)
        photos << LWBigPhotos::heicGrid(s.width(), s.height(), 512);
    // The window first, on a blank card: what its making costs is not the pictures'.
    ASSERT_NO_FATAL_FAILURE(openDesign(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
    enum class Case { printCheck, view, crafted };
    for (const Case c : {Case::printCheck, Case::view, Case::crafted}) {
        SCOPED_TRACE(int(c));
        // The decoded pictures dropped, the view showing none: each round decodes them again
        // (what the print check learnt of them is kept, so it comes first).
        ASSERT_NO_FATAL_FAILURE(openDesign(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
        (void)page->grab();
        // A decode of the round before still running (a loaded machine) would be kept after the drop.
        ASSERT_TRUE(waitFor([] { return LWPictureQueue::shared().busy() == 0; }, comesMs));
        LWImageCache::setBudget(LWImageCache::setBudget({0, 0}));
        // CPU limits as the program sets them, the crafted picture's too (a small one: a fixed
        // second for all was less than a photo's decode under the sanitizers where system calls
        // are slow).
        LWDecodeWorkers::setForTests(c == Case::crafted ? misbehaving() : QString(), 0, patientWallMs);
        LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
        QList<LWElement> frames;
        for (int i = 0; i < photos.size(); ++i) {
            const QSize s = sizes[i];
            const LWRect at(40.0 + (i % 2) * 280, 40.0 + (i / 2) * 260, 240, 240.0 * s.height() / s.width());
            LWElement e = LWElement::makePhoto(at);
            e.image->data = photos[i];
            frames << e;
        }
        if (c == Case::crafted) {
            LWElement e = LWElement::makePhoto({40, 560, 200, 150});
            e.image->data = LWTestPictures::encode(LWTestPictures::plain(64, 64, Qt::darkCyan), "png") + "LWTEST loop";
            frames << e;
        }
        doc.pages[0].elements = frames;

        const qint64 before = LWImageCache::stats().decodes;
        TurnsBeside beside;
        ASSERT_NO_FATAL_FAILURE(openDesign(doc));
        QPointer<PreflightSheet> sheet;
        if (c == Case::printCheck) {
            ASSERT_TRUE(sheet = openPrintCheck());
            EXPECT_TRUE(LWExport::checking(sheet->issues())) << "the photos listed as being checked";
        }
        const auto photosShown = [&] {
            const QImage view = page->grab().toImage();
            for (int i = 0; i < sizes.size(); ++i)
                for (const double fx : {0.25, 0.75})
                    for (const double fy : {0.25, 0.75})
                        if (!near(shownAt(view, *page, in(frames[i].frame, fx, fy)), LWBigPhotos::quarterAt(fx, fy)))
                            return false;
            return true;
        };
        EXPECT_TRUE(waitFor(photosShown, comesMs)) << "the photos on the page";
        EXPECT_GE(LWImageCache::stats().decodes - before, sizes.size()) << "each photo decoded anew";
        if (c == Case::crafted) {
            EXPECT_TRUE(waitFor(
                [&] {
                    return near(shownAt(page->grab().toImage(), *page, in(frames.last().frame, 0.5, 0.03)),
                                placeholderSky, 16);
                },
                comesMs))
                << "the missing-picture art where the crafted picture failed";
        }
        if (sheet) {
            EXPECT_TRUE(waitFor([&] { return !LWExport::checking(sheet->issues()); }, comesMs));
            EXPECT_EQ(sheet->verdictLabel()->text(), QStringLiteral("Ready to print. Nothing to report."));
        }
        EXPECT_GT(beside.turns, 0) << "the interface thread served its timer while the photos decoded";
        if (sheet)
            sheet->accept();
        runPosted();
    }
}

// A picture edited through the window before its decode comes: each edit stays on it when the
// decode comes, and the page shows the picture where the edit left it.
TEST_F(PictureWaits, EditsMadeWhileAPictureDecodesStay)
{
    LWDecodeWorkers::setForTests({}, 0, patientWallMs);
    enum class Edit { move, crop, remove };
    for (const Edit edit : {Edit::move, Edit::crop, Edit::remove}) {
        SCOPED_TRACE(int(edit));
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement e = LWElement::makePhoto({20, 20, 80, 60});
        const QColor colour = QColor::fromHsv(40 + 100 * int(edit), 200, 200);
        e.image->data = LWTestPictures::encode(LWTestPictures::plain(64, 48, colour), "png");
        doc.pages[0].elements = {e};
        QueueHeld decodes; // until the edit is made
        ASSERT_NO_FATAL_FAILURE(openDesign(doc));
        LWEditor *ed = app.editor();
        ASSERT_TRUE(
            waitFor([&] { return near(shownAt(page->grab().toImage(), *page, in(e.frame, 0.1, 0.1)), standInFill, 6); }))
            << "the stand-in";

        // Selected by a click, then edited by keys and the inspector.
        const QPoint at = page->gestures().toView(in(e.frame, 0.5, 0.5)).toPoint();
        QTest::mouseClick(page, Qt::LeftButton, {}, at);
        ASSERT_EQ(ed->selection(), QList<QUuid>{e.id});
        switch (edit) {
        case Edit::move:
            for (int i = 0; i < 12; ++i)
                QTest::keyClick(page, Qt::Key_Right, Qt::ShiftModifier);
            break;
        case Edit::crop: { // the left crop slider clicked at its far end
            runPosted(); // the inspector shows the selection's sections
            ImageSection *section = nullptr;
            for (ImageSection *s : editorScreen->inspector()->findChildren<ImageSection *>())
                if (s->isVisible())
                    section = s;
            ASSERT_NE(section, nullptr);
            LWSlider *slider = section->cropSliders()[0]->slider();
            QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, slider->height() / 2));
            break;
        }
        case Edit::remove:
            QTest::keyClick(page, Qt::Key_Delete);
            break;
        }
        ASSERT_TRUE(LWImageCache::previewSoon(*e.image).pending) << "the edit came after the decode";
        const LWDocument edited = ed->doc();
        ASSERT_FALSE(edited == doc);

        decodes.release();
        ASSERT_TRUE(waitFor([&] { return !LWImageCache::previewSoon(*e.image).pending; }, comesMs));
        runPosted();
        EXPECT_TRUE(ed->doc() == edited) << "the edit stays";
        // What the page shows once the decode's answer reached the view.
        const auto shows = [&](QPointF at, QColor want) {
            const auto there = [&] { return near(shownAt(page->grab().toImage(), *page, at), want, 8); };
            return waitFor(there, comesMs);
        };
        switch (edit) {
        case Edit::move: { // the picture where it went, the page where it was
            const LWRect now = ed->doc().pages[0].elements.value(0).frame;
            ASSERT_GE(now.x - e.frame.x, e.frame.w);
            EXPECT_TRUE(shows(in(now, 0.5, 0.5), colour));
            EXPECT_TRUE(shows(in(e.frame, 0.5, 0.5), Qt::white));
            break;
        }
        case Edit::crop: // part of a plain picture: still its colour, no stand-in left
            EXPECT_GT(ed->doc().pages[0].elements.value(0).image->cropL, 0.3);
            EXPECT_TRUE(shows(in(e.frame, 0.1, 0.1), colour));
            break;
        case Edit::remove:
            EXPECT_TRUE(ed->doc().pages[0].elements.isEmpty());
            EXPECT_TRUE(shows(in(e.frame, 0.5, 0.5), Qt::white));
            break;
        }
        EXPECT_TRUE(ed->doc() == edited) << "the edit stays";
    }
}

// A picture placed through the tool rail shows at once as its frame with the busy sign, then as
// the picture.
TEST_F(PictureWaits, APlacedPictureShowsAtOnceThenComes)
{
    LWDecodeWorkers::setForTests({}, 0, patientWallMs);
    ASSERT_NO_FATAL_FAILURE(openDesign(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
    const QColor colour(30, 140, 200);
    const QString file = path(QStringLiteral("slow.png"));
    {
        QFile f(file);
        const QByteArray bytes = LWTestPictures::encode(LWTestPictures::plain(640, 480, colour), "png");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    chooseInFileDialog(file);
    QueueHeld decodes; // until the placed picture was seen waiting
    editorScreen->rail()->pictureButton()->click();
    LWEditor *ed = app.editor();
    ASSERT_TRUE(waitFor([&] { return !ed->elements().isEmpty(); }));
    const LWElement placed = ed->elements().first();
    const auto shown = [&] { return shownAt(page->grab().toImage(), *page, in(placed.frame, 0.25, 0.25)); };
    EXPECT_TRUE(near(shown(), standInFill, 6));
    ASSERT_TRUE(LWImageCache::previewSoon(*placed.image).pending);
    decodes.release();
    EXPECT_TRUE(waitFor([&] { return near(shown(), colour, 8); }, comesMs));
}

// Collages of distinct photos filling a 36 x 24 in poster, opened at fit under a preview table
// that holds two of them at their own size. Drawing settles and stays settled (the queue empty,
// nothing decoded or drawn again over further turns), each photo decoded at most twice, the
// table within its budget. Zoomed in on a photo, a sharper step comes while the smaller one shows,
// never the busy frame. A photo the machine could not decode shows the busy frame, not the
// missing-picture art, and is tried again once the pause has run out, not before.
TEST_F(PictureWaits, APageOfPhotosSettles)
{
    enum class Then { settles, zoomIn, pauseRunsOut };
    constexpr qint64 room = qint64(3) << 20, little = qint64(1) << 20;
    struct Row {
        int photos, columns;
        Then then;
        qint64 budget = room; // of the preview table
    };
    // With little room, the photos do not all fit at the step the view shows them at.
    const Row rows[] = {{12, 4, Then::settles}, {40, 8, Then::settles},       {100, 10, Then::settles},
                        {12, 4, Then::zoomIn},  {2, 2, Then::pauseRunsOut}, {12, 4, Then::settles, little},
                        {100, 10, Then::settles, little}};
    const LWImageCache::Budget was = LWImageCache::setBudget({LWImageCache::Budget().full, room});
    const auto restore = qScopeGuard([&] { LWImageCache::setBudget(was); });
    int made = 0; // every photo its own bytes
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.photos) + " photos, then " + std::to_string(int(row.then)) + ", " +
                     std::to_string(row.budget) + " bytes");
        // A worker still running at three times its wall clock, as if starved: the machine's passing want.
        const bool pause = row.then == Then::pauseRunsOut;
        LWDecodeWorkers::setForTests(pause ? misbehaving() : QString(), pause ? 60 : 0, pause ? 300 : 0);
        LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
        doc.width = 2592, doc.height = 1728;
        const int lines = (row.photos + row.columns - 1) / row.columns;
        const double h = std::min(doc.height / lines, doc.width / row.columns * 0.75), w = h * 4 / 3;
        QList<QColor> colours;
        for (int i = 0; i < row.photos; ++i, ++made) {
            LWElement e = LWElement::makePhoto({(i % row.columns) * w, (i / row.columns) * h, w, h});
            colours << QColor::fromHsv(made * 37 % 360, 200, 150 + made % 60);
            e.image->data = LWTestPictures::encode(LWTestPictures::stripedPhoto(640, 480, colours.last()), "jpeg", 90) +
                            (pause ? QByteArray("LWTEST slow") : QByteArray());
            doc.pages[0].elements << e;
        }
        const qint64 before = LWImageCache::stats().decodes;
        // The table holds only this row's photos: what the last one showed goes first.
        ASSERT_NO_FATAL_FAILURE(openDesign(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
        (void)page->grab();
        LWImageCache::setBudget({LWImageCache::Budget().full, 0});
        LWImageCache::setBudget({LWImageCache::Budget().full, row.budget});
        std::optional<QueueHeld> held; // the photos come once the view has listed them
        if (!pause)
            held.emplace();
        ASSERT_NO_FATAL_FAILURE(openDesign(doc));
        const auto at = [&](int i, double fx, double fy) { return in(doc.pages[0].elements[i].frame, fx, fy); };
        int drawn = 0;
        if (held) { // a photo nudged there and back by keys meanwhile: its place drawn again twice
            (void)page->grab();
            QTest::mouseClick(page, Qt::LeftButton, {}, page->gestures().toView(at(0, 0.5, 0.5)).toPoint());
            for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
                QTest::keyClick(page, key);
                (void)page->grab();
            }
            EXPECT_EQ(app.editor()->doc().pages[0].elements, doc.pages[0].elements);
            drawn = page->renderCount();
            held->release();
        }
        const auto shown = [&](QColor want) {
            const QImage view = page->grab().toImage();
            for (int i = 0; i < row.photos; ++i)
                if (!near(shownAt(view, *page, at(i, 0.75, 0.5)), want.isValid() ? want : colours[i], want.isValid() ? 3 : 24))
                    return false;
            return true;
        };
        const auto settled = [&] { return shown({}) && LWPictureQueue::shared().busy() == 0; };

        if (row.then == Then::pauseRunsOut) {
            ASSERT_TRUE(waitFor([&] { return LWImageCache::stats().decodes > before && LWPictureQueue::shared().busy() == 0; }));
            LWDecodeWorkers::setForTests({}, 0, 0);
            QTest::qWait(300);
            EXPECT_TRUE(shown(standInFill)) << "the busy frame during the pause, not tried before its end";
            LWPictureClock::advanceForTests(std::chrono::seconds(31));
            EXPECT_TRUE(waitFor(settled, comesMs)) << "tried again once the pause ran out";
            continue;
        }
        ASSERT_TRUE(waitFor(settled, comesMs)) << "every photo drawn";
        QTest::qWait(100); // the last steps that came are drawn
        const qint64 decoded = LWImageCache::stats().decodes - before;
        EXPECT_LE(decoded, 2 * row.photos);
        const int renders = page->renderCount();
        // The view lists each waiting place once, however many parts it drew that cross it: each
        // place drawn once for each step of its photo that came (the nudged photo has two places).
        if (held)
            EXPECT_LE(renders - drawn, decoded + 2) << "places drawn again";
        for (int turn = 0; turn < 10; ++turn) {
            QTest::qWait(20);
            EXPECT_EQ(LWPictureQueue::shared().busy(), 0);
        }
        EXPECT_EQ(page->renderCount(), renders) << "nothing drawn again";
        EXPECT_EQ(LWImageCache::stats().decodes - before, decoded) << "nothing decoded again";
        EXPECT_LE(LWImageCache::stats().previewBytes, row.budget);
        // Not all fit at their view's step: all at the largest step that fits, not smaller (a
        // step larger takes four times the bytes).
        if (row.budget == little)
            EXPECT_GT(LWImageCache::stats().previewBytes * 4, row.budget) << "one step smaller, not more";
        if (row.then != Then::zoomIn)
            continue;

        // The first photo's stripes, zoomed in by the toolbar's button as far as it goes.
        QAbstractButton *zoomIn = nullptr;
        for (QAbstractButton *b : editorScreen->toolbar()->findChildren<QAbstractButton *>())
            if (b->toolTip().startsWith(QStringLiteral("Zoom in")))
                zoomIn = b;
        ASSERT_NE(zoomIn, nullptr);
        for (int i = 0; i < 10; ++i)
            zoomIn->click();
        ASSERT_EQ(app.editor()->canvasZoom(), 8);
        const QRect zoomed = QRect(page->gestures().toView(at(0, 0.02, 0.3)).toPoint(), QSize(1, 1))
                                 .united(QRect(page->gestures().toView(at(0, 0.2, 0.3)).toPoint(), QSize(1, 1)));
        bool busyFrame = false, sharp = false;
        QElapsedTimer clock;
        clock.start();
        while (!sharp && clock.elapsed() < comesMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const QImage strip = page->grab(zoomed).toImage();
            int lightest = 0, darkest = 255;
            for (int x = 0; x < strip.width(); ++x) {
                const QColor c = strip.pixelColor(x, 0);
                busyFrame = busyFrame || c.rgb() == standInFill.rgb(); // the stripes' greys are neutral
                lightest = std::max(lightest, qGray(c.rgb())), darkest = std::min(darkest, qGray(c.rgb()));
            }
            sharp = lightest - darkest > 200;
        }
        EXPECT_TRUE(sharp) << "the stripes drawn from a sharper step";
        EXPECT_FALSE(busyFrame) << "the smaller step shown meanwhile";
        // The sharper step is asked for and decoded; on a machine so loaded that a decode came
        // back as its passing want, once that pause has run out.
        EXPECT_TRUE(waitFor(
            [&] {
                LWPictureClock::advanceForTests(std::chrono::seconds(31));
                return LWImageCache::stats().decodes - before > decoded;
            },
            comesMs));
    }
}
