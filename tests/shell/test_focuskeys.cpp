// The keyboard in the main window: every control Tab reaches shows that it has it, Space acts
// only where it shows, and the template browser works without the mouse.
#include "app/templatebrowser.h"
#include "app/templategrid.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/iconpicker.h"
#include "kit/controls/popover.h"
#include "kit/controls/searchfield.h"
#include "ui/canvas/toolrail.h"
#include "ui/inspector/sections/iconsection.h"
#include "values_fixture.h"

namespace {

// What shows a widget's keyboard: a typing box's, a search's or a segment's whole control.
QWidget *shownBy(QWidget *w)
{
    for (QWidget *up = w; up; up = up->parentWidget())
        if (qobject_cast<SegmentedPicker *>(up) || qobject_cast<NumberField *>(up) || qobject_cast<VKSearchField *>(up))
            return up;
    return w;
}

} // namespace

class FocusKeys : public Values {
public:
    using AppTest::app;
    using Values::open;
    // The widget with the keyboard, inside the zoom host when the host has it.
    QWidget *focused() const
    {
        QWidget *w = QApplication::focusWidget();
        QWidget *inner = w == host() ? host()->content()->focusWidget() : nullptr;
        return inner && inner->hasFocus() ? inner : w;
    }
    TemplateBrowser *browser() const { return qobject_cast<TemplateBrowser *>(window->mainWidget()->screen()); }
};

// Tab goes round the screen's controls; each stop as painted with the keyboard differs from the
// same control once Tab has moved on. Each screen has its least number of stops.
TEST_F(FocusKeys, EveryTabStopOfTheMainWindowShowsTheKeyboard)
{
    struct Case {
        const char *what;
        std::function<void(FocusKeys &)> show;
        int stops; // at least
    };
    const Case cases[] = {
        {"start screen", [](FocusKeys &t) { t.app.setScreen(LWAppScreen::start); }, 8},
        // The zoom host keeps the keyboard with none of its controls: Tab still goes round them.
        {"start screen after a click on an empty spot",
         [](FocusKeys &t) {
             if (QWidget *had = t.host()->content()->focusWidget())
                 had->clearFocus(); // as on a fresh window
             t.clickIn(t.window->mainWidget()->screen(), QPoint(1200, 700));
         },
         8},
        {"template browser", [](FocusKeys &t) { t.app.setScreen(LWAppScreen::templates); }, 6},
        {"editor, a box selected",
         [](FocusKeys &t) {
             t.open(design({rectangle(), text(textA, QStringLiteral("A"))}));
             t.clickCanvas(boxFrame.center());
         },
         20},
        {"editor, a text selected",
         [](FocusKeys &t) {
             t.open(design({text(textA, QStringLiteral("A"))}));
             t.clickCanvas(textA.center());
         },
         20},
        {"editor, a picture frame selected",
         [](FocusKeys &t) {
             t.open(design({LWElement::makePhoto(boxFrame, LWMask::none, 0, QStringLiteral("Frame"))}));
             t.clickCanvas(boxFrame.center());
         },
         15},
        {"editor, nothing selected", [](FocusKeys &t) { t.clickCanvas(QPointF(400, 650)); }, 15},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.show(*this);
        runPosted();
        QList<QWidget *> seen;
        for (int i = 0; i < 120; ++i) {
            keyIn(Qt::Key_Tab);
            QWidget *now = focused();
            ASSERT_NE(now, nullptr);
            if (seen.contains(now))
                break;
            seen.append(now);
            const QImage shown = shownBy(now)->grab().toImage();
            keyIn(Qt::Key_Tab);
            ASSERT_NE(focused(), now) << now->metaObject()->className();
            EXPECT_NE(shownBy(now)->grab().toImage(), shown)
                << "no focus look: " << now->metaObject()->className() << " " << now->accessibleName().toStdString();
            keyIn(Qt::Key_Backtab);
            ASSERT_EQ(focused(), now);
        }
        EXPECT_GE(seen.size(), c.stops);
    }
}

