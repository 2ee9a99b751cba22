#include "kit/host/kithost.h"
#include "kit/theme/appstyle.h"
#include "kit/theme/themecommands.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kitfixture.h"
#include "snapshot.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

void runQueued()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

using ThemeRoot = KitTest;
using Themes = KitTest;

} // namespace

TEST_F(Themes, EveryThemeMeetsTheContrastFloors)
{
    const QList<VELKTheme> all = VELKThemes::builtIn() + LWThemes::extras();
    for (const VELKTheme &t : all) {
        SCOPED_TRACE(t.id.toStdString());
        using RGB = VELKTheme::RGB;
        EXPECT_GE(RGB::contrast(t.text, t.bg), 7);
        EXPECT_GE(RGB::contrast(t.text, t.panelTop), 4.5);
        EXPECT_GE(RGB::contrast(t.dim, t.panelBottom), 4.5);
        const VKKitTheme kit = t.kitTheme();
        const QColor accentText = VKAppStyle::accentText(kit);
        EXPECT_GE(RGB::contrast(LWColor(accentText.redF(), accentText.greenF(), accentText.blueF()), t.panelTop), 3);
        EXPECT_EQ(kit.rim, QColor::fromRgbF(1, 1, 1, 0.25f));
        EXPECT_EQ(kit.accent, t.accent.qcolor());
        EXPECT_EQ(kit.bg.alphaF(), 1.0f);
    }
    EXPECT_GE(VELKTheme::RGB::contrast(LWColor::white, LWThemes::extras().first().accent), 4.5);
}

TEST_F(Themes, RegisteringKeepsFirstOccurrenceOfEachID)
{
    const QStringList builtIn = ids(VELKThemes::builtIn());
    VELKThemes::registerThemes(LWThemes::extras());
    VELKThemes::registerThemes(LWThemes::extras());
    EXPECT_EQ(ids(VELKThemes::all()), builtIn + QStringList{LWThemes::forestID});

    // A built-in id registers nothing, however different its colours.
    VELKTheme fake = VELKThemes::builtIn()[2];
    fake.name = QStringLiteral("Fake");
    fake.bg = LWColor::white;
    VELKThemes::registerThemes({fake});
    EXPECT_EQ(VELKThemes::all().size(), 7);
    EXPECT_EQ(VELKThemes::named(fake.id).name, "Rose Gold");
    EXPECT_EQ(fake, VELKThemes::builtIn()[2]); // equality is by id

    VELKTheme first = fake, second = fake;
    first.id = second.id = QStringLiteral("test-twice");
    second.name = QStringLiteral("Second");
    VELKThemes::registerThemes({first, second});
    ASSERT_EQ(VELKThemes::all().size(), 8);
    EXPECT_EQ(VELKThemes::all().last().name, "Fake");
}

TEST_F(Themes, LookupFallsBackToTheDefaultThenTheFirstBuiltIn)
{
    EXPECT_EQ(VELKThemes::currentID(), "cobalt-gunmetal");
    EXPECT_EQ(VELKThemes::current().name, "Cobalt Gunmetal");
    for (const QString &id : {QString(), QStringLiteral("nope"), QStringLiteral("Rose-Gold")})
        EXPECT_EQ(VELKThemes::named(id).name, "Cobalt Gunmetal") << id.toStdString();
    VELKThemes::setCurrentID(QString());
    EXPECT_EQ(VELKThemes::currentID(), "");
    EXPECT_EQ(VELKThemes::current().name, "Cobalt Gunmetal");
    VELKThemes::setCurrentID(QStringLiteral("midnight-black"));
    EXPECT_EQ(VELKThemes::current().name, "Midnight Black");

    VELKThemes::defaultID = QStringLiteral("rose-gold");
    EXPECT_EQ(VELKThemes::named(QStringLiteral("nope")).name, "Rose Gold");
    VELKThemes::defaultID = QStringLiteral("nope");
    EXPECT_EQ(VELKThemes::named(QStringLiteral("nope2")).name, "Cobalt Gunmetal");
    VELKThemes::defaultID = QStringLiteral("cobalt-gunmetal");
}

TEST_F(Themes, ColourArithmetic)
{
    using RGB = VELKTheme::RGB;
    for (const std::uint32_t hex : {0x2B7F47u, 0xFF2B7F47u}) {
        const RGB c = RGB::hex(hex);
        EXPECT_EQ(c, RGB(43 / 255.0, 127 / 255.0, 71 / 255.0));
    }
    EXPECT_DOUBLE_EQ(RGB::contrast(LWColor::white, LWColor::black), 21);
    const RGB a = RGB::hex(0x2F7BF2), b = RGB::hex(0xE0789A);
    EXPECT_DOUBLE_EQ(RGB::contrast(a, a), 1);
    EXPECT_DOUBLE_EQ(RGB::contrast(a, b), RGB::contrast(b, a));
    EXPECT_DOUBLE_EQ(RGB(0.03928, 0, 0).luminance(), 0.2126 * 0.03928 / 12.92);

    EXPECT_EQ(VELKTheme::familyFromText(QStringLiteral("gray")), VELKTheme::Family::gray);
    EXPECT_EQ(VELKTheme::familyFromText(QStringLiteral("Gray")), std::nullopt);
    EXPECT_EQ(VELKTheme::familyText(VELKTheme::Family::extra), "extra");
}

