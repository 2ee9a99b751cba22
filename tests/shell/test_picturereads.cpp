// Pictures aimed by the user and read while the user goes on working in the window: each lands
// where it was aimed, as its own undo step, or nowhere with a message in the status strip.
#include "app/app_fixture.h"
#include "editorwindow.h"
#include "editor/imagepicker.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/ledtoggle.h"
#include "kit/views/textline.h"
#include "render/pictures/imagecache.h"
#include "render/worker/decodeworkers.h"
#include "shell/headerbar.h"
#include "shell/mainwindow.h"
#include "shell/shelltext.h"
#include "shell/statusstrip.h"
#include "support/filedialogs.h"
#include "support/pngbytes.h"
#include "support/waitfor.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/canvastoolbar.h"
#include "ui/canvas/editorscreen.h"
#include "ui/canvas/pagecanvas.h"
#include "ui/canvas/toolrail.h"
#include "ui/inspector/inspector.h"
#include "ui/inspector/sections/imagesection.h"

#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QTest>

namespace {

enum class Aim { replace, chooser, dropEmpty, dropOnPicture, placePicture };
enum class Meanwhile { selectOther, deselect, switchSide, deleteFrame, undo, closeDesign, dragOther };

const char *name(Aim a)
{
    static const char *names[] = {"Replace", "chooser", "drop on empty page", "drop on the frame", "Place Picture"};
    return names[int(a)];
}
const char *name(Meanwhile m)
{
    static const char *names[] = {"selects the other picture", "deselects", "switches side", "deletes the frame",
                                  "undoes", "closes the design", "drags a shape"};
    return names[int(m)];
}

// A Letter design with a back, shown in the main window: the picture B, the shape C and, added
// last as its own step, the frame A (a filled one, so "Replace…" is its button).
class PictureReads : public AppTest, protected EditorWindow {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        picture = path(QStringLiteral("new.png"));
        writePicture();
    }
    // Pictures are known by their bytes: each round's file is another picture (what follows IEND
    // is not read), so that its read decodes anew.
    void writePicture()
    {
        newBytes = lwPngBytes(300, 200) + QByteArray::number(++rounds);
        QFile f(picture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(newBytes) == newBytes.size());
    }
    void TearDown() override
    {
        LWImagePicker::holdReads(false);
        window.reset();
        runPosted();
        AppTest::TearDown();
    }

    void open()
    {
        writePicture();
        if (app.editor())
            app.editor()->setDirty(false); // the last round's design goes without a question
        LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
        doc.pages.append({QStringLiteral("Back"), LWFill::solid(LWColor::white), {}});
        LWElement b = LWElement::makePhoto({350, 100, 150, 100});
        b.image->data = lwPngBytes(40, 30);
        doc.pages[0].elements = {b, LWElement::makeShape(LWShapeKind::rectangle, {100, 400, 100, 100},
                                                         LWFill::solid(LWColor::black), std::nullopt, 0,
                                                         QStringLiteral("C"))};
        app.newDocument(doc);
        ed = app.editor();
        LWElement a = LWElement::makePhoto({100, 100, 150, 100});
        a.image->data = lwPngBytes(50, 30);
        ASSERT_TRUE(ed->add(a, false));
        frame = a.id;
        other = b.id;
        shape = ed->elements()[1].id;
        ASSERT_NO_FATAL_FAILURE(showWindow(app));
    }

