#pragma once
#include "app/app.h"
#include "editor/editor_fixture.h"
#include "kit/theme/themeroot.h"
#include "kit/zoom/zoomhost.h"
#include "model/testflags.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

// The real main window over a throw-away settings file; its content, inside the zoom host, takes
// the widgets a test needs. The shared state's editor is the test's.
class MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
        VELKTestFlags::running = false;
        app = &LWSetup::configure();
        window = std::make_unique<LWShellWindow>(*app);
        host = qobject_cast<VKZoomHost *>(window->root()->content());
        ASSERT_NE(host, nullptr);
        // The window's content has its own layout, at whose end the tests' widgets go.
        content = host->content();
        if (!content->layout())
            new QVBoxLayout(content);
    }
    void TearDown() override
    {
        app->setEditor(nullptr);
        window.reset();
        VELKTestFlags::running = false;
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini"))));
    }

    // Opens `doc` in a new editor of the shared state, with `selection` selected.
    LWEditor *open(LWDocument doc, const QList<QUuid> &selection = {})
    {
        auto *editor = new LWEditor(std::move(doc));
        editor->setUsePasteboard(false);
        editor->setSelection(selection);
        app->setEditor(editor);
        return editor;
    }
    template <class W> W *place(W *widget)
    {
        content->layout()->addWidget(widget);
        return widget;
    }
    void showActive()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // A key press as the window receives it: shortcuts first, then the focused widget.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(window.get(), key, modifiers);
    }
    // The item of that title in the menu or one of its submenus.
    static QAction *item(const QMenu *menu, const QString &title)
    {
        QAction *found = find(menu, title);
        if (!found)
            ADD_FAILURE() << "no item " << title.toStdString();
        return found;
    }
    static QAction *find(const QMenu *menu, const QString &title)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == title)
                return action;
            if (action->menu())
                if (QAction *inner = find(action->menu(), title))
                    return inner;
        }
        return nullptr;
    }
    // Titles with "-" for separators and the keys each item answers to.
    static QStringList layout(const QMenu *menu)
    {
        QStringList out;
        for (const QAction *action : menu->actions()) {
            QString line = action->isSeparator() ? QStringLiteral("-") : action->text();
            QStringList keys;
            for (const QKeySequence &k : action->shortcuts())
                keys << k.toString(QKeySequence::PortableText);
            if (!keys.isEmpty())
                line += QStringLiteral(" ") + keys.join(QLatin1Char('|'));
            out << line;
        }
        return out;
    }
    QMenu *helpMenu() const { return window->menuBar()->actions().constLast()->menu(); }

    QTemporaryDir dir;
    LWApp *app = nullptr;
    std::unique_ptr<LWShellWindow> window;
    VKZoomHost *host = nullptr;
    QWidget *content = nullptr;
};
