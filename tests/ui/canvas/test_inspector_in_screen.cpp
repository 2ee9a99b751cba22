#include "kit/controls/labeledslider.h"
#include "kit/controls/numberfield.h"
#include "kit/controls/popover.h"
#include "kit/controls/searchfield.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/views/scrollview.h"
#include "render/text/fonts.h"
#include "screen_fixture.h"
#include "support/pngbytes.h"
#include "ui/inspector/inspector.h"
#include "ui/inspector/inspectorcombo.h"
#include "ui/inspector/sections/fontfamilypicker.h"
#include "ui/inspector/sections/imagesection.h"
#include "ui/inspector/sections/textsection.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGraphicsProxyWidget>
#include <QScrollBar>
#include <QTest>

#include <functional>

namespace {

// The editor screen at the main window's first size (in a zoom host) over a Letter design holding
// one element of every kind the inspector routes by.
class InspectorScreenTest : public ScreenFixture {
protected:
    enum Pick { text, shape, line, picture };

    void SetUp() override
    {
        EditorTest::SetUp();
        LWFonts::registerBundled();
        LWElement photo = LWElement::makePhoto({300, 100, 120, 90});
        photo.image->data = lwPngBytes(600, 400);
        openDesign(letter({LWElement::makeText(LWText(QStringLiteral("Title"), QStringLiteral("AvenirNext-Regular"), 24,
                                                      LWColor::black),
                                               {100, 300, 200, 40}),
                           rect("a", {100, 100, 50, 50}),
                           LWElement::makeLine({50, 500}, {300, 520}, LWStroke(LWColor::black, 2)), photo}));
        showScreen({1480, 800});
        host->activateWindow(); // for good: pending window events would undo setActiveWindow
        ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    }
    QUuid id(Pick pick) const { return ed->elements()[pick].id; }
    void select(QList<QUuid> ids)
    {
        ed->setSelection(std::move(ids));
        QApplication::processEvents(); // the old stack goes later
    }
    VKScrollView *scroll() const { return screen->inspector()->scrollView(); }
};

} // namespace

TEST_F(InspectorScreenTest, EverySectionFitsTheColumn)
{
    const struct {
        const char *what;
        QList<Pick> picks;
    } cases[] = {{"page", {}},       {"text", {text}},       {"shape", {shape}},
                 {"line", {line}},   {"picture", {picture}}, {"several", {text, shape, picture}}};
    for (const auto &c : cases) {
        QList<QUuid> ids;
        for (Pick p : c.picks)
            ids << id(p);
        select(ids);
        QWidget *viewport = scroll()->viewport();
        int checked = 0;
        for (QWidget *w : scroll()->widget()->findChildren<QWidget *>()) {
            if (!w->isVisible() || w->width() <= 0)
                continue;
            const int right = w->mapTo(viewport, QPoint(w->width(), 0)).x();
            EXPECT_LE(right, viewport->width()) << c.what << ": " << w->metaObject()->className() << " "
                                                << qPrintable(w->accessibleName());
            ++checked;
        }
        EXPECT_GT(checked, 10) << c.what;
    }
}