    QPoint view(QPointF pagePoint) const { return page->gestures().toView(pagePoint).toPoint(); }
    QPoint centreOf(const QUuid &id) const { return view(ed->element(id)->frame.center()); }
    void click(QPoint at)
    {
        QTest::mouseClick(page, Qt::LeftButton, {}, at);
        runPosted(); // the inspector rebuilds for the new selection
    }
    void key(int k)
    {
        QApplication::setActiveWindow(window.get()); // back from the file dialog
        QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(to, Qt::Key(k));
    }
    void undo() { window->headerBar()->undoButton()->click(); }
    void drop(QPointF at)
    {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(picture)});
        const QPoint v = view(at);
        QDragEnterEvent enter(v, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &enter);
        QDragMoveEvent move(v, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &move);
        QDropEvent dropped(v, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &dropped);
        EXPECT_TRUE(dropped.isAccepted());
    }
    // What the user does to aim the picture; the read is held from here on.
    void aim(Aim how)
    {
        switch (how) {
        case Aim::replace: {
            click(centreOf(frame));
            ImageSection *section = editorScreen->inspector()->findChild<ImageSection *>();
            ASSERT_NE(section, nullptr);
            ASSERT_EQ(section->chooseButton()->text(), QStringLiteral("Replace…"));
            chooseInFileDialog(picture);
            section->chooseButton()->click();
            break;
        }
        case Aim::chooser: {
            const QPoint at = centreOf(frame);
            chooseInFileDialog(picture);
            QTest::mouseClick(page, Qt::LeftButton, {}, at);
            QTest::mouseDClick(page, Qt::LeftButton, {}, at);
            QTest::mouseRelease(page, Qt::LeftButton, {}, at);
            QTest::qWait(50); // the chooser opens from the event loop
            break;
        }
        case Aim::dropEmpty:
            drop(emptySpot);
            break;
        case Aim::dropOnPicture:
            drop(ed->element(frame)->frame.center());
            break;
        case Aim::placePicture:
            chooseInFileDialog(picture);
            editorScreen->rail()->pictureButton()->click();
            break;
        }
        runPosted();
    }
    // Lets the held read go and waits until its result has come back to the main thread (the
    // read asks a worker for the new picture's header).
    void releaseRead()
    {
        const qint64 asked = LWDecodeWorkers::stats().decodes;
        LWImagePicker::holdReads(false);
        ASSERT_TRUE(waitFor([&] { return LWDecodeWorkers::stats().decodes > asked; }));
        ASSERT_TRUE(waitFor([] { return LWImagePicker::readsLoading() == 0; }, 60000)); // handed on
    }

    QByteArray newBytes; // 72 x 48 pt at 300 DPI
    static inline int rounds = 0; // across the tests: a picture read in an earlier one is known
    const QPointF emptySpot{400, 600};
    QString picture;
    QPointer<LWEditor> ed;
    QUuid frame, other, shape;
};

} // namespace

