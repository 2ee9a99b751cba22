// The kit pieces the inspector and the sheets build on: the slider row and the popover.
#include "kit/cabinet/engravedlabel.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/popover.h"
#include "kit/zoom/zoomhost.h"
#include "kitfixture.h"

#include <QGraphicsProxyWidget>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

using Row = KitTest;
using Popover = KitTest;

// A button at a fixed logical place in `content`, the anchor of the popovers.
QPushButton *anchorIn(QWidget *content)
{
    auto *anchor = new QPushButton(QStringLiteral("Anchor"), content);
    anchor->setGeometry(300, 200, 80, 24);
    return anchor;
}

VKPopover *popoverOn(QWidget *anchor)
{
    auto *label = new QLabel(QStringLiteral("Popover content"));
    label->setFixedSize(200, 100);
    return new VKPopover(label, anchor);
}

} // namespace

TEST_F(Row, ReadoutFormatsWithTheCLibrary)
{
    const struct {
        const char *format, *unit;
        double value;
        const char *want;
    } cases[] = {
        {"%.0f", "", 45.6, "46"},  {"%.0f", "°", 45, "45°"},    {"%.2f", "pt", 1.5, "1.50pt"},
        {"%.0f", "", 62.5, "62"},  {"%.1f", "", 12.25, "12.2"}, {"%.0f%%", "", 50, "50%"},
        {"%5.1f", "", 2, "  2.0"}, {"%s", "", 3, "3"},          {"%d", "x", 3.7, "4x"},
        {"%.0f %.0f", "", 1, "1"}, {"no number", "", 7, "7"},   {"%.0f", "", -0.4, "-0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LabeledSlider::readout(QString::fromUtf8(c.format), c.value, QString::fromUtf8(c.unit)),
                  QString::fromUtf8(c.want))
            << c.format << " " << c.value;
}

TEST_F(Row, ReadsTheValueAndNeverWritesItItself)
{
    double value = 45.6;
    QList<double> written;
    LabeledSlider row(
        QStringLiteral("Rotation"), [&] { return value; }, [&](double v) { written << v; }, 0, 360, 1);
    EXPECT_EQ(row.readout(), "46"); // default format, no unit
    row.resize(300, row.sizeHint().height());
    row.show();

    QTest::mousePress(row.slider(), Qt::LeftButton, {}, QPoint(row.slider()->width() - 8, 10));
    QTest::mouseRelease(row.slider(), Qt::LeftButton, {}, QPoint(row.slider()->width() - 8, 10));
    EXPECT_EQ(written, QList<double>{360});
    EXPECT_EQ(row.readout(), "46"); // only the owner changes the value
    value = 90;
    EXPECT_EQ(row.readout(), "90");

    row.setRange(0, 10); // bounds that follow the element
    QTest::mouseClick(row.slider(), Qt::LeftButton, {}, QPoint(row.slider()->width() - 8, 10));
    EXPECT_EQ(written.last(), 10);
    EXPECT_EQ(value, 90);
}

TEST_F(Row, EngravedCaptionTakesNewText)
{
    EngravedLabel label(QStringLiteral("Fill"));
    const int before = label.sizeHint().width();
    label.setText(QStringLiteral("Background"));
    EXPECT_EQ(label.text(), "BACKGROUND");
    EXPECT_EQ(label.accessibleName(), "BACKGROUND");
    EXPECT_GT(label.sizeHint().width(), before);
}

TEST_F(Popover, PlacementUnderTheAnchorAboveWhenNoRoomAndInsideTheArea)
{
    const QRect area(0, 0, 1000, 800);
    const struct {
        QRect anchor;
        QSize frame;
        QPoint want;
    } cases[] = {
        {{300, 200, 80, 24}, {200, 100}, {240, 230}}, // centred under it, 6 below
        {{300, 740, 80, 24}, {200, 100}, {240, 634}}, // above: no room below
        {{300, 20, 80, 760}, {200, 100}, {240, 700}}, // no room either way: inside the area
        {{950, 200, 40, 24}, {200, 100}, {800, 230}}, // kept off the right edge
        {{0, 200, 20, 24}, {200, 100}, {0, 230}},     // and off the left one
        {{300, 200, 80, 24}, {1200, 100}, {0, 230}},  // wider than the area: left edge in view
    };
    for (const auto &c : cases)
        EXPECT_EQ(VKPopover::placement(c.anchor, c.frame, area), c.want)
            << c.anchor.y() << " " << c.anchor.x();
}

TEST_F(Popover, InAZoomHostOpensAtItsAnchorAndClosesByEscapeOrOutsideClick)
{
    VKZoom::setValue(2.0);
    auto *content = new QWidget;
    QPushButton *anchor = anchorIn(content);
    VKZoomHost host(content, {900, 600});
    host.resize(1200, 900);
    host.move(150, 120); // a screen offset, which an inner mapToGlobal would scale
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    for (const char *how : {"escape", "click"}) {
        SCOPED_TRACE(how);
        VKPopover *popover = popoverOn(anchor);
        QSignalSpy closed(popover, &VKPopover::closed);
        popover->open(anchor);
        ASSERT_TRUE(popover->isVisible());
        EXPECT_TRUE(VKPopover::isAnyOpen());
        QGraphicsProxyWidget *inner = popover->graphicsProxyWidget();
        ASSERT_NE(inner, nullptr); // drawn in the zoomed scene, not as a window of its own

        // In the viewport: centred under the anchor, the gap scaled with everything else.
        const QRectF anchorInView =
            host.mapFromScene(host.proxy()->mapRectToScene(QRectF(anchor->geometry()))).boundingRect();
        const QRectF frameInView =
            host.mapFromScene(inner->mapRectToScene(QRectF(QPointF(0, 0), popover->size()))).boundingRect();
        EXPECT_NEAR(frameInView.center().x(), anchorInView.center().x(), 2);
        EXPECT_NEAR(frameInView.top(), anchorInView.bottom() + VKPopover::gap * 2, 2);
        EXPECT_NEAR(frameInView.width(), popover->width() * 2, 2);

        if (QByteArray(how) == "escape")
            QTest::keyClick(&host, Qt::Key_Escape);
        else
            QTest::mouseClick(host.viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        EXPECT_FALSE(popover->isVisible());
        EXPECT_FALSE(VKPopover::isAnyOpen());
        EXPECT_EQ(closed.count(), 1);
        delete popover;
    }
}

TEST_F(Popover, AsAWindowOpensAtItsAnchorOnScreenAndCountsWhileOpen)
{
    QWidget content;
    content.resize(900, 600);
    QPushButton *button = anchorIn(&content);
    content.move(100, 80);
    content.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&content));
    VKPopover *popover = popoverOn(button);
    QSignalSpy closed(popover, &VKPopover::closed);
    popover->open(button);
    EXPECT_EQ(popover->graphicsProxyWidget(), nullptr);
    const QRect anchor(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_EQ(popover->pos(), // the frame: popups have none on X11
              VKPopover::placement(anchor, popover->size(), button->screen()->availableGeometry()));
    EXPECT_TRUE(VKPopover::isAnyOpen());
    QTest::keyClick(popover, Qt::Key_Escape);
    EXPECT_FALSE(popover->isVisible());
    EXPECT_EQ(closed.count(), 1);

    popover->open(button);
    VKPopover *second = popoverOn(button);
    second->open(button); // a popup opened over another
    delete second;          // closed by going away
    EXPECT_TRUE(VKPopover::isAnyOpen());
    QTest::mouseClick(popover, Qt::LeftButton, {}, QPoint(-20, -20)); // outside the frame
    EXPECT_FALSE(popover->isVisible());
    EXPECT_FALSE(VKPopover::isAnyOpen());
    EXPECT_EQ(closed.count(), 2);
}
