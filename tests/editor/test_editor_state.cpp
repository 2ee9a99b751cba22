#include "editor_fixture.h"

#include <QMetaProperty>
#include <QSignalSpy>

using Keys = QStringList;

TEST_F(EditorTest, TogglesReadOnceAndWriteOnEveryAssignment)
{
    auto &store = LWPrefs::store();
    store.setValue(LWPrefs::showBleedKey, false);
    auto ed = make(SampleCard().doc);
    EXPECT_FALSE(ed->showBleed());
    EXPECT_TRUE(ed->showTrim());
    EXPECT_TRUE(ed->showSafe());
    EXPECT_TRUE(ed->snapping());
    EXPECT_FALSE(ed->showGrid());
    EXPECT_EQ(store.allKeys(), Keys{LWPrefs::showBleedKey}); // constructing wrote nothing

    ed->setShowGrid(true);
    EXPECT_EQ(store.value(LWPrefs::gridKey), QVariant(true));
    store.remove(LWPrefs::gridKey);
    ed->setShowGrid(true); // equal value, written again
    EXPECT_EQ(store.value(LWPrefs::gridKey), QVariant(true));

    VELKTestFlags::running = true;
    ed->setShowTrim(false);
    EXPECT_FALSE(ed->showTrim());
    EXPECT_FALSE(store.contains(LWPrefs::showTrimKey));
    VELKTestFlags::running = false;

    // Any stored value counts: text that is no Boolean reads false, even for a default-on key;
    // a stored true turns the grid on.
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
    ASSERT_EQ(meta.propertyCount() - meta.propertyOffset(), 17);
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        spies.push_back(std::make_unique<QSignalSpy>(ed.get(), meta.property(i).notifySignal()));

    const auto counts = [&] {
        QList<int> out;
        for (auto &s : spies) {
            out.append(int(s->count()));
            s->clear();
        }
        return out;
    };
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty p = meta.property(i);
        ASSERT_TRUE(p.hasNotifySignal() && p.isWritable()) << p.name();
        EXPECT_TRUE(p.write(ed.get(), p.read(ed.get()))) << p.name();
        QList<int> expected(spies.size(), 0);
        expected[i - meta.propertyOffset()] = 1;
        EXPECT_EQ(counts(), expected) << p.name();
    }

    const int docSignal = meta.indexOfProperty("doc") - meta.propertyOffset();
    const int dirtySignal = meta.indexOfProperty("dirty") - meta.propertyOffset();
    QList<int> changeOnly(spies.size(), 0);
    changeOnly[docSignal] = changeOnly[dirtySignal] = 1;
    for (int round = 0; round < 2; ++round) { // the second runs while already dirty
        ed->change(QStringLiteral("Edit"), std::nullopt, [](LWDocument &d) { d.name = QStringLiteral("x"); });
        EXPECT_EQ(counts(), changeOnly);
    }

    auto fresh = make(SampleCard().doc);
    const LWDocument before = fresh->doc();
    QSignalSpy anyDoc(fresh.get(), &LWEditor::docChanged), anyDirty(fresh.get(), &LWEditor::dirtyChanged);
    fresh->undo();
    fresh->redo();
    EXPECT_EQ(anyDoc.count() + anyDirty.count(), 0);
    EXPECT_EQ(fresh->doc(), before);
    EXPECT_FALSE(fresh->dirty());
}

TEST_F(EditorTest, AccessorsSeeTheShownPagesTopLevelElements)
{
    auto letter = make(LWDocument::blank(LWSizePreset::letter, std::nullopt));
    for (int side : {1, 7, -1}) {
        letter->setSide(side);
        EXPECT_EQ(letter->pageIndex(), 0) << side;
        EXPECT_EQ(letter->side(), side) << side; // the asked side is kept
    }

    const SampleCard s;
    auto ed = make(s.doc);
    ed->setSelection({s.b, s.c, s.a});
    const QList<LWElement> sel = ed->selected();
    ASSERT_EQ(sel.size(), 2);
    EXPECT_EQ(sel[0].id, s.b);
    EXPECT_EQ(sel[1].id, s.a);
    EXPECT_FALSE(ed->single());
    ed->setSelection({s.c});
    EXPECT_FALSE(ed->single());
    ed->setSelection({s.child});
    EXPECT_TRUE(ed->selected().isEmpty());
    EXPECT_FALSE(ed->single());
    EXPECT_FALSE(ed->element(s.child));
    ed->setSelection({s.g});
    ASSERT_TRUE(ed->single());
    EXPECT_EQ(ed->single()->id, s.g);
    EXPECT_EQ(ed->index(s.g), 2);
    ed->setSide(1);
    EXPECT_EQ(ed->index(s.c), 0);
}

TEST_F(EditorTest, GridStepFollowsTheKind)
{
    const struct {
        LWDocument doc;
        double step;
    } cases[] = {
        {LWDocument::blank(LWSizePreset::usCard, std::nullopt), 9},
        {LWDocument::blank(LWSizePreset::euCard, std::nullopt), 9},
        {LWDocument::blank(LWSizePreset::letter, std::nullopt), 18},
        {LWDocument::blank(LWSizePreset::tabloid, std::nullopt), 18},
        {LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 300, 200, 9, QStringLiteral("C")), 18},
    };
    for (const auto &c : cases)
        EXPECT_EQ(make(c.doc)->gridStep(), c.step) << c.doc.sizeID.toStdString();
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
        EXPECT_EQ(ed->pageIndex(), 0);
        EXPECT_FALSE(ed->dirty());
        EXPECT_FALSE(ed->canUndo());
    }
}
