#include "editor/editor_fixture.h"
#include "kit/bezel.h"
#include "kit/chromeroundbutton.h"
#include "kit/iconpicker.h"
#include "kit/ledtoggle.h"
#include "kit/popover.h"
#include "kit/zoomhost.h"
#include "model/prefs.h"
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

LEDToggle *toggle(QWidget *bar, const QString &title)
{
    for (LEDToggle *t : bar->findChildren<LEDToggle *>())
        if (t->title() == title)
            return t;
    return nullptr;
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
    EXPECT_EQ(back->toolTip(), QStringLiteral("Show the back side"));
    front->click(); // the lit one: shows the front again, which empties the selection
    EXPECT_TRUE(card->selection().isEmpty());
    back->click();
    EXPECT_EQ(card->pageIndex(), 1);

    // A toggle flips its field and writes its key; a write elsewhere relights it.
    LEDToggle *grid = toggle(&bar, QStringLiteral("Grid"));
    ASSERT_TRUE(grid);
    grid->click();
    EXPECT_TRUE(card->showGrid());
    EXPECT_TRUE(LWPrefs::store().value(LWPrefs::gridKey).toBool());
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
    double z = 1;
    for (double want : {1.25, 1.5625, 1.953125, 2.44140625, 3.0517578125, 3.814697265625, 4.76837158203125,
                        5.9604644775390625, 7.450580596923828, 8.0})
        EXPECT_EQ(z = CanvasZoom::in(z), want);
    z = 1;
    for (int i = 0; i < 6; ++i)
        z = CanvasZoom::out(z);
    EXPECT_NEAR(z, 0.262144, 1e-15);
    EXPECT_EQ(CanvasZoom::out(z), 0.25);
    EXPECT_EQ(CanvasZoom::fit(), 1);
    EXPECT_EQ(CanvasToolbar::zoomText(3.4444, 1), QStringLiteral("344%"));
    EXPECT_EQ(CanvasToolbar::zoomText(0.5, 1.25), QStringLiteral("62%"));
}

TEST_F(EditorTest, GuidesMenuOpensUnderItsButtonInTheZoomHost)
{
    auto ed = make(letter());
    auto *bar = new CanvasToolbar(*ed);
    VKZoom::setValue(2);
    VKZoomHost host(bar, {700, 60});
    host.resize(1400, 200);
    host.show();
    QApplication::processEvents();
    bar->guidesButton()->click();
    QApplication::processEvents();
    ASSERT_TRUE(bar->guidesMenu()->isVisible());
    const QPoint under = bar->guidesButton()->mapTo(bar, QPoint(0, bar->guidesButton()->height()));
    EXPECT_NEAR(bar->guidesMenu()->graphicsProxyWidget()->pos().x(), under.x(), 2);
    EXPECT_NEAR(bar->guidesMenu()->graphicsProxyWidget()->pos().y(), under.y(), 2);
    bar->guidesMenu()->close();
    VKZoom::setValue(1);
}

TEST_F(EditorTest, RailPicksToolsIconsAndPictures)
{
    const SampleCard s;
    auto ed = make(s.doc, {s.a});
    ToolRail rail(*ed);
    int chooser = 0;
    rail.setChooser([&](LWEditor &, QWidget *) { ++chooser; });
    rail.show();
    QStringList tips;
    for (LWTool t : LWEnum::allCases<LWTool>())
        tips << rail.toolButton(t)->help();
    EXPECT_EQ(tips.first(), QStringLiteral("Select / Move (V)"));
    EXPECT_EQ(tips.last(), QStringLiteral("Photo Frame (F)"));
    EXPECT_EQ(tips.size(), 9);

    ed->setTool(LWTool::text);
    EXPECT_TRUE(rail.toolButton(LWTool::text)->isSelected());
    rail.toolButton(LWTool::select)->click();
    EXPECT_EQ(ed->tool(), LWTool::select);
    EXPECT_TRUE(rail.toolButton(LWTool::select)->isSelected());
    EXPECT_FALSE(rail.toolButton(LWTool::text)->isSelected());
    EXPECT_EQ(ed->selection(), QList<QUuid>{s.a});

    ed->setTool(LWTool::icon); // the letter key: no picker
    EXPECT_EQ(rail.iconPopover(), nullptr);
    rail.toolButton(LWTool::icon)->click();
    ASSERT_NE(rail.iconPopover(), nullptr);
    EXPECT_TRUE(rail.iconPopover()->isOpen());
    rail.iconPopover()->close(); // dismissed: icon tool, icon unchanged
    QApplication::processEvents();
    EXPECT_EQ(rail.iconPopover(), nullptr);
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
    VKZoom::setValue(2);
    VKZoomHost host(rail, {200, 700});
    host.resize(1200, 1500);
    host.show();
    QApplication::processEvents();
    rail->toolButton(LWTool::icon)->click();
    ASSERT_NE(rail->iconPopover(), nullptr);
    const QPointF at = rail->iconPopover()->graphicsProxyWidget()->pos();
    const QRect panel = rail->findChild<Bezel *>()->geometry();
    EXPECT_GT(at.x(), panel.right()); // beside the panel, not under a button
    EXPECT_LT(at.x(), panel.right() + 20);
    rail->iconPopover()->close();
    VKZoom::setValue(1);
}
