#include "editor_fixture.h"

#include <QMetaProperty>
#include <QSignalSpy>

TEST_F(EditorTest, TogglesReadOnceAndWriteOnEveryAssignment)
{
    auto &store = LWPrefs::store();
    store.setValue(LWPrefs::showBleedKey, false);
    auto ed = make(SampleCard().doc);
    EXPECT_EQ((std::vector{ed->showBleed(), ed->showTrim(), ed->showSafe(), ed->snapping(), ed->showGrid()}),
              (std::vector{false, true, true, true, false}));
    EXPECT_EQ(store.allKeys(), QStringList{LWPrefs::showBleedKey}); // constructing wrote nothing

    ed->setShowGrid(true);
    store.remove(LWPrefs::gridKey);
    ed->setShowGrid(true); // equal value, written again
    EXPECT_EQ(store.value(LWPrefs::gridKey), QVariant(true));
    VELKTestFlags::running = true;
    ed->setShowTrim(false);
    EXPECT_FALSE(ed->showTrim());
    EXPECT_FALSE(store.contains(LWPrefs::showTrimKey));
    VELKTestFlags::running = false;

    // Text that is no Boolean reads false, even for a default-on key; a stored true turns the grid on.
    store.setValue(LWPrefs::snapKey, QStringLiteral("maybe"));
    store.setValue(LWPrefs::gridKey, QStringLiteral("true"));
    auto second = make(SampleCard().doc);
    EXPECT_FALSE(second->snapping());
    EXPECT_TRUE(second->showGrid());
}

TEST_F(EditorTest, EveryWriteAnnouncesItsOwnFieldOnce)
{
    auto ed = make(SampleCard().doc);
    const QMetaObject &meta = LWEditor::staticMetaObject;
    const int first = meta.propertyOffset(), n = meta.propertyCount() - first;
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (int i = 0; i < n; ++i)
        spies.push_back(std::make_unique<QSignalSpy>(ed.get(), meta.property(first + i).notifySignal()));
    const auto counts = [&] {
        QList<int> out;
        for (auto &s : spies) {
            out.append(int(s->count()));
            s->clear();
        }
        return out;
    };
    for (int i = 0; i < n; ++i) {
        const QMetaProperty p = meta.property(first + i);
        EXPECT_TRUE(p.write(ed.get(), p.read(ed.get()))) << p.name();
        QList<int> expected(n, 0);
        expected[i] = 1;
        EXPECT_EQ(counts(), expected) << p.name();
    }

    QList<int> changeOnly(n, 0);
    changeOnly[meta.indexOfProperty("doc") - first] = changeOnly[meta.indexOfProperty("dirty") - first] = 1;
    for (int round = 0; round < 2; ++round) { // the second runs while already dirty
        ed->change(QStringLiteral("Edit"), std::nullopt, [round](LWDocument &d) { d.name = QString::number(round); });
        EXPECT_EQ(counts(), changeOnly);
    }

    // Undo and redo on empty stacks do nothing at all.
    auto fresh = make(SampleCard().doc);
    const LWDocument before = fresh->doc();
    QSignalSpy anyDoc(fresh.get(), &LWEditor::docChanged), anyDirty(fresh.get(), &LWEditor::dirtyChanged);
    fresh->undo();
    fresh->redo();
    EXPECT_EQ(anyDoc.count() + anyDirty.count(), 0);
    EXPECT_EQ(fresh->doc(), before);
}

TEST_F(EditorTest, AccessorsSeeTheShownPagesTopLevelElements)
{
    auto flyer = make(letter());
    for (int side : {1, 7, -1}) {
        flyer->setSide(side);
        EXPECT_EQ(flyer->pageIndex(), 0) << side;
        EXPECT_EQ(flyer->side(), side) << side; // the asked side is kept
    }

    const SampleCard s;
    auto ed = make(s.doc, {s.b, s.c, s.a});
    EXPECT_EQ(ids(ed->selected()), (QList<QUuid>{s.b, s.a}));
    EXPECT_FALSE(ed->single());
    for (const QUuid &elsewhere : {s.c, s.child}) {
        ed->setSelection({elsewhere});
        EXPECT_TRUE(ed->selected().isEmpty());
        EXPECT_FALSE(ed->single());
        EXPECT_FALSE(ed->element(elsewhere));
    }
    ed->setSelection({s.g});
    ASSERT_TRUE(ed->single());
    EXPECT_EQ(ed->single()->id, s.g);
    EXPECT_EQ(ed->index(s.g), 2);
    ed->setSide(1);
    EXPECT_EQ(ed->index(s.c), 0);
}

TEST_F(EditorTest, GridStepFollowsTheKind)
{
    EXPECT_EQ(make(SampleCard().doc)->gridStep(), 9);
    EXPECT_EQ(make(letter())->gridStep(), 18);
    EXPECT_EQ(make(LWDocument::blank(LWDocKind::custom, "custom", 300, 200, 9, "C"))->gridStep(), 18);
}

TEST_F(EditorTest, APagelessDesignOpensWithOneWhitePage)
{
    for (const auto &[preset, name] : {std::pair{LWSizePreset::letter, "Page 1"}, {LWSizePreset::usCard, "Front"}}) {
        LWDocument doc = LWDocument::blank(preset, std::nullopt);
        doc.pages.clear();
        auto ed = make(doc);
        ASSERT_EQ(ed->doc().pages.size(), 1);
        EXPECT_EQ(ed->page().name, QString::fromLatin1(name));
        EXPECT_EQ(ed->page().background, LWFill::solid(LWColor::white));
        EXPECT_FALSE(ed->dirty());
        EXPECT_FALSE(ed->canUndo());
    }
}
