#pragma once
// A test's app in its main window on the editor screen, shown and active.
#include "app/app.h"
#include "shell/mainwindow.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/editorscreen.h"
#include "ui/canvas/pagecanvas.h"

#include <QTest>
#include <gtest/gtest.h>
#include <memory>

struct EditorWindow {
    std::unique_ptr<MainWindow> window;
    EditorScreen *editorScreen = nullptr;
    PageCanvas *page = nullptr;

    void showWindow(LWApp &app)
    {
        window = std::make_unique<MainWindow>(app);
        window->resize(1480, 940);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        auto *screen = qobject_cast<EditorScreen *>(window->screen());
        ASSERT_NE(screen, nullptr);
        editorScreen = screen;
        page = screen->canvas()->page();
    }
};
