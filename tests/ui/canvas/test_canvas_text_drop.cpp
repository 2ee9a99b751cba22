#include "editor/editor_fixture.h"
#include "kit/zoomhost.h"
#include "render/fonts.h"
#include "support/testpictures.h"
#include "ui/canvas/inlinetexteditor.h"
#include "ui/canvas/pagecanvas.h"

#include <QApplication>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

using namespace LWTestPictures;

namespace {

class TextDropTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        LWFonts::registerBundled();
    }
    // A Letter page holding a text box, a shape and an empty picture frame, shown at scale 1.
    LWElement text = LWElement::makeText(LWText(QStringLiteral("Hi"), QStringLiteral("Georgia"), 20, LWColor::black),
                                         {100, 100, 200, 40});
    LWElement shape = rect("shape", {100, 300, 100, 100});
    LWElement photo = LWElement::makePhoto({300, 300, 150, 100});
    std::unique_ptr<LWEditor> ed = make(letter({text, shape, photo}));

    QString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return f.fileName();
    }
    // Enter, move and drop of hand-built events; whether the drop was taken.
    static bool drop(PageCanvas &page, QPointF at, QMimeData *mime)
    {
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&page, &enter);
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&page, &move);
        const bool shown = page.dropTarget();
        QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&page, &dropped);
        EXPECT_FALSE(page.dropTarget());
        return shown && dropped.isAccepted();
    }
    static void doubleClick(QWidget *w, QPoint at)
    {
        QTest::mousePress(w, Qt::LeftButton, {}, at);
        QTest::mouseRelease(w, Qt::LeftButton, {}, at);
        QTest::mouseDClick(w, Qt::LeftButton, {}, at);
        QTest::mouseRelease(w, Qt::LeftButton, {}, at);
    }
};

} // namespace

TEST_F(TextDropTest, EditorGeometry)
{
    LWElement box = LWElement::makeText(LWText(QStringLiteral("x"), QStringLiteral("Georgia"), 10, LWColor::black),
                                        {50, 60, 120, 20});
    InlineGeometry g = InlineGeometry::of(box, 9, 3);
    EXPECT_EQ(g.size, QSizeF(372, 68));
    box.text->size = 28;
    EXPECT_NEAR(InlineGeometry::of(box, 9, 1).size.height(), 47.2, 1e-9);
    box.rotation = 30;
    g = InlineGeometry::of(box, 9, 2);
    EXPECT_EQ(g.rotation, 30);
    EXPECT_EQ(g.centre, QPointF((110 + 9) * 2 + 1, (70 + 9) * 2 + 4));
}

TEST_F(TextDropTest, TypingEditsInPlaceInOneStepPerPause)
{
    for (bool hosted : {false, true}) {
        SCOPED_TRACE(hosted);
        auto editor = make(letter({text, shape}));
        auto *page = new PageCanvas(*editor);
        std::unique_ptr<QWidget> shown(hosted ? static_cast<QWidget *>(new VKZoomHost(page, {700, 900})) : page);
        if (hosted)
            VKZoom::setValue(2);
        shown->resize(1400, 1800);
        shown->show();
        QApplication::setActiveWindow(shown.get());
        doubleClick(page, page->gestures().toView({150, 120}).toPoint());
        ASSERT_NE(page->inlineEditor(), nullptr);
        EXPECT_EQ(editor->selection(), QList<QUuid>{text.id});
        InlineTextEditor *typing = page->inlineEditor()->editor();
        // Keys go to the application's focus (the view showing the editor turned, or the zoom
        // host around it) and reach the editor from there.
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(typing->hasFocus());

        typing->moveCursor(QTextCursor::End);
        QTest::keyClicks(focus, QStringLiteral("abc"));
        EXPECT_EQ(editor->element(text.id)->text->string, QStringLiteral("Hiabc"));
        EXPECT_EQ(editor->undoStack().size(), 1);
        advance(2);
        QTest::keyClicks(focus, QStringLiteral("d"));
        EXPECT_EQ(editor->undoStack().size(), 2);
        EXPECT_EQ(page->inlineEditor()->editor(), typing); // the same widget throughout

        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_EQ(editor->editingTextID(), std::nullopt);
        EXPECT_EQ(page->inlineEditor(), nullptr);
        EXPECT_EQ(editor->selection(), QList<QUuid>{text.id});
        VKZoom::setValue(1);
    }

    // A press on empty page ends editing; a locked box takes no typing.
    PageCanvas page(*ed);
    page.show();
    ed->setEditingTextID(text.id);
    ASSERT_NE(page.inlineEditor(), nullptr);
    QTest::mouseClick(&page, Qt::LeftButton, {}, page.gestures().toView({500, 700}).toPoint());
    EXPECT_EQ(page.inlineEditor(), nullptr);

    ed->setLocked(true, QList<QUuid>{text.id});
    const LWDocument before = ed->doc();
    ed->setEditingTextID(text.id);
    ASSERT_NE(page.inlineEditor(), nullptr);
    QTest::keyClicks(page.inlineEditor()->editor(), QStringLiteral("zz"));
    EXPECT_EQ(ed->doc(), before);
    EXPECT_EQ(page.inlineEditor()->editor()->toPlainText(), QStringLiteral("Hi"));
}

