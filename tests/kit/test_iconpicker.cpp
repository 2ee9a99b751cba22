#include "kit/paint/iconglyph.h"
#include "kit/controls/iconpicker.h"
#include "kit/views/scrollview.h"
#include "kit/controls/searchfield.h"
#include "kitfixture.h"
#include "snapshot.h"

#include <QAbstractButton>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

namespace {

const QColor ink(200, 30, 60);

QImage glyph(const char *id, QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintIconGlyph(p, QString::fromUtf8(id), QRectF(QPointF(), QSizeF(size)), ink);
    return img;
}

bool hasPartialPixel(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const int a = qAlpha(img.pixel(x, y));
            if (a > 0 && a < 255)
                return true;
        }
    }
    return false;
}

using IconPickerTest = KitTest;

} // namespace

TEST(IconGlyph, FitsTheShorterSideCentredAndFillsNonZero)
{
    const QRect wide = inkBox(glyph("vinyl", QSize(60, 30)));
    const QRect tall = inkBox(glyph("vinyl", QSize(30, 60)));
    EXPECT_TRUE(QRect(15, 0, 30, 30).contains(wide)) << wide.x() << " " << wide.width();
    EXPECT_TRUE(QRect(0, 15, 30, 30).contains(tall)) << tall.y() << " " << tall.height();
    EXPECT_EQ(wide.size(), tall.size());

    const QImage big = glyph("vinyl", QSize(200, 100));
    EXPECT_TRUE(QRect(50, 0, 100, 100).contains(inkBox(big)));
    EXPECT_EQ(qAlpha(big.pixel(100, 50)), 0); // the spindle hole
    EXPECT_EQ(big.pixelColor(100, 45), ink);  // the label
    EXPECT_TRUE(hasPartialPixel(big));
    EXPECT_TRUE(inkBox(glyph("nosuch", QSize(60, 60))).isEmpty());

    IconGlyph widget(QStringLiteral("vinyl"), ink);
    EXPECT_FALSE(widget.sizeHint().isValid());
    widget.resize(200, 100);
    QImage shown(200, 100, QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    widget.render(&shown, {}, {}, QWidget::RenderFlags());
    EXPECT_EQ(shown, big);
}

TEST(IconPickerFilter, MatchesTitleKeywordsAndIdAsTyped)
{
    const QStringList all = LWIcons::names();
    ASSERT_EQ(all.size(), 69);
    struct Case {
        const char *query;
        QStringList want;
    } cases[] = {
        {"", all},
        {" ", all},
        {"PLUMBING", {"drop", "wrench", "faucet"}},
        {"cup", {"cup", "cupcake"}},
        {"cup ", {"cup"}},
        {"e mob", {"phone"}},
        {"forkknife", {"forkknife"}},
        {"zzz", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ids(IconPicker::filter(QString::fromUtf8(c.query))), c.want) << '"' << c.query << '"';
}

TEST_F(IconPickerTest, GridHitsCellsNotGapsAndFollowsTheSearch)
{
    auto *picker = new IconPicker;
    picker->show();
    IconPickerGrid *grid = picker->grid();
    EXPECT_EQ(grid->height(), 12 * 52 + 11 * 6);
    EXPECT_EQ(picker->scrollArea()->geometry().left(), 11);
    EXPECT_EQ(grid->geometry(), QRect(0, 0, 378, 690));
    EXPECT_EQ(picker->width(), 400);

    // The kit's scroll indicator lies in the padding right of the grid and drags the grid.
    auto *thumb = qobject_cast<QScrollBar *>(picker->childAt(394, picker->scrollArea()->y() + 5));
    ASSERT_TRUE(thumb);
    EXPECT_GE(thumb->mapTo(picker, QPoint(0, 0)).x(), 11 + 378 - 1);
    QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(6, 5));
    QTest::mouseMove(thumb, QPoint(6, 299));
    QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(6, 299));
    EXPECT_EQ(thumb, picker->scrollArea()->verticalScrollBar());
    EXPECT_EQ(thumb->value(), thumb->maximum());
    EXPECT_EQ(thumb->maximum(), 690 - 300);

    QSignalSpy picks(picker, &IconPicker::pick);
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(7).center());
    QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(58 + 3, 10)); // between columns 1 and 2
    QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(10, 52 + 3)); // between rows 1 and 2
    ASSERT_EQ(picks.size(), 1);
    EXPECT_EQ(picks[0][0].toString(), "person");

    QHelpEvent tip(QEvent::ToolTip, grid->cellRect(7).center(), grid->mapToGlobal(grid->cellRect(7).center()));
    QCoreApplication::sendEvent(grid, &tip);
    EXPECT_EQ(QToolTip::text(), LWIcons::title(QStringLiteral("person")));

    QTest::keyClicks(picker->searchField()->lineEdit(), QStringLiteral("zzz"));
    EXPECT_EQ(grid->icons().size(), 0);
    picker->searchField()->clearButton()->click();
    EXPECT_EQ(grid->icons().size(), 69);
    picker->searchField()->setText(QStringLiteral("PLUMBING"));

    // The caller closes the popover from its handler.
    QObject::connect(picker, &IconPicker::pick, picker, &QObject::deleteLater);
    QPointer<IconPicker> alive(picker);
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(1).center());
    ASSERT_EQ(picks.size(), 2);
    EXPECT_EQ(picks[1][0].toString(), "wrench");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive);
}
