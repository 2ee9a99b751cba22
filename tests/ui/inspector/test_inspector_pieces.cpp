// Keys, the group box and the swatches.
#include "inspector_fixture.h"
#include "kit/cabinet/engravedlabel.h"
#include "kit/snapshot.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/keys.h"
#include "ui/inspector/swatches.h"

#include <QHelpEvent>
#include <QLabel>
#include <QTest>
#include <QToolTip>

namespace {

const LWColor navy = LWColor::hex(0x1F3A5F), red = LWColor::hex(0xA81D26), green = LWColor::hex(0x2F5D46),
              gold = LWColor::hex(0xE0B75A), white = LWColor::white, black = LWColor::black;

using Pieces = InspectorTest;

} // namespace

TEST(InspectorKeys, ElementKeysCarryTheUpperCaseIdText)
{
    const QUuid id = QUuid::createUuid();
    const QString text = id.toString(QUuid::WithoutBraces).toUpper();
    EXPECT_EQ(elementKey(QStringLiteral("rot-"), id), "rot-" + text);
    EXPECT_EQ(extendKey(QStringLiteral("fill-color"), id), "fill-color-" + text);
    EXPECT_EQ(extendKey(std::nullopt, id), std::nullopt);
}

TEST_F(Pieces, SwatchChipsPutTheCallersColoursFirst)
{
    QList<LWColor> many;
    for (int i = 0; i < 25; ++i)
        many << LWColor(0.01 * i, 0.5, 0.5);
    const LWColor halfBlack = black.withAlpha(0.5), nearWhite(0.99, 0.99, 0.99);
    const struct {
        const char *name;
        QList<LWColor> given, want;
    } cases[] = {
        {"none", {}, {white, black, navy, red, green, gold}},
        {"black and green", {black, green}, {black, green, white, navy, red, gold}},
        {"half black", {halfBlack}, {halfBlack, white, black, navy, red, green, gold}},
        {"near white", {nearWhite}, {nearWhite, white, black, navy, red, green, gold}},
        {"25 others", many, many.mid(0, 20)},
        {"two equal",
         {navy.withAlpha(0.3), navy.withAlpha(0.3)},
         {navy.withAlpha(0.3), navy.withAlpha(0.3), white, black, navy, red, green, gold}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Swatches::chips(c.given), c.want);
        Swatches view(c.given);
        const int rows = (c.want.size() + 9) / 10;
        EXPECT_EQ(view.sizeHint(), QSize(225, rows * 18 + (rows - 1) * 5));
    }
}

TEST_F(Pieces, SwatchClicksTooltipsAndPaint)
{
    Swatches view({LWColor(1, 0, 0, 0.5)}); // red at half, then the six fixed
    view.resize(265, view.sizeHint().height());
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QList<LWColor> picked;
    QObject::connect(&view, &Swatches::picked, [&](const LWColor &c) { picked << c; });

    EXPECT_EQ(view.chipRect(7), QRect(20 + 7 * 23, 0, 18, 18)); // the 225 wide grid centred in 265
    QTest::mouseClick(&view, Qt::LeftButton, {}, view.chipRect(0).center());
    EXPECT_EQ(picked, QList<LWColor>{LWColor(1, 0, 0, 0.5)}); // once, alpha included
    QTest::mouseClick(&view, Qt::LeftButton, {}, view.chipRect(6).center());
    EXPECT_EQ(picked.last(), gold);
    picked.clear();
    for (const QPoint gap : {QPoint(40, 9), QPoint(10, 9), QPoint(view.chipRect(6).right() + 30, 9)})
        QTest::mouseClick(&view, Qt::LeftButton, {}, gap);
    QTest::mousePress(&view, Qt::LeftButton, {}, view.chipRect(1).center());   // pressed on one chip,
    QTest::mouseRelease(&view, Qt::LeftButton, {}, view.chipRect(2).center()); // let go on another
    EXPECT_TRUE(picked.isEmpty());

    QHelpEvent tip(QEvent::ToolTip, view.chipRect(3).center(), view.mapToGlobal(view.chipRect(3).center()));
    QCoreApplication::sendEvent(&view, &tip);
    EXPECT_EQ(QToolTip::text(), "#1F3A5F"); // the third fixed chip, navy
    QToolTip::hideText();

    const QImage img = snapshot(view);
    expectNear(img.pixelColor(view.chipRect(3).center()), navy.qcolor(), "navy chip");
    EXPECT_EQ(qAlpha(img.pixel(view.chipRect(0).center())), 128); // a transparent colour shows through
    EXPECT_EQ(qAlpha(img.pixel(QPoint(40, 9))), 0);               // gaps stay clear

    view.setColors({}); // fewer chips, redrawn in place
    EXPECT_EQ(view.shownChips().size(), 6);
}

TEST_F(Pieces, GroupStacksItsRowsUnderTheCaption)
{
    InspectorGroup group(QStringLiteral("Fill"));
    auto *a = new QLabel(QStringLiteral("first row"));
    auto *b = new QLabel(QStringLiteral("second row"));
    group.addRow(a);
    group.addRow(b);
    group.resize(280, group.sizeHint().height());
    group.show();
    EXPECT_EQ(group.caption()->text(), "FILL");
    EXPECT_EQ(a->geometry().top(), group.caption()->geometry().bottom() + 1 + 7);
    EXPECT_EQ(b->geometry().top(), a->geometry().bottom() + 1 + 7);
    EXPECT_EQ(b->geometry().bottom() + 1 + 10, group.height()); // the size hint holds every row

    group.setTitle(QStringLiteral("Background"));
    EXPECT_EQ(group.caption()->text(), "BACKGROUND");

    const QImage img = snapshot(group);
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);                          // the rounded corner
    EXPECT_NEAR(qAlpha(img.pixel(140, group.height() / 2)), 51, 2); // black 20 % inside
}
