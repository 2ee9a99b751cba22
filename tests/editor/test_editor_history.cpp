#include "editor_fixture.h"

#include <limits>

namespace {

void rename(LWEditor &ed, const QString &name, const std::optional<QString> &key = std::nullopt)
{
    ed.change(QStringLiteral("Rename"), key, [&](LWDocument &d) { d.name = name; });
}

} // namespace

TEST_F(EditorTest, KeyedChangesShareAStepWithinTheWindow)
{
    // Each row: seconds before the change, its key ("" = beginInteraction instead, "undo" = undo),
    // a jump of the wall clock alone (seconds), and the undo depth after the row.
    struct Row {
        double wait;
        const char *key;
        double wallJump;
        qsizetype depth;
    };
    const struct {
        const char *what;
        std::vector<Row> rows;
    } cases[] = {
        {"sliding window", {{0, "k", 0, 1}, {1.0, "k", 0, 1}, {1.4, "k", 0, 1}, {1.5, "k", 0, 2}}},
        {"other key between", {{0, "A", 0, 1}, {0.1, "B", 0, 2}, {0.1, "A", 0, 3}}},
        {"wall clock set back", {{0, "k", 0, 1}, {10, "k", -3600, 2}}},
        {"wall clock jumps ahead", {{0, "k", 0, 1}, {0.1, "k", 3600, 1}}},
        {"drag closes the window", {{0, "k", 0, 1}, {0.1, "", 0, 2}, {0.1, "k", 0, 3}}},
        {"undo closes the window", {{0, "k", 0, 1}, {0.1, "undo", 0, 0}, {0, "k", 0, 1}}},
    };
    for (const auto &c : cases) {
        auto ed = make(SampleCard().doc);
        int n = 0;
        for (const Row &r : c.rows) {
            advance(r.wait);
            wallMs += std::llround(r.wallJump * 1000);
            const QString key = QString::fromLatin1(r.key);
            if (key.isEmpty())
                ed->beginInteraction();
            else if (key == u"undo")
                ed->undo();
            else
                rename(*ed, QString::number(++n), key);
            EXPECT_EQ(ed->undoStack().size(), r.depth) << c.what << " after " << n;
        }
        EXPECT_FALSE(ed->canRedo()) << c.what; // the last step emptied redo
    }
}

TEST_F(EditorTest, ChangeStampsWholeSecondsAndUndoRestoresTheStoredTime)
{
    LWDocument doc = SampleCard().doc;
    doc.modified = 1600000000;
    auto ed = make(doc);
    wallMs = 1700000000500;
    ed->change(QStringLiteral("Edit"), std::nullopt, [](LWDocument &d) {
        d.modified = 5;
        d.name = QStringLiteral("stamped");
    });
    EXPECT_EQ(ed->doc().modified, 1700000001);
    ed->undo();
    EXPECT_EQ(ed->doc().modified, 1600000000);
}

TEST_F(EditorTest, HistoryKeepsTheNewestThreeHundred)
{
    auto ed = make(SampleCard().doc);
    for (int i = 1; i <= 301; ++i)
        rename(*ed, QString::number(i));
    EXPECT_EQ(ed->undoStack().size(), LWEditor::undoLimit);
    while (ed->canUndo())
        ed->undo();
    EXPECT_EQ(ed->doc().name, QStringLiteral("1"));
    EXPECT_EQ(ed->redoStack().size(), 300);
    while (ed->canRedo())
        ed->redo();
    EXPECT_EQ(ed->doc().name, QStringLiteral("301"));
    EXPECT_EQ(ed->undoStack().size(), 300);
}

