// The export sheet over the real window, its save panel Qt's own: the keyboard stays with the
// sheet through the panel, the export and its end.
#include "app/app_fixture.h"
#include "app/modalanswerer.h"
#include "app/sheets/exportsheet.h"
#include "app/sheets/printpanel.h"
#include "app/sheets/sheetpresenter.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/numberfield.h"
#include "kit/controls/segmentedpicker.h"
#include "render/worker/decodeworkers.h"
#include "shell/shellwindow.h"
#include "support/pngbytes.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QScopeGuard>
#include <QTest>

// The main window with Qt's own prompts over it, and the export sheet of a design up and active.
class ExportKeys : public AppTest {
protected:
    void TearDown() override
    {
        if (app.editor())
            app.editor()->setDirty(false);
        window.reset();
        runPosted();
        AppTest::TearDown();
    }
    void openWindow(const LWDocument &doc)
    {
        window.reset();
        window = std::make_unique<LWShellWindow>(app);
        window->setQuit([] {});
        app.setPrompts(std::make_shared<LWQtPrompts>(window.get()));
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        openNew(doc);
    }
    void openSheet(const LWDocument &doc, LWAppSheet kind = LWAppSheet::exportSheet)
    {
        ASSERT_NO_FATAL_FAILURE(openWindow(doc));
        app.setSheet(kind);
        dialog = window->sheets()->dialog();
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        sheet = qobject_cast<ExportSheet *>(dialog.data());
        ASSERT_EQ(kind == LWAppSheet::exportSheet, !sheet.isNull());
    }

    std::unique_ptr<LWShellWindow> window;
    QPointer<QDialog> dialog;
    QPointer<ExportSheet> sheet;
};

// Ten exports in a row, PDF and 600-DPI PNG by turns: the first from a click on "Export…", each
// next one from Return sent to the window that has the keyboard, and Escape at the end closes the
// sheet. Each save panel is the sheet's child.
TEST_F(ExportKeys, TenExportsInARowThenEscapeClosesTheSheet)
{
    const QString out = path(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    LWPrefs::store().setValue(LWPrefs::exportDPIKey, 600);
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    card.pages.resize(1); // one file per export
    ASSERT_NO_FATAL_FAILURE(openSheet(card));

    QString typed;
    QList<QWidget *> panelOwners;
    ModalAnswerer answerer([&](QWidget *modal) {
        if (auto *files = qobject_cast<QFileDialog *>(modal); files && !files->property("answered").toBool()) {
            files->setProperty("answered", true);
            panelOwners.append(files->parentWidget());
            typeAndAccept(*files, out, typed);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            ADD_FAILURE() << box->text().toStdString();
            box->reject();
        }
    });
    // Keys go where the system sends them: to the window that has the keyboard.
    const auto key = [](Qt::Key k) {
        QWindow *to = QGuiApplication::focusWindow();
        ASSERT_NE(to, nullptr);
        QTest::keyClick(to, k);
    };
    for (int i = 0; i < 10; ++i) {
        const bool png = i % 2;
        SCOPED_TRACE(std::to_string(i) + (png ? " PNG" : " PDF"));
        QTest::mouseClick(sheet->formatPicker()->segment(int(png ? ExportSheet::Fmt::png : ExportSheet::Fmt::pdf)),
                          Qt::LeftButton);
        typed = QStringLiteral("card %1").arg(i);
        if (i == 0)
            QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        else
            key(Qt::Key_Return);
        const QString file = out + u'/' + typed + (png ? QStringLiteral(".png") : QStringLiteral(".pdf"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return sheet && !sheet->exporting() && QFile::exists(file); }, 60000));
        runPosted();
        ASSERT_EQ(panelOwners.size(), i + 1);
        EXPECT_EQ(panelOwners.constLast(), sheet.data());
        EXPECT_EQ(QApplication::activeWindow(), sheet.data());
        EXPECT_EQ(QGuiApplication::focusWindow(), sheet->windowHandle());
        EXPECT_EQ(app.notice().value_or(QString()), QStringLiteral("Exported ") + QFileInfo(file).fileName());
    }
    key(Qt::Key_Escape);
    runPosted();
    EXPECT_FALSE(sheet && sheet->isVisible());
    EXPECT_FALSE(app.sheet().has_value());
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 10);
}

