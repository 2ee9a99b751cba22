#include "kit/cabinet/chromeroundbutton.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/colorwell.h"
#include "kit/controls/ledtoggle.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/controls/symbolbutton.h"
#include "kit/host/kithost.h"
#include "kit/theme/appstyle.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "kitfixture.h"
#include "snapshot.h"

#include <QAccessible>
#include <QCheckBox>
#include <QStyleOptionButton>
#include <QColorDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <functional>
#include <iterator>
#include <memory>

namespace {

using Controls = KitTest;

// A caller's flag with every value the toggle sets.
struct Flag {
    bool on = false;
    bool ignore = false;
    QList<bool> sets;
    std::unique_ptr<LEDToggle> make(const QColor &colour = LWStyle::moss())
    {
        auto t = std::make_unique<LEDToggle>(
            QStringLiteral("Bleed"), [this] { return on; },
            [this](bool v) {
                sets.append(v);
                if (!ignore)
                    on = v;
            },
            colour);
        t->resize(t->sizeHint());
        return t;
    }
};

QColor lamp(LEDToggle &t)
{
    return snapshot(t).pixelColor(t.lampRect().center().toPoint());
}

} // namespace

TEST_F(Controls, ToggleFlipsTheCallersFlagAndOnlyTheLampShowsIt)
{
    Flag moss, ruby;
    auto t = moss.make();
    auto r = ruby.make(LWStyle::ruby());
    const QImage off = snapshot(*t);
    const QColor dark = lamp(*t);
    EXPECT_LE(std::abs(dark.green() - dark.red()), 2);
    QTest::mouseClick(t.get(), Qt::LeftButton, {}, t->rect().center());
    QTest::mouseClick(r.get(), Qt::LeftButton, {}, r->rect().center());
    EXPECT_EQ(moss.sets, QList<bool>{true});
    const QColor green = lamp(*t), red = lamp(*r);
    EXPECT_GT(green.green(), green.red() + 20);
    EXPECT_GT(green.green(), green.blue() + 20);
    EXPECT_GT(red.red(), red.green() + 40);
    // Lit, the lamp is the only change.
    const QImage on = snapshot(*t);
    const QRect glow = t->lampRect().toAlignedRect().adjusted(-6, -6, 6, 6);
    for (int y = 0; y < on.height(); ++y)
        for (int x = 0; x < on.width(); ++x)
            if (!glow.contains(x, y)) {
                ASSERT_EQ(on.pixel(x, y), off.pixel(x, y)) << x << "," << y;
            }

    QTest::mouseClick(t.get(), Qt::LeftButton, {}, t->rect().center());
    EXPECT_EQ(moss.sets, (QList<bool>{true, false}));
    EXPECT_EQ(snapshot(*t), off);

    // A caller that ignores the toggle keeps the lamp dark; a corner is outside the capsule.
    Flag stubborn;
    stubborn.ignore = true;
    auto s = stubborn.make();
    QTest::mouseClick(s.get(), Qt::LeftButton, {}, s->rect().center());
    EXPECT_EQ(stubborn.sets, QList<bool>{true});
    EXPECT_EQ(snapshot(*s), off);
    QTest::mouseClick(s.get(), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(stubborn.sets.size(), 1);
}

TEST_F(Controls, ToggleTellsAssistiveTechnologyItsState)
{
    Flag f;
    auto t = f.make();
    EXPECT_EQ(t->toolTip(), QString());
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(t.get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Bleed"));
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("off"));
    ASSERT_NE(a->actionInterface(), nullptr);
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("on"));
    f.on = false;
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("off"));
    LEDToggle helped(QStringLiteral("Grid"), [] { return true; }, [](bool) {}, LWStyle::moss(), QStringLiteral("Shows the grid"));
    EXPECT_EQ(helped.toolTip(), QStringLiteral("Shows the grid"));
}

TEST_F(Controls, ChipSizesAndAction)
{
    ChipButton plain(QStringLiteral("Fit")), pictured(QStringLiteral("Fit"), VKSymbols::photo);
    ChipButton prominent(QStringLiteral("Fit"), VKSymbols::photo, true);
    EXPECT_TRUE(plain.isCompact());
    EXPECT_EQ(pictured.sizeHint().width() - plain.sizeHint().width(), vkPixelSize(plain.labelFont()) + 5);
    EXPECT_EQ(prominent.sizeHint(), pictured.sizeHint());
    ChipButton ampersand(QStringLiteral("R&D"));
    EXPECT_EQ(ampersand.shownText(), QStringLiteral("R&D"));
    EXPECT_TRUE(ampersand.shortcut().isEmpty());

    int runs = 0;
    QObject::connect(&plain, &QAbstractButton::clicked, [&] { ++runs; });
    plain.resize(plain.sizeHint());
    QTest::mouseClick(&plain, Qt::LeftButton, {}, plain.rect().center());
    EXPECT_EQ(runs, 1);
}