TEST_F(EditorTest, SavingKeepsHistoryAndUndoMarksDirtyAgain)
{
    auto ed = make(SampleCard().doc);
    EXPECT_FALSE(ed->change(QStringLiteral("Nothing"), std::nullopt, [](LWDocument &) {})); // no step, no mark
    EXPECT_FALSE(ed->dirty());
    EXPECT_FALSE(ed->canUndo());
    rename(*ed, QStringLiteral("w"));
    rename(*ed, QStringLiteral("x"));
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/x.velkfolio"));
    ed->markSaved(url);
    EXPECT_EQ(ed->fileURL(), url);
    EXPECT_FALSE(ed->dirty());
    EXPECT_EQ(ed->undoStack().size(), 2);
    ed->undo();
    EXPECT_TRUE(ed->dirty());
    ed->redo(); // back to the saved state, still marked
    EXPECT_TRUE(ed->dirty());
    EXPECT_EQ(ed->doc().name, QStringLiteral("x"));
}

TEST_F(EditorTest, RestoreClampsTheSideAndDropsForeignSelection)
{
    const SampleCard s;
    auto ed = make(s.doc);
    ed->setSide(5);
    ed->setSelection({s.b, s.child, s.c, s.a});
    ed->setEditingTextID(s.a);
    ed->change(QStringLiteral("Drop back"), std::nullopt, [](LWDocument &d) { d.pages.removeLast(); });
    ed->undo();
    EXPECT_EQ(ed->side(), 1); // the snapshot's 5 on its two pages
    EXPECT_EQ(ed->selection(), (QList<QUuid>{s.c}));
    EXPECT_FALSE(ed->editingTextID());

    ed->setSide(0);
    ed->setSelection({s.b, s.child, s.c, s.a});
    rename(*ed, QStringLiteral("y"));
    ed->undo();
    EXPECT_EQ(ed->selection(), (QList<QUuid>{s.b, s.a}));
}

TEST_F(EditorTest, ADragIsOneStepAndStampsNothing)
{
    auto ed = make(SampleCard().doc);
    const LWDocument before = ed->doc();
    ed->beginInteraction();
    for (int i = 0; i < 200; ++i) {
        advance(0.05);
        ed->liveUpdate([](LWDocument &d) { d.pages[0].elements[0].offset(1, 0); });
    }
    EXPECT_EQ(ed->doc().pages[0].elements[0].frame.x, before.pages[0].elements[0].frame.x + 200);
    EXPECT_EQ(ed->doc().modified, before.modified);
    EXPECT_TRUE(ed->dirty());
    ed->undo();
    EXPECT_EQ(ed->doc(), before);
    EXPECT_FALSE(ed->canUndo());
}

// 300 steps of a design with a 20 MB picture hold that picture once.
TEST_F(EditorTest, SnapshotsShareUnchangedPictures)
{
    LWElement photo = LWElement::makePhoto(LWRect(0, 0, 300, 200));
    photo.image->data = QByteArray(20 * 1024 * 1024, '\x7f');
    LWDocument doc = letter({photo, box({5, 5, 9, 9})});
    const char *const buffer = std::as_const(*photo.image->data).constData();
    photo = LWElement();

    auto ed = make(doc);
    doc = LWDocument();
    const auto pictureOf = [](const LWDocument &d) {
        return d.pages.at(0).elements.at(0).image->data->constData();
    };
    for (int i = 0; i < 300; ++i)
        ed->change(QStringLiteral("Edit"), std::nullopt, [i](LWDocument &d) {
            if (i % 2)
                d.pages[0].elements[0].offset(1, 1);
            else
                d.pages[0].elements[1].offset(1, 1);
        });
    const auto allShare = [&] {
        bool same = pictureOf(ed->doc()) == buffer;
        for (const auto *stack : {&ed->undoStack(), &ed->redoStack()})
            for (const LWEditor::Snap &s : *stack)
                same = same && pictureOf(s.doc) == buffer;
        return same;
    };
    EXPECT_TRUE(allShare());
    while (ed->canUndo())
        ed->undo();
    while (ed->canRedo())
        ed->redo();
    EXPECT_TRUE(allShare());
    EXPECT_EQ(ed->doc().pages.at(0).elements.at(0).frame.x, 150);
}

