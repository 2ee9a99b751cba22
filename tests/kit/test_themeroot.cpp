#include "kit/kithost.h"
#include "kit/themecommands.h"
#include "kit/themeroot.h"
#include "kit/themes.h"
#include "kitfixture.h"
#include "snapshot.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {

void runQueued()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

using ThemeRoot = KitTest;

} // namespace

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
    const QList<VELKTheme> themes = VELKThemes::all();
    ASSERT_EQ(actions.size(), 7);
    for (int i = 0; i < 7; ++i) {
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