// The save panel left without a file: by Escape the sheet keeps the keyboard; by closing the
// design from under it (the sheet goes, and its panel with it) nothing is written and nothing
// breaks.
TEST_F(ExportKeys, ThePanelLeftWithoutAFile)
{
    for (const bool closeDesign : {false, true}) {
        SCOPED_TRACE(closeDesign ? "the design closed" : "Escape");
        ASSERT_NO_FATAL_FAILURE(openSheet(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
        QPointer<QFileDialog> panel;
        ModalAnswerer answerer([&](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            if (!files || panel)
                return;
            panel = files;
            if (closeDesign)
                app.close();
            else
                QTest::keyClick(files->windowHandle(), Qt::Key_Escape);
        });
        QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        runPosted();
        EXPECT_TRUE(panel.isNull());
        EXPECT_FALSE(app.notice());
        if (closeDesign) {
            EXPECT_TRUE(sheet.isNull());
            EXPECT_EQ(app.editor(), nullptr);
            continue;
        }
        ASSERT_TRUE(sheet);
        EXPECT_EQ(QApplication::activeWindow(), sheet.data());
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
        runPosted();
        EXPECT_FALSE(app.sheet().has_value());
    }
}

// A click on the window behind a sheet, which the window manager answers by making that window
// active: Escape, sent where the keys then go, still reaches the sheet. Printing's preparation
// ends with no print dialog, an export with no file, a plain sheet closes. The picture's stand-in
// decode sleeps a minute: only Escape ends the work before.
TEST_F(ExportKeys, AClickOnTheWindowBehindASheetLeavesItEscape)
{
    enum class Over { printing, exporting, size };
    const std::pair<const char *, Over> rows[] = {{"the print panel while it prepares", Over::printing},
                                                  {"the export sheet while it exports", Over::exporting},
                                                  {"the size sheet", Over::size}};
    LWDecodeWorkers::setForTests(
        QCoreApplication::applicationDirPath() + QStringLiteral("/lw-misbehaving-decoder"), 120, 120000);
    const auto restore = qScopeGuard([] { LWDecodeWorkers::setForTests({}, 0, 0); });
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    card.pages[0].elements = {LWElement::makePhoto(LWRect(20, 20, 40, 40))};
    card.pages[0].elements[0].image->data = lwPngBytes(32, 32) + "LWTEST sleep 60000";
    const QString out = path(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    QStringList dialogs; // print dialogs and alerts that came up
    ModalAnswerer answerer([&](QWidget *modal) {
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            typeAndAccept(*files, out, QStringLiteral("card"));
        } else if (qobject_cast<QPrintDialog *>(modal) || qobject_cast<QMessageBox *>(modal)) {
            dialogs.append(QString::fromLatin1(modal->metaObject()->className()));
            static_cast<QDialog *>(modal)->reject();
        }
    });
    bool clicked = false;
    const auto clickBehindThenEscape = [&] {
        clicked = true;
        bool reached = false;
        const auto seen = QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, [&](QWindow *now) {
            reached = reached || now == window->windowHandle();
        });
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return reached; }));
        QObject::disconnect(seen);
        runPosted();
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    };
    for (const auto &[what, over] : rows) {
        SCOPED_TRACE(what);
        dialogs.clear();
        clicked = false;
        if (over == Over::printing) {
            ASSERT_NO_FATAL_FAILURE(openWindow(card));
            QTimer tick; // while Ctrl+P prepares the pages
            QObject::connect(&tick, &QTimer::timeout, [&] {
                const auto *panel = qobject_cast<LWPrintPanel *>(QApplication::activeModalWidget());
                if (!clicked && panel && QGuiApplication::focusWindow() == panel->windowHandle())
                    clickBehindThenEscape();
            });
            tick.start(10);
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_P, Qt::ControlModifier);
        } else {
            const LWAppSheet kind = over == Over::size ? LWAppSheet::size : LWAppSheet::exportSheet;
            ASSERT_NO_FATAL_FAILURE(openSheet(card, kind));
            if (over == Over::exporting)
                QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
            ASSERT_TRUE(over == Over::size || sheet->exporting());
            clickBehindThenEscape();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet || !sheet->exporting(); }, 120000));
            runPosted();
            EXPECT_EQ(app.sheet().has_value(), over == Over::exporting); // Escape cancels an export
        }
        EXPECT_TRUE(clicked);
        EXPECT_EQ(dialogs, QStringList());
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
        app.setSheet(std::nullopt);
        runPosted();
    }
}