TEST_F(Controls, WellShowsTheColourOverTheCheckerboard)
{
    // (9, 9) lies on a dark square, (15, 9) on a light one.
    LWColorWell well(LWColor(1, 0, 0, 0.5));
    EXPECT_EQ(well.sizeHint(), QSize(38, 24));
    well.resize(well.sizeHint());
    QImage img = snapshot(well);
    const QColor dark = img.pixelColor(9, 9), light = img.pixelColor(15, 9);
    EXPECT_NE(dark, light);
    for (const QColor &c : {dark, light})
        EXPECT_GT(c.red(), c.green() + 60);
    well.setColor(LWColor(1, 0, 0, 1));
    img = snapshot(well);
    EXPECT_EQ(img.pixelColor(9, 9), img.pixelColor(15, 9));
    EXPECT_EQ(img.pixelColor(9, 9), QColor(255, 0, 0));
    // Out-of-range components show clamped.
    well.setColor(LWColor(2, -1, 0, 3));
    EXPECT_EQ(snapshot(well), img);
}

TEST_F(Controls, WellReportsEveryDialogChangeToTheWellThatOpenedIt)
{
    QWidget mainWindow;
    LWColorWell::setPanelParent(&mainWindow);
    auto first = std::make_unique<LWColorWell>(LWColor(1, 0, 0, 0.5));
    LWColorWell second(LWColor(0, 0, 1, 1));
    QList<LWColor> firstHeard, secondHeard;
    QObject::connect(first.get(), &LWColorWell::colorPicked, [&](const LWColor &c) { firstHeard.append(c); });
    QObject::connect(&second, &LWColorWell::colorPicked, [&](const LWColor &c) { secondHeard.append(c); });
    for (LWColorWell *w : {first.get(), &second})
        w->resize(w->sizeHint());

    QTest::mouseClick(first.get(), Qt::LeftButton, {}, QPoint(19, 12));
    QColorDialog *dialog = LWColorWell::panel();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isWindow());
    EXPECT_EQ(dialog->parentWidget(), &mainWindow);
    EXPECT_TRUE(dialog->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_EQ(dialog->currentColor().rgba(), QColor::fromRgbF(1, 0, 0, 0.5).rgba());
    EXPECT_TRUE(firstHeard.isEmpty());

    QSignalSpy changes(dialog, &QColorDialog::currentColorChanged);
    dialog->setCurrentColor(QColor::fromRgbF(0.2f, 0.3f, 0.4f));
    dialog->setCurrentColor(QColor::fromRgbF(0, 0.5f, 1, 0.25f));
    ASSERT_GE(changes.count(), 2);
    ASSERT_EQ(firstHeard.size(), changes.count());
    const LWColor last = firstHeard.last();
    for (const auto &[got, want] : {std::pair{last.r, 0.0}, {last.g, 0.5}, {last.b, 1.0}, {last.a, 0.25}})
        EXPECT_NEAR(got, want, 1.0 / 255);

    // The second well takes the dialog over, then the open well goes away.
    firstHeard.clear();
    QTest::mouseClick(&second, Qt::LeftButton, {}, QPoint(19, 12));
    EXPECT_EQ(LWColorWell::panel(), dialog);
    EXPECT_EQ(dialog->currentColor(), QColor(Qt::blue));
    dialog->setCurrentColor(Qt::green);
    EXPECT_TRUE(firstHeard.isEmpty());
    EXPECT_FALSE(secondHeard.isEmpty());
    QTest::mouseClick(first.get(), Qt::LeftButton, {}, QPoint(19, 12));
    first.reset();
    secondHeard.clear();
    dialog->setCurrentColor(Qt::yellow);
    EXPECT_TRUE(secondHeard.isEmpty());
    dialog->hide();

    const LWColor black = LWColorWell::reported(QColor());
    EXPECT_EQ(std::tuple(black.r, black.g, black.b, black.a), std::tuple(0.0, 0.0, 0.0, 1.0));
}

