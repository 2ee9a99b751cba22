// The page inspector against a real editor and application state: its read-outs, the back-side
// control and its question, the guides note, background steps per page, and its two openers.
#include "app/app_fixture.h"
#include "kit/controls/chipbutton.h"
#include "kit/help/help.h"
#include "kit/cabinet/lcdreadout.h"
#include "section_fixture.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/inspectornote.h"
#include "ui/inspector/sections/pageinspector.h"

#include <QPushButton>

namespace {

class Page : public SectionTest {
protected:
    PageInspector *inspect(LWDocument doc)
    {
        open(std::move(doc), {});
        app.setPrompts(prompts);
        auto *s = show<PageInspector>(app);
        // The routing also refreshes the page inspector when the shown side changes.
        QObject::connect(ed.get(), &LWEditor::sideChanged, s, &InspectorSection::refresh);
        return s;
    }
    LWApp app;
    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
};

LWDocument pages(const LWSizePreset &preset, int count)
{
    LWDocument doc = LWDocument::blank(preset, std::nullopt);
    while (doc.pages.size() < count)
        doc.pages.append({QStringLiteral("Page %1").arg(doc.pages.size() + 1), LWFill::solid(LWColor::white), {}});
    return doc;
}

TEST_F(Page, ReadoutsAndBackSideControl)
{
    LWDocument wideBleed = pages(LWSizePreset::letter, 1);
    wideBleed.bleed = 18;
    const LWDocument customMM = LWDocument::blank(LWDocKind::flyer, QStringLiteral("custom"), 100 * LWUnits::ptPerMM,
                                                  50 * LWUnits::ptPerMM, 3 * LWUnits::ptPerMM, QStringLiteral("C"));
    const struct {
        const char *what;
        LWDocument doc;
        const char *bleedLine;
        bool add, remove;
    } cases[] = {
        {"us card", pages(LWSizePreset::usCard, 2), "Bleed 0.125 in · safe 0.125 in", false, false},
        {"eu card", pages(LWSizePreset::euCard, 2), "Bleed 3 mm · safe 3 mm", false, false},
        {"letter", pages(LWSizePreset::letter, 1), "Bleed 0.125 in · safe 0.25 in", true, false},
        {"letter two sides", pages(LWSizePreset::letter, 2), "Bleed 0.125 in · safe 0.25 in", false, true},
        {"letter three pages", pages(LWSizePreset::letter, 3), "Bleed 0.125 in · safe 0.25 in", false, false},
        {"wide bleed", wideBleed, "Bleed 0.25 in · safe 0.25 in", true, false},
        {"custom in mm", customMM, "Bleed 0.125 in · safe 0.118 in", true, false},
    };
    for (const auto &c : cases) {
        auto *s = inspect(c.doc);
        EXPECT_EQ(s->readout()->lines(), (QStringList{c.doc.sizeText(), QString::fromUtf8(c.bleedLine)})) << c.what;
        EXPECT_EQ(shown(*s, {s->addBackButton(), s->removeBackButton()}), (QList<bool>{c.add, c.remove})) << c.what;
        EXPECT_EQ(s->backgroundGroup()->title(), QStringLiteral("Background (") + c.doc.pages[0].name + u')');
    }
}

TEST_F(Page, BackSideIsAddedAndRemovedOnlyWhenConfirmed)
{
    auto *s = inspect(pages(LWSizePreset::letter, 1));
    s->addBackButton()->click();
    ASSERT_EQ(ed->doc().pages.size(), 2);
    EXPECT_EQ(s->backgroundGroup()->title(), QStringLiteral("Background (Back)"));
    EXPECT_EQ(shown(*s, {s->addBackButton(), s->removeBackButton()}), (QList<bool>{false, true}));
    const qsizetype afterAdd = steps();
    const LWDocument twoSides = ed->doc();

    prompts->script = {ScriptedPrompts::confirmStep(false)};
    s->removeBackButton()->click();
    EXPECT_EQ(ed->doc(), twoSides);
    EXPECT_EQ(steps(), afterAdd);
    EXPECT_EQ(prompts->calls.value(0).value(0), QStringLiteral("confirm"));

    prompts->script = {ScriptedPrompts::confirmStep(true)};
    s->removeBackButton()->click();
    EXPECT_EQ(ed->doc().pages.size(), 1);
    EXPECT_EQ(steps(), afterAdd + 1);
    EXPECT_EQ(shown(*s, {s->addBackButton(), s->removeBackButton()}), (QList<bool>{true, false}));
}

TEST_F(Page, GuidesNoteCountsTheDocumentsGuides)
{
    const struct {
        int n;
        const char *start;
    } cases[] = {{0, "No guides."}, {1, "1 guide."}, {2, "2 guides."}};
    for (const auto &c : cases) {
        LWDocument doc = pages(LWSizePreset::usCard, 2);
        for (int i = 0; i < c.n; ++i)
            doc.guides.append({QUuid::createUuid(), i % 2 == 0, 50.0 + i});
        auto *s = inspect(doc);
        EXPECT_TRUE(s->guidesNote()->text().startsWith(QString::fromUtf8(c.start) + u' ')) << c.n;
    }
}

TEST_F(Page, BackgroundStepsArePerPage)
{
    const LWColor red = LWColor::hex(0xC03020), blue = LWColor::hex(0x2050C0);
    auto *s = inspect(pages(LWSizePreset::usCard, 2));
    Q_EMIT s->fillEditor()->changed(LWFill::solid(red), QStringLiteral("fill-color"));
    advance(0.5);
    Q_EMIT s->fillEditor()->changed(LWFill::solid(blue), QStringLiteral("fill-color"));
    EXPECT_EQ(ed->doc().pages[0].background, LWFill::solid(blue));
    EXPECT_EQ(steps(), 1);

    advance(0.5);
    ed->switchSide(1);
    EXPECT_EQ(s->backgroundGroup()->title(), QStringLiteral("Background (Back)"));
    Q_EMIT s->fillEditor()->changed(LWFill::solid(red), QStringLiteral("fill-color"));
    EXPECT_EQ(ed->doc().pages[1].background, LWFill::solid(red));
    EXPECT_EQ(ed->doc().pages[0].background, LWFill::solid(blue));
    EXPECT_EQ(steps(), 2);
    // A keyless hand-over (a chip, the kind picker) is a step of its own.
    advance(0.1);
    Q_EMIT s->fillEditor()->changed(LWFill::solid(blue), std::nullopt);
    EXPECT_EQ(steps(), 3);
}

TEST_F(Page, OpenersLeaveTheDesignAlone)
{
    auto *s = inspect(pages(LWSizePreset::letter, 1));
    const LWDocument before = ed->doc();
    s->changeSizeButton()->click();
    EXPECT_EQ(app.sheet(), std::optional<LWAppSheet>(LWAppSheet::size));
    EXPECT_EQ(ed->doc(), before);

    QList<std::optional<QString>> opened;
    VELKHelp::setOpener([&](const std::optional<QString> &id) { opened << id; });
    s->helpLink()->click();
    VELKHelp::setOpener({});
    EXPECT_EQ(opened, (QList<std::optional<QString>>{QStringLiteral("walkthrough-card")}));
    EXPECT_EQ(steps(), 0);
}

TEST_F(Page, SelectAllSelectsTheShownPage)
{
    LWDocument doc = letter({rect("a"), rect("b", {0, 0, 40, 30}, true)});
    auto *s = inspect(doc);
    s->selectAllButton()->click();
    EXPECT_EQ(ed->selection(), QList<QUuid>{doc.pages[0].elements[0].id});
}

} // namespace
