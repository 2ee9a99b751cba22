// The keyboard in the main window: every control Tab reaches shows that it has it, Space acts
// only where it shows, and the template browser works without the mouse.
#include "app/sheets/preflightsheet.h"
#include "app/sheets/sheetpresenter.h"
#include "app/templatebrowser.h"
#include "app/templategrid.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/iconpicker.h"
#include "kit/controls/popover.h"
#include "kit/controls/searchfield.h"
#include "kit/controls/slider.h"
#include "kit/help/help.h"
#include "kit/help/helpwindow.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoom.h"
#include "shell/statusstrip.h"
#include "ui/canvas/toolrail.h"
#include "ui/inspector/sections/iconsection.h"
#include "values_fixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>

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

// The layers list is one Tab stop between the rail and the panel's buttons (rows made after the
// screen too). Up, Down, Home and a click choose the row and select it alone; Space hides and
// shows that row's element, Shift+Space locks and unlocks it. The arrows are the list's (or a
// slider's) while it has the keyboard, never the page's nudge.
TEST_F(FocusKeys, TheLayersListIsOneTabStopWithArrowsAndFlagKeys)
{
    open(design({rectangle()}));
    clickCanvas(boxFrame.center());
    keyIn(Qt::Key_D, Qt::ControlModifier); // two rows more, made now
    keyIn(Qt::Key_D, Qt::ControlModifier);
    const QList<LWElement> before = ed().elements();
    ASSERT_EQ(before.size(), 3); // the last copy selected: the top row
    QWidget *list = screen()->layers()->keyboardRow();
    for (int i = 0; i < 60 && focused() != list; ++i)
        keyIn(Qt::Key_Tab);
    ASSERT_EQ(focused(), list);
    keyIn(Qt::Key_Tab);
    EXPECT_EQ(focused(), screen()->layers()->buttons().constFirst());
    keyIn(Qt::Key_Backtab);

    const auto id = [&before](int place) { return before[before.size() - 1 - place].id; };
    struct Step {
        std::function<void(FocusKeys &)> act;
        int selected, hidden, locked; // rows counted from the top; -1: none
    };
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = {}) { return [k, m](FocusKeys &t) { t.keyIn(k, m); }; };
    const Step steps[] = {
        {key(Qt::Key_Down), 1, -1, -1},        {key(Qt::Key_Down), 2, -1, -1},
        {key(Qt::Key_Down), 2, -1, -1},        {key(Qt::Key_Up), 1, -1, -1},
        {key(Qt::Key_Left), 1, -1, -1},        {key(Qt::Key_Space), 1, 1, -1},
        {key(Qt::Key_Space, Qt::ShiftModifier), 1, 1, 1},
        {key(Qt::Key_Space), 1, -1, 1},        {key(Qt::Key_Space, Qt::ShiftModifier), 1, -1, -1},
        {key(Qt::Key_Home), 0, -1, -1},
        // The flag keys on the first and the last row too.
        {key(Qt::Key_Space), 0, 0, -1},        {key(Qt::Key_Space, Qt::ShiftModifier), 0, 0, 0},
        {key(Qt::Key_Space), 0, -1, 0},        {key(Qt::Key_Space, Qt::ShiftModifier), 0, -1, -1},
        {key(Qt::Key_Down), 1, -1, -1},        {key(Qt::Key_Down), 2, -1, -1},
        {key(Qt::Key_Space), 2, 2, -1},        {key(Qt::Key_Space, Qt::ShiftModifier), 2, 2, 2},
        {key(Qt::Key_Space), 2, -1, 2},        {key(Qt::Key_Space, Qt::ShiftModifier), 2, -1, -1},
        {[](FocusKeys &t) { // the keyboard elsewhere first, nothing selected
             t.clickCanvas(QPointF(400, 650));
             t.clickIn(t.screen()->layers()->rows().at(2), QPoint(40, LayerRow::rowHeight / 2));
             t.keyIn(Qt::Key_Up);
         },
         1, -1, -1},
    };
    for (const Step &s : steps) {
        s.act(*this);
        EXPECT_EQ(focused(), list);
        EXPECT_EQ(ed().selection(), QList<QUuid>{id(s.selected)});
        for (int place = 0; place < 3; ++place) {
            const std::optional<LWElement> e = ed().element(id(place));
            ASSERT_TRUE(e);
            EXPECT_EQ(e->frame, before[2 - place].frame) << place;
            EXPECT_EQ(e->hidden, place == s.hidden) << place;
            EXPECT_EQ(e->locked, place == s.locked) << place;
        }
    }
    for (int i = 0; i < 60 && focused()->accessibleName() != QStringLiteral("Rotation"); ++i)
        keyIn(Qt::Key_Tab);
    keyIn(Qt::Key_Right);
    EXPECT_EQ(el(1).rotation, 1);
    EXPECT_EQ(el(1).frame, before[1].frame);
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