TEST_F(Themes, EveryWriteIsAnnouncedEqualValuesToo)
{
    QSignalSpy spy(&LWSettings::shared(), &LWSettings::changed);
    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    LWSettings::shared().remove(VELKThemes::key);
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy.at(2).at(0).toString(), VELKThemes::key);
    EXPECT_EQ(VELKThemes::currentID(), "cobalt-gunmetal");
}

TEST_F(ThemeRoot, PaintsTheThreeBackgroundLayers)
{
    VELKThemes::setCurrentID(QStringLiteral("candy-red-titanium"));
    VELKThemeRoot root([] { return new QLabel(QStringLiteral("content")); });
    root.resize(1000, 600);
    const QImage grab = root.grab().toImage();
    ASSERT_EQ(grab.size(), QSize(1000, 600));

    const VKKitTheme t = VELKThemes::current().kitTheme();
    const QColor white(Qt::white), black(Qt::black);
    expectNear(grab.pixelColor(999, 0), composite(t.bg, white, 0.07), "top right");
    expectNear(grab.pixelColor(999, 300), t.bg, "middle right");
    expectNear(grab.pixelColor(999, 599), composite(t.bg, black, 0.25), "bottom right");
    expectNear(grab.pixelColor(1, 1), composite(composite(t.bg, white, 0.07), t.accent, 0.18), "top left");

    EXPECT_EQ(QApplication::palette().color(QPalette::Window), t.bg);
    EXPECT_EQ(root.palette().color(QPalette::WindowText), t.text);
}

TEST_F(ThemeRoot, AThemeWriteFromInsideRebuildsOnceAfterTheEventLoop)
{
    int builds = 0;
    QPointer<QLineEdit> field;
    VELKThemeRoot root([&] {
        ++builds;
        auto *content = new QWidget;
        auto *layout = new QVBoxLayout(content);
        field = new QLineEdit;
        auto *button = new QPushButton(QStringLiteral("Rose"));
        QObject::connect(button, &QPushButton::clicked, [] {
            VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
            VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
        });
        layout->addWidget(field);
        layout->addWidget(button);
        return content;
    });
    root.show();
    ASSERT_EQ(builds, 1);
    QTest::keyClicks(field, QStringLiteral("half typed"));
    QPointer<QWidget> old = root.content();

    QTest::mouseClick(old->findChild<QPushButton *>(), Qt::LeftButton);
    EXPECT_EQ(builds, 1); // not on the button's own stack
    EXPECT_EQ(root.themeID(), "cobalt-gunmetal");
    runQueued();
    EXPECT_EQ(builds, 2);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(root.themeID(), "rose-gold");
    EXPECT_TRUE(root.content()->isVisible());
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), VELKThemes::named("rose-gold").kitTheme().bg);

    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    runQueued();
    EXPECT_EQ(builds, 2);

    // Switched away and back before the loop ran: nothing to rebuild.
    VELKThemes::setCurrentID(QStringLiteral("brushed-gray"));
    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    runQueued();
    EXPECT_EQ(builds, 2);
}

TEST_F(ThemeRoot, MenuListsEveryThemeAndFollowsTheStoredID)
{
    VELKKit::install(std::nullopt, {}, LWThemes::extras());
    VELKThemeCommands menu;
    EXPECT_EQ(menu.title(), "Theme");
    const QList<QAction *> actions = menu.actions();
    const QList<VELKTheme> themes = VELKThemes::all(); // the registering test above may have added one
    ASSERT_EQ(actions.size(), themes.size());
    for (qsizetype i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->text(), themes[i].name);
        EXPECT_FALSE(actions[i]->isSeparator());
        EXPECT_TRUE(actions[i]->shortcut().isEmpty());
    }

    const auto checked = [&] {
        QStringList out;
        for (QAction *a : actions) {
            if (a->isChecked())
                out.append(a->text());
        }
        return out;
    };
    EXPECT_EQ(checked(), QStringList{"Cobalt Gunmetal"});
    VELKThemes::setCurrentID(QStringLiteral("midnight-black"));
    EXPECT_EQ(checked(), QStringList{"Midnight Black"});
    VELKThemes::setCurrentID(QStringLiteral("nope"));
    EXPECT_EQ(checked(), QStringList{});

    actions[6]->trigger();
    EXPECT_EQ(VELKThemes::currentID(), LWThemes::forestID);
    EXPECT_EQ(checked(), QStringList{"Forest Green"});
    actions[6]->trigger(); // choosing the checked item again keeps it checked
    EXPECT_EQ(checked(), QStringList{"Forest Green"});
}
