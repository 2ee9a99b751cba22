#include "kit/host/kithost.h"
#include "kit/views/scrollstyle.h"
#include "kit/views/scrollview.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "kitfixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QScrollArea>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <memory>

namespace {

using ScrollIndicators = KitTest;

QWidget *column(int height)
{
    auto *w = new QWidget;
    w->setMinimumHeight(height);
    return w;
}

// The content's width as laid out, whatever holds it.
int contentWidth(QAbstractScrollArea *area)
{
    if (auto *host = qobject_cast<VKZoomHost *>(area))
        return int(host->content()->width() * host->currentLayout().zoom);
    return static_cast<VKScrollView *>(area)->widget()->width();
}

} // namespace

// Every kit scroll view: no indicator while the content fits; past the view the vertical one shows
// over the content at the trailing edge, the content keeps the view's whole width, and the wheel
// scrolls.
TEST_F(ScrollIndicators, ShowOnlyPastTheViewTakeNoRoomAndTheWheelScrolls)
{
    const struct {
        const char *name;
        double zoom;
        std::function<QAbstractScrollArea *()> make;
        bool exceeds;
    } cases[] = {
        {"scroll view, content fits", 1, [] { return new VKScrollView(column(100)); }, false},
        {"scroll view, content taller", 1, [] { return new VKScrollView(column(1000)); }, true},
        {"zoom host, content fits", 1, [] { return new VKZoomHost(new QWidget, {300, 200}); }, false},
        {"zoom host at 200 %", 2, [] { return new VKZoomHost(new QWidget, {200, 300}); }, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        VKZoom::setValue(c.zoom);
        const std::unique_ptr<QAbstractScrollArea> area(c.make());
        area->resize(400, 300);
        area->show();
        QScrollBar *bar = area->verticalScrollBar();
        EXPECT_EQ(bar->isVisible(), c.exceeds);
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
        EXPECT_EQ(area->viewport()->geometry(), area->rect());
        EXPECT_EQ(contentWidth(area.get()), 400);
        if (!c.exceeds)
            continue;
        EXPECT_EQ(bar->width(), VKScrollStyle::extent);
        EXPECT_EQ(bar->mapTo(area.get(), QPoint(bar->width(), bar->height())), QPoint(400, 300));

        const QPointF at(200, 150);
        QWheelEvent wheel(at, area->viewport()->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(area->viewport(), &wheel);
        EXPECT_GT(bar->value(), 0);

        // The capsule widens under the pointer.
        const auto breadth = [bar] {
            QImage strip(bar->size(), QImage::Format_ARGB32_Premultiplied);
            strip.fill(Qt::transparent);
            bar->render(&strip, {}, {}, QWidget::DrawChildren); // what the bar draws over the content
            int widest = 0;
            for (int y = 0; y < strip.height(); ++y) {
                int solid = 0;
                for (int x = 0; x < strip.width(); ++x)
                    solid += strip.pixelColor(x, y).alpha() > 0;
                widest = std::max(widest, solid);
            }
            return widest;
        };
        EXPECT_EQ(breadth(), VKScrollStyle::thin);
        QTest::mouseMove(bar, QPoint(6, 20));
        EXPECT_EQ(breadth(), VKScrollStyle::wide);
    }
}

// In the theme's text colour, and as broad in points at device scale 2.
TEST_F(ScrollIndicators, CapsuleTakesTheThemesTextColourAndStaysSharpAtScaleTwo)
{
    QStyleOptionSlider opt;
    opt.rect = QRect(0, 0, VKScrollStyle::extent, 200);
    opt.orientation = Qt::Vertical;
    opt.maximum = opt.pageStep = 100; // the slider is the top half
    for (const char *theme : {"cobalt-gunmetal", "rose-gold"}) {
        VELKThemes::setCurrentID(QString::fromLatin1(theme));
        for (const int scale : {1, 2}) {
            SCOPED_TRACE(testing::Message() << theme << " at " << scale);
            QImage image(opt.rect.size() * scale, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(Qt::transparent);
            QPainter p(&image);
            VKScrollStyle::shared()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &p, nullptr);
            p.end();
            int solid = 0;
            for (int x = 0; x < image.width(); ++x)
                solid += image.pixelColor(x, 50 * scale).alpha() == 102; // 40 %, no soft edge
            EXPECT_EQ(solid, VKScrollStyle::thin * scale);
            const QColor mid = image.pixelColor(image.width() - int((VKScrollStyle::inset + 3) * scale), 50 * scale);
            EXPECT_EQ(mid.rgb() & 0xF0F0F0, VELKKitHost::theme().text.rgb() & 0xF0F0F0);
        }
    }
}

namespace {

void turn(QWidget *viewport, QPoint at, Qt::KeyboardModifiers mods)
{
    QWheelEvent wheel(at, viewport->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewport, &wheel);
}

} // namespace

// Shift + a vertical wheel scrolls an area sideways when it can scroll sideways, else as before.
TEST_F(ScrollIndicators, ShiftTurnsTheWheelSideways)
{
    const struct {
        const char *name;
        bool wide, shift;
        int right, down; // expected direction of each bar's change
    } cases[] = {
        {"plain wheel", true, false, 0, 1},
        {"shift, wide content", true, true, 1, 0},
        {"shift, nothing sideways", false, true, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QScrollArea area;
        auto *content = new QWidget;
        content->setFixedSize(c.wide ? 1200 : 380, 1200);
        area.setWidget(content);
        VKScrollStyle::apply(&area);
        area.resize(400, 300);
        area.show();
        turn(area.viewport(), {200, 150}, c.shift ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(area.horizontalScrollBar()->value() > 0, c.right == 1);
        EXPECT_EQ(area.verticalScrollBar()->value() > 0, c.down == 1);
    }
}

// A guarded value control takes the wheel only after a click gave it the focus; until then the
// view scrolls.
TEST_F(ScrollIndicators, GuardedControlsTakeTheWheelOnlyOnceClicked)
{
    for (const bool clicked : {false, true}) {
        SCOPED_TRACE(clicked ? "clicked" : "not clicked");
        auto *stack = new QWidget;
        auto *combo = new QComboBox(stack);
        combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        combo->move(10, 100);
        stack->setMinimumSize(300, 1000);
        VKScrollView::guardWheel(combo);
        VKScrollView view(stack);
        view.resize(320, 300);
        view.show();
        view.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        if (clicked) {
            QTest::mouseClick(combo, Qt::LeftButton);
            combo->hidePopup();
            ASSERT_TRUE(combo->hasFocus());
        }
        // Delivered to the control first and, when it leaves the wheel, to the view, as a window
        // passes a wheel up through the parents.
        const QPoint at = combo->rect().center();
        QWheelEvent wheel(at, combo->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(combo, &wheel);
        if (!wheel.isAccepted())
            QCoreApplication::sendEvent(view.viewport(), &wheel);
        EXPECT_EQ(combo->currentIndex(), clicked ? 1 : 0);
        EXPECT_EQ(view.verticalScrollBar()->value() > 0, !clicked);
        EXPECT_TRUE(combo->hasFocus()); // the window's first focus alone does not count
    }
}
