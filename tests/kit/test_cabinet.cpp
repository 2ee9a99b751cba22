#include "kit/cabinet/bezel.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/cabinet/engravedlabel.h"
#include "kit/host/kithost.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/cabinet/led.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/theme/themes.h"
#include "kit/paint/uifont.h"
#include "kit/cabinet/woodcheek.h"
#include "kitfixture.h"
#include "snapshot.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include <cmath>

namespace {

bool isGrey(const QColor &c)
{
    return std::abs(c.red() - c.green()) <= 2 && std::abs(c.green() - c.blue()) <= 2;
}

using Cabinet = KitTest;

} // namespace

TEST(CabinetWood, GrainLinesFollowTheHeight)
{
    const struct {
        double h;
        qsizetype points;
        double lastY;
    } cases[] = {{0, 1, 0}, {-3, 1, 0}, {6, 2, 6}, {7, 3, 12}, {60, 11, 60}, {61, 12, 66}};
    for (const auto &c : cases)
        for (int i = 0; i < 9; ++i) {
            const QPolygonF line = WoodCheek::grainLine(i, 20, c.h, 0);
            ASSERT_EQ(line.size(), c.points) << "h " << c.h << " line " << i;
            EXPECT_EQ(line.last().y(), c.lastY);
        }
    EXPECT_EQ(WoodCheek::grainLine(0, 20, 30, 0.7).first(), QPointF(1.6, 0));
    EXPECT_NEAR(WoodCheek::grainLine(8, 20, 30, 0.7).first().x(), 19.2, 1e-12);
    EXPECT_EQ(WoodCheek::grainLine(8, 20, 30, 0.7).first().y(), 0);
    // The start is never displaced; later points are.
    EXPECT_NE(WoodCheek::grainLine(3, 20, 30, 0)[1].x(), WoodCheek::grainLine(3, 20, 30, 0)[0].x());
}

TEST(CabinetWood, SeedShiftsTheGrain)
{
    WoodCheek plain, zero(0), one(1), oneAgain(1);
    for (WoodCheek *w : {&plain, &zero, &one, &oneAgain})
        w->resize(20, 120);
    EXPECT_EQ(plain.seed(), 0);
    EXPECT_EQ(snapshot(plain), snapshot(zero));
    EXPECT_EQ(snapshot(one), snapshot(oneAgain));
    EXPECT_NE(snapshot(one), snapshot(zero));
    EXPECT_EQ(plain.width(), 20);
}

TEST_F(Cabinet, BezelLaysOutContentInsideItsPadding)
{
    const QMargins m = Bezel::shadowMargins();
    EXPECT_EQ(m, QMargins(12, 12, 12, 12));
    Bezel plain(new QLabel(QStringLiteral("x")));
    plain.resize(plain.sizeHint() + QSize(100, 60));
    plain.show();
    EXPECT_EQ(plain.content()->geometry().topLeft() - plain.panelRect().topLeft().toPoint(), QPoint(12, 12));

    Bezel titled(new QLabel(QStringLiteral("x")), QStringLiteral("Sizes"));
    titled.resize(titled.sizeHint());
    titled.show();
    const auto *label = titled.findChild<EngravedLabel *>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("SIZES"));
    EXPECT_EQ(label->geometry().topLeft() - titled.panelRect().topLeft().toPoint(), QPoint(12, 12));
    EXPECT_EQ(titled.content()->geometry().top(), label->geometry().bottom() + 1 + 8);
    EXPECT_EQ(plain.findChild<EngravedLabel *>(), nullptr);

    // Expanding content fills the panel.
    auto *wide = new QWidget;
    wide->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Bezel filled(wide);
    filled.resize(300, 200);
    filled.show();
    EXPECT_EQ(wide->geometry(), filled.panelRect().toRect().adjusted(12, 12, -12, -12));
}

TEST_F(Cabinet, BezelPaintsScrewsAtTheTopAndTheThemeGradient)
{
    const VKKitTheme theme = LWStyle::t();
    for (const bool screws : {true, false}) {
        Bezel bezel(nullptr, std::nullopt, 18, 12, screws);
        bezel.resize(200, 160);
        const QImage img = snapshot(bezel);
        const QRectF panel = bezel.panelRect();
        // Probes inside each corner's 7 × 7 square, off the slot.
        const QPoint topLeft(int(panel.left()) + 7 + 5, int(panel.top()) + 7 + 2);
        const QPoint topRight(int(panel.right()) - 14 + 5, int(panel.top()) + 7 + 2);
        const QPoint bottomLeft(topLeft.x(), int(panel.bottom()) - 14 + 2);
        const QPoint bottomRight(topRight.x(), int(panel.bottom()) - 14 + 2);
        for (const QPoint p : {topLeft, topRight})
            EXPECT_EQ(isGrey(img.pixelColor(p)) && distance(img.pixelColor(p), theme.panelTop) > 30, screws)
                << "top " << p.x() << " screws " << screws;
        for (const QPoint p : {bottomLeft, bottomRight})
            EXPECT_LT(distance(img.pixelColor(p), theme.panelBottom), 24) << "bottom " << p.x();
        const QColor nearTop = img.pixelColor(100, int(panel.top()) + 4);
        const QColor nearBottom = img.pixelColor(100, int(panel.bottom()) - 4);
        EXPECT_LT(distance(nearTop, theme.panelTop), distance(nearTop, theme.panelBottom));
        EXPECT_LT(distance(nearBottom, theme.panelBottom), distance(nearBottom, theme.panelTop));
    }

    Bezel bezel(nullptr);
    bezel.resize(200, 160);
    (void)snapshot(bezel);
    VELKKitHost::setThemeProvider([] { return VELKThemes::named(QStringLiteral("rose-gold")).kitTheme(); });
    const QColor rose = VELKThemes::named(QStringLiteral("rose-gold")).kitTheme().panelTop;
    const QColor after = snapshot(bezel).pixelColor(100, int(bezel.panelRect().top()) + 4);
    VELKKitHost::setThemeProvider({});
    EXPECT_LT(distance(after, rose), 24);
}

