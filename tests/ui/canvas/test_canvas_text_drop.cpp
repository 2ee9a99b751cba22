#include "editor/editor_fixture.h"
#include "kit/zoom/zoomhost.h"
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
    // Enter, move and drop of hand-built events at page point `at`; whether the drop was taken.
    static bool drop(PageCanvas &page, QPointF pageAt, QMimeData *mime)
    {
        const QPointF at = page.gestures().toView(pageAt);
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
    static bool dropFile(PageCanvas &page, QPointF at, const QString &path)
    {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        return drop(page, at, &mime);
    }
};

} // namespace

TEST_F(TextDropTest, EditorGeometry)
{
    LWElement box = LWElement::makeText(LWText(QStringLiteral("x"), QStringLiteral("Georgia"), 10, LWColor::black),
                                        {50, 60, 120, 20});
    EXPECT_EQ(InlineGeometry::of(box, 9, 3).size, QSizeF(372, 68));
    box.text->size = 28;
    EXPECT_NEAR(InlineGeometry::of(box, 9, 1).size.height(), 47.2, 1e-9);
    box.rotation = 30;
    const InlineGeometry g = InlineGeometry::of(box, 9, 2);
    EXPECT_EQ(std::pair(g.rotation, g.centre), std::pair(30.0, QPointF((110 + 9) * 2 + 1, (70 + 9) * 2 + 4)));
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
        const QPoint at = page->gestures().toView({150, 120}).toPoint();
        QTest::mouseClick(page, Qt::LeftButton, {}, at);
        QTest::mouseDClick(page, Qt::LeftButton, {}, at);
        QTest::mouseRelease(page, Qt::LeftButton, {}, at);
        ASSERT_NE(page->inlineEditor(), nullptr);
        InlineTextEditor *typing = page->inlineEditor()->editor();
        // Keys go to the application's focus (the view showing the editor turned, or the zoom
        // host around it) and reach the editor from there.
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);

        typing->moveCursor(QTextCursor::End);
        QTest::keyClicks(focus, QStringLiteral("a c"));
        QTest::keyClick(focus, Qt::Key_Return);
        EXPECT_EQ(editor->element(text.id)->text->string, QStringLiteral("Hia c\n"));
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
    int chosen = 0;
    QByteArray pick; // empty: the chooser is cancelled
    page.setChooser([&](LWEditor &e, QWidget *) {
        ++chosen;
        if (!pick.isEmpty())
            (void)e.placeImage(pick);
    });
    page.doubleClick({150, 350});
    EXPECT_EQ(ed->selection(), QList<QUuid>{shape.id});
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
    const QString pngFile = file(QStringLiteral("a.png"), png);
    auto empty = make(letter());
    PageCanvas page(*empty);
    EXPECT_TRUE(dropFile(page, {200, 300}, pngFile));
    ASSERT_EQ(empty->elements().size(), 1);
    EXPECT_EQ(empty->elements()[0].frame.center(), QPointF(200, 300));
    EXPECT_EQ(empty->selection(), QList<QUuid>{empty->elements()[0].id});

    // Onto a picture element; then with one picture selected, anywhere; pasted bytes too.
    PageCanvas onto(*ed);
    EXPECT_TRUE(dropFile(onto, {350, 350}, pngFile));
    EXPECT_EQ(ed->element(photo.id)->image->data, png);
    const QByteArray heicBytes = heic(plain(64, 48, Qt::green));
    EXPECT_TRUE(dropFile(onto, {50, 50}, file(QStringLiteral("b.heic"), heicBytes)));
    EXPECT_EQ(ed->element(photo.id)->image->data, heicBytes);
    QMimeData jpeg;
    jpeg.setData(QStringLiteral("image/jpeg"), encode(plain(40, 30, Qt::red), "jpeg"));
    ed->setSelection({});
    EXPECT_TRUE(drop(onto, {500, 600}, &jpeg));
    EXPECT_EQ(ed->elements().size(), 4);

    // A text file: nothing changed, the drop not taken.
    const LWDocument before = ed->doc();
    EXPECT_FALSE(dropFile(onto, {500, 600}, file(QStringLiteral("notes.txt"), "just words")));
    EXPECT_EQ(ed->doc(), before);

    // Plain text and web addresses are not offered: no outline.
    QMimeData text, web;
    text.setText(QStringLiteral("hello"));
    web.setUrls({QUrl(QStringLiteral("http://example.com/a.png"))});
    EXPECT_FALSE(drop(onto, {10, 10}, &text));
    EXPECT_FALSE(drop(onto, {10, 10}, &web));

    // Leaving removes the outline.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(pngFile)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&onto, &enter);
    EXPECT_TRUE(onto.dropTarget());
    QDragLeaveEvent leave;
    QApplication::sendEvent(&onto, &leave);
    EXPECT_FALSE(onto.dropTarget());
}
