#include "app/app_fixture.h"
#include "app/sheets/exportjob.h"
#include "app/sheets/exportsheet.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/progressbar.h"
#include "kit/controls/segmentedpicker.h"
#include "app/sheets/sheetpresenter.h"
#include "shell/handover.h"
#include "shell/instance.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"
#include "shell/windowkeeper.h"
#include "support/waitfor.h"
#include "ui/canvas/editorscreen.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QGuiApplication>
#include <QImageReader>
#include <QTest>
#include <QWindow>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

// The window of the program as the shell starts it, on a state under test.
class KeptWindow : public AppTest
{
  protected:
    void SetUp() override
    {
        AppTest::SetUp();
        LWSetup::configure();
        keeper = std::make_unique<LWWindowKeeper>(app);
    }
    void TearDown() override
    {
        keeper.reset();
        AppTest::TearDown();
    }
    // The main window shows the open design, unsaved changes and all.
    void expectShowsTheDesign(LWEditor *editor)
    {
        LWShellWindow *window = keeper->window();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        ASSERT_NE(window->mainWidget(), nullptr);
        EXPECT_NE(qobject_cast<EditorScreen *>(window->mainWidget()->screen()), nullptr);
        EXPECT_EQ(app.editor(), editor);
        EXPECT_TRUE(editor->dirty());
    }

    std::unique_ptr<LWWindowKeeper> keeper;
};

namespace {

// A native window destroyed by another program, as the X server reports it to the program.
void destroyNatively(QWidget &window)
{
    std::array<std::uint8_t, 32> event{};
    event[0] = 17; // DestroyNotify
    const auto id = std::uint32_t(window.internalWinId());
    std::memcpy(event.data() + 4, &id, 4);
    std::memcpy(event.data() + 8, &id, 4);
    qintptr result = 0;
    QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", event.data(), &result);
}

// Loses the keeper's window as `how` says ("deleted", or "native": destroyed by another program)
// and waits for the one that replaces it.
bool lose(LWWindowKeeper &keeper, const char *how)
{
    QPointer<LWShellWindow> old = keeper.window();
    if (std::strcmp(how, "deleted") == 0)
        delete old.data();
    else
        destroyNatively(*old);
    return waitFor([&] { return keeper.window() && keeper.window() != old.data() && !old; });
}

} // namespace

// A second launch while a sheet is up leaves the keyboard with the sheet: Escape closes it.
TEST_F(KeptWindow, HandOverLeavesTheKeyboardWithAnOpenSheet)
{
    QTemporaryDir runtime;
    LWInstance first(runtime.path()), second(runtime.path());
    ASSERT_TRUE(first.claim());
    LWHandOver handOver(app);
    QObject::connect(&first, &LWInstance::openRequested, &handOver, &LWHandOver::request);
    QObject::connect(&first, &LWInstance::raiseRequested, keeper.get(), &LWWindowKeeper::bringToFront);
    ASSERT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::usCard, std::nullopt), url(QStringLiteral("b.velkfolio"))).ok());

    keeper->window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(keeper->window()));
    openNew(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    app.setSheet(LWAppSheet::exportSheet);
    QDialog *sheet = keeper->window()->sheets()->dialog();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));

    int raises = 0;
    QObject::connect(&first, &LWInstance::raiseRequested, [&raises] { ++raises; });
    ASSERT_TRUE(second.claim() == false && second.send(path(QStringLiteral("b.velkfolio")), 2000));
    ASSERT_TRUE(waitFor([&] { return raises == 1; }));
    QTest::qWait(50);
    ASSERT_EQ(QGuiApplication::focusWindow(), sheet->windowHandle());
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !app.sheet().has_value(); }));
    // The design handed over opens once the sheet is gone.
    EXPECT_TRUE(waitFor([&] { return app.editor() && app.editor()->fileURL() == url(QStringLiteral("b.velkfolio")); }));
}

// A main window destroyed other than by the user (deleted, or its native window destroyed by
// another program) comes back with the open design, its unsaved changes and its sheet, and a
// hand-over right after the loss shows it at once.
TEST_F(KeptWindow, DestroyedMainWindowComesBackWithTheDesign)
{
    keeper->window()->show();
    LWEditor *editor = newDirty(QStringLiteral("Kept"));
    app.setSheet(LWAppSheet::exportSheet);
    const struct {
        const char *how;
        bool handOverAtOnce;
    } cases[] = {{"deleted", false}, {"native", false}, {"deleted", true}, {"native", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.how << c.handOverAtOnce);
        QPointer<LWShellWindow> old = keeper->window();
        ASSERT_TRUE(old);
        if (std::strcmp(c.how, "deleted") == 0)
            delete old.data();
        else
            destroyNatively(*old);
        if (c.handOverAtOnce)
            keeper->bringToFront();
        ASSERT_TRUE(waitFor([&] { return keeper->window() && keeper->window() != old.data() && !old; }));
        expectShowsTheDesign(editor);
        QDialog *sheet = keeper->window()->sheets()->dialog();
        EXPECT_TRUE(sheet && sheet->isVisible());
        EXPECT_EQ(app.sheet(), LWAppSheet::exportSheet);
    }
}

// Closing the window as the user does ends the program: nothing comes back.
TEST_F(KeptWindow, ClosedByTheUserStaysClosed)
{
    int quits = 0;
    keeper->setQuit([&quits] { ++quits; });
    keeper->window()->show();
    QPointer<LWShellWindow> window = keeper->window();
    window->close();
    QTest::qWait(50);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(keeper->window(), window.data());
    EXPECT_FALSE(window->isVisible());
}