namespace {

// Where a widget of the zoomed content shows in the host's viewport.
QPoint inHost(const VKZoomHost &host, const QWidget *w, QPoint at)
{
    return host.mapFromScene(host.proxy()->mapToScene(QPointF(w->mapTo(host.content(), at))));
}

// Wheel notches as the window delivers them: to the host's viewport, then through its scene.
void turnWheel(VKZoomHost &host, const QWidget *over, int notches, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const QPoint at = inHost(host, over, over->rect().center());
    for (int i = 0; i < notches; ++i) {
        QWheelEvent e(at, host.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(host.viewport(), &e);
    }
}

void clickIn(VKZoomHost &host, const QWidget *w)
{
    QTest::mouseClick(host.viewport(), Qt::LeftButton, Qt::NoModifier, inHost(host, w, w->rect().center()));
}

} // namespace

TEST_F(InspectorScreenTest, WheelOverControlsScrollsAndChangesNothing)
{
    host->resize(1480, 760); // the inspector's stack is taller than its column
    const struct {
        const char *what;
        Pick pick;
        std::function<QWidget *(const Inspector &)> control;
    } cases[] = {
        {"Style", text, [](const Inspector &i) -> QWidget * { return i.findChild<QComboBox *>(); }},
        {"Size field", text, [](const Inspector &i) -> QWidget * { return i.findChild<TextSection *>()->sizeField(); }},
        {"Size slider", text, [](const Inspector &i) -> QWidget * { return i.findChild<TextSection *>()->sizeSlider(); }},
        {"alignment", text, [](const Inspector &i) -> QWidget * { return i.findChild<TextSection *>()->alignPicker(); }},
        {"Shape", picture, [](const Inspector &i) -> QWidget * { return i.findChild<ImageSection *>()->maskPicker(); }},
        {"Fit", picture, [](const Inspector &i) -> QWidget * { return i.findChild<ImageSection *>()->fitPicker(); }},
    };
    for (const auto &c : cases) {
        select({id(c.pick)});
        QScrollBar *bar = scroll()->verticalScrollBar();
        bar->setValue(0);
        ASSERT_GT(bar->maximum(), 0) << c.what;
        QWidget *control = c.control(*screen->inspector());
        ASSERT_TRUE(control && control->isVisible()) << c.what;
        const LWDocument before = ed->doc();
        const qsizetype steps = ed->undoStack().size();
        const bool dirty = ed->dirty();
        turnWheel(*host, control, 3);
        EXPECT_EQ(ed->doc(), before) << c.what;
        EXPECT_EQ(ed->undoStack().size(), steps) << c.what;
        EXPECT_EQ(ed->dirty(), dirty) << c.what;
        EXPECT_GT(bar->value(), 0) << c.what;
    }
}

TEST_F(InspectorScreenTest, TheStyleBoxAfterAClickAndEscape)
{
    select({});
    ed->addText(QStringLiteral("New"), {100, 600});
    QApplication::processEvents();
    ASSERT_EQ(ed->selection().size(), 1);
    auto *section = screen->inspector()->findChild<TextSection *>();
    ASSERT_TRUE(section);
    QComboBox *style = section->stylePicker();
    EXPECT_EQ(style->currentText(), "Medium"); // the house face, drawn by its stand-in

    // Escape closes the popup and nothing else.
    clickIn(*host, style);
    ASSERT_TRUE(style->view()->isVisible());
    // The popup lives in the host's scene: the window stays the active one (offscreen forgets it).
    QApplication::setActiveWindow(host.get());
    QTest::keyClick(host.get(), Qt::Key_Escape);
    EXPECT_FALSE(style->view()->isVisible());
    EXPECT_EQ(ed->selection().size(), 1);

    // A style chosen from the popup writes that face of the stand-in's family, as one step.
    const qsizetype steps = ed->undoStack().size();
    clickIn(*host, style);
    ASSERT_TRUE(style->view()->isVisible());
    QTest::keyClicks(host.get(), QStringLiteral("Bold"));
    QTest::keyClick(host.get(), Qt::Key_Return);
    EXPECT_FALSE(style->view()->isVisible());
    EXPECT_EQ(ed->single()->text->fontName, "NunitoSans-Bold");
    EXPECT_EQ(ed->undoStack().size(), steps + 1);
    EXPECT_EQ(style->currentText(), "Bold");
}

TEST_F(InspectorScreenTest, ATallColumnLeavesTheSectionsTheirHeights)
{
    host->resize(1480, 1200); // as at a small interface zoom: the stack is shorter than the column
    select({id(text)});
    QApplication::processEvents();
    auto *section = screen->inspector()->findChild<TextSection *>();
    ASSERT_LT(section->geometry().bottom(), scroll()->viewport()->height() - 100);
    EXPECT_EQ(section->height(), section->heightForWidth(section->width()));
}

TEST_F(InspectorScreenTest, LettersTypedAsTheFontPickerOpensGoIntoItsSearch)
{
    select({id(text)});
    auto *section = screen->inspector()->findChild<TextSection *>();
    clickIn(*host, section->familyButton());
    ASSERT_TRUE(section->popover() && section->popover()->isOpen());
    QApplication::setActiveWindow(host.get()); // as in the real window (see above)
    QTest::keyClicks(host.get(), QStringLiteral("rob"));
    EXPECT_EQ(static_cast<FontFamilyPicker *>(section->popover()->content())->searchField()->text(), "rob");
    EXPECT_EQ(ed->tool(), LWTool::select); // "r" chose no tool
}