TEST_F(PictureReads, LandWhereAimedWhateverHappensMeanwhile)
{
    for (const Aim how : {Aim::replace, Aim::chooser, Aim::dropEmpty, Aim::dropOnPicture, Aim::placePicture}) {
        for (const Meanwhile then : {Meanwhile::selectOther, Meanwhile::deselect, Meanwhile::switchSide,
                                     Meanwhile::deleteFrame, Meanwhile::undo, Meanwhile::closeDesign,
                                     Meanwhile::dragOther}) {
            SCOPED_TRACE(std::string(name(how)) + ", then the user " + name(then));
            open();
            LWImagePicker::holdReads(true);
            aim(how);
            const QList<QUuid> aimedWith = ed->selection();
            const bool intoFrame = how == Aim::replace || how == Aim::chooser || how == Aim::dropOnPicture;
            // The drop's point as the view gives it, in whole view points.
            const QPointF centre = how == Aim::dropEmpty ? page->gestures().toPage(view(emptySpot)) : QPointF(306, 396);
            const LWRect shapeAt = ed->element(shape)->frame;

            switch (then) {
            case Meanwhile::selectOther:
                click(centreOf(other));
                break;
            case Meanwhile::deselect:
                click(view({500, 720}));
                break;
            case Meanwhile::switchSide:
                qobject_cast<LEDToggle *>(editorScreen->toolbar()->sideToggles()[1])->click();
                break;
            case Meanwhile::deleteFrame:
                click(centreOf(frame));
                key(Qt::Key_Delete);
                break;
            case Meanwhile::undo:
                undo(); // takes the frame away again
                break;
            case Meanwhile::closeDesign:
                prompts->script = {ScriptedPrompts::ask(LWPrompts::Answer::dontSave)};
                app.close();
                runPosted();
                break;
            case Meanwhile::dragOther: {
                const QPoint from = centreOf(shape);
                QTest::mousePress(page, Qt::LeftButton, {}, from);
                QTest::mouseMove(page, from + QPoint(30, 10));
                QTest::mouseMove(page, from + QPoint(60, 20));
                const LWDocument dragged = ed->doc();
                releaseRead();
                EXPECT_EQ(ed->doc(), dragged); // nothing lands during the drag
                QTest::mouseRelease(page, Qt::LeftButton, {}, from + QPoint(60, 20));
                break;
            }
            }
            const QList<QUuid> chosen = ed ? ed->selection() : QList<QUuid>();
            const LWDocument before = ed ? ed->doc() : LWDocument();
            const qsizetype steps = ed ? ed->undoStack().size() : 0;
            if (then != Meanwhile::dragOther)
                releaseRead();
            runPosted();

            if (then == Meanwhile::closeDesign) {
                EXPECT_EQ(app.editor(), nullptr);
                EXPECT_EQ(window->statusStrip()->notice()->label()->text(), LWImagePicker::designClosedMessage);
                continue;
            }
            ASSERT_TRUE(ed);
            const bool gone = intoFrame && (then == Meanwhile::deleteFrame || then == Meanwhile::undo);
            if (gone) {
                EXPECT_EQ(ed->doc(), before);
                EXPECT_EQ(ed->undoStack().size(), steps);
                EXPECT_EQ(window->statusStrip()->editorStatus()->messageText()->text(),
                          LWEditor::pictureFrameGoneMessage);
                continue;
            }
            ASSERT_EQ(ed->undoStack().size(), steps + 1);
            const QList<LWElement> &front = ed->doc().pages[0].elements;
            QUuid landed = frame;
            if (intoFrame) {
                EXPECT_EQ(front.size(), before.pages[0].elements.size());
            } else {
                ASSERT_EQ(front.size(), before.pages[0].elements.size() + 1);
                landed = front.last().id;
                EXPECT_EQ(front.last().frame.center(), centre);
                EXPECT_EQ(front.last().frame.width(), 72);
            }
            for (const LWElement &e : front)
                EXPECT_EQ(e.image && e.image->data == newBytes, e.id == landed);
            EXPECT_TRUE(ed->doc().pages[1].elements.isEmpty());
            // The picture is selected only where the user left the selection as it was.
            EXPECT_EQ(ed->selection(), ed->pageIndex() == 0 && chosen == aimedWith ? QList<QUuid>{landed} : chosen);
            if (then == Meanwhile::selectOther || then == Meanwhile::dragOther)
                EXPECT_EQ(ed->selection(), chosen);

            // Undone step by step: the picture, then what the user did meanwhile.
            undo();
            EXPECT_EQ(ed->doc(), before);
            if (then == Meanwhile::dragOther) {
                EXPECT_NE(ed->element(shape)->frame, shapeAt);
                undo();
                EXPECT_EQ(ed->element(shape)->frame, shapeAt);
            }
        }
    }
}

TEST_F(PictureReads, NowhereWhenItsSideIsGone)
{
    open();
    qobject_cast<LEDToggle *>(editorScreen->toolbar()->sideToggles()[1])->click();
    LWImagePicker::holdReads(true);
    aim(Aim::dropEmpty);
    ed->removeBackSide(); // Page > Remove Back Side
    const LWDocument before = ed->doc();
    releaseRead();
    EXPECT_EQ(ed->doc(), before);
    EXPECT_EQ(window->statusStrip()->editorStatus()->messageText()->text(), LWEditor::pictureSideGoneMessage);
}

// The program's quit with a read held: run in a process of its own, which must end cleanly.
TEST(PictureReadsQuit, QuittingWhileAReadIsHeldEndsCleanly)
{
    if (qEnvironmentVariableIsSet("LW_PICTURE_QUIT_CHILD")) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("a.png"));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(lwPngBytes(300, 200)) > 0);
        f.close();
        auto *app = new LWApp(qApp); // as the program's: it goes with the application object
        VELKTestFlags::running = true;
        app->newDocument(LWDocument::blank(LWSizePreset::letter, std::nullopt));
        LWEditor *editor = app->editor();
        LWImagePicker::holdReads(true);
        LWImagePicker::placeFile(*editor, file, editor->pictureTarget());
        QTimer::singleShot(50, qApp, &QCoreApplication::quit);
        QApplication::exec();
        QCoreApplication::processEvents();
        EXPECT_TRUE(editor->elements().isEmpty());
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LW_PICTURE_QUIT_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=PictureReadsQuit.QuittingWhileAReadIsHeldEndsCleanly")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << out.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
}