// A window the sheet does not block (a free-standing one, as the help window is) keeps the
// keyboard it is given while the sheet is up.
TEST_F(ExportKeys, AWindowTheSheetDoesNotBlockKeepsTheKeyboard)
{
    ASSERT_NO_FATAL_FAILURE(openSheet(LWDocument::blank(LWSizePreset::usCard, std::nullopt), LWAppSheet::size));
    QWidget beside;
    beside.show();
    beside.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&beside));
    runPosted();
    EXPECT_EQ(QGuiApplication::focusWindow(), beside.windowHandle());
}

// Tab goes round a sheet's controls, top to bottom; each one shows that it has the keyboard: the
// control as painted while it has it differs from the same control once Tab has moved on. A fresh
// PDF export sheet of a two-sided card with a finding to review has six stops.
TEST_F(ExportKeys, EveryTabStopShowsTheKeyboard)
{
    using Fmt = ExportSheet::Fmt;
    struct Case {
        const char *what;
        LWAppSheet kind;
        std::optional<Fmt> format;
        int stops;
    };
    const Case cases[] = {
        // Review, format, bleed, sides, Close, Export
        {"PDF", LWAppSheet::exportSheet, Fmt::pdf, 6},
        // Review, format, resolution, bleed, quality, sides, Close, Export
        {"JPEG", LWAppSheet::exportSheet, Fmt::jpeg, 8},
        // Review, format, resolution, bleed, sides, Close, Export
        {"PNG", LWAppSheet::exportSheet, Fmt::png, 7},
        // Review, format, sides, Close, Export
        {"card sheet", LWAppSheet::exportSheet, Fmt::sheet, 5},
        // the finding's Show, the help link, Done
        {"print check", LWAppSheet::preflight, {}, 3},
        // size, orientation, scale, Cancel, Apply
        {"size", LWAppSheet::size, {}, 5},
        // units, width, height, two-sided, Cancel, Create
        {"custom size", LWAppSheet::newCustom, {}, 6},
    };
    // What shows the keyboard: a segment's whole picker, a typing box's field, else the widget.
    const auto control = [](QWidget *w) -> QWidget * {
        for (QWidget *up = w; up; up = up->parentWidget())
            if (qobject_cast<SegmentedPicker *>(up) || qobject_cast<NumberField *>(up))
                return up;
        return w;
    };
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    // A frame with no picture: one finding, so the print check lists a row.
    card.pages[0].elements.append(LWElement::makePhoto(LWRect(20, 20, 40, 40), LWMask::none, 0, QStringLiteral("Empty")));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(openSheet(card, c.kind));
        if (c.format) {
            QTest::mouseClick(sheet->formatPicker()->segment(int(*c.format)), Qt::LeftButton);
            runPosted();
        }
        QList<QWidget *> seen;
        int upwards = 0; // Tab going up the sheet: once, from the last stop round to the first
        for (int i = 0; i < 16; ++i) {
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Tab);
            runPosted();
            QWidget *now = QApplication::focusWidget();
            ASSERT_NE(now, nullptr);
            if (seen.contains(now))
                break;
            // Wholly above the last stop (a row's stops may differ in height).
            if (!seen.isEmpty() && now->mapTo(dialog, now->rect().bottomLeft()).y() <
                                       seen.constLast()->mapTo(dialog, QPoint()).y())
                ++upwards;
            seen.append(now);
            const QImage focused = control(now)->grab().toImage();
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Tab);
            runPosted();
            ASSERT_NE(QApplication::focusWidget(), now) << now->metaObject()->className();
            EXPECT_NE(control(now)->grab().toImage(), focused)
                << "no focus look: " << now->metaObject()->className() << " " << now->accessibleName().toStdString();
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Backtab);
            runPosted();
            ASSERT_EQ(QApplication::focusWidget(), now);
        }
        EXPECT_EQ(seen.size(), c.stops);
        EXPECT_LE(upwards, 1);
        if (c.format)
            EXPECT_EQ(sheet->format(), *c.format); // Tab changed nothing
        app.setSheet(std::nullopt);
        runPosted();
    }
}