// After a theme change (by the menu's keys, by its mouse, after a zoom change) the browser opened
// with Ctrl+Shift+N hears the keys the system sends the window: its search takes the typing.
TEST_F(FocusKeys, AfterAThemeChangeTheBrowsersSearchTakesTheTyping)
{
    const auto keys = [this](const QList<QKeyCombination> &typed) {
        for (const QKeyCombination k : typed) {
            const QWidget *popup = QApplication::activePopupWidget();
            QTest::keyClick(popup ? popup->windowHandle() : window->windowHandle(), k.key(),
                            k.keyboardModifiers());
            runPosted();
        }
    };
    // By keys; by the mouse (no keys); a zoom change, then by keys.
    const QList<QKeyCombination> byKeys{Qt::ALT | Qt::Key_T, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return};
    const QList<QKeyCombination> rows[] = {byKeys, {}, QList{Qt::CTRL | Qt::Key_Equal} + byKeys};
    QMenuBar *bar = window->menuBar();
    QMenu *themes = bar->actions().at(6)->menu();
    for (const QList<QKeyCombination> &row : rows) {
        const QString before = VELKThemes::currentID();
        keys(row);
        if (row.isEmpty()) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(themes->menuAction()).center());
            runPosted();
            QAction *item = themes->actions().at(4);
            QTest::mouseClick(themes, Qt::LeftButton, {}, themes->actionGeometry(item).center());
            runPosted();
        }
        ASSERT_NE(VELKThemes::currentID(), before) << row.size();
        keys({Qt::CTRL | Qt::SHIFT | Qt::Key_N, Qt::Key_S});
        EXPECT_EQ(browser() ? browser()->query() : QString(), QStringLiteral("s")) << row.size();
        keys({Qt::Key_Escape, Qt::Key_Escape});
    }
}

// Help open with its search typed in while the theme changes from the main window's menu: coming
// back to the help window, its search has the keyboard and takes the typing and Down.
TEST_F(FocusKeys, TheHelpWindowKeepsItsKeyboardAcrossAThemeChangeMadeElsewhere)
{
    const auto activate = [](QWidget *w) { return w->activateWindow(), QTest::qWaitForWindowActive(w); };
    const auto type = [](const char *keys) { // letters, '\n' for Down
        for (const char *c = keys; *c; ++c)
            QTest::keyClick(QGuiApplication::focusWindow(),
                            *c == '\n' ? Qt::Key_Down : Qt::Key(QChar::toUpper(*c)));
    };
    QTest::keyClick(window->windowHandle(), Qt::Key_F1);
    QWidget *help = VELKHelpWindow::window();
    ASSERT_TRUE(help && activate(help));
    const auto closeHelp = qScopeGuard([help] { help->hide(); });
    const auto search = [help] { return help->findChild<VKSearchField *>(); };
    type("zoom");
    ASSERT_EQ(search()->text(), QStringLiteral("zoom"));
    ASSERT_TRUE(activate(window.get()));
    const QString before = VELKThemes::currentID();
    window->menuBar()->actions().at(6)->menu()->actions().at(4)->trigger(); // an item of the Theme menu
    runPosted();
    ASSERT_NE(VELKThemes::currentID(), before);
    ASSERT_TRUE(activate(help));
    EXPECT_EQ(QApplication::focusWidget(), search()->lineEdit());
    type("in\nk"); // Down leaves the typing in the search
    EXPECT_EQ(search()->text(), QStringLiteral("ink")); // a fresh viewer after the change
}

