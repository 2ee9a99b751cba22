#include "inspector_fixture.h"

#include "app/app.h"
#include "kit/cabinet/bezel.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/labeledslider.h"
#include "render/text/fonts.h"
#include "ui/inspector/sections/arrangesection.h"
#include "ui/inspector/sections/geometrysection.h"
#include "ui/inspector/sections/imagesection.h"
#include "ui/inspector/inspector.h"
#include "ui/inspector/sections/multisection.h"
#include "ui/inspector/sections/pageinspector.h"
#include "ui/inspector/sections/shapesection.h"
#include "ui/inspector/sections/textsection.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace {

class RoutingTest : public InspectorTest {
protected:
    void SetUp() override
    {
        InspectorTest::SetUp();
        LWFonts::registerBundled();
    }
    // The stack's sections by kind, in order: "arrange", "geometry", "text", ... "note", "banner".
    static QStringList sections(const Inspector &in)
    {
        QStringList out;
        for (QObject *o : in.stack()->children()) {
            auto *w = qobject_cast<QWidget *>(o);
            auto *g = qobject_cast<GeometrySection *>(w);
            if (!w)
                continue;
            out << (qobject_cast<ArrangeSection *>(w)      ? "arrange"
                    : g                                    ? (g->rotationSlider()->isVisibleTo(g) ? "geometry"
                                                                                                  : "geometry-no-rotation")
                    : qobject_cast<TextSection *>(w)       ? "text"
                    : qobject_cast<ShapeSection *>(w)      ? "shape"
                    : qobject_cast<MultiSection *>(w)      ? "multi"
                    : qobject_cast<PageInspector *>(w)     ? "page"
                    : qobject_cast<ImageSection *>(w)      ? "image"
                    : qobject_cast<QLabel *>(w)            ? "note"
                    : w->findChild<ChipButton *>()         ? "banner"
                                                           : "other");
        }
        return out;
    }
    static LWElement hi()
    {
        return LWElement::makeText(LWText(QStringLiteral("Hi"), QStringLiteral("Georgia"), 12, LWColor::black),
                                   {10, 10, 100, 20});
    }
    LWApp app;
};

} // namespace

TEST_F(RoutingTest, TitleAndSectionsFollowTheSelection)
{
    LWElement text = hi();
    LWElement shape = rect("s", {10, 50, 40, 40});
    LWElement lockedShape = rect("l", {60, 50, 40, 40}, true);
    LWElement group = groupOf({rect("c", {10, 100, 20, 20})});
    LWElement lockedGroup = groupOf({rect("d", {50, 100, 20, 20})});
    lockedGroup.locked = true;
    LWElement photo = LWElement::makePhoto({10, 150, 60, 40});
    QList<LWElement> many{text, shape, lockedShape, group, lockedGroup, photo};
    for (int i = 0; i < 4; ++i)
        many << rect(QStringLiteral("m%1").arg(i), {200.0 + i * 10, 200, 5, 5});
    auto ed = make(letter(many));
    Inspector in(*ed, app);
    const struct {
        QList<QUuid> selection;
        QString title;
        QStringList sections;
    } cases[] = {
        {{}, "Page", {"page"}},
        {{photo.id}, "Selected item", {"arrange", "geometry", "image"}},
        {{text.id}, "Selected item", {"arrange", "geometry", "text"}},
        {{shape.id}, "Selected item", {"arrange", "geometry", "shape"}},
        {{group.id}, "Selected item", {"arrange", "geometry-no-rotation", "note"}},
        {{lockedShape.id}, "Selected item", {"arrange", "banner"}},
        {{lockedGroup.id}, "Selected item", {"arrange", "banner"}},
        {{shape.id, lockedShape.id}, "2 items selected", {"arrange", "multi"}},
        {{QUuid::createUuid()}, "Selected item", {"arrange", "multi"}},
        {ids(many), "10 items selected", {"arrange", "multi"}},
    };
    for (const auto &c : cases) {
        ed->setSelection(c.selection);
        QApplication::processEvents();
        EXPECT_EQ(in.panel()->title().compare(c.title, Qt::CaseInsensitive), 0) << in.panel()->title().toStdString(); // engraved in capitals
        EXPECT_EQ(sections(in), c.sections) << c.title.toStdString();
    }

    // Unlock: one step, the sections come back; undo brings the banner back.
    ed->setSelection({lockedShape.id});
    const qsizetype before = ed->undoStack().size();
    in.stack()->findChild<ChipButton *>()->click();
    EXPECT_EQ(ed->undoStack().size(), before + 1);
    EXPECT_EQ(sections(in), (QStringList{"arrange", "geometry", "shape"}));
    ed->undo();
    EXPECT_EQ(sections(in), (QStringList{"arrange", "banner"}));
}

TEST_F(RoutingTest, EditsRefreshTheSameWidgets)
{
    LWElement text = hi();
    LWElement other = rect("o", {200, 200, 40, 40});
    auto ed = make(letter({text, other}), {text.id});
    Inspector in(*ed, app);
    in.show();
    QApplication::setActiveWindow(&in);
    auto *geometry = in.stack()->findChild<GeometrySection *>();
    auto *section = in.stack()->findChild<TextSection *>();
    ASSERT_TRUE(geometry && section);
    QWidget *stack = in.stack();

    QLineEdit *name = geometry->nameField();
    QPlainTextEdit *typing = section->textEdit();
    typing->moveCursor(QTextCursor::End);
    int n = 0;
    for (QWidget *field : {static_cast<QWidget *>(name), static_cast<QWidget *>(typing)}) {
        advance(2);
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("abcde"));
        EXPECT_EQ(in.stack(), stack);
        EXPECT_TRUE(field->hasFocus());
        EXPECT_EQ(ed->undoStack().size(), ++n);
    }
    EXPECT_EQ(typing->textCursor().position(), 7);

    ed->setSelection({other.id});
    EXPECT_NE(in.stack(), stack); // another element: a new stack
}

TEST_F(RoutingTest, ImageSectionsGetTheInspectorsChooser)
{
    const LWElement photo = LWElement::makePhoto({10, 10, 60, 40});
    auto ed = make(letter({photo}), {photo.id});
    Inspector in(*ed, app);
    int calls = 0;
    in.setChooser([&](LWEditor &editor, QWidget *) { calls += &editor == ed.get() ? 1 : 100; });
    in.stack()->findChild<ImageSection *>()->chooseButton()->click();
    ed->setSelection({});
    ed->setSelection({photo.id}); // a section built later gets it too
    in.stack()->findChild<ImageSection *>()->chooseButton()->click();
    EXPECT_EQ(calls, 2);
}
