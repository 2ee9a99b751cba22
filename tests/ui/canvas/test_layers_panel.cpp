#include "editor/editor_fixture.h"
#include "kit/chromeroundbutton.h"
#include "kit/scrollview.h"
#include "kit/segmentedpicker.h"
#include "kit/style.h"
#include "model/json.h"
#include "ui/canvas/layerrow.h"
#include "ui/canvas/layerspanel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTest>

namespace {

// Five elements, back to front: a path, a triangle, an icon, a group and a rectangle.
class LayersTest : public EditorTest {
protected:
    QList<LWElement> five()
    {
        LWElement path = LWElement::makePath({{0, 0}, {1, 0}, {0, 1}}, {0, 0, 40, 40}, LWFill::solid(LWColor::black),
                                             false, std::nullopt, QStringLiteral("Path"));
        LWElement tri = LWElement::makeShape(LWShapeKind::triangle, {10, 10, 30, 30}, LWFill::solid(LWColor::black),
                                             std::nullopt, 0, QStringLiteral("Triangle"));
        LWElement icon = LWElement::makeIcon(QStringLiteral("leaf"), {20, 20, 30, 30}, LWFill::solid(LWColor::black));
        icon.name = QStringLiteral("Icon");
        return {path, tri, icon, groupOf({rect("inner")}, QStringLiteral("Group")), rect("Top")};
    }
    void show(LayersPanel &panel)
    {
        panel.resize(220, 420);
        panel.show();
        QApplication::processEvents();
    }
    static void flush() // lets rows given up by a rebuild go
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static LayerRow *row(const LayersPanel &panel, const QUuid &id)
    {
        for (LayerRow *r : panel.rows())
            if (r->element().id == id)
                return r;
        return nullptr;
    }
    static QList<QUuid> rowIDs(const LayersPanel &panel)
    {
        QList<QUuid> out;
        for (LayerRow *r : panel.rows())
            out << r->element().id;
        return out;
    }
    static void click(LayerRow *r, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(r, Qt::LeftButton, modifiers, QPoint(40, r->height() / 2));
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

int countPixels(const QImage &img, const QRect &area, const std::function<bool(QColor)> &test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(img.pixelColor(x, y));
    return n;
}

} // namespace

TEST_F(LayersTest, EmptyPageHintAndTheFiveButtons)
{
    auto ed = make(letter());
    LayersPanel panel(*ed);
    show(panel);
    EXPECT_TRUE(panel.rows().isEmpty());
    EXPECT_TRUE(panel.hint()->isVisible());
    EXPECT_EQ(panel.sideSwitch(), nullptr);
    QStringList tips;
    for (ChromeRoundButton *b : panel.buttons()) {
        tips << b->toolTip();
        EXPECT_FALSE(b->isEnabled());
        EXPECT_EQ(b->faceSize(), 28);
    }
    EXPECT_EQ(tips, (QStringList{"Bring to Front (Ctrl+Shift+])", "Bring Forward (Ctrl+])", "Send Backward (Ctrl+[)",
                                 "Send to Back (Ctrl+Shift+[)", "Delete"}));

    const QList<LWElement> els = five();
    LWDocument doc = ed->doc();
    doc.pages[0].elements = els;
    ed->setDoc(doc);
    EXPECT_FALSE(panel.hint()->isVisible());
    EXPECT_FALSE(panel.buttons()[0]->isEnabled());
    ed->setSelection({els[2].id});
    for (ChromeRoundButton *b : panel.buttons())
        EXPECT_TRUE(b->isEnabled());

    // Each button runs its case on the selected icon (index 2 of 0..4).
    const QUuid id = els[2].id;
    struct Case {
        int button;
        qsizetype index;
    };
    for (const Case &c : {Case{0, 4}, Case{3, 0}, Case{1, 1}, Case{2, 0}, Case{1, 1}}) {
        panel.buttons()[c.button]->click();
        EXPECT_EQ(ed->index(id), std::optional<qsizetype>(c.index)) << c.button;
    }
    panel.buttons()[4]->click();
    EXPECT_FALSE(ed->index(id));
    EXPECT_EQ(panel.rows().size(), 4);
    EXPECT_FALSE(panel.buttons()[4]->isEnabled());
}

TEST_F(LayersTest, SideSwitchFollowsAndPicksTheSide)
{
    auto flyer = make(letter());
    LayersPanel one(*flyer);
    EXPECT_EQ(one.sideSwitch(), nullptr);
    flyer->addBackSide();
    ASSERT_NE(one.sideSwitch(), nullptr);
    EXPECT_EQ(one.sideSwitch()->count(), 2);
    EXPECT_EQ(one.sideSwitch()->segment(0)->accessibleName(), QStringLiteral("Front"));
    EXPECT_EQ(one.sideSwitch()->segment(1)->accessibleName(), QStringLiteral("Back"));
    EXPECT_EQ(one.sideSwitch()->label(), nullptr);

    const SampleCard s;
    auto card = make(s.doc, {s.a});
    LayersPanel panel(*card);
    show(panel);
    SegmentedPicker *sides = panel.sideSwitch();
    ASSERT_NE(sides, nullptr);
    EXPECT_EQ(sides->current(), 0);
    EXPECT_EQ(rowIDs(panel), (QList<QUuid>{s.g, s.b, s.a}));
    sides->segment(1)->click();
    EXPECT_EQ(card->pageIndex(), 1);
    EXPECT_EQ(rowIDs(panel), QList<QUuid>{s.c});
    card->switchSide(0);
    EXPECT_EQ(sides->current(), 0);
    EXPECT_EQ(rowIDs(panel), (QList<QUuid>{s.g, s.b, s.a}));
    EXPECT_EQ(panel.sideSwitch(), sides); // the same names: the switch is kept
    card->removeBackSide(); // a card keeps its back
    EXPECT_EQ(panel.sideSwitch(), sides);
}

TEST_F(LayersTest, RowsKindsNamesAndLook)
{
    const QList<LWElement> els = five();
    auto ed = make(letter(els), {els[3].id});
    LayersPanel panel(*ed);
    show(panel);
    QStringList names, symbols;
    QList<int> indices;
    for (LayerRow *r : panel.rows()) {
        names << r->element().name;
        symbols << LayerRow::kindSymbol(r->element());
        indices << r->index();
        EXPECT_EQ(r->toolTip(), LayerRow::help);
        EXPECT_EQ(r->height(), LayerRow::rowHeight);
    }
    EXPECT_EQ(names, (QStringList{"Top", "Group", "Icon", "Triangle", "Path"}));
    EXPECT_EQ(symbols, (QStringList{"rectangle", "square.on.square", "leaf", "triangle", "rectangle"}));
    EXPECT_EQ(indices, (QList<int>{4, 3, 2, 1, 0}));
    EXPECT_EQ(panel.rows()[1]->nameFont().weight(), QFont::Bold);
    EXPECT_EQ(panel.rows()[1]->nameColour(), QColor(Qt::white));
    EXPECT_EQ(panel.rows()[0]->nameFont().weight(), QFont::Medium);
    EXPECT_EQ(panel.rows()[0]->nameColour(), LWStyle::t().text);

    struct Kind {
        LWElementKind kind;
        LWShapeKind shape;
        const char *symbol;
    };
    for (const Kind &k : {Kind{LWElementKind::shape, LWShapeKind::ellipse, "circle"},
                          Kind{LWElementKind::shape, LWShapeKind::polygon, "hexagon"},
                          Kind{LWElementKind::shape, LWShapeKind::star, "star"},
                          Kind{LWElementKind::shape, LWShapeKind::line, "line.diagonal"},
                          Kind{LWElementKind::text, LWShapeKind::star, "textformat"},
                          Kind{LWElementKind::image, LWShapeKind::rectangle, "photo"}}) {
        LWElement e(k.kind, QString(), {0, 0, 1, 1});
        e.shape = k.shape;
        EXPECT_EQ(LayerRow::kindSymbol(e), QString::fromLatin1(k.symbol));
    }
}

TEST_F(LayersTest, ClicksSelectAddAndRemove)
{
    QList<LWElement> els = five();
    els[3].locked = true;
    els[1].hidden = true;
    auto ed = make(letter(els), {els[0].id, els[2].id, els[4].id});
    LayersPanel panel(*ed);
    show(panel);
    click(row(panel, els[2].id));
    EXPECT_EQ(ed->selection(), QList<QUuid>{els[2].id});

    ed->setSelection({els[0].id, els[2].id, els[4].id});
    click(row(panel, els[2].id), Qt::ShiftModifier);
    EXPECT_EQ(ed->selection(), (QList<QUuid>{els[0].id, els[4].id}));
    click(row(panel, els[3].id), Qt::ControlModifier); // locked
    click(row(panel, els[1].id), Qt::ShiftModifier);   // hidden
    EXPECT_EQ(ed->selection(), (QList<QUuid>{els[0].id, els[4].id, els[3].id, els[1].id}));
    click(row(panel, els[0].id), Qt::ControlModifier);
    EXPECT_EQ(ed->selection(), (QList<QUuid>{els[4].id, els[3].id, els[1].id}));
    click(row(panel, els[1].id));
    EXPECT_EQ(ed->selection(), QList<QUuid>{els[1].id});

    // A press that moves less than the drag distance is still a click.
    LayerRow *r = row(panel, els[3].id);
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
    const QList<LWElement> els = five();
    auto ed = make(letter(els));
    LayersPanel panel(*ed);
    show(panel);
    const QUuid id = els[1].id;
    QPointer<LayerRow> old = row(panel, id);
    EXPECT_EQ(old->eyeButton()->toolTip(), QStringLiteral("Hide"));
    EXPECT_EQ(old->lockButton()->toolTip(), QStringLiteral("Lock (stops moving by accident)"));
    old->eyeButton()->click();
    EXPECT_TRUE(ed->element(id)->hidden);
    flush();
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(panel.rows().size(), 5);
    EXPECT_EQ(row(panel, id)->eyeButton()->toolTip(), QStringLiteral("Show"));
    EXPECT_EQ(row(panel, id)->nameColour(), LWStyle::t().dim);
    row(panel, id)->eyeButton()->click();
    EXPECT_FALSE(ed->element(id)->hidden);
    flush();

    auto orange = [](QColor c) {
        const QColor o = LWStyle::orange();
        return std::abs(c.red() - o.red()) < 40 && std::abs(c.green() - o.green()) < 40 &&
               std::abs(c.blue() - o.blue()) < 40;
    };
    auto orangeInLock = [&](LayerRow *r) {
        const QImage img = r->grab().toImage();
        return countPixels(img, r->lockButton()->geometry(), orange);
    };
    ed->setSelection({id});
    EXPECT_EQ(orangeInLock(row(panel, id)), 0);
    row(panel, id)->lockButton()->click();
    EXPECT_TRUE(ed->element(id)->locked);
    flush();
    LayerRow *locked = row(panel, id);
    EXPECT_EQ(locked->lockButton()->toolTip(), QStringLiteral("Unlock"));
    EXPECT_TRUE(locked->isSelected());
    EXPECT_GT(orangeInLock(locked), 4);
    ed->setSelection({});
    EXPECT_GT(orangeInLock(locked), 4);
    locked->lockButton()->click();
    EXPECT_FALSE(ed->element(id)->locked);
}

TEST_F(LayersTest, DropsRestackOrAreRefused)
{
    const QList<LWElement> els = five();
    auto ed = make(letter(els));
    LayersPanel panel(*ed);
    show(panel);
    // The bottom row onto the top row: top-most.
    const QUuid bottom = els[0].id;
    EXPECT_EQ(drop(panel.rows().first(), LWJson::uuidText(bottom)), (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(ed->index(bottom), std::optional<qsizetype>(4));
    EXPECT_EQ(ed->undoStack().size(), 1);
    flush();
    EXPECT_EQ(panel.rows().first()->element().id, bottom);

    // Onto itself: a step, the order unchanged.
    const QList<QUuid> order = ids(ed->elements());
    EXPECT_TRUE(drop(row(panel, els[2].id), LWJson::uuidText(els[2].id))[2]);
    EXPECT_EQ(ids(ed->elements()), order);
    EXPECT_EQ(ed->undoStack().size(), 2);

    // Text that names nothing on the shown page is taken in hover, then refused.
    for (const QString &text : {QStringLiteral("hello"), LWJson::uuidText(QUuid::createUuid()), QString()})
        EXPECT_EQ(drop(row(panel, els[2].id), text), (std::array<bool, 3>{true, true, false})) << text.toStdString();
    EXPECT_EQ(ed->undoStack().size(), 2);
    EXPECT_EQ(ids(ed->elements()), order);

    // While a row runs its (blocking) drag, the drop's rebuild waits for the drag to end.
    LayerRow *source = row(panel, els[3].id);
    QPointer<LayerRow> guard = source;
    const QList<LayerRow *> held = panel.rows();
    Q_EMIT source->dragStarted();
    EXPECT_TRUE(drop(panel.rows().last(), LWJson::uuidText(els[3].id))[2]);
    EXPECT_EQ(ed->index(els[3].id), std::optional<qsizetype>(0));
    flush();
    ASSERT_FALSE(guard.isNull());
    EXPECT_EQ(panel.rows(), held);
    Q_EMIT source->dragFinished();
    flush();
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(panel.rows().last()->element().id, els[3].id);

    QMimeData picture;
    picture.setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &picture, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel.rows().first(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(LayersTest, CanvasDragStepsKeepTheRows)
{
    const QList<LWElement> els = five();
    auto ed = make(letter(els), {els[4].id});
    LayersPanel panel(*ed);
    show(panel);
    QList<QPointer<LayerRow>> before;
    for (LayerRow *r : panel.rows())
        before << r;
    ASSERT_TRUE(ed->beginInteraction());
    for (int i = 0; i < 200; ++i)
        ed->liveUpdate([](LWDocument &d) { d.pages[0].elements.last().offset(1, 0.5); });
    flush();
    ASSERT_EQ(panel.rows().size(), before.size());
    for (int i = 0; i < before.size(); ++i)
        EXPECT_EQ(panel.rows()[i], before[i].data());
    // A selection change repaints the same rows; a rename rebuilds them.
    ed->setSelection({els[0].id});
    EXPECT_EQ(panel.rows().first(), before.first().data());
    ASSERT_TRUE(ed->updateElements({els[4].id}, QStringLiteral("Name"), std::nullopt,
                                   [](LWElement &e) { e.name = QStringLiteral("Renamed"); }));
    flush();
    EXPECT_TRUE(before.first().isNull());
    EXPECT_EQ(panel.rows().first()->element().name, QStringLiteral("Renamed"));
}
