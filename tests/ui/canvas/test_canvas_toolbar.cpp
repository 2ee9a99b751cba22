#include "editor/editor_fixture.h"
#include "kit/cabinet/bezel.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/controls/iconpicker.h"
#include "kit/controls/ledtoggle.h"
#include "kit/controls/popover.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "ui/canvas/canvastoolbar.h"
#include "ui/canvas/canvaszoom.h"
#include "ui/canvas/toolrail.h"

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QMenu>
#include <QTest>

namespace {

QStringList titles(const QList<QWidget *> &widgets)
{
    QStringList out;
    for (QWidget *w : widgets)
        if (auto *t = qobject_cast<LEDToggle *>(w))
            out << t->title();
    return out;
}

// Runs `check` with the widget hosted at zoom 2 (where popups must map through the proxy).
void zoomed(QWidget *w, QSizeF size, const std::function<void()> &check)
{
    VKZoom::setValue(2);
    VKZoomHost host(w, size);
    host.resize(1400, 1500);
    host.show();
    QApplication::processEvents();
    check();
    VKZoom::setValue(1);
}

} // namespace

TEST_F(EditorTest, ToolbarSidesTogglesAndGuides)
{
    VELKTestFlags::running = false;
    auto flyer = make(letter());
    CanvasToolbar one(*flyer);
    EXPECT_TRUE(one.sideToggles().isEmpty());
    flyer->addBackSide();
    EXPECT_EQ(titles(one.sideToggles()), (QStringList{"Front", "Back"}));

    const SampleCard s;
    auto card = make(s.doc, {s.a});
    CanvasToolbar bar(*card);
    ASSERT_EQ(titles(bar.sideToggles()), (QStringList{"Front", "Back"}));
    auto *front = qobject_cast<LEDToggle *>(bar.sideToggles()[0]);
    auto *back = qobject_cast<LEDToggle *>(bar.sideToggles()[1]);
    EXPECT_TRUE(front->isOn());
    front->click(); // the lit one: shows the front again, which empties the selection
    EXPECT_TRUE(card->selection().isEmpty());
    back->click();
    EXPECT_EQ(card->pageIndex(), 1);

    // A toggle flips its field; a change elsewhere relights it.
    LEDToggle *grid = nullptr;
    for (LEDToggle *t : bar.findChildren<LEDToggle *>())
        grid = t->title() == QStringLiteral("Grid") ? t : grid;
    ASSERT_TRUE(grid);
    grid->click();
    EXPECT_TRUE(card->showGrid());
    card->setShowGrid(false);
    EXPECT_FALSE(grid->isOn());

    // Clear All Guides follows the design's guides.
    QAction *clear = bar.guidesMenu()->actions().last();
    EXPECT_FALSE(clear->isEnabled());
    bar.guidesMenu()->actions().first()->trigger();
    ASSERT_EQ(card->doc().guides.size(), 1);
    EXPECT_TRUE(card->doc().guides[0].vertical);
    EXPECT_EQ(card->doc().guides[0].position, card->doc().width / 2);
    EXPECT_TRUE(clear->isEnabled());
}

TEST(CanvasZoom, StepsAndBounds)
{
    // Steps of 1.25 that stop at 8 and 0.25.
    EXPECT_EQ(CanvasZoom::in(7.450580596923828), 8.0);
    EXPECT_EQ(CanvasZoom::in(8), 8.0);
    EXPECT_EQ(CanvasZoom::out(1), 0.8);
    EXPECT_EQ(CanvasZoom::out(0.262144), 0.25);
    EXPECT_EQ(CanvasToolbar::zoomText(3.4444, 1), QStringLiteral("344%"));
    EXPECT_EQ(CanvasToolbar::zoomText(0.5, 1.25), QStringLiteral("62%"));
}

TEST_F(EditorTest, GuidesMenuOpensUnderItsButtonInTheZoomHost)
{
    auto ed = make(letter());
    auto *bar = new CanvasToolbar(*ed);
    zoomed(bar, {700, 60}, [bar] {
        bar->guidesButton()->click();
        QApplication::processEvents();
        ASSERT_TRUE(bar->guidesMenu()->isVisible());
        const QPointF under = bar->guidesButton()->mapTo(bar, QPoint(0, bar->guidesButton()->height()));
        EXPECT_LE((bar->guidesMenu()->graphicsProxyWidget()->pos() - under).manhattanLength(), 3);
        bar->guidesMenu()->close();
    });
}

TEST_F(EditorTest, RailPicksToolsIconsAndPictures)
{
    const SampleCard s;
    auto ed = make(s.doc, {s.a});
    ToolRail rail(*ed);
    int chooser = 0;
    rail.setChooser([&](LWEditor &, QWidget *) { ++chooser; });
    rail.show();

    ed->setTool(LWTool::text);
    EXPECT_TRUE(rail.toolButton(LWTool::text)->isSelected());
    rail.toolButton(LWTool::select)->click();
    EXPECT_EQ(ed->tool(), LWTool::select);
    EXPECT_FALSE(rail.toolButton(LWTool::text)->isSelected());
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.a});

    ed->setTool(LWTool::icon); // the letter key: no picker
    EXPECT_EQ(rail.iconPopover(), nullptr);
    rail.toolButton(LWTool::icon)->click();
    ASSERT_NE(rail.iconPopover(), nullptr);
    EXPECT_TRUE(rail.iconPopover()->isOpen());
    rail.iconPopover()->close(); // dismissed: icon tool, icon unchanged
    QApplication::processEvents();
    EXPECT_EQ(ed->tool(), LWTool::icon);
    EXPECT_EQ(ed->iconForTool(), QStringLiteral("star"));

    ed->setTool(LWTool::select);
    rail.toolButton(LWTool::icon)->click();
    ed->setTool(LWTool::select);
    auto *picker = qobject_cast<IconPicker *>(rail.iconPopover()->content());
    ASSERT_TRUE(picker);
    Q_EMIT picker->pick(QStringLiteral("leaf"));
    EXPECT_EQ(ed->iconForTool(), QStringLiteral("leaf"));
    EXPECT_EQ(ed->tool(), LWTool::icon);
    QApplication::processEvents();
    EXPECT_EQ(rail.iconPopover(), nullptr);

    rail.pictureButton()->click();
    EXPECT_EQ(chooser, 1);
    EXPECT_EQ(ed->tool(), LWTool::icon);
}

TEST_F(EditorTest, IconPickerOpensBesideTheRailInTheZoomHost)
{
    auto ed = make(letter());
    auto *rail = new ToolRail(*ed);
    zoomed(rail, {200, 700}, [rail] {
        rail->toolButton(LWTool::icon)->click();
        ASSERT_NE(rail->iconPopover(), nullptr);
        const QPointF at = rail->iconPopover()->graphicsProxyWidget()->pos();
        const QRect panel = rail->findChild<Bezel *>()->geometry();
        EXPECT_GT(at.x(), panel.right()); // beside the panel, not under a button
        EXPECT_LT(at.x(), panel.right() + 20);
        rail->iconPopover()->close();
    });
}