// The JPEG quality slider from the keyboard: Tab reaches it after the bleed box, the arrows move
// it a percent at a time, Home and End to its ends.
TEST_F(ExportKeys, TheQualitySliderTakesTheArrows)
{
    ASSERT_NO_FATAL_FAILURE(openSheet(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
    QTest::mouseClick(sheet->formatPicker()->segment(int(ExportSheet::Fmt::jpeg)), Qt::LeftButton);
    runPosted();
    const auto key = [](Qt::Key k) {
        QTest::keyClick(QGuiApplication::focusWindow(), k);
        QCoreApplication::processEvents();
    };
    for (int i = 0; i < 10 && QApplication::focusWidget() != sheet->qualitySlider()->slider(); ++i)
        key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), sheet->qualitySlider()->slider());
    const struct {
        Qt::Key key;
        double quality;
    } steps[] = {{Qt::Key_Right, 0.93}, {Qt::Key_Up, 0.94}, {Qt::Key_Left, 0.93}, {Qt::Key_Down, 0.92},
                 {Qt::Key_End, 1.0},    {Qt::Key_Home, 0.6}, {Qt::Key_Right, 0.61}};
    for (const auto &s : steps) {
        key(s.key);
        EXPECT_NEAR(sheet->quality(), s.quality, 1e-9) << s.key;
    }
    EXPECT_EQ(sheet->format(), ExportSheet::Fmt::jpeg); // the arrows stayed with the slider
}

// An export that fails while the keyboard is on the format picker: after its alert the keyboard
// is back there (the options were off during the export), so Right picks the next format.
TEST_F(ExportKeys, AfterAnAlertTheKeyboardIsWhereItWas)
{
    const QString out = path(QStringLiteral("out"));
    // The front's file cannot be written: a folder has its name.
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/card - front.jpg")));
    ASSERT_NO_FATAL_FAILURE(openSheet(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"))));
    QAbstractButton *jpeg = sheet->formatPicker()->segment(int(ExportSheet::Fmt::jpeg));
    QApplication::setActiveWindow(sheet); // the offscreen platform may hand it back to the main window
    QTest::mouseClick(jpeg, Qt::LeftButton);
    jpeg->setFocus(Qt::TabFocusReason);
    int alerts = 0;
    ModalAnswerer answerer([&](QWidget *modal) {
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            typeAndAccept(*files, out, QStringLiteral("card"));
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            for (QAbstractButton *b : box->buttons())
                if (b->text() == QStringLiteral("Replace"))
                    return b->click();
            ++alerts;
            box->accept();
        }
    });
    // Keys to the widget with the keyboard (the platform's focus window may lag here).
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet && !sheet->exporting() && alerts == 1; }, 60000));
    runPosted();
    // The sheet's own keyboard, which it takes back once active again (the offscreen platform
    // activates nothing after the alert).
    EXPECT_EQ(sheet->focusWidget(), jpeg);
    QApplication::setActiveWindow(sheet);
    ASSERT_EQ(QApplication::focusWidget(), sheet->focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(sheet->format(), ExportSheet::Fmt::png);
}

