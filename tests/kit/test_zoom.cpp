#include "kit/zoomcommands.h"
#include "kit/zoomhost.h"
#include "kitfixture.h"

#include <QMenu>
#include <QScrollBar>
#include <QTest>

namespace {

using Zoom = KitTest;

double stored() { return LWSettings::shared().value(VKZoom::key).toDouble(); }

QList<QAction *> items(QMenu &menu)
{
    QList<QAction *> out = menu.actions();
    for (QAction *a : menu.actions()) {
        if (a->menu())
            out += a->menu()->actions();
    }
    return out;
}

} // namespace

TEST_F(Zoom, ClampRoundsToHundredthsThenBounds)
{
    const struct { double in, out; } cases[] = {
        {0.5, 0.85}, {3, 2.0}, {1.234, 1.23}, {1.006, 1.01}, {0.845, 0.85}, {0.855, 0.86}, {NAN, 1.0}};
    for (const auto &c : cases)
        EXPECT_EQ(VKZoom::clamp(c.in), c.out) << c.in;
}

TEST_F(Zoom, ValueReadsTheStoreEveryTime)
{
    EXPECT_EQ(VKZoom::value(), 1.0);
    const struct { QVariant in; double out; } cases[] = {
        {5, 2.0}, {0.5, 0.85}, {0, 1.0}, {"1.5", 1.5}, {"nan", 1.0}, {"inf", 1.0}, {"abc", 1.0}};
    for (const auto &c : cases) {
        LWSettings::shared().setValue(VKZoom::key, c.in);
        EXPECT_EQ(VKZoom::value(), c.out) << c.in.toString().toStdString();
    }
}

TEST_F(Zoom, StepsStopAtTheLimits)
{
    QMenu menu;
    VKZoomCommands::addTo(&menu);
    QAction *in = menu.actions()[0], *out = menu.actions()[1];
    in->trigger();
    EXPECT_EQ(stored(), 1.15);
    out->trigger();
    EXPECT_EQ(stored(), 1.0);

    const struct { QAction *action; QList<double> values; } runs[] = {
        {in, {1.15, 1.3, 1.45, 1.6, 1.75, 1.9, 2.0, 2.0}},
        {out, {1.85, 1.7, 1.55, 1.4, 1.25, 1.1, 0.95, 0.85, 0.85}}};
    for (const auto &run : runs) {
        for (const double want : run.values) {
            run.action->trigger();
            EXPECT_EQ(stored(), want) << run.action->text().toStdString();
        }
    }
}

TEST_F(Zoom, MenuItemsInOrder)
{
    QMenu menu;
    VKZoomCommands::addTo(&menu);
    const QList<QAction *> top = menu.actions();
    ASSERT_EQ(top.size(), 5);
    EXPECT_EQ(top[0]->text(), "Zoom In");
    EXPECT_EQ(top[1]->text(), "Zoom Out");
    EXPECT_EQ(top[2]->text(), "Actual Size (100%)");
    EXPECT_EQ(top[3]->text(), "Zoom Level");
    EXPECT_TRUE(top[4]->isSeparator());
    EXPECT_EQ(top[0]->shortcuts(), (QList<QKeySequence>{QKeySequence::ZoomIn, QKeySequence("Ctrl+=")}));
    EXPECT_EQ(top[1]->shortcuts(), QKeySequence::keyBindings(QKeySequence::ZoomOut));
    EXPECT_EQ(top[2]->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+0")});
    EXPECT_TRUE(top[3]->shortcut().isEmpty());

    QStringList levels;
    for (QAction *a : top[3]->menu()->actions())
        levels.append(a->text());
    EXPECT_EQ(levels, (QStringList{"85%", "100%", "115%", "130%", "150%", "175%", "200%"}));
    top[3]->menu()->actions()[4]->trigger();
    EXPECT_EQ(stored(), 1.5);
    top[2]->trigger();
    EXPECT_EQ(stored(), 1.0);

    for (const double limit : {2.0, 0.85}) {
        VKZoom::setValue(limit);
        for (QAction *a : items(menu)) {
            EXPECT_FALSE(a->isCheckable()) << a->text().toStdString();
            EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
        }
    }
}

TEST_F(Zoom, LayoutKeepsTheMinimumAndShowsBarsPastOnePoint)
{
    const struct { QSizeF offered; double zoom; QSizeF logical, scaled; bool bars; } cases[] = {
        {{1500, 940}, 1.0, {1500, 940}, {1500, 940}, false},
        {{1500, 940}, 2.0, {1480, 760}, {2960, 1520}, true},
        {{1479.5, 800}, 1.0, {1480, 800}, {1480, 800}, false},
        {{1478.5, 800}, 1.0, {1480, 800}, {1480, 800}, true},
        {{1500, 940}, 3.0, {1480, 760}, {2960, 1520}, true},
    };
    for (const auto &c : cases) {
        const VKZoom::Layout got = VKZoom::layout(c.offered, c.zoom, {1480, 760});
        EXPECT_EQ(got.logical, c.logical) << c.offered.width() << " at " << c.zoom;
        EXPECT_EQ(got.scaled, c.scaled) << c.offered.width() << " at " << c.zoom;
        EXPECT_EQ(got.indicators, c.bars) << c.offered.width() << " at " << c.zoom;
    }
}
