#include "kit/segmentedpicker.h"
#include "kitfixture.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using Segmented = KitTest;

TEST_F(Segmented, UserPicksOneSegmentProgramChangesAreSilent)
{
    SegmentedPicker p(QString(), {QStringLiteral("Wide"), QStringLiteral("Tall")}, 130);
    p.show();
    QSignalSpy picked(&p, &SegmentedPicker::picked);
    EXPECT_EQ(p.current(), -1);
    p.setCurrent(0);
    p.setCurrent(5);
    EXPECT_EQ(p.current(), 0);
    QTest::mouseClick(p.segment(1), Qt::LeftButton);
    QTest::mouseClick(p.segment(1), Qt::LeftButton);
    EXPECT_EQ(p.current(), 1);
    EXPECT_FALSE(p.segment(0)->isChecked());
    ASSERT_EQ(picked.size(), 2);
    EXPECT_EQ(picked[0][0].toInt(), 1);
}

TEST_F(Segmented, WidthCoversLabelAndEqualSegments)
{
    const struct {
        const char *label;
        int width;
    } cases[] = {{"Units", 240}, {"", 130}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        SegmentedPicker p(QString::fromUtf8(c.label), {QStringLiteral("Inches"), QStringLiteral("Millimeters")}, c.width);
        p.show();
        EXPECT_EQ(p.width(), c.width);
        const QRect first = p.segment(0)->geometry(), second = p.segment(1)->geometry();
        EXPECT_LE(std::abs(first.width() - second.width()), 1);
        const QWidget *strip = p.segment(0)->parentWidget();
        EXPECT_EQ(strip->geometry().right(), c.width - 1);
        if (p.label())
            EXPECT_LT(p.label()->geometry().right(), strip->geometry().left());
        else
            EXPECT_EQ(strip->geometry().left(), 0);
    }
}
