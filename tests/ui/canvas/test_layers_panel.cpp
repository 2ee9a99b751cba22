#include "app/app.h"
#include "editor/editor_fixture.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/style.h"
#include "kit/views/scrollview.h"
#include "model/file/json.h"
#include "ui/canvas/layerrow.h"
#include "ui/canvas/editorscreen.h"
#include "ui/canvas/layerspanel.h"
#include "ui/inspector/inspector.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QTest>

namespace {

// A shown panel over five elements, back to front: a path, a triangle, an icon, a group and a
// rectangle.
class LayersTest : public EditorTest {
protected:
    QList<LWElement> els = five();
    std::unique_ptr<LWEditor> ed = make(letter(els));
    LayersPanel panel{*ed};

    void SetUp() override
    {
        EditorTest::SetUp();
        panel.resize(220, 420);
        panel.show();
        QApplication::processEvents();
    }
    static QList<LWElement> five()
    {
        LWElement path = LWElement::makePath({{0, 0}, {1, 0}, {0, 1}}, {0, 0, 40, 40}, LWFill::solid(LWColor::black),
                                             false, std::nullopt, QStringLiteral("Path"));
        LWElement tri = LWElement::makeShape(LWShapeKind::triangle, {10, 10, 30, 30}, LWFill::solid(LWColor::black),
                                             std::nullopt, 0, QStringLiteral("Triangle"));
        LWElement icon = LWElement::makeIcon(QStringLiteral("leaf"), {20, 20, 30, 30}, LWFill::solid(LWColor::black));
        icon.name = QStringLiteral("Icon");
        return {path, tri, icon, groupOf({rect("inner")}, QStringLiteral("Group")), rect("Top")};
    }
    static void flush() // lets rows given up by a rebuild go
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    LayerRow *row(int element) const
    {
        for (LayerRow *r : panel.rows())
            if (r->element().id == els[element].id)
                return r;
        return nullptr;
    }
    void click(int element, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(row(element), Qt::LeftButton, modifiers, QPoint(40, row(element)->height() / 2));
    }
    // enter, move and drop of `text` on the row; whether each was accepted.
    static std::array<bool, 3> drop(LayerRow *target, const QString &text)
    {
        QMimeData mime;
        mime.setText(text);
        const QPoint at(40, target->height() / 2);
        QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        move.ignore(); // as the zoom host's proxy hands it over
        QApplication::sendEvent(target, &move);
        QDropEvent dropped(QPointF(at), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        dropped.accept(); // only the row may refuse it
        QApplication::sendEvent(target, &dropped);
        return {enter.isAccepted(), move.isAccepted(), dropped.isAccepted()};
    }
};

} // namespace

TEST_F(LayersTest, HintButtonsAndRows)
{
    auto empty = make(letter());
    LayersPanel bare(*empty);
    bare.show();
    EXPECT_TRUE(bare.hint()->isVisible());
    EXPECT_EQ(bare.sideSwitch(), nullptr);
    EXPECT_FALSE(panel.hint()->isVisible());

    // Rows run front to back.
    QStringList names;
    for (LayerRow *r : panel.rows())
        names << r->element().name;
    EXPECT_EQ(names, (QStringList{"Top", "Group", "Icon", "Triangle", "Path"}));
    ed->setSelection({els[3].id});
    EXPECT_EQ(panel.rows()[1]->nameFont().weight(), QFont::Bold);
    EXPECT_EQ(panel.rows()[0]->nameFont().weight(), QFont::Medium);

    // Each button runs its case on the selected icon (index 2 of 0..4); none without a selection.
    const QUuid id = els[2].id;
    ed->setSelection({id});
    for (auto [button, index] : {std::pair{0, 4}, {3, 0}, {1, 1}, {2, 0}, {1, 1}}) {
        panel.buttons()[button]->click();
        EXPECT_EQ(ed->index(id), std::optional<qsizetype>(index)) << button;
    }
    panel.buttons()[4]->click();
    EXPECT_FALSE(ed->index(id));
    EXPECT_EQ(panel.rows().size(), 4);
    EXPECT_FALSE(panel.buttons()[4]->isEnabled());
}

TEST_F(LayersTest, SideSwitchFollowsAndPicksTheSide)
{
    ed->addBackSide();
    ASSERT_NE(panel.sideSwitch(), nullptr);
    EXPECT_EQ(panel.sideSwitch()->count(), 2);

    const SampleCard s;
    auto card = make(s.doc, {s.a});
    LayersPanel sided(*card);
    SegmentedPicker *sides = sided.sideSwitch();
    ASSERT_NE(sides, nullptr);
    auto rowIDs = [&] {
        QList<QUuid> out;
        for (LayerRow *r : sided.rows())
            out << r->element().id;
        return out;
    };
    EXPECT_EQ(rowIDs(), (QList<QUuid>{s.g, s.b, s.a}));
    sides->segment(1)->click();
    EXPECT_EQ(card->pageIndex(), 1);
    EXPECT_EQ(rowIDs(), QList<QUuid>{s.c});
    card->switchSide(0);
    EXPECT_EQ(sides->current(), 0);
    EXPECT_EQ(rowIDs(), (QList<QUuid>{s.g, s.b, s.a}));
    card->removeBackSide(); // a card keeps its back
    EXPECT_EQ(sided.sideSwitch(), sides);
}

TEST_F(LayersTest, ClicksSelectAddAndRemove)
{
    els[3].locked = true;
    els[1].hidden = true;
    ed->setDoc(letter(els));
    ed->setSelection({els[0].id, els[2].id, els[4].id});
    click(2);
    EXPECT_EQ(ed->selection(), QList<QUuid>{els[2].id});

    ed->setSelection({els[0].id, els[2].id, els[4].id});
    click(2, Qt::ShiftModifier);
    EXPECT_EQ(ed->selection(), (QList<QUuid>{els[0].id, els[4].id}));
    click(3, Qt::ControlModifier); // locked
    click(1, Qt::ShiftModifier);   // hidden
    EXPECT_EQ(ed->selection(), (QList<QUuid>{els[0].id, els[4].id, els[3].id, els[1].id}));
    click(0, Qt::ControlModifier);
    EXPECT_EQ(ed->selection(), (QList<QUuid>{els[4].id, els[3].id, els[1].id}));

    // A press that moves less than the drag distance is still a click.
    LayerRow *r = row(3);
    const QPoint at(40, 10), near = at + QPoint(QApplication::startDragDistance() - 1, 0);
    QTest::mousePress(r, Qt::LeftButton, Qt::NoModifier, at);
    QMouseEvent move(QEvent::MouseMove, near, r->mapToGlobal(near), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(r, &move);
    QTest::mouseRelease(r, Qt::LeftButton, Qt::NoModifier, near);
    EXPECT_EQ(ed->selection(), QList<QUuid>{els[3].id});
    EXPECT_EQ(ed->undoStack().size(), 0);
}

TEST_F(LayersTest, EyeAndLockButtons)
{
    const QUuid id = els[1].id;
    QPointer<LayerRow> old = row(1);
    old->eyeButton()->click();
    EXPECT_TRUE(ed->element(id)->hidden);
    flush();
    EXPECT_EQ(row(1), old.data()); // the same row, showing the change
    EXPECT_EQ(row(1)->nameColour(), LWStyle::t().dim);
    EXPECT_EQ(row(1)->eyeButton()->toolTip(), QStringLiteral("Show"));
    row(1)->eyeButton()->click();
    EXPECT_FALSE(ed->element(id)->hidden);
    flush();

    // The lock of a locked row is lit, selected or not.
    auto orangeInLock = [](LayerRow *r) {
        const QImage img = r->grab().toImage();
        const QColor o = LWStyle::orange();
        int n = 0;
        const QRect area = r->lockButton()->geometry();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                n += std::abs(c.red() - o.red()) < 40 && std::abs(c.green() - o.green()) < 40 &&
                     std::abs(c.blue() - o.blue()) < 40;
            }
        return n;
    };
    ed->setSelection({id});
    EXPECT_EQ(orangeInLock(row(1)), 0);
    row(1)->lockButton()->click();
    EXPECT_TRUE(ed->element(id)->locked);
    flush();
    LayerRow *locked = row(1);
    EXPECT_TRUE(locked->isSelected());
    EXPECT_GT(orangeInLock(locked), 4);
    ed->setSelection({});
    EXPECT_GT(orangeInLock(locked), 4);
    locked->lockButton()->click();
    EXPECT_FALSE(ed->element(id)->locked);
}

TEST_F(LayersTest, DropsRestackOrAreRefused)
{
    // The bottom row onto the top row: top-most.
    const QUuid bottom = els[0].id;
    EXPECT_EQ(drop(panel.rows().first(), LWJson::uuidText(bottom)), (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(ed->index(bottom), std::optional<qsizetype>(4));
    EXPECT_EQ(ed->undoStack().size(), 1);
    flush();
    EXPECT_EQ(panel.rows().first()->element().id, bottom);

    // Onto itself: the order unchanged, and so no step.
    const QList<QUuid> order = ids(ed->elements());
    EXPECT_TRUE(drop(row(2), LWJson::uuidText(els[2].id))[2]);
    EXPECT_EQ(ids(ed->elements()), order);
    EXPECT_EQ(ed->undoStack().size(), 1);

    // Text that names nothing on the shown page is taken in hover, then refused.
    for (const QString &text : {QStringLiteral("hello"), LWJson::uuidText(QUuid::createUuid()), QString()})
        EXPECT_EQ(drop(row(2), text), (std::array<bool, 3>{true, true, false})) << text.toStdString();
    EXPECT_EQ(ed->undoStack().size(), 1);
    EXPECT_EQ(ids(ed->elements()), order);

    // While a row runs its (blocking) drag, the drop's rebuild waits for the drag to end.
    QPointer<LayerRow> source = row(3);
    const QList<LayerRow *> held = panel.rows();
    Q_EMIT source->dragStarted();
    EXPECT_TRUE(drop(panel.rows().last(), LWJson::uuidText(els[3].id))[2]);
    EXPECT_EQ(ed->index(els[3].id), std::optional<qsizetype>(0));
    flush();
    ASSERT_FALSE(source.isNull());
    EXPECT_EQ(panel.rows(), held);
    Q_EMIT source->dragFinished();
    flush();
    EXPECT_EQ(panel.rows().last(), source.data()); // moved, not rebuilt
    EXPECT_EQ(panel.rows().last()->element().id, els[3].id);

    QMimeData picture;
    picture.setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &picture, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel.rows().first(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(LayersTest, CanvasDragStepsKeepTheRows)
{
    ed->setSelection({els[4].id});
    const QList<LayerRow *> before = panel.rows();
    QPointer<LayerRow> first = before.first();
    ASSERT_TRUE(ed->beginInteraction());
    for (int i = 0; i < 200; ++i)
        ed->liveUpdate([](LWDocument &d) { d.pages[0].elements.last().offset(1, 0.5); });
    flush();
    EXPECT_FALSE(first.isNull());
    EXPECT_EQ(panel.rows(), before);
    // A selection change repaints the same rows; a rename shows the new name in the same row.
    ed->setSelection({els[0].id});
    EXPECT_EQ(panel.rows(), before);
    ASSERT_TRUE(ed->updateElements({els[4].id}, QStringLiteral("Name"), std::nullopt,
                                   [](LWElement &e) { e.name = QStringLiteral("Renamed"); }));
    flush();
    EXPECT_EQ(panel.rows(), before);
    EXPECT_EQ(panel.rows().first()->element().name, QStringLiteral("Renamed"));
}

namespace {

// Rows added to the list, and the rows painted whole (a neighbour's shadow may repaint a corner).
class RowWatch : public QObject {
public:
    int added = 0;
    QSet<QObject *> painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded)
            ++added;
        else if (event->type() == QEvent::Paint && qobject_cast<LayerRow *>(watched) &&
                 static_cast<QPaintEvent *>(event)->rect() == static_cast<QWidget *>(watched)->rect())
            painted.insert(watched);
        return false;
    }
};

} // namespace

// On the editor screen over 2,000 dots, typing into the layer-name field and clicking a row's
// lock build no row, and only the touched row shows anything new.
TEST_F(EditorTest, ThousandsOfRowsRenameAndLockTouchOneRow)
{
    QList<LWElement> dots;
    for (int i = 0; i < 2000; ++i)
        dots << rect(QStringLiteral("Dot %1").arg(i), {18.0 + (i % 50) * 11, 18.0 + (i / 50) * 18, 6, 6});
    LWApp app;
    app.newDocument(letter(dots));
    LWEditor &ed = *app.editor();
    ed.setSelection({dots.last().id});
    EditorScreen screen(app, ed);
    screen.resize(1480, 760);
    screen.show();
    QTest::qWait(50); // shown and painted

    const QList<LayerRow *> rows = screen.layers()->rows();
    ASSERT_GT(rows.size(), 10);
    ASSERT_LT(rows.size(), 60); // only those in view
    LayerRow *top = rows.first();
    ASSERT_EQ(top->element().id, dots.last().id);
    QLineEdit *name = nullptr;
    for (QLineEdit *field : screen.inspector()->findChildren<QLineEdit *>())
        if (field->placeholderText() == QStringLiteral("Name") && field->isVisible())
            name = field;
    ASSERT_NE(name, nullptr);

    const struct {
        const char *what;
        std::function<void()> act;
        std::function<bool(const LWElement &)> done;
    } actions[] = {
        {"rename",
         [&] {
             name->setFocus();
             name->end(false);
             QTest::keyClicks(name, QStringLiteral("ab"));
         },
         [](const LWElement &e) { return e.name == QStringLiteral("Dot 1999ab"); }},
        {"lock", [&] { top->lockButton()->click(); }, [](const LWElement &e) { return e.locked; }},
    };
    for (const auto &a : actions) {
        SCOPED_TRACE(a.what);
        RowWatch watch;
        top->parentWidget()->installEventFilter(&watch);
        for (LayerRow *row : rows)
            row->installEventFilter(&watch);
        a.act();
        QApplication::processEvents();
        EXPECT_TRUE(a.done(ed.elements().last()));
        EXPECT_TRUE(a.done(top->element())); // the row shows it
        EXPECT_EQ(watch.added, 0);
        EXPECT_EQ(screen.layers()->rows(), rows);
        EXPECT_EQ(watch.painted, QSet<QObject *>{top});
        for (int i = 1; i < rows.size(); ++i)
            EXPECT_EQ(rows[i]->element().id, dots[dots.size() - 1 - i].id);
    }
}

// Scrolling hands the rows that leave the view to the elements that come into it; what shows is
// always exactly the laid-out rows, even where a damaged file repeats an id.
TEST_F(LayersTest, ScrollingReusesRows)
{
    QList<LWElement> many;
    for (int i = 0; i < 300; ++i)
        many << rect(QStringLiteral("R%1").arg(i));
    many[298].id = many[299].id; // the top two share an id
    ed->setDoc(letter(many));
    flush();
    QWidget *list = panel.rows().first()->parentWidget();
    const auto shown = [&] {
        QList<LayerRow *> out;
        for (LayerRow *r : list->findChildren<LayerRow *>(Qt::FindDirectChildrenOnly))
            if (r->isVisible())
                out << r;
        return out;
    };
    const qsizetype made = list->findChildren<LayerRow *>().size();
    EXPECT_LT(made, 40);
    EXPECT_EQ(panel.rows().first()->element().name, QStringLiteral("R299"));
    EXPECT_EQ(panel.rows()[1]->element().name, QStringLiteral("R298"));

    QScrollBar *bar = panel.scrollView()->verticalScrollBar();
    for (int value : {bar->maximum(), bar->maximum() / 2, 0}) {
        bar->setValue(value);
        flush();
        const QList<LayerRow *> rows = panel.rows(), visible = shown();
        EXPECT_EQ(QSet<LayerRow *>(rows.begin(), rows.end()), QSet<LayerRow *>(visible.begin(), visible.end()));
        // The row at the view's top shows the element placed there.
        const int top = list->mapFrom(panel.scrollView()->viewport(), QPoint(4, 4)).y();
        LayerRow *under = qobject_cast<LayerRow *>(list->childAt(4, top));
        ASSERT_NE(under, nullptr) << value;
        EXPECT_EQ(under->element().name, QStringLiteral("R%1").arg(299 - top / (LayerRow::rowHeight + 3))) << value;
        EXPECT_LE(list->findChildren<LayerRow *>().size(), made + 2);
    }
}