// The window lost while a 600-DPI PNG export runs: the new window stands where the lost one
// stood, at its size; the export goes on into its sheet, its file is written whole and its
// notice comes, with no alert.
TEST_F(KeptWindow, AnExportGoesOnIntoTheWindowThatReplacesALostOne)
{
    LWPrefs::store().setValue(LWPrefs::exportDPIKey, 600);
    LWPrefs::store().setValue(LWPrefs::exportBleedKey, true);
    const QString file = path(QStringLiteral("Flyer.png"));
    const struct {
        const char *how;
        QRect stood;
    } cases[] = {{"deleted", QRect(137, 91, 1110, 733)}, {"native", QRect(301, 45, 1203, 811)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        QFile::remove(file);
        app.setNotice(std::nullopt);
        LWShellWindow *window = keeper->window();
        window->show();
        window->setGeometry(c.stood);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_EQ(window->geometry(), c.stood);
        openNew(LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Flyer")));
        app.setSheet(LWAppSheet::exportSheet);
        auto *sheet = qobject_cast<ExportSheet *>(window->sheets()->dialog());
        ASSERT_NE(sheet, nullptr);
        QTest::mouseClick(sheet->formatPicker()->segment(int(ExportSheet::Fmt::png)), Qt::LeftButton);
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(file))};
        QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        ASSERT_TRUE(sheet->exporting());

        QPointer<LWShellWindow> old = window;
        if (std::strcmp(c.how, "deleted") == 0)
            delete window;
        else
            destroyNatively(*window);
        ASSERT_TRUE(waitFor([&] { return keeper->window() && keeper->window() != old.data() && !old; }));
        EXPECT_EQ(keeper->window()->geometry(), c.stood);
        auto *now = qobject_cast<ExportSheet *>(keeper->window()->sheets()->dialog());
        ASSERT_NE(now, nullptr);
        // Still running, its progress shown over the new window, or already written.
        EXPECT_TRUE(now->exporting() || QFile::exists(file));
        EXPECT_TRUE(waitWhileComing("the export over the new window", [&] { return !now->exporting() && app.notice().has_value(); },
                                    [&] { return now->progressBar()->value(); }, 60000));
        EXPECT_EQ(app.notice().value_or(QString()), QStringLiteral("Exported Flyer.png"));
        EXPECT_EQ(QImageReader(file).size(), QSize(5250, 6750));
        EXPECT_EQ(prompts->calls.size(), 1); // no alert
        app.editor()->setDirty(false);
    }
}

// A window moved, not resized, and then lost: the new window stands where it was moved to.
TEST_F(KeptWindow, AMovedWindowComesBackWhereItWasMoved)
{
    const QRect stood(120, 80, 1100, 720);
    for (const char *how : {"deleted", "native"}) {
        SCOPED_TRACE(how);
        LWShellWindow *window = keeper->window();
        window->show();
        window->setGeometry(stood);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_TRUE(waitFor([&] { return window->geometry() == stood; }));
        const QPoint movedTo(stood.x() + 211, stood.y() + 67);
        window->move(movedTo);
        ASSERT_TRUE(waitFor([&] { return window->pos() == movedTo; }));
        QTest::qWait(20);
        ASSERT_TRUE(lose(*keeper, how));
        EXPECT_EQ(keeper->window()->pos(), movedTo);
        EXPECT_EQ(keeper->window()->geometry().size(), stood.size());
    }
}

// An export that fails while its window is lost shows its alert all the same, once: also when it
// ends before the sheet over the new window could take it.
TEST_F(KeptWindow, AFailedExportOfALostWindowStillAlerts)
{
    const QString file = path(QStringLiteral("Card.png"));
    for (const char *how : {"deleted", "native"}) {
        SCOPED_TRACE(how);
        LWShellWindow *window = keeper->window();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        openNew(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card")));
        app.setSheet(LWAppSheet::exportSheet);
        auto *sheet = qobject_cast<ExportSheet *>(window->sheets()->dialog());
        ASSERT_NE(sheet, nullptr);
        QTest::mouseClick(sheet->formatPicker()->segment(int(ExportSheet::Fmt::png)), Qt::LeftButton);
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(file)), ScriptedPrompts::alertStep()};
        // The file cannot be put in place; the export has ended by the time the window goes,
        // its end not yet heard.
        std::atomic<bool> failing{false};
        LWFileAccess::ReplaceProbe probe;
        probe.lastStepFault = [&failing](const char *step) {
            if (std::strcmp(step, "rename") != 0)
                return 0;
            failing = true;
            return EIO;
        };
        LWExportJob::setProbe(probe);
        QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        LWExportJob::setProbe({});
        ASSERT_TRUE(sheet->exporting());
        for (int i = 0; i < 3000 && !failing; ++i)
            QThread::msleep(10);
        ASSERT_TRUE(failing);
        QThread::msleep(300);
        ASSERT_TRUE(lose(*keeper, how));
        ASSERT_TRUE(waitFor([&] { return prompts->calls.size() >= 2; }));
        QTest::qWait(50);
        ASSERT_EQ(prompts->calls.size(), 2);
        EXPECT_EQ(prompts->calls[1].value(0), QStringLiteral("alert"));
        EXPECT_TRUE(prompts->calls[1].value(2).startsWith(QStringLiteral("The file \"Card - front.png\" couldn't be saved: ")))
            << prompts->calls[1].join(u'|').toStdString();
        auto *now = qobject_cast<ExportSheet *>(keeper->window()->sheets()->dialog());
        EXPECT_TRUE(!now || !now->exporting());
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("Card - front.png"))));
        app.setSheet(std::nullopt);
        app.editor()->setDirty(false);
    }
}