// Keys typed at once with Ctrl+E, as the system sends them: to the window that had the keyboard
// when they were typed (the sheet may not have it yet). The sheet hears every one of them from
// its format picker, also with a finding to review (its "Review" comes first in Tab order).
// Unturned: typed before the event loop turns, so the system has not activated the sheet yet.
TEST_F(ExportKeys, KeysTypedWithTheOneThatOpensTheSheetReachIt)
{
    struct Row {
        const char *what;
        bool atOnce;
        QList<Qt::Key> keys;
        std::optional<ExportSheet::Fmt> format; // none: the sheet closed
        bool bleed = true;
        bool unturned = false;
        bool held = false; // the last key held until it repeats once
    };
    const Row rows[] = {
        {"at once, right after the program starts with a design", true, {Qt::Key_Right, Qt::Key_Right},
         ExportSheet::Fmt::png},
        {"once the sheet has the keyboard", false, {Qt::Key_Right, Qt::Key_Right}, ExportSheet::Fmt::png},
        {"Tab, Space at once: the bleed box unticked", true, {Qt::Key_Tab, Qt::Key_Space},
         ExportSheet::Fmt::pdf, false},
        {"Escape at once", true, {Qt::Key_Escape}, std::nullopt},
        {"at once, unturned", true, {Qt::Key_Right, Qt::Key_Right}, ExportSheet::Fmt::png, true, true},
        {"Tab, Space held once the sheet has heard a key: unticked once", false, {Qt::Key_Tab, Qt::Key_Space},
         ExportSheet::Fmt::pdf, false, false, true},
    };
    const auto type = [](QWindow *to, Qt::Key key, Qt::KeyboardModifiers modifiers, bool unturned,
                         bool held) {
        if (!unturned && !held)
            return QTest::keyClick(to, key, modifiers);
        const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
        qt_handleKeyEvent(to, QEvent::KeyPress, key, modifiers, text);
        if (held)
            qt_handleKeyEvent(to, QEvent::KeyPress, key, modifiers, text, true);
        qt_handleKeyEvent(to, QEvent::KeyRelease, key, modifiers, text);
    };
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    // A frame with no picture: a finding to review.
    card.pages[0].elements.append(
        LWElement::makePhoto(LWRect(20, 20, 40, 40), LWMask::none, 0, QStringLiteral("Empty")));
    ASSERT_TRUE(LWDocumentIO::save(card, url(QStringLiteral("card.velkfolio"))).ok());
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        LWPrefs::store().setValue(LWPrefs::exportBleedKey, true);
        window = std::make_unique<LWShellWindow>(app);
        window->setQuit([] {});
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        app.open(url(QStringLiteral("card.velkfolio")));
        QWindow *typedAt = QGuiApplication::focusWindow();
        type(typedAt, Qt::Key_E, Qt::ControlModifier, r.unturned, false);
        ASSERT_TRUE(window->sheets()->dialog());
        if (!r.atOnce) {
            ASSERT_TRUE(QTest::qWaitForWindowActive(window->sheets()->dialog()));
            typedAt = QGuiApplication::focusWindow();
        }
        for (qsizetype i = 0; i < r.keys.size(); ++i)
            type(typedAt, r.keys[i], {}, r.unturned, r.held && i == r.keys.size() - 1);
        runPosted();
        const auto *shown = qobject_cast<ExportSheet *>(window->sheets()->dialog());
        ASSERT_EQ(shown != nullptr, r.format.has_value());
        if (shown) {
            EXPECT_EQ(shown->format(), *r.format);
            EXPECT_EQ(shown->bleed(), r.bleed);
        }
        app.close();
        runPosted();
    }
}
