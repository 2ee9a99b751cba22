#include "editor/editor_fixture.h"
#include "render/text/fonts.h"
#include "render/text/textlayout.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturequeue.h"
#include "support/imagediff.h"
#include "support/samplepages.h"
#include "support/testpictures.h"
#include "support/waitfor.h"
#include "ui/canvas/canvasarea.h"

#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <random>

namespace {

class CanvasAreaTest : public EditorTest {
protected:
    std::unique_ptr<LWEditor> ed = make(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
};

QColor colourAt(const PageCanvas::Bitmap &b, QPointF view)
{
    const double d = b.image.width() / b.rect.width();
    return b.image.pixelColor(((view - b.rect.topLeft()) * d).toPoint());
}

} // namespace

TEST_F(CanvasAreaTest, FitsThePageWithMarginsAndScrollsWhenZoomed)
{
    EXPECT_NEAR(CanvasArea::fit({1000, 700}, ed->doc()), 930.0 / 270, 1e-12);
    EXPECT_EQ(CanvasArea::fit({60, 60}, ed->doc()), 0.05);

    CanvasArea area(*ed);
    area.resize(1000, 700);
    area.show();
    EXPECT_NEAR(ed->fitScale(), 930.0 / 270, 1e-12);
    EXPECT_EQ(area.page()->geometry(), QRect(35, 71, 930, 558)); // centred

    QSignalSpy published(ed.get(), &LWEditor::fitScaleChanged);
    area.resize(1000, 720); // the height does not limit the fit here
    EXPECT_EQ(published.count(), 0);

    ed->setCanvasZoom(2);
    EXPECT_EQ(area.page()->geometry(), QRect(35, 35, 1860, 1116));
    QScrollBar *h = area.scrollArea()->horizontalScrollBar();
    EXPECT_GT(area.scrollArea()->verticalScrollBar()->maximum(), 0);
    h->setValue(300);
    ed->setCanvasZoom(2.5);
    EXPECT_EQ(h->value(), 300); // a zoom change keeps the scroll offset
}

TEST_F(CanvasAreaTest, MouseDragsAreOneStepAndDoubleClicksCloseTheirDrag)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = {rect("a", {100, 100, 100, 50})};
    auto editor = make(doc);
    PageCanvas page(*editor);
    page.setScale(1);
    page.show();
    const QPoint at = page.gestures().toView({150, 125}).toPoint();
    QTest::mousePress(&page, Qt::LeftButton, {}, at);
    QTest::mouseMove(&page, at + QPoint(20, 10));
    QTest::mouseRelease(&page, Qt::LeftButton, {}, at + QPoint(20, 10));
    EXPECT_EQ(editor->undoStack().size(), 1);
    EXPECT_EQ(editor->elements()[0].frame.origin(), QPointF(120, 110));
    EXPECT_EQ(page.gestures().drag(), std::nullopt);

    // press, release, double-click, release; and with a second press before the double-click.
    for (bool secondPress : {false, true}) {
        const QPoint p = page.gestures().toView({400, 600}).toPoint();
        QTest::mousePress(&page, Qt::LeftButton, {}, p);
        QTest::mouseRelease(&page, Qt::LeftButton, {}, p);
        if (secondPress)
            QTest::mousePress(&page, Qt::LeftButton, {}, p);
        QTest::mouseDClick(&page, Qt::LeftButton, {}, p);
        QTest::mouseRelease(&page, Qt::LeftButton, {}, p);
        EXPECT_EQ(page.gestures().drag(), std::nullopt) << secondPress;
    }
}