// Tab into the layers list reaches each row's eye and lock, top row first (rows made after the
// screen too), then the panel's buttons; each rings itself. Space then hides or locks that row's
// element and no other, and Space again undoes it.
TEST_F(FocusKeys, SpaceInTheLayersListActsOnTheRowThatShowsTheKeyboard)
{
    open(design({rectangle()}));
    clickCanvas(boxFrame.center());
    keyIn(Qt::Key_D, Qt::ControlModifier); // two rows more, made now
    keyIn(Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(ed().elements().size(), 3); // the last copy selected: the buttons are on
    QList<QUuid> order;
    int flags = 0;
    for (int i = 0; i < 120 && flags < 6; ++i) {
        keyIn(Qt::Key_Tab);
        QWidget *now = focused();
        auto *row = now ? qobject_cast<LayerRow *>(now->parentWidget()) : nullptr;
        if (!row)
            continue;
        ++flags;
        const bool eye = now == row->eyeButton();
        if (eye)
            order << row->element().id;
        SCOPED_TRACE(row->element().name.toStdString() + (eye ? " eye" : " lock"));
        const QImage ringed = row->grab().toImage();
        const QList<LWElement> before = ed().elements();
        keyIn(Qt::Key_Space);
        for (qsizetype k = 0; k < before.size(); ++k) { // hiding and locking keep the order
            const bool mine = before[k].id == row->element().id;
            EXPECT_EQ(el(int(k)).hidden, before[k].hidden != (mine && eye)) << k;
            EXPECT_EQ(el(int(k)).locked, before[k].locked != (mine && !eye)) << k;
        }
        keyIn(Qt::Key_Space);
        EXPECT_EQ(ed().elements(), before);
        now->clearFocus();
        EXPECT_NE(row->grab().toImage(), ringed);
        now->setFocus(Qt::TabFocusReason);
    }
    EXPECT_EQ(flags, 6);
    keyIn(Qt::Key_Tab);
    EXPECT_EQ(focused(), screen()->layers()->buttons().constFirst());
    QList<QUuid> topFirst;
    for (const LWElement &e : ed().elements())
        topFirst.prepend(e.id);
    EXPECT_EQ(order, topFirst);
}

// The template browser from the keyboard: typed letters search, Down goes into the grid, the
// arrows choose, Return opens the chosen template; Ctrl+F goes back to the search, Escape clears
// it and then closes the browser.
TEST_F(FocusKeys, TheTemplateBrowserWorksFromTheKeyboard)
{
    app.setScreen(LWAppScreen::templates);
    runPosted();
    ASSERT_NE(browser(), nullptr);
    TemplateGrid *grid = browser()->grid();
    typeIn(QStringLiteral("salon"));
    EXPECT_EQ(browser()->query(), QStringLiteral("salon"));
    const QList<LWTemplate> found = browser()->list();
    ASSERT_GE(found.size(), 3);
    keyIn(Qt::Key_Down);
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(browser()->selected(), found[0].id);
    keyIn(Qt::Key_Right);
    keyIn(Qt::Key_Right);
    keyIn(Qt::Key_Left);
    EXPECT_EQ(browser()->selected(), found[1].id);

    // Back to the search by a letter, and by Ctrl+F: the grid's choice stays.
    typeIn(QStringLiteral("x"));
    EXPECT_EQ(browser()->query(), QStringLiteral("salonx"));
    keyIn(Qt::Key_Backspace);
    keyIn(Qt::Key_Down);
    keyIn(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(browser()->searchField()->lineEdit()->hasFocus());
    keyIn(Qt::Key_Down);
    keyIn(Qt::Key_Down); // the row below the chosen one
    const qsizetype columns = grid->currentLayout().columns;
    ASSERT_GT(found.size(), columns + 1);
    EXPECT_EQ(browser()->selected(), found[columns + 1].id);
    keyIn(Qt::Key_Return);
    ASSERT_NE(app.editor(), nullptr);
    EXPECT_EQ(app.screen(), LWAppScreen::editor);
    EXPECT_EQ(app.editor()->doc().name, found[columns + 1].make().name);

    app.editor()->setDirty(false);
    app.close();
    app.setScreen(LWAppScreen::templates);
    runPosted();
    // The category list: one stop, the current row; Down and Up choose the next row.
    keyIn(Qt::Key_Backtab);
    EXPECT_EQ(focused(), browser()->categoryRow(QStringLiteral("All")));
    keyIn(Qt::Key_Down);
    keyIn(Qt::Key_Down);
    keyIn(Qt::Key_Up);
    EXPECT_EQ(browser()->filter(), QStringLiteral("Business Cards"));
    EXPECT_EQ(focused(), browser()->categoryRow(QStringLiteral("Business Cards")));
    typeIn(QStringLiteral("a"));
    keyIn(Qt::Key_Escape);
    EXPECT_EQ(browser()->query(), QString());
    keyIn(Qt::Key_Escape);
    EXPECT_EQ(app.screen(), LWAppScreen::start);
}

// The icon picker, opened from the rail's Icon tool or from the icon section's Change…, has the
// keyboard in its search: letters typed at once narrow the icons.
TEST_F(FocusKeys, TheIconPickerSearchHasTheKeyboardWhenItOpens)
{
    const LWElement leaf = LWElement::makeIcon(QStringLiteral("leaf"), LWRect(300, 300, 60, 60), LWFill::solid(LWColor::black));
    open(design({leaf}));
    struct Case {
        const char *what;
        std::function<VKPopover *(FocusKeys &)> open;
    };
    const Case cases[] = {
        {"the rail",
         [](FocusKeys &t) {
             t.clickIn(t.screen()->rail()->toolButton(LWTool::icon));
             return t.screen()->rail()->iconPopover();
         }},
        {"Change…",
         [](FocusKeys &t) {
             t.clickCanvas(QPointF(330, 330));
             IconSection *section = t.section<IconSection>();
             t.clickIn(section->changeButton());
             return section->popover();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VKPopover *popover = c.open(*this);
        ASSERT_TRUE(popover && popover->isVisible());
        QApplication::setActiveWindow(window.get()); // the popup is drawn in the zoomed scene
        typeIn(QStringLiteral("star"));
        auto *picker = popover->findChild<IconPicker *>();
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->searchField()->text(), QStringLiteral("star"));
        keyIn(Qt::Key_Escape);
    }
}