TEST_F(Cabinet, ReadoutSizesToItsRows)
{
    const auto rowHeight = [](qsizetype row, const QString &text) { return vkTextSize(LCDReadout::rowFont(row), text).height(); };
    LCDReadout empty;
    EXPECT_EQ(empty.sizeHint(), QSize(220, 12));
    empty.resize(empty.sizeHint());
    EXPECT_LT(distance(snapshot(empty).pixelColor(110, 6), LWStyle::lcdBG()), 8);
    EXPECT_EQ(LCDReadout({}, 300).sizeHint().width(), 300);

    const QString longLine = QStringLiteral("3.5 × 2 in · 1050 × 600 px at 300 dpi · CMYK ready");
    LCDReadout one({longLine});
    EXPECT_GT(one.sizeHint().width(), 220);
    EXPECT_EQ(one.sizeHint().width(), std::ceil(vkTextSize(LCDReadout::rowFont(0), longLine).width() + 24));
    EXPECT_EQ(one.sizeHint().height(), std::ceil(12 + rowHeight(0, longLine)));
    LCDReadout two({QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_EQ(two.sizeHint().height(), std::ceil(12 + rowHeight(0, "A") + 1 + rowHeight(1, "B")));
    EXPECT_EQ(QFontInfo(LCDReadout::rowFont(0)).weight(), QFont::Bold);

    LCDReadout glass;
    glass.resize(220, 60);
    const QImage img = snapshot(glass);
    EXPECT_GT(qGray(img.pixel(110, 10)), qGray(img.pixel(110, 50)));
}

TEST(CabinetLamp, GlowsOnlyWhenLit)
{
    const QMargins m = LED::shadowMargins();
    LED lit(LWStyle::moss()), dark(LWStyle::ruby(), false);
    EXPECT_EQ(lit.sizeHint(), QSize(9, 9).grownBy(m));
    lit.resize(lit.sizeHint());
    dark.resize(dark.sizeHint());
    const QImage on = snapshot(lit), off = snapshot(dark);
    const QPoint outside(m.left() - 2, m.top() + 4);
    const QColor glow = on.pixelColor(outside);
    EXPECT_GT(glow.alpha(), 0);
    EXPECT_GT(glow.green(), glow.red());
    EXPECT_GT(glow.green(), glow.blue());
    for (int y = 0; y < off.height(); ++y)
        for (int x = 0; x < off.width(); ++x) {
            const bool inCircle = std::hypot(x + 0.5 - (m.left() + 4.5), y + 0.5 - (m.top() + 4.5)) < 5.5;
            if (!inCircle) {
                ASSERT_EQ(qAlpha(off.pixel(x, y)), 0) << x << "," << y;
            }
        }
    EXPECT_TRUE(isGrey(off.pixelColor(m.left() + 4, m.top() + 4)));
}

TEST(CabinetRoundButton, ClicksKeysAndLooks)
{
    int calls = 0;
    ChromeRoundButton button(VKSymbols::ruler, QStringLiteral("Rulers"), [&calls] { ++calls; });
    EXPECT_EQ(ChromeRoundButton::shadowMargins(), QMargins(9, 9, 9, 9));
    EXPECT_EQ(button.sizeHint(), QSize(56, 56));
    button.resize(button.sizeHint());
    const QRectF face = button.faceRect();
    QTest::mouseClick(&button, Qt::LeftButton, {}, face.center().toPoint());
    EXPECT_EQ(calls, 1);
    QTest::mouseClick(&button, Qt::LeftButton, {}, (face.topLeft() + QPointF(3, 3)).toPoint());
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(button.hasFocus());
    EXPECT_EQ(button.focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(button.toolTip(), QStringLiteral("Rulers"));
    EXPECT_EQ(button.accessibleName(), QStringLiteral("Rulers"));

    const QPoint facePixel = (face.topLeft() + QPointF(19, 8)).toPoint();
    const int enabledAlpha = qAlpha(snapshot(button).pixel(facePixel));
    button.setDisabled(true);
    EXPECT_NEAR(qAlpha(snapshot(button).pixel(facePixel)), 0.4 * enabledAlpha, 2);
    QTest::mouseClick(&button, Qt::LeftButton, {}, face.center().toPoint());
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(calls, 1);
    button.setDisabled(false);
    button.show();
    button.activateWindow();
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(calls, 2);

    // Selected: an accent glow outside the circle; unselected: no accent there.
    const QColor accent = LWStyle::t().accent;
    const QPoint beside((face.left() - 3), face.center().y());
    for (const bool selected : {true, false}) {
        button.setSelected(selected);
        EXPECT_EQ(button.sizeHint(), QSize(56, 56));
        const QColor c = snapshot(button).pixelColor(beside);
        const bool accentGlow = c.alpha() > 20 && distance(c, accent) < 60;
        EXPECT_EQ(accentGlow, selected);
    }
}

TEST(CabinetDecorations, ReportInvisible)
{
    // Shown, so only the factory can make them invisible.
    QWidget window;
    auto *readout = new LCDReadout({QStringLiteral("x")}, 220, &window);
    const QList<QWidget *> decorations{new WoodCheek(0, &window), new Screw(&window), new LED(LWStyle::amber(), true, 9, &window)};
    window.show();
    for (QWidget *w : decorations) {
        ASSERT_TRUE(w->isVisible());
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_TRUE(a->state().invisible) << w->metaObject()->className();
    }
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(readout)->state().invisible);
}
