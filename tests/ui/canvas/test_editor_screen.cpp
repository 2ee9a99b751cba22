#include "app/app.h"
#include "kit/controls/popover.h"
#include "kit/zoom/zoomhost.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/canvastoolbar.h"
#include "ui/canvas/toolrail.h"
#include "ui/inspector/inspector.h"
#include "ui/canvas/editorkeys.h"
#include "ui/canvas/editorscreen.h"
#include "ui/canvas/layerspanel.h"
#include "ui/canvas/pagecanvas.h"
#include "screen_fixture.h"

#include "kit/cabinet/chromeroundbutton.h"
#include "model/geometry.h"
#include "render/raster/rastercut.h"
#include "support/outlinecover.h"
#include "support/samplepages.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

// The editor screen of a Letter design in a zoom host, its window active, the first of its items
// selected.
class ScreenTest : public ScreenFixture {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        openDesign(letter({rect("a", {100, 100, 50, 50}),
                           LWElement::makeText(LWText(QStringLiteral("Hi"), QStringLiteral("Georgia"), 12, LWColor::black),
                                               {100, 300, 100, 20}),
                           LWElement::makeText(LWText(QStringLiteral("Yo"), QStringLiteral("Georgia"), 12, LWColor::black),
                                               {100, 400, 100, 20})}));
        ed->setSelection({ed->elements()[0].id});
        showScreen({1500, 940});
        QApplication::setActiveWindow(host.get());
    }
    // A key pressed as the window delivers it: to the application's focus widget, else the host.
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : host.get();
        QTest::keyClick(to, Qt::Key(key), mods);
    }
    double x() const { return ed->elements()[0].frame.x; }
};

} // namespace

TEST_F(ScreenTest, LayoutGivesTheCanvasWhatThePanelsLeave)
{
    const int panels = screen->rail()->width() + screen->layers()->width() + screen->inspector()->width();
    EXPECT_EQ(screen->canvas()->width(), screen->width() - panels); // the panels' shadows are the gaps
}

TEST_F(ScreenTest, KeysActOnceAndOnlyWhenNothingElseHasThem)
{
    // Once per press: Shift is the big step, Alt the plain one, Ctrl and Meta are not arrows' keys.
    for (auto [mods, want] : {std::pair{Qt::KeyboardModifiers(), 99.0}, {Qt::ShiftModifier, 89.0},
                              {Qt::AltModifier, 88.0}, {Qt::ControlModifier, 88.0}, {Qt::MetaModifier, 88.0}}) {
        press(Qt::Key_Left, mods);
        EXPECT_EQ(x(), want) << int(mods);
    }

    // Nothing with a text field focused, a sheet set, a popover open or another window active.
    auto *field = new QLineEdit(screen);
    field->show();
    field->setFocus();
    press(Qt::Key_Left);
    delete field;
    app.setSheet(LWAppSheet::exportSheet);
    QTest::keyClick(host.get(), Qt::Key_Left);
    app.setSheet(std::nullopt);
    VKPopover popover(new QLabel(QStringLiteral("x")), screen);
    popover.open(screen->toolbar());
    QTest::keyClick(host.get(), Qt::Key_Left);
    popover.close();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QTest::keyClick(host.get(), Qt::Key_Left);
    QApplication::setActiveWindow(host.get());
    EXPECT_EQ(x(), 88);

    press(Qt::Key_Delete);
    EXPECT_EQ(ed->elements().size(), 2);
}

TEST_F(ScreenTest, EscapeReturnAndToolLetters)
{
    ed->setTool(LWTool::text);
    press(Qt::Key_Escape);
    EXPECT_EQ(ed->tool(), LWTool::select);
    EXPECT_EQ(ed->selection().size(), 1);
    press(Qt::Key_Escape);
    EXPECT_TRUE(ed->selection().isEmpty());

    EditorKeys &keys = *screen->keys();
    auto returnKey = [&] {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        return keys.handle(e);
    };
    // Return edits one selected text box, nothing else.
    const QUuid hi = ed->elements()[1].id, yo = ed->elements()[2].id;
    for (const QList<QUuid> &selection : {QList<QUuid>{}, {ed->elements()[0].id}, {hi, yo}}) {
        ed->setSelection(selection);
        EXPECT_FALSE(returnKey());
    }
    ed->setSelection({hi});
    EXPECT_TRUE(returnKey());
    EXPECT_EQ(ed->editingTextID(), hi);
    ed->setEditingTextID(std::nullopt);

    press(Qt::Key_R);
    EXPECT_EQ(ed->tool(), LWTool::rectangle);
    press(Qt::Key_V, Qt::ShiftModifier);
    EXPECT_EQ(ed->tool(), LWTool::select);
    QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    EXPECT_FALSE(keys.handle(x));
}