// Operations with nothing to act on leave the design, the history and `dirty` alone; some say why.
TEST_F(EditorTest, RefusedOperationsTakeNoStep)
{
    const LWElement a = rect("A"), b = rect("B", {50, 0, 40, 30}), locked = rect("L", {100, 0, 40, 30}, true);
    LWElement lockedGroup = groupOf({rect("m")}), lockedFrame = LWElement::makePhoto({0, 100, 50, 50});
    lockedGroup.locked = lockedFrame.locked = true;
    const LWDocument doc = letter({a, b, locked, lockedGroup, lockedFrame});
    const QUuid elsewhere = QUuid::createUuid();
    const std::optional<QString> two = QStringLiteral("Select two or more items to group them."),
                                 three = QStringLiteral("Select three or more items to distribute them.");
    using Op = std::function<void(LWEditor &)>;
    const Op group = [](LWEditor &e) { e.group(); }, align = [](LWEditor &e) { e.align(LWAlign::left); },
             distribute = [](LWEditor &e) { e.distribute(true); },
             text = [](LWEditor &e) {
                 e.updateText(QStringLiteral("Size"), std::nullopt, [](LWText &t) { t.size = 50; });
                 e.fitBoxToText();
             };
    const auto resize = [](double w, double h, double safe) -> Op {
        return [=](LWEditor &e) { EXPECT_FALSE(e.resize(w, h, QStringLiteral("letter"), safe, true)); };
    };
    const auto update = [](QList<QUuid> ids) -> Op {
        return [=](LWEditor &e) { EXPECT_FALSE(e.updateElements(ids, {}, {}, [](LWElement &x) { x.name = "x"; })); };
    };
    const QUuid member = lockedGroup.children->first().id;
    const auto place = [](const char *bytes) -> Op {
        return [=](LWEditor &e) { EXPECT_FALSE(e.placeImage(QByteArray(bytes))); };
    };
    constexpr double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct {
        QList<QUuid> selection;
        Op op;
        std::optional<QString> message;
    } cases[] = {
        {{a.id, locked.id}, group, two}, {{}, group, two}, {{a.id, a.id}, group, two},
        {{lockedGroup.id}, [](LWEditor &e) { e.ungroup(); }, {}},
        {{}, [](LWEditor &e) { e.arrange(LWArrange::front); }, {}},
        {{}, [](LWEditor &e) { e.duplicate(); }, {}},
        {{}, align, {}}, {{locked.id}, align, {}}, {{elsewhere}, align, {}},
        {{}, distribute, three}, {{a.id, b.id}, distribute, three}, {{a.id, b.id, locked.id}, distribute, three},
        {{a.id, b.id, a.id}, distribute, three},
        {{}, text, {}}, {{locked.id}, text, {}}, {{elsewhere}, text, {}},
        {{}, update({locked.id}), {}}, {{}, update({elsewhere}), {}}, {{}, update({member}), {}}, {{}, update({}), {}},
        {{locked.id}, [](LWEditor &e) { e.deleteSelection(); }, {}}, {{locked.id}, [](LWEditor &e) { e.nudge(1, 1); }, {}},
        {{}, [&](LWEditor &e) { e.setFrame(locked.id, {0, 0, 1, 1}); }, {}},
        {{}, [&](LWEditor &e) { e.setFrame(member, {0, 0, 1, 1}); }, {}},
        {{}, [&](LWEditor &e) { e.setLocked(true); }, {}}, // no ids, nothing selected
        {{}, place("Dear customer,\nthank you for your order.\n"), LWEditor::unreadablePictureMessage},
        {{lockedFrame.id}, place("GIF89a"), {}}, // a locked picture refuses silently
        {{}, resize(0, 792, 18), {}}, {{}, resize(-1, 792, 18), {}}, {{}, resize(nan, 792, 18), {}},
        {{}, resize(inf, 792, 18), {}}, {{}, resize(612, 0, 18), {}}, {{}, resize(612, nan, 18), {}},
        {{}, resize(612, 792, nan), {}}, {{}, resize(612, 792, -1), {}}, {{}, resize(612, 792, inf), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        auto ed = make(doc, c.selection);
        c.op(*ed);
        EXPECT_EQ(ed->doc(), doc);
        EXPECT_FALSE(ed->canUndo());
        EXPECT_FALSE(ed->dirty());
        EXPECT_EQ(ed->message(), c.message);
    }
}
