// The inspector during a drag: one refresh per live update (200 of them) with a text box
// selected; building the whole editor screen for a card template; and each user action of the
// editor screen on a Letter page of 200 and of 2,000 dots (grouping and nudging them all among them), timed
// until its repaints are done.
#include "app/app.h"
#include "templates/templates.h"
#include "ui/canvas/editorscreen.h"
#include "ui/inspector/inspector.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

void BM_InspectorRefreshPerLiveUpdate(benchmark::State &state)
{
    LWApp app;
    LWEditor editor(LWTemplates::cards().first().make());
    for (const LWElement &e : editor.elements())
        if (e.kind == LWElementKind::text) {
            editor.setSelection({e.id});
            break;
        }
    Inspector inspector(editor, app);
    inspector.resize(300, 900);
    inspector.show();
    editor.beginInteraction();
    const QUuid id = editor.selection().first();
    int i = 0;
    for (auto _ : state) {
        const int index = editor.pageIndex();
        editor.liveUpdate([&](LWDocument &doc) {
            for (LWElement &e : doc.pages[index].elements)
                if (e.id == id)
                    e.frame.x += (i % 2 ? 1 : -1);
        });
        ++i;
    }
}
BENCHMARK(BM_InspectorRefreshPerLiveUpdate)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_EditorScreenBuild(benchmark::State &state)
{
    LWApp app;
    LWEditor editor(LWTemplates::cards().first().make());
    for (auto _ : state) {
        EditorScreen screen(app, editor);
        screen.resize(1480, 760);
        screen.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_EditorScreenBuild)->Unit(benchmark::kMillisecond);

// A Letter page of n dots in rows of 50 (a dot pattern or a price grid is made of that many),
// the middle one selected, on the shown editor screen at its first size.
struct DotScreen {
    LWApp app;
    LWEditor editor;
    EditorScreen screen{app, editor};
    QUuid picked, other;

    static LWDocument dots(int n)
    {
        LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Dots"));
        for (int i = 0; i < n; ++i)
            doc.pages[0].elements.append(LWElement::makeShape(
                LWShapeKind::ellipse, {18 + (i % 50) * 11.5, 18 + (i / 50) * 11.5 * (2000.0 / std::max(n, 50)), 6, 6},
                LWFill::solid(LWColor::black), std::nullopt, 0, QStringLiteral("Dot %1").arg(i + 1)));
        return doc;
    }
    explicit DotScreen(int n) : editor(dots(n))
    {
        picked = editor.elements()[n / 2].id;
        other = editor.elements()[n / 2 + 1].id;
        editor.setSelection({picked});
        screen.resize(1480, 760);
        screen.show();
        settle();
    }
    // Posted layouts, repaints and deferred deletions run before the clock stops.
    static void settle()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
    void selectAll()
    {
        QList<QUuid> all;
        for (const LWElement &e : editor.elements())
            all.append(e.id);
        editor.setSelection(all);
        settle();
    }
    QLineEdit *nameField() const
    {
        for (QLineEdit *field : screen.inspector()->findChildren<QLineEdit *>())
            if (field->placeholderText() == QStringLiteral("Name") && field->isVisible())
                return field;
        return nullptr;
    }
};

// Runs `act(i)` timed and `undo(i)` (when given) untimed, each followed by the repaints.
template <class Act, class Undo>
void timeActions(benchmark::State &state, DotScreen &s, Act act, Undo undo)
{
    int i = 0;
    for (auto _ : state) {
        act(i);
        DotScreen::settle();
        if constexpr (!std::is_same_v<Undo, std::nullptr_t>) {
            state.PauseTiming();
            undo(i);
            DotScreen::settle();
            state.ResumeTiming();
        }
        ++i;
    }
}

void BM_ScreenRenameKeystroke(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    QLineEdit *field = s.nameField();
    if (!field)
        return state.SkipWithError("no name field");
    field->setFocus();
    field->end(false);
    timeActions(state, s, [&](int i) { QTest::keyClick(field, i % 2 ? Qt::Key_Backspace : Qt::Key_X); }, nullptr);
}

void BM_ScreenLock(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    timeActions(state, s, [&](int i) { s.editor.setLocked(i % 2 == 0, QList<QUuid>{s.picked}); }, nullptr);
}

void BM_ScreenHide(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    timeActions(state, s, [&](int i) { s.editor.setHidden(i % 2 == 0, {s.picked}); }, nullptr);
}

void BM_ScreenDelete(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    timeActions(
        state, s, [&](int) { s.editor.deleteSelection(); }, [&](int) { s.editor.undo(); });
}

void BM_ScreenRestack(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    timeActions(state, s, [&](int i) { s.editor.arrange(i % 2 ? LWArrange::backward : LWArrange::forward); }, nullptr);
}

void BM_ScreenSelect(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    timeActions(state, s, [&](int i) { s.editor.setSelection({i % 2 ? s.picked : s.other}); }, nullptr);
}

void BM_ScreenNudge(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    timeActions(state, s, [&](int i) { s.editor.nudge(i % 2 ? -1 : 1, 0); }, nullptr);
}

// Every dot selected and nudged (an arrow key on a selection made with Select All).
void BM_ScreenNudgeAll(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    s.selectAll();
    timeActions(state, s, [&](int i) { s.editor.nudge(i % 2 ? -1 : 1, 0); }, nullptr);
}

// The undo and redo benchmarks need a step to travel over: a lock made before the clock starts.
void BM_ScreenUndoLock(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    s.editor.setLocked(true, QList<QUuid>{s.picked});
    DotScreen::settle();
    timeActions(
        state, s, [&](int) { s.editor.undo(); }, [&](int) { s.editor.redo(); });
}

void BM_ScreenRedoLock(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    s.editor.setLocked(true, QList<QUuid>{s.picked});
    s.editor.undo();
    DotScreen::settle();
    timeActions(
        state, s, [&](int) { s.editor.redo(); }, [&](int) { s.editor.undo(); });
}

// Every dot selected and grouped; the group selected and released again.
void BM_ScreenGroup(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    s.selectAll();
    timeActions(
        state, s, [&](int) { s.editor.group(); }, [&](int) { s.editor.undo(); });
}

void BM_ScreenUngroup(benchmark::State &state)
{
    DotScreen s(int(state.range(0)));
    s.selectAll();
    s.editor.group();
    DotScreen::settle();
    timeActions(
        state, s, [&](int) { s.editor.ungroup(); }, [&](int) { s.editor.undo(); });
}

// Few iterations: each setup builds a whole screen, and before the rows were retained one action
// on 2,000 took seconds.
#define SCREEN_BENCH(fn)                                                                                             \
    BENCHMARK(fn)->Arg(200)->Iterations(20)->Unit(benchmark::kMillisecond);                                          \
    BENCHMARK(fn)->Arg(2000)->Iterations(6)->Unit(benchmark::kMillisecond)
SCREEN_BENCH(BM_ScreenRenameKeystroke);
SCREEN_BENCH(BM_ScreenLock);
SCREEN_BENCH(BM_ScreenHide);
SCREEN_BENCH(BM_ScreenDelete);
SCREEN_BENCH(BM_ScreenRestack);
SCREEN_BENCH(BM_ScreenUndoLock);
SCREEN_BENCH(BM_ScreenRedoLock);
SCREEN_BENCH(BM_ScreenSelect);
SCREEN_BENCH(BM_ScreenNudge);
SCREEN_BENCH(BM_ScreenNudgeAll);
SCREEN_BENCH(BM_ScreenGroup);
SCREEN_BENCH(BM_ScreenUngroup);

} // namespace
