#pragma once
// The shell window on a design opened from a file, with the clicks and keys a user makes.
#include "app/app_fixture.h"
#include "kit/controls/numberfield.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/host/focusedtext.h"
#include "kit/zoom/zoomhost.h"
#include "shell/mainwindow.h"
#include "shell/shellwindow.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/editorscreen.h"
#include "ui/canvas/layerrow.h"
#include "ui/canvas/layerspanel.h"
#include "ui/canvas/pagecanvas.h"
#include "ui/inspector/inspector.h"
#include "ui/inspector/sections/arrangesection.h"
#include "ui/inspector/sections/geometrysection.h"
#include "ui/inspector/sections/imagesection.h"
#include "ui/inspector/sections/textsection.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QTest>

#include <functional>
#include <optional>

namespace {

const LWRect boxFrame(100, 100, 50, 50), textA(100, 300, 200, 60), textB(100, 450, 200, 60);

LWElement rectangle()
{
    return LWElement::makeShape(LWShapeKind::rectangle, boxFrame, LWFill::solid(LWColor::black), std::nullopt, 0,
                                QStringLiteral("box"));
}

LWElement text(const LWRect &frame, const QString &name)
{
    return LWElement::makeText(LWText(name, QStringLiteral("DejaVuSans"), 12, LWColor::black), frame, name);
}

// A Letter design (inches) with these elements on its one page.
LWDocument design(const QList<LWElement> &elements)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = elements;
    return doc;
}

// Where the user types: the focused widget, else the window.
inline QWidget *keys(QWidget *window)
{
    return QApplication::focusWidget() ? QApplication::focusWidget() : window;
}

} // namespace

// The shell window on the fixture's state, its design opened from a file in the test's folder.
class Values : public AppTest {
public:
    using AppTest::runPosted;
    using AppTest::url;

protected:
    void SetUp() override
    {
        AppTest::SetUp();
        window = std::make_unique<LWShellWindow>(app);
        window->setQuit([this] { ++quits; });
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override
    {
        if (app.editor())
            app.editor()->setDirty(false);
        window.reset();
        AppTest::TearDown();
    }

    void open(const LWDocument &doc)
    {
        if (app.editor())
            app.editor()->setDirty(false);
        ASSERT_TRUE(LWDocumentIO::save(doc, url(QStringLiteral("design.velkfolio"))).ok());
        app.open(url(QStringLiteral("design.velkfolio")));
        runPosted();
        ASSERT_NE(screen(), nullptr);
    }

public:
    EditorScreen *screen() const { return qobject_cast<EditorScreen *>(window->mainWidget()->screen()); }
    PageCanvas *page() const { return screen()->canvas()->page(); }
    LWEditor &ed() const { return page()->editor(); }
    LWElement el(int index) const { return ed().elements().at(index); }
    template <class Section> Section *section()
    {
        runPosted(); // a replaced stack goes on the next turn
        return screen()->inspector()->stack()->findChild<Section *>();
    }

    // A click on the canvas at a page point, as the user makes it.
    void clickCanvas(QPointF at)
    {
        QTest::mouseClick(page(), Qt::LeftButton, {}, page()->gestures().toView(at).toPoint());
        runPosted();
        // The offscreen platform may drop the activation once the text section is built.
        if (!QApplication::activeWindow()) {
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
    }
    // Clicks into the field, selects its text and types `typed` without committing it.
    static void typeInto(NumberField *field, const QString &typed)
    {
        QTest::mouseClick(field->lineEdit(), Qt::LeftButton);
        QTest::keyClick(field->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field->lineEdit(), typed);
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(keys(window.get()), key, modifiers);
        runPosted();
    }

    // The zoom host the window shows its content in: what the window hands clicks and keys to.
    VKZoomHost *host() const { return window->findChild<VKZoomHost *>(); }
    // A click on `w` (at `at`, else its middle) as the window delivers it: through the host's scene.
    void clickIn(const QWidget *w, std::optional<QPoint> at = std::nullopt)
    {
        // Scrolled into view first, as the user does in a small window.
        for (QWidget *up = w->parentWidget(); up; up = up->parentWidget())
            if (auto *area = qobject_cast<QScrollArea *>(up)) {
                const QPoint spot = w->mapTo(area->widget(), at.value_or(w->rect().center()));
                area->ensureVisible(spot.x(), spot.y(), 4, 4);
                break;
            }
        const QPointF inContent(w->mapTo(host()->content(), at.value_or(w->rect().center())));
        const QPoint inView = host()->mapFromScene(host()->proxy()->mapToScene(inContent));
        QTest::mouseClick(host()->viewport(), Qt::LeftButton, {}, inView);
        runPosted();
        if (!QApplication::activeWindow()) { // as in clickCanvas
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
    }
    // Keys as the window delivers them, shortcuts and the editor's single keys included.
    void keyIn(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(host(), key, modifiers);
        runPosted();
    }
    void typeIn(const QString &words)
    {
        QTest::keyClicks(host(), words);
        runPosted();
    }

    std::unique_ptr<LWShellWindow> window;
    int quits = 0;
};

