// Typed values in the real window: what Return, Undo, Save, Quit and a new selection do with them,
// and edits that change nothing.
#include "values_fixture.h"

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


TEST_F(Values, FieldsChangeTheDesignOnlyWithWhatWasTyped)
{
    // 100.3 and 50.3 points show rounded in inches: 1.393 and 0.699.
    LWElement box = rectangle();
    box.frame = LWRect(100.3, 100, 50.3, 50);
    const LWElement other = text(textA, QStringLiteral("A"));
    const auto field = [](Values &t, int i) {
        GeometrySection *g = t.section<GeometrySection>();
        return QList<NumberField *>{g->xField(), g->yField(), g->wField(), g->hField()}.at(i);
    };
    const auto clickInto = [field](Values &t, int i) { t.clickIn(field(t, i)->lineEdit()); };
    struct Case {
        const char *what;
        std::function<void(Values &)> act;
        double x, w; // what the design then holds
        int steps;
    };
    const Case cases[] = {
        {"focus in and out",
         [clickInto](Values &t) {
             clickInto(t, 0);
             t.clickCanvas(LWRect(100.3, 100, 50.3, 50).center());
         },
         100.3, 50.3, 0},
        {"Tab through four fields",
         [clickInto](Values &t) {
             clickInto(t, 0);
             for (int i = 0; i < 4; ++i)
                 t.keyIn(Qt::Key_Tab);
         },
         100.3, 50.3, 0},
        {"Ctrl+S after a click into X",
         [clickInto](Values &t) {
             clickInto(t, 0);
             t.keyIn(Qt::Key_S, Qt::ControlModifier);
             const auto read = LWDocumentIO::open(t.url(QStringLiteral("design.velkfolio")));
             ASSERT_TRUE(read.ok());
             EXPECT_EQ(read.value().pages[0].elements[0].frame.minX(), 100.3);
         },
         100.3, 50.3, 0},
        {"Return after 1.23456",
         [clickInto, field](Values &t) {
             clickInto(t, 0);
             t.keyIn(Qt::Key_A, Qt::ControlModifier);
             t.typeIn(QStringLiteral("1.23456"));
             t.keyIn(Qt::Key_Return);
             EXPECT_EQ(field(t, 0)->lineEdit()->text(), QStringLiteral("1.235"));
             t.clickIn(field(t, 1)->lineEdit()); // and on: nothing more is committed
             t.clickCanvas(LWRect(100.3, 100, 50.3, 50).center());
         },
         1.23456 * 72, 50.3, 1},
        {"Escape after 3, then a click on another element",
         [clickInto, field](Values &t) {
             clickInto(t, 2);
             t.keyIn(Qt::Key_A, Qt::ControlModifier);
             t.typeIn(QStringLiteral("3"));
             t.keyIn(Qt::Key_Escape);
             EXPECT_EQ(field(t, 2)->lineEdit()->text(), QStringLiteral("0.699"));
             t.clickCanvas(textA.center());
             EXPECT_EQ(t.ed().selection().size(), 1);
         },
         100.3, 50.3, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        open(design({box, other}));
        clickCanvas(box.frame.center());
        ASSERT_EQ(ed().selection(), QList<QUuid>{box.id});
        c.act(*this);
        EXPECT_DOUBLE_EQ(ed().element(box.id)->frame.minX(), c.x);
        EXPECT_DOUBLE_EQ(ed().element(box.id)->frame.width(), c.w);
        EXPECT_EQ(ed().element(other.id)->frame, other.frame);
        EXPECT_EQ(ed().undoStack().size(), c.steps);
        EXPECT_EQ(ed().dirty(), c.steps > 0);
    }
}
