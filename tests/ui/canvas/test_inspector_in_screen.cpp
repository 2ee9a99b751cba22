#include "app/app.h"
#include "editor/editor_fixture.h"
#include "kit/views/scrollview.h"
#include "kit/zoom/zoomhost.h"
#include "render/fonts.h"
#include "ui/canvas/editorscreen.h"
#include "ui/inspector/inspector.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QScrollBar>
#include <QTest>

namespace {

QByteArray pngBytes()
{
    QImage img(600, 400, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// The editor screen at the main window's first size (in a zoom host) over a Letter design holding
// one element of every kind the inspector routes by.
class InspectorScreenTest : public EditorTest {
protected:
    enum Pick { text, shape, line, picture };

    void SetUp() override
    {
        EditorTest::SetUp();
        VELKTestFlags::running = true;
        LWFonts::registerBundled();
        LWElement photo = LWElement::makePhoto({300, 100, 120, 90});
        photo.image->data = pngBytes();
        app.newDocument(letter({LWElement::makeText(LWText(QStringLiteral("Title"), QStringLiteral("AvenirNext-Regular"),
                                                           24, LWColor::black),
                                                    {100, 300, 200, 40}),
                                rect("a", {100, 100, 50, 50}),
                                LWElement::makeLine({50, 500}, {300, 520}, LWStroke(LWColor::black, 2)), photo}));
        ed = app.editor();
        screen = new EditorScreen(app, *ed);
        host = std::make_unique<VKZoomHost>(screen, QSizeF(1480, 760));
        host->resize(1480, 800);
        host->show();
        QApplication::setActiveWindow(host.get());
    }
    void TearDown() override
    {
        host.reset();
        EditorTest::TearDown();
    }
    QUuid id(Pick pick) const { return ed->elements()[pick].id; }
    void select(QList<QUuid> ids)
    {
        ed->setSelection(std::move(ids));
        QApplication::processEvents(); // the old stack goes later
    }
    VKScrollView *scroll() const { return screen->inspector()->scrollView(); }

    LWApp app;
    LWEditor *ed = nullptr;
    EditorScreen *screen = nullptr;
    std::unique_ptr<VKZoomHost> host;
};

} // namespace

TEST_F(InspectorScreenTest, EverySectionFitsTheColumn)
{
    const struct {
        const char *what;
        QList<Pick> picks;
    } cases[] = {{"page", {}},       {"text", {text}},       {"shape", {shape}},
                 {"line", {line}},   {"picture", {picture}}, {"several", {text, shape, picture}}};
    for (const auto &c : cases) {
        QList<QUuid> ids;
        for (Pick p : c.picks)
            ids << id(p);
        select(ids);
        QWidget *viewport = scroll()->viewport();
        int checked = 0;
        for (QWidget *w : scroll()->widget()->findChildren<QWidget *>()) {
            if (!w->isVisible() || w->width() <= 0)
                continue;
            const int right = w->mapTo(viewport, QPoint(w->width(), 0)).x();
            EXPECT_LE(right, viewport->width()) << c.what << ": " << w->metaObject()->className() << " "
                                                << qPrintable(w->accessibleName());
            ++checked;
        }
        EXPECT_GT(checked, 10) << c.what;
    }
}