TEST_F(Controls, SegmentedUserPicksOneSegmentProgramChangesAreSilent)
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

TEST_F(Controls, SegmentedWidthCoversLabelAndEqualSegments)
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

namespace {

// The widget drawn over the theme's background.
QImage onBackground(QWidget &w, const QColor &bg)
{
    QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(bg);
    w.render(&img, {}, {}, QWidget::DrawChildren);
    return img;
}

// How far the image is from the background, on average over its pixels.
double fromBackground(const QImage &img, const QColor &bg)
{
    double sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            sum += distance(img.pixelColor(x, y), bg);
    return sum / (img.width() * img.height());
}

} // namespace

// Every kit button style, disabled, is drawn faded towards the background in light and dark themes,
// and a press on it changes nothing and runs nothing.
TEST_F(Controls, DisabledButtonsOfEveryStyleAreFadedAndIgnorePresses)
{
    int runs = 0;
    const auto count = [&runs] { ++runs; };
    const std::function<QWidget *()> makers[] = {
        [] {
            auto *b = new VKChromeButton(QStringLiteral("Export\u2026"));
            b->setProminent(true);
            return b;
        },
        [] { return new VKChromeButton(QStringLiteral("Close")); },
        [&] { return new ChromeRoundButton(VKSymbols::folder, QStringLiteral("Open"), count); },
        [] { return new ChipButton(QStringLiteral("Fit"), VKSymbols::photo); },
        [] { return new VKSymbolButton(VKSymbols::folder, 18, QStringLiteral("Open")); },
        [] {
            auto *p = new SegmentedPicker(QString(), {QStringLiteral("Wide"), QStringLiteral("Tall")}, 130);
            p->setCurrent(0);
            return p;
        },
    };
    for (const char *themeID : {"brushed-gray", "midnight-black"}) {
        VELKThemes::setCurrentID(QString::fromLatin1(themeID));
        const QColor bg = VELKKitHost::theme().bg;
        for (std::size_t i = 0; i < std::size(makers); ++i) {
            SCOPED_TRACE(testing::Message() << themeID << " style " << i);
            std::unique_ptr<QWidget> w(makers[i]());
            w->resize(w->sizeHint());
            w->show();
            auto *button = qobject_cast<QAbstractButton *>(w.get());
            if (!button) // the picker: its unchecked segment
                button = static_cast<SegmentedPicker *>(w.get())->segment(1);
            QObject::connect(button, &QAbstractButton::clicked, count);
            const QImage enabled = onBackground(*w, bg);
            w->setEnabled(false);
            const QImage disabled = onBackground(*w, bg);
            EXPECT_NE(disabled, enabled);
            EXPECT_LT(fromBackground(disabled, bg), 0.7 * fromBackground(enabled, bg));

            runs = 0;
            const QPoint centre = button->rect().center();
            QTest::mousePress(button, Qt::LeftButton, {}, centre);
            EXPECT_EQ(onBackground(*w, bg), disabled);
            QTest::mouseRelease(button, Qt::LeftButton, {}, centre);
            QTest::keyClick(button, Qt::Key_Space);
            EXPECT_EQ(runs, 0);
            EXPECT_FALSE(button->isChecked() && i + 1 == std::size(makers));
        }
    }
}

// An unchecked check box shows its box in every theme: the outline stands out from the
// background by at least 3:1.
TEST_F(Controls, CheckBoxOutlineReadsOnEveryTheme)
{
    VKAppStyle style;
    for (const VELKTheme &theme : VELKThemes::builtIn() + LWThemes::extras()) {
        SCOPED_TRACE(theme.id.toStdString());
        VELKThemes::registerThemes(LWThemes::extras());
        VELKThemes::setCurrentID(theme.id);
        const VKKitTheme kit = VELKKitHost::theme();
        QCheckBox box(QStringLiteral("Two-sided"));
        box.setStyle(&style);
        box.setPalette(VELKThemeRoot::themePalette(kit));
        box.resize(box.sizeHint());
        QImage shot(box.size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(kit.bg);
        box.render(&shot, {}, {}, QWidget::DrawChildren);
        QStyleOptionButton option;
        option.initFrom(&box);
        const QRect indicator = style.subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
        const QColor edge = shot.pixelColor(indicator.left(), indicator.center().y());
        const auto lw = [](const QColor &c) { return LWColor(c.redF(), c.greenF(), c.blueF()); };
        EXPECT_GE(LWColor::contrast(lw(edge), lw(kit.bg)), 3.0);
    }
}