TEST_F(CanvasAreaTest, BitmapCoversTheVisiblePartAndIsKeptUntilTheDesignChanges)
{
    LWFonts::registerBundled();
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    doc.pages[0].background = LWFill::solid(LWColor::hex(0x336699));
    LWElement red = rect("red", {20, 20, 100, 60}), green = rect("green", {150, 20, 60, 60});
    red.fill = LWFill::solid(LWColor::hex(0xCC0000));
    green.fill = LWFill::solid(LWColor::hex(0x00AA00));
    doc.pages[0].elements = {red, green};
    auto editor = make(doc);
    editor->addText(QStringLiteral("Hello"), {30, 30}, 60);
    const QUuid text = editor->selection().first();
    editor->setSelection({});
    PageCanvas page(*editor);
    page.setScale(2);
    const QRectF all(QPointF(), QSizeF(page.size()));

    editor->setEditingTextID(text); // the edited text is not drawn: the red shape shows through
    const PageCanvas::Bitmap &b = page.bitmapFor(all, 1);
    const QRectF textBox = editor->element(text)->frame.toQRectF();
    int reddish = 0, dark = 0;
    for (double x = textBox.left() + 1; x < textBox.right(); x += 1)
        for (double y = textBox.top() + 1; y < textBox.bottom(); y += 1) {
            const QColor c = colourAt(b, page.gestures().toView({x, y}));
            reddish += c.red() > 150 && c.green() < 60;
            dark += c.lightness() < 60;
        }
    EXPECT_GT(reddish, 0);
    EXPECT_EQ(dark, 0);
    EXPECT_EQ(colourAt(b, page.gestures().toView({180, 50})), QColor(0x00AA00)); // others drawn
    EXPECT_EQ(colourAt(b, page.gestures().toView({-4, -4})), QColor(0x336699));  // the bleed

    // Kept across a selection change; a design change draws anew.
    const int renders = page.renderCount();
    editor->setSelection({red.id});
    page.bitmapFor(all, 1);
    EXPECT_EQ(page.renderCount(), renders);
    editor->nudge(1, 0);
    page.bitmapFor(all, 1);
    EXPECT_EQ(page.renderCount(), renders + 1);

    page.setRender([](int, int, const std::function<void(QPainter &)> &) { return std::nullopt; });
    editor->nudge(1, 0);
    EXPECT_TRUE(page.bitmapFor(all, 1).image.isNull());
    QImage grab(page.size(), QImage::Format_ARGB32);
    page.render(&grab);
    EXPECT_EQ(grab.pixelColor(grab.width() / 2, grab.height() / 2), QColor(Qt::white));
}

TEST_F(CanvasAreaTest, BitmapHasOnePixelPerDevicePixelWithinItsBudget)
{
    auto editor = make(LWDocument::blank(LWSizePreset::tabloid, std::nullopt));
    PageCanvas page(*editor);
    page.setScale(8);
    const PageCanvas::Bitmap &b = page.bitmapFor(QRectF(4000, 5000, 1000, 700), 2);
    EXPECT_EQ(b.image.width(), qRound(b.rect.width() * 2));
    EXPECT_TRUE(b.rect.contains(QRectF(4000, 5000, 1000, 700)));
    EXPECT_LE(qint64(b.image.width()) * b.image.height(), PageCanvas::maxPixels);
    const PageCanvas::Bitmap &big = page.bitmapFor(QRectF(3000, 5000, 3000, 2000), 2);
    EXPECT_LE(qint64(big.image.width()) * big.image.height(), PageCanvas::maxPixels);
    EXPECT_TRUE(big.rect.contains(QRectF(3000, 5000, 3000, 2000)));
    // The visible part smaller again (the window made smaller, or a paint that knew no visible
    // part): drawn anew at one pixel per device pixel, not served by the thinner bitmap.
    const PageCanvas::Bitmap &again = page.bitmapFor(QRectF(4000, 5000, 1000, 700), 2);
    EXPECT_EQ(again.image.width(), qRound(again.rect.width() * 2));
}

