#pragma once
#include "app/app.h"
#include "editor/editor_fixture.h"
#include "kit/zoom/zoomhost.h"
#include "ui/canvas/editorscreen.h"

#include <memory>

// The editor screen of an open design in a zoom host laid out at the main window's first size.
class ScreenFixture : public EditorTest {
protected:
    void TearDown() override
    {
        host.reset();
        EditorTest::TearDown();
    }
    void openDesign(const LWDocument &doc)
    {
        VELKTestFlags::running = true;
        app.newDocument(doc);
        ed = app.editor();
    }
    void showScreen(QSize window)
    {
        screen = new EditorScreen(app, *ed);
        host = std::make_unique<VKZoomHost>(screen, QSizeF(1480, 760));
        host->resize(window);
        host->show();
    }

    LWApp app;
    LWEditor *ed = nullptr;
    EditorScreen *screen = nullptr;
    std::unique_ptr<VKZoomHost> host;
};