// A click on the knob of an inspector slider gives it the keyboard: Right steps it and leaves the
// design where it was; Escape gives the arrows back to the page, the selection kept.
TEST_F(FocusKeys, AClickedSliderTakesTheArrowsUntilEscape)
{
    LWElement star = LWElement::makeShape(LWShapeKind::star, boxFrame, LWFill::solid(LWColor::black),
                                          LWStroke(LWColor::black, 2), 0, QStringLiteral("star"));
    star.opacity = 0.5;
    const LWElement photo = LWElement::makePhoto(boxFrame);
    for (const auto &[label, element] : {std::pair("Width", star), {"Dashes", star}, {"Points", star},
                                         {"Rotation", star}, {"Opacity", star}, {"Left", photo}}) {
        open(design({element}));
        clickCanvas(boxFrame.center());
        LWSlider *slider = nullptr;
        for (LWSlider *s : screen()->inspector()->findChildren<LWSlider *>())
            slider = s->accessibleName() == label ? s : slider;
        ASSERT_NE(slider, nullptr) << label;
        const double before = slider->value();
        const double at = LWSlider::fraction(before, slider->lower(), slider->upper());
        clickIn(slider, QPoint(8 + int(at * (slider->width() - 16)), slider->height() / 2)); // on the knob
        keyIn(Qt::Key_Right);
        EXPECT_DOUBLE_EQ(slider->value(), before + slider->step()) << label;
        EXPECT_EQ(el(0).frame, element.frame) << label;
        keyIn(Qt::Key_Escape), keyIn(Qt::Key_Right);
        EXPECT_EQ(el(0).frame.x, element.frame.x + 1) << label;
        EXPECT_EQ(ed().selection(), QList<QUuid>{element.id}) << label;
    }
}