TEST_F(ScreenTest, TypingReplacesSampleWordsAndAddsToOthers)
{
    PageCanvas *page = screen->canvas()->page();
    LWDocument doc = ed->doc();
    doc.pages[0].elements[2].text->placeholder = true; // "Yo" is a template's sample text
    ed->setDoc(doc);
    const QUuid hi = ed->elements()[1].id, yo = ed->elements()[2].id;
    auto at = [&](QPointF p) { return page->gestures().toView(p).toPoint(); };
    enum class Start { toolClick, toolDrag, returnKey, doubleClick };
    struct Row {
        Start start;
        QUuid on; // the text opened; none: the text tool makes one
        QString keys, want;
    };
    const QList<Row> rows{{Start::toolClick, {}, "Hello", "Hello"},  {Start::toolDrag, {}, "Hello", "Hello"},
                          {Start::returnKey, hi, "!", "Hi!"},        {Start::doubleClick, hi, "!", "Hi!"},
                          {Start::returnKey, yo, "New", "New"},      {Start::doubleClick, yo, "New", "New"}};
    for (const Row &row : rows) {
        SCOPED_TRACE(int(row.start));
        ed->setEditingTextID(std::nullopt);
        ed->setDoc(doc);
        ed->setSelection(row.on.isNull() ? QList<QUuid>{} : QList<QUuid>{row.on});
        const QPoint middle = row.on.isNull() ? at({300, 600}) : at(ed->element(row.on)->frame.center());
        switch (row.start) {
        case Start::toolClick:
            ed->setTool(LWTool::text);
            QTest::mouseClick(page, Qt::LeftButton, {}, middle);
            break;
        case Start::toolDrag:
            ed->setTool(LWTool::text);
            QTest::mousePress(page, Qt::LeftButton, {}, middle);
            QTest::mouseMove(page, middle + QPoint(150, 40));
            QTest::mouseRelease(page, Qt::LeftButton, {}, middle + QPoint(150, 40));
            break;
        case Start::returnKey:
            press(Qt::Key_Return);
            break;
        case Start::doubleClick:
            QTest::mouseClick(page, Qt::LeftButton, {}, middle);
            QTest::mouseDClick(page, Qt::LeftButton, {}, middle);
            QTest::mouseRelease(page, Qt::LeftButton, {}, middle);
            break;
        }
        ASSERT_TRUE(ed->editingTextID().has_value());
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClicks(QApplication::focusWidget(), row.keys);
        EXPECT_EQ(ed->element(*ed->editingTextID())->text->string.toStdString(), row.want.toStdString());
    }
}

TEST_F(ScreenTest, HidingAndShowingKeepsOneFilter)
{
    for (int i = 0; i < 3; ++i) {
        screen->hide();
        EXPECT_FALSE(screen->keys()->isInstalled());
        screen->show();
    }
    press(Qt::Key_Left);
    EXPECT_EQ(x(), 99);
    app.setScreen(LWAppScreen::start); // another screen: the keys stand down at once
    press(Qt::Key_Left);
    EXPECT_EQ(x(), 99);
}

// A design file's dashed outline 1e14 points wide, zoomed in and out from the toolbar: each view
// costs the band cut a few elements of outline, and shows the page covered where the outline's
// pieces and corners reach (as the exports do: test_renderer_hostile).
TEST_F(ScreenFixture, AVeryWideOutlineZoomsAtTheCostOfWhatShows)
{
    LWDocument doc = LWSamplePages::wideOutline(1e14, 0, 0);
    const QPolygonF dash = LWGeometry::shapePath(doc.pages[0].elements[0]).toSubpathPolygons().value(0);
    doc.pages[0].elements[0].stroke->dash = 5000; // all the way round, from and to the top corner
    openDesign(doc);
    showScreen({1500, 940});
    PageCanvas *page = screen->canvas()->page();
    const auto click = [&](const QString &help) {
        for (ChromeRoundButton *b : screen->findChildren<ChromeRoundButton *>())
            if (b->help().startsWith(help))
                QTest::mouseClick(b, Qt::LeftButton);
    };
    for (const char *step :
         {"Zoom in", "Zoom in", "Zoom in", "Zoom out", "Zoom out", "Zoom out", "Zoom out"}) {
        SCOPED_TRACE(step);
        const qint64 before = LWRasterCut::outlineElements();
        click(QLatin1String(step));
        const QRect shown = page->visibleRegion().boundingRect();
        const QImage view = page->grab(shown).toImage();
        EXPECT_LT(LWRasterCut::outlineElements() - before, 400);
        const auto toPage = [&](QPointF at) {
            return page->gestures().toPage(at / view.devicePixelRatio() + shown.topLeft());
        };
        const QRectF safe = doc.safeRect().toQRectF().adjusted(2, 2, -2, -2); // no guide lies in it
        const LWOutlineCover::Tally tally =
            LWOutlineCover::check(view, toPage, dash, 5e13, false, 2 / page->scale(), QColor(0x1F3A5F), safe);
        EXPECT_GT(tally.seen, 500);
        EXPECT_EQ(tally.wrong, 0);
    }
}