// The kept bitmap, repainted only where a change left ink, equals a bitmap drawn whole.
TEST_F(CanvasAreaTest, AChangeRepaintsItsPartAsTheWholeWouldDraw)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    LWElement under = rect("under", {20, 20, 80, 60});
    LWElement ring = LWElement::makeShape(LWShapeKind::ellipse, {60, 40, 50, 50}, LWFill::solid(LWColor(0.8, 0.1, 0.1)),
                                          LWStroke(LWColor(0, 0.4, 0.9), 3.5));
    ring.rotation = 17;
    ring.opacity = 0.6;
    LWElement over = rect("over", {90.3, 55.7, 40, 25});
    // Stacked accents rise far above the ascent; a turned, bottom-aligned text runs out of its box.
    LWElement tall = LWElement::makeText(LWText(QStringLiteral("ẨM Ự"), QStringLiteral("Gelasio-Regular"), 30,
                                                LWColor::hex(0x553311)),
                                         {120, 40, 110, 20});
    LWText low(QStringLiteral("Ǻ ƒy"), QStringLiteral("Bitter-Black"), 26, LWColor::black);
    low.vAlign = LWVAlign::bottom;
    LWElement turned = LWElement::makeText(low, {150, 95, 90, 10});
    turned.rotation = 11;
    doc.pages[0].elements = {under, ring, over, tall, turned};
    const struct {
        const char *what;
        std::function<void(LWEditor &)> before, act; // `before` runs before the bitmap is kept
        int renders = 1;
    } cases[] = {
        {"nudge", {}, [&](LWEditor &e) { e.setSelection({ring.id}); e.nudge(1.3, -0.7); }},
        {"hide", {}, [&](LWEditor &e) { e.setHidden(true, {ring.id}); }},
        {"delete", {}, [&](LWEditor &e) { e.setSelection({over.id}); e.deleteSelection(); }},
        {"undo of a delete", [&](LWEditor &e) { e.setSelection({ring.id}); e.deleteSelection(); },
         [&](LWEditor &e) { e.undo(); }},
        {"add", {}, [&](LWEditor &e) { e.add(rect("new", {30.5, 70.2, 20, 20}).duplicated()); }},
        {"restack (drawn whole)", {}, [&](LWEditor &e) { e.setSelection({under.id}); e.arrange(LWArrange::front); }},
        {"nudge a text", {}, [&](LWEditor &e) { e.setSelection({tall.id}); e.nudge(-2.6, 7.3); }},
        {"nudge a turned text", {}, [&](LWEditor &e) { e.setSelection({turned.id}); e.nudge(0, -9.1); }},
        {"retype a text", {}, [&](LWEditor &e) { e.setText(tall.id, QStringLiteral("Ỷ Ḝ")); }},
        // A group draws its members as they were drawn: nothing to draw anew.
        {"group", {}, [&](LWEditor &e) { e.setSelection({ring.id, over.id}); e.group(); }, 0},
        {"ungroup", [&](LWEditor &e) { e.setSelection({ring.id, over.id}); e.group(); },
         [&](LWEditor &e) { e.ungroup(); }, 0},
        {"a group made half transparent",
         [&](LWEditor &e) { e.setSelection({under.id, ring.id}); e.group(); },
         [&](LWEditor &e) {
             const QUuid group = e.selection().value(0);
             e.change(QStringLiteral("Opacity"), std::nullopt, [&](LWDocument &d) {
                 for (LWElement &g : d.pages[0].elements)
                     if (g.id == group)
                         g.opacity = 0.5;
             });
         }},
    };
    for (const auto &c : cases) {
        auto editor = make(doc);
        if (c.before)
            c.before(*editor);
        PageCanvas page(*editor);
        page.setScale(2.37);
        const QRectF all(QPointF(), QSizeF(page.size()));
        page.bitmapFor(all, 1.5);
        const int renders = page.renderCount();
        c.act(*editor);
        const QImage kept = page.bitmapFor(all, 1.5).image;
        EXPECT_EQ(page.renderCount(), renders + c.renders) << c.what;

        PageCanvas fresh(*editor);
        fresh.setScale(2.37);
        const QImage whole = fresh.bitmapFor(all, 1.5).image;
        ASSERT_EQ(kept.size(), whole.size()) << c.what;
        EXPECT_TRUE(kept == whole) << c.what;
    }
}

// A small item dragged next to, over and off an accent that rises far above its text's ascent
// (Gelasio's "Ẩ") leaves the kept bitmap, repainted only around the item, as a fresh whole render
// draws it; at scale 3 the whole bitmap is drawn in bands too.
TEST_F(CanvasAreaTest, DraggingAnItemOverATallAccentLeavesTheAccentWhole)
{
    LWFonts::registerBundled();
    const LWText heading(QStringLiteral("ẨM"), QStringLiteral("Gelasio-Regular"), 72, LWColor::black);
    const QPointF origin(100, 300);
    const LWTextLayout::Layout layout = LWTextLayout::layout(heading, 200);
    ASSERT_FALSE(layout.glyphRects.isEmpty());
    const QRectF ink = layout.glyphRects[0].translated(origin); // the accent is its top
    const double above = ink.top(), ascent = origin.y(); // the accent lies between the two
    ASSERT_LT(above, ascent - 0.3 * 72);
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    LWElement dot = rect("dot", {ink.left() - 14, above + 3, 6, 4});
    dot.fill = LWFill::solid(LWColor::hex(0x2266AA));
    doc.pages[0].elements = {LWElement::makeText(heading, {origin.x(), origin.y(), 200, 100}), dot};
    // Page points the item's centre goes through: over the accent, off it above, next to it.
    const QList<QPointF> path{{ink.left() + 18, above + 5}, {ink.left() + 26, above + 2}, {ink.left() + 26, above - 9},
                              {ink.left() + 60, above + 8}, {ink.left() - 9, above + 12}};
    for (const double scale : {1.0, 3.0}) {
        auto editor = make(doc);
        PageCanvas page(*editor);
        page.setScale(scale);
        page.show();
        const QRectF all(QPointF(), QSizeF(page.size()));
        page.bitmapFor(all, 1);
        const QPoint start = page.gestures().toView(editor->elements()[1].frame.toQRectF().center()).toPoint();
        QTest::mousePress(&page, Qt::LeftButton, {}, start);
        QPoint at = start;
        for (const QPointF &to : path) {
            at = start + (page.gestures().toView(to) - page.gestures().toView(dot.frame.toQRectF().center())).toPoint();
            QTest::mouseMove(&page, at);
            const int renders = page.renderCount();
            const QImage kept = page.bitmapFor(all, 1).image;
            ASSERT_EQ(page.renderCount(), renders + 1);
            PageCanvas fresh(*editor);
            fresh.setScale(scale);
            const QImage whole = fresh.bitmapFor(all, 1).image;
            ASSERT_EQ(kept.size(), whole.size());
            // Outlines cut to the repainted part may round an edge pixel a few levels apart; a
            // part of the accent left out differs by far more.
            EXPECT_LE(lwWorstDifference(kept, whole), 4) << scale << " at " << to.x() << ", " << to.y();
        }
        QTest::mouseRelease(&page, Qt::LeftButton, {}, at);
        EXPECT_EQ(editor->undoStack().size(), 1);
    }
}

