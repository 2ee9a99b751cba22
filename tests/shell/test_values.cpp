// Typed values in the real window: what Return, Undo, Save, Quit and a new selection do with them,
// and edits that change nothing.
#include "app/app_fixture.h"
#include "kit/controls/numberfield.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/host/focusedtext.h"
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
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <functional>

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
QWidget *keys(QWidget *window)
{
    return QApplication::focusWidget() ? QApplication::focusWidget() : window;
}

} // namespace

// The shell window on the fixture's state, its design opened from a file in the test's folder.
class Values : public AppTest {
public:
    using AppTest::runPosted;

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

    std::unique_ptr<LWShellWindow> window;
    int quits = 0;
};

TEST_F(Values, ReturnHandsTheKeyboardBackSoUndoUndoesTheDesign)
{
    struct Case {
        const char *what;
        LWElement element;
        std::function<NumberField *(Values &)> field;
        QString typed;
        std::function<double(const LWElement &)> read;
        double typedValue;
    };
    const Case cases[] = {
        {"W", rectangle(), [](Values &t) { return t.section<GeometrySection>()->wField(); }, QStringLiteral("2"),
         [](const LWElement &e) { return e.frame.width(); }, 144},
        {"H", rectangle(), [](Values &t) { return t.section<GeometrySection>()->hField(); }, QStringLiteral("1,5"),
         [](const LWElement &e) { return e.frame.height(); }, 108},
        {"Size", text(textA, QStringLiteral("A")),
         [](Values &t) { return t.section<TextSection>()->sizeField(); }, QStringLiteral("30"),
         [](const LWElement &e) { return e.text->size; }, 30},
    };
    for (const Case &c : cases) {
        open(design({c.element}));
        clickCanvas(c.element.frame.center());
        ASSERT_EQ(ed().selection(), QList<QUuid>{c.element.id}) << c.what;
        NumberField *field = c.field(*this);
        ASSERT_NE(field, nullptr) << c.what;
        const double before = c.read(el(0));
        const QString shownBefore = field->lineEdit()->text();

        typeInto(field, c.typed);
        press(Qt::Key_Return);
        EXPECT_DOUBLE_EQ(c.read(el(0)), c.typedValue) << c.what;
        EXPECT_EQ(vkFocusedTextInput(), nullptr) << c.what;
        EXPECT_TRUE(page()->hasFocus()) << c.what;

        press(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_DOUBLE_EQ(c.read(el(0)), before) << c.what;
        EXPECT_EQ(field->lineEdit()->text(), shownBefore) << c.what;
        EXPECT_TRUE(ed().canRedo()) << c.what;

        // Tab walks on through the fields: nothing stale is committed, redo stays.
        for (int i = 0; i < 4; ++i)
            press(Qt::Key_Tab);
        EXPECT_DOUBLE_EQ(c.read(el(0)), before) << c.what;
        EXPECT_FALSE(ed().canUndo()) << c.what;
        EXPECT_TRUE(ed().canRedo()) << c.what;
    }
}

TEST_F(Values, TypedWidthCountsForSaveAndQuit)
{
    for (const bool save : {true, false}) {
        quits = 0;
        open(design({rectangle()}));
        clickCanvas(boxFrame.center());
        typeInto(section<GeometrySection>()->wField(), QStringLiteral("3"));
        if (save) {
            press(Qt::Key_S, Qt::ControlModifier);
            const auto read = LWDocumentIO::open(url(QStringLiteral("design.velkfolio")));
            ASSERT_TRUE(read.ok());
            EXPECT_DOUBLE_EQ(read.value().pages[0].elements[0].frame.width(), 216);
            EXPECT_FALSE(ed().dirty());
        } else {
            prompts->script.append(ScriptedPrompts::ask(LWPrompts::Answer::cancel));
        }
        prompts->calls.clear();
        press(Qt::Key_Q, Qt::ControlModifier);
        EXPECT_EQ(prompts->calls.size(), save ? 0 : 1) << save;
        EXPECT_EQ(quits, save ? 1 : 0) << save;
        // Asked with the typed width already in the design.
        EXPECT_DOUBLE_EQ(el(0).frame.width(), 216) << save;
        if (!window->isVisible()) {
            window->show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
    }
}

TEST_F(Values, TypedSizeStaysWithItsTextWhenAnotherIsSelected)
{
    struct Case {
        const char *how;
        std::function<void(Values &, const QUuid &b)> selectB;
    };
    const Case cases[] = {
        {"canvas click", [](Values &t, const QUuid &) { t.clickCanvas(textB.center()); }},
        {"layers row click",
         [](Values &t, const QUuid &b) {
             for (LayerRow *row : t.screen()->layers()->rows())
                 if (row->element().id == b)
                     QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(20, row->height() / 2));
             t.runPosted();
         }},
        // Another view selects B while the field still has its text; the field gives it up later.
        {"selection from elsewhere",
         [](Values &t, const QUuid &b) {
             t.ed().setSelection({b});
             t.runPosted();
             QTest::keyClick(keys(t.window.get()), Qt::Key_Tab);
             t.runPosted();
         }},
    };
    for (const Case &c : cases) {
        const LWElement a = text(textA, QStringLiteral("A")), b = text(textB, QStringLiteral("B"));
        open(design({a, b}));
        clickCanvas(textA.center());
        typeInto(section<TextSection>()->sizeField(), QStringLiteral("48"));
        c.selectB(*this, b.id);
        ASSERT_EQ(ed().selection(), QList<QUuid>{b.id}) << c.how;
        EXPECT_EQ(ed().element(a.id)->text->size, 48) << c.how;
        EXPECT_EQ(ed().element(b.id)->text->size, 12) << c.how;
        EXPECT_EQ(ed().undoStack().size(), 1) << c.how;
        EXPECT_EQ(section<TextSection>()->sizeField()->lineEdit()->text(), QStringLiteral("12")) << c.how;
    }
}

TEST_F(Values, EditsThatChangeNothingTakeNoStep)
{
    LWElement photo = LWElement::makePhoto(LWRect(300, 100, 80, 80));
    LWElement locked = rectangle();
    locked.locked = true;
    struct Case {
        const char *what;
        LWElement element;
        std::function<void(Values &)> act;
    };
    const Case cases[] = {
        {"drag back to its start", rectangle(),
         [](Values &t) {
             const QPoint start = t.page()->gestures().toView(boxFrame.center()).toPoint();
             QTest::mousePress(t.page(), Qt::LeftButton, {}, start);
             QTest::mouseMove(t.page(), start + QPoint(40, 0));
             EXPECT_NE(t.el(0).frame, boxFrame); // the drag did move it
             QTest::mouseMove(t.page(), start);
             QTest::mouseRelease(t.page(), Qt::LeftButton, {}, start);
         }},
        {"the alignment it has", text(textA, QStringLiteral("A")),
         [](Values &t) { QTest::mouseClick(t.section<TextSection>()->alignPicker()->segment(0), Qt::LeftButton); }},
        {"the style it has", text(textA, QStringLiteral("A")),
         [](Values &t) {
             QComboBox *style = t.section<TextSection>()->stylePicker();
             ASSERT_GT(style->count(), 1);
             ASSERT_GE(style->currentIndex(), 0);
             QTest::mouseClick(style, Qt::LeftButton);
             QTest::keyClick(style->view(), Qt::Key_Return);
         }},
        {"the fit it has", photo,
         [](Values &t) { QTest::mouseClick(t.section<ImageSection>()->fitPicker()->segment(0), Qt::LeftButton); }},
        {"lock of a locked item", locked,
         [](Values &t) { QTest::mouseClick(t.section<ArrangeSection>()->lockButton(), Qt::LeftButton); }},
    };
    for (const Case &c : cases) {
        open(design({c.element}));
        ed().setSelection({c.element.id});
        const LWDocument before = ed().doc();
        c.act(*this);
        runPosted();
        EXPECT_FALSE(ed().canUndo()) << c.what;
        EXPECT_FALSE(ed().dirty()) << c.what;
        EXPECT_EQ(ed().doc(), before) << c.what;
    }
}