TEST_F(TextDropTest, DoubleClicksOpenWhatTheyHit)
{
    PageCanvas page(*ed);
    page.setScale(2);
    EXPECT_EQ(page.gestures().toPage({35, 20}), QPointF(8.5, 1));
    int chosen = 0;
    QByteArray pick; // empty: the chooser is cancelled
    page.setChooser([&](LWEditor &e, QWidget *) {
        ++chosen;
        if (!pick.isEmpty())
            (void)e.placeImage(pick);
    });
    page.doubleClick({150, 350});
    EXPECT_EQ(ed->selection(), QList<QUuid>{shape.id});
    EXPECT_EQ(ed->editingTextID(), std::nullopt);
    page.doubleClick({350, 350});
    EXPECT_EQ(chosen, 0); // never inside the handler
    QTest::qWait(1);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(ed->selection(), QList<QUuid>{photo.id});
    EXPECT_FALSE(ed->canUndo());
    pick = encode(plain(60, 40, Qt::red), "png");
    page.doubleClick({350, 350});
    QTest::qWait(1);
    EXPECT_EQ(ed->element(photo.id)->image->data, pick);
}

TEST_F(TextDropTest, DropsPlacePicturesWhereTheyLand)
{
    const QByteArray png = encode(plain(300, 200, Qt::blue), "png");
    auto urlOf = [](const QString &path) {
        auto *mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(path)});
        return mime;
    };
    const QString pngFile = file(QStringLiteral("a.png"), png);

    auto empty = make(letter());
    PageCanvas page(*empty);
    std::unique_ptr<QMimeData> mime(urlOf(pngFile));
    EXPECT_TRUE(drop(page, page.gestures().toView({200, 300}), mime.get()));
    ASSERT_EQ(empty->elements().size(), 1);
    EXPECT_EQ(empty->elements()[0].name, QStringLiteral("Picture"));
    EXPECT_EQ(empty->elements()[0].frame.center(), QPointF(200, 300));
    EXPECT_EQ(empty->selection(), QList<QUuid>{empty->elements()[0].id});

    // Onto a picture element; then with one picture selected, anywhere.
    PageCanvas onto(*ed);
    mime.reset(urlOf(pngFile));
    EXPECT_TRUE(drop(onto, onto.gestures().toView({350, 350}), mime.get()));
    EXPECT_EQ(ed->element(photo.id)->image->data, png);
    const QByteArray heicBytes = heic(plain(64, 48, Qt::green));
    mime.reset(urlOf(file(QStringLiteral("b.heic"), heicBytes)));
    EXPECT_TRUE(drop(onto, onto.gestures().toView({50, 50}), mime.get()));
    EXPECT_EQ(ed->element(photo.id)->image->data, heicBytes);

    mime = std::make_unique<QMimeData>();
    mime->setData(QStringLiteral("image/jpeg"), encode(plain(40, 30, Qt::red), "jpeg"));
    ed->setSelection({});
    EXPECT_TRUE(drop(onto, onto.gestures().toView({500, 600}), mime.get()));
    EXPECT_EQ(ed->elements().last().name, QStringLiteral("Picture"));

    // A text file: the message, nothing changed, the drop not taken.
    const LWDocument before = ed->doc();
    mime.reset(urlOf(file(QStringLiteral("notes.txt"), "just words")));
    EXPECT_FALSE(drop(onto, onto.gestures().toView({500, 600}), mime.get()));
    EXPECT_EQ(ed->message(), LWEditor::unreadablePictureMessage);
    EXPECT_EQ(ed->doc(), before);

    // Plain text and web addresses are not offered: no outline.
    mime = std::make_unique<QMimeData>();
    mime->setText(QStringLiteral("hello"));
    EXPECT_FALSE(drop(onto, {10, 10}, mime.get()));
    mime = std::make_unique<QMimeData>();
    mime->setUrls({QUrl(QStringLiteral("http://example.com/a.png"))});
    EXPECT_FALSE(drop(onto, {10, 10}, mime.get()));

    // Leaving removes the outline.
    mime.reset(urlOf(pngFile));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&onto, &enter);
    EXPECT_TRUE(onto.dropTarget());
    QDragLeaveEvent leave;
    QApplication::sendEvent(&onto, &leave);
    EXPECT_FALSE(onto.dropTarget());
}