// A small item dragged to random places over turned photos drawn from preview steps nearly twice
// their size: each part of the kept bitmap drawn again, and those drawn again as the photos came,
// join the rest as a fresh whole render draws them (an edge taken from inside is tens of levels off).
TEST_F(CanvasAreaTest, PartsDrawnAgainOverTurnedPhotosMatchTheWholePage)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    LWElement edged = LWElement::makePhoto({60, 80, 325, 195});
    LWElement oval = LWElement::makePhoto({250, 330, 169, 113});
    edged.image->data = LWSamplePages::encoded(LWSamplePages::redEdged(1400, 840));
    oval.image->data = LWSamplePages::encoded(LWSamplePages::smooth(1200, 800));
    edged.rotation = 3, oval.rotation = -20, oval.image->mask = LWMask::ellipse;
    doc.pages[0].elements = {edged, oval, rect("dot", {20, 20, 14, 14})};
    auto editor = make(doc);
    PageCanvas page(*editor);
    page.setScale(0.8); // 260 and 135 pixels wide: steps of 512 and 256
    page.show();
    const QRectF all(QPointF(), QSizeF(page.size()));
    const auto offWhole = [&] {
        PageCanvas fresh(*editor);
        fresh.setScale(0.8);
        return lwWorstDifference(page.bitmapFor(all, 1).image, fresh.bitmapFor(all, 1).image);
    };
    const QPoint middle = page.gestures().toView(edged.frame.toQRectF().center()).toPoint();
    ASSERT_TRUE(waitFor([&] {
        return colourAt(page.bitmapFor(all, 1), middle).blue() > 200 && LWPictureQueue::shared().busy() == 0;
    }));
    QTest::qWait(100); // the last steps that came are drawn
    EXPECT_LE(offWhole(), 3) << "as the photos came";
    std::mt19937 random(145);
    std::uniform_real_distribution<double> x(40, 440), y(60, 460);
    QTest::mousePress(&page, Qt::LeftButton, {}, page.gestures().toView({27, 27}).toPoint());
    for (int i = 0; i < 40; ++i) {
        QTest::mouseMove(&page, page.gestures().toView({x(random), y(random)}).toPoint());
        EXPECT_LE(offWhole(), 3) << "move " << i;
    }
    EXPECT_NE(editor->elements()[2].frame, doc.pages[0].elements[2].frame) << "dragged";
}

// Twelve photos drawn large together do not fit the preview table at their steps, and are drawn
// smaller; the visible part then narrowed to the first one (a smaller window): that photo is asked
// at the larger step the room left to it allows, and decoded.
TEST_F(CanvasAreaTest, APhotoLeftAloneInViewTakesTheLargerStepItsRoomAllows)
{
    const LWImageCache::Budget was = LWImageCache::setBudget({LWImageCache::Budget().full, qint64(3) << 20});
    const auto restore = qScopeGuard([&] { (void)LWImageCache::setBudget(was); });
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    for (int i = 0; i < 12; ++i) {
        LWElement e = LWElement::makePhoto({(i % 4) * 150.0, (i / 4) * 110.0, 150, 110});
        const QImage photo = LWTestPictures::stripedPhoto(1600, 1200, QColor::fromHsv(i * 30, 200, 200));
        e.image->data = LWTestPictures::encode(photo, "jpeg", 90);
        doc.pages[0].elements << e;
    }
    auto editor = make(doc);
    PageCanvas page(*editor);
    page.setScale(8);
    const auto settled = [&](const QRectF &part) {
        (void)page.bitmapFor(part, 1);
        return LWPictureQueue::shared().busy() == 0;
    };
    const auto decoded = [] { return LWImageCache::stats().decodes; };
    ASSERT_TRUE(waitWhileComing("every photo drawn", [&] { return settled(QRectF(QPointF(), QSizeF(page.size()))); },
                                decoded));
    const qint64 decodes = LWImageCache::stats().decodes;
    const QRectF first(page.gestures().toView({10, 10}), QSizeF(400, 300));
    EXPECT_TRUE(waitWhileComing("the photo left in view decoded again",
                                [&] { return settled(first) && LWImageCache::stats().decodes > decodes; }, decoded));
}
