#include "diagnostics/groups/editingchecks.h"
#include "diagnostics/selftestaids.h"
#include "diagnostics/selftestgroups.h"
#include "templates/templates.h"

namespace LWSelfTest {

namespace {

std::optional<QUuid> firstTextID(const LWEditor &ed)
{
    for (const LWElement &e : ed.elements())
        if (e.kind == LWElementKind::text)
            return e.id;
    return std::nullopt;
}

std::optional<QString> textOf(const LWEditor &ed, const QUuid &id)
{
    const std::optional<LWElement> e = ed.element(id);
    if (!e || !e->text)
        return std::nullopt;
    return e->text->string;
}

} // namespace

void undoRedoChecks(LWTestRun &run, const LWDocument &first, const LWDocument &second)
{
    run.begin(QStringLiteral("Undo / redo"));

    // Six changes, each one step; a missing text item leaves out the two that need it, and
    // the walks then fail.
    const std::unique_ptr<LWEditor> ed = editor(first);
    QList<LWDocument> states{ed->doc()};
    bool allMade = true;
    const LWElement rect = LWElement::makeShape(LWShapeKind::rectangle, LWRect(20, 20, 40, 30),
                                                LWFill::solid(LWColor::black), std::nullopt, 0);
    ed->add(rect, true);
    states << ed->doc();
    ed->nudge(5, 0);
    states << ed->doc();
    const std::optional<QUuid> text = firstTextID(*ed);
    allMade = allMade && text.has_value();
    if (text)
        ed->setText(*text, QStringLiteral("New Name"));
    states << ed->doc();
    if (text) {
        ed->setSelection({rect.id, *text});
        ed->group();
    }
    states << ed->doc();
    ed->deleteSelection();
    states << ed->doc();
    ed->setBackground(LWFill::solid(LWColor::black), std::nullopt);
    states << ed->doc();

    bool back = allMade;
    for (int i = 5; i >= 0; --i) {
        ed->undo();
        back = ed->doc() == states[i] && back;
    }
    run.check(back && !ed->canUndo(),
              QStringLiteral("6 changes (add, move, type, group, delete, background) undo one by one back to the start"));

    bool forward = allMade;
    for (int i = 1; i <= 6; ++i) {
        ed->redo();
        forward = ed->doc() == states[i] && forward;
    }
    run.check(forward && !ed->canRedo(), QStringLiteral("\u2026and redo forward again to the same result"));

    ed->undo();
    ed->add(LWElement::makeShape(LWShapeKind::ellipse, LWRect(0, 0, 5, 5), LWFill::solid(LWColor::black),
                                 std::nullopt, 0),
            true);
    run.check(!ed->canRedo(), QStringLiteral("a new change after undo clears redo"));

    // Typing: the five keystrokes follow each other at once, inside one coalescing window.
    const std::unique_ptr<LWEditor> typed = editor(second);
    const std::optional<QUuid> box = firstTextID(*typed);
    const std::optional<QString> earlier = box ? textOf(*typed, *box) : std::nullopt;
    if (box && earlier) {
        for (const char *word : {"H", "He", "Hel", "Hell", "Hello"})
            typed->setText(*box, QString::fromLatin1(word));
    }
    run.check(earlier && typed->undoStack().size() == 1 && textOf(*typed, *box) == QStringLiteral("Hello"),
              QStringLiteral("typing a word is one undo step, not one per letter"));
    if (earlier)
        typed->undo();
    run.check(earlier && textOf(*typed, *box) == earlier, QStringLiteral("\u2026and one undo takes the whole word back"));

    // A drag: one snapshot when it starts, none for the live moves.
    bool dragged = false;
    if (!typed->elements().isEmpty() && !typed->doc().pages.isEmpty() && !typed->doc().pages[0].elements.isEmpty()) {
        typed->setSelection({typed->elements().first().id});
        const qsizetype before = typed->undoStack().size();
        typed->beginInteraction();
        for (int k = 1; k <= 10; ++k)
            typed->liveUpdate([k](LWDocument &d) {
                if (!d.pages.isEmpty() && !d.pages[0].elements.isEmpty())
                    d.pages[0].elements[0].frame.x += k;
            });
        dragged = typed->undoStack().size() == before + 1;
    }
    run.check(dragged, QStringLiteral("dragging (many small moves) is one undo step"));
}

void undoRedo(LWTestRun &run)
{
    const QList<LWTemplate> &cards = LWTemplates::cards();
    const auto design = [&cards](qsizetype i) { return i < cards.size() ? cards[i].make() : LWDocument(); };
    undoRedoChecks(run, design(2), design(3));
}

} // namespace LWSelfTest