// The icon picker, opened from the rail's Icon tool or from the icon section's Change…, works
// from the keyboard: letters typed at once search, Down goes into the results, whose arrows move
// the ringed icon, Return picks it and closes; Escape clears a search, then closes.
TEST_F(FocusKeys, TheIconPickerWorksFromTheKeyboard)
{
    const LWElement leaf = LWElement::makeIcon(QStringLiteral("leaf"), LWRect(300, 300, 60, 60), LWFill::solid(LWColor::black));
    open(design({leaf}));
    struct Case {
        const char *what;
        std::function<VKPopover *(FocusKeys &)> open;
        std::function<QString(FocusKeys &)> picked;
    };
    const Case cases[] = {
        {"the rail",
         [](FocusKeys &t) {
             t.clickIn(t.screen()->rail()->toolButton(LWTool::icon));
             return t.screen()->rail()->iconPopover();
         },
         [](FocusKeys &t) { return t.ed().tool() == LWTool::icon ? t.ed().iconForTool() : QString(); }},
        {"Change…",
         [](FocusKeys &t) {
             t.keyIn(Qt::Key_Escape); // the select tool
             t.clickCanvas(QPointF(330, 330));
             IconSection *section = t.section<IconSection>();
             t.clickIn(section->changeButton());
             return section->popover();
         },
         [](FocusKeys &t) { return t.el(0).icon.value_or(QString()); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool pick : {false, true}) {
            QPointer<VKPopover> popover = c.open(*this);
            ASSERT_TRUE(popover && popover->isVisible());
            QApplication::setActiveWindow(window.get()); // the popup is drawn in the zoomed scene
            auto *picker = popover->findChild<IconPicker *>();
            typeIn(QStringLiteral("phone"));
            const QList<LWIcons::Info> found = picker->grid()->icons();
            ASSERT_GE(found.size(), 2);
            if (!pick) { // Escape: the search first, then the picker
                keyIn(Qt::Key_Escape);
                EXPECT_EQ(picker->searchField()->text(), QString());
                EXPECT_TRUE(popover->isVisible());
                keyIn(Qt::Key_Escape);
                EXPECT_FALSE(popover && popover->isVisible());
                continue;
            }
            keyIn(Qt::Key_Down);
            EXPECT_TRUE(picker->grid()->hasFocus());
            const QImage first = picker->grid()->grab().toImage();
            keyIn(Qt::Key_Right);
            EXPECT_NE(picker->grid()->grab().toImage(), first); // the ring moved on
            keyIn(Qt::Key_Right);
            keyIn(Qt::Key_Left);
            keyIn(Qt::Key_Return);
            EXPECT_FALSE(popover && popover->isVisible());
            EXPECT_EQ(c.picked(*this), found[1].id);
        }
    }
}

// At 150 % and 200 % Tab brings each control it reaches into view, on to the status strip's last,
// whose strip can then be grabbed in view: its whole height, its background beside the link.
TEST_F(FocusKeys, AtEveryZoomTabBringsEachStopAndTheStatusStripIntoView)
{
    for (const auto &[zoom, editor] : {std::pair(1.5, false), std::pair(1.5, true), std::pair(2.0, true)}) {
        SCOPED_TRACE(std::to_string(zoom) + (editor ? " editor" : " start"));
        if (editor)
            open(design({rectangle(), text(textA, QStringLiteral("A"))}));
        VKZoom::setValue(zoom);
        runPosted();
        if (QWidget *had = host()->content()->focusWidget())
            had->clearFocus(); // Tab from the first stop
        const QRect view = host()->viewport()->rect();
        const auto shown = [this](const QWidget *w) {
            const QRectF inContent(w->mapTo(host()->content(), QPoint()), QSizeF(w->size()));
            return host()->mapFromScene(host()->proxy()->mapRectToScene(inContent)).boundingRect();
        };
        StatusStrip *strip = window->mainWidget()->statusStrip();
        for (int i = 0; i < 200 && focused() != strip->creditLink(); ++i) {
            keyIn(Qt::Key_Tab);
            const QRect at = shown(focused());
            // Wholly where it fits (the page may be larger than the view).
            EXPECT_TRUE(at.width() < view.width() && at.height() < view.height() ? view.contains(at) : view.intersects(at))
                << focused()->metaObject()->className() << " " << focused()->accessibleName().toStdString();
        }
        ASSERT_EQ(focused(), strip->creditLink());
        const QRect band = shown(strip), link = shown(strip->creditLink());
        EXPECT_GE(band.top(), view.top());
        EXPECT_LE(band.bottom(), view.bottom() + 1); // the mapped edge rounds up
        const QColor beside = host()->viewport()->grab().toImage().pixelColor(link.left() - 4, link.center().y());
        EXPECT_LT(std::abs(beside.red() - 0x1f), 12) << beside.name().toStdString(); // the strip's grey
        EXPECT_EQ(beside.red(), beside.blue());
    }
}

// The print check opens with the keyboard on "Done"; Return closes it, also from the help link,
// which then opens no help.
TEST_F(FocusKeys, ThePrintCheckOpensOnDoneAndReturnClosesIt)
{
    open(design({LWElement::makePhoto(boxFrame, LWMask::none, 0, QStringLiteral("Frame"))})); // one finding
    std::optional<QString> help;
    VELKHelp::setOpener([&help](const std::optional<QString> &id) { help = id.value_or(QString()); });
    for (const int tabs : {0, 2}) { // Done; the finding's Show, the help link
        SCOPED_TRACE(tabs);
        keyIn(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        auto *sheet = qobject_cast<PreflightSheet *>(window->sheets()->dialog());
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
        EXPECT_EQ(QApplication::focusWidget(), sheet->doneButton());
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(sheet, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget() == sheet->helpButton(), tabs > 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        runPosted();
        EXPECT_FALSE(app.sheet().has_value());
        EXPECT_EQ(help, std::nullopt);
        window->activateWindow(); // the offscreen platform may not hand it back
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    VELKHelp::setOpener({});
}
