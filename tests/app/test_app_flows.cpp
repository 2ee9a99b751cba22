#include "app_fixture.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QSignalSpy>

using Answer = LWPrompts::Answer;
using Step = ScriptedPrompts::Step;

namespace {
const QString question = QStringLiteral("Save changes to \"Untitled\"?");
const QString detail = QStringLiteral("Your changes will be lost if you don't save them.");
const QString notADesign = QStringLiteral("This file isn't an VELK Leafwrighter design.");

// The flows that drop or replace the open design.
struct Flow {
    const char *name;
    std::function<void(LWApp &)> run;
    LWAppScreen screenAfter;
    bool editorAfter;
};
} // namespace

class FlowTest : public AppTest {
protected:
    QList<Flow> flows()
    {
        const QUrl other = url(QStringLiteral("other.velkfolio"));
        EXPECT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Other")), other).ok());
        return {
            {"new", [](LWApp &a) { a.newDocument(LWDocument::blank(LWSizePreset::letter, std::nullopt)); },
             LWAppScreen::editor, true},
            {"open", [other](LWApp &a) { a.open(other); }, LWAppScreen::editor, true},
            {"close", [](LWApp &a) { a.close(); }, LWAppScreen::start, false},
        };
    }
};

TEST_F(FlowTest, NoQuestionWithoutEditorOrChanges)
{
    for (const Flow &flow : flows()) {
        SCOPED_TRACE(flow.name);
        app.setEditor(nullptr);
        flow.run(app);
        EXPECT_EQ(app.screen(), flow.screenAfter);
        app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt)); // clean
        LWEditor *clean = app.editor();
        flow.run(app);
        EXPECT_EQ(app.screen(), flow.screenAfter);
        EXPECT_NE(app.editor(), clean);
        EXPECT_EQ(app.editor() != nullptr, flow.editorAfter);
    }
    EXPECT_TRUE(prompts->calls.isEmpty());
}

TEST_F(FlowTest, CancelKeepsEverythingDontSaveProceedsUnwritten)
{
    for (const Flow &flow : flows()) {
        SCOPED_TRACE(flow.name);
        LWEditor *editor = openDirty(QStringLiteral("card.velkfolio"));
        const QByteArray before = bytes(path(QStringLiteral("card.velkfolio")));
        app.setSheet(LWAppSheet::size);
        prompts->calls.clear();

        prompts->script = {ScriptedPrompts::ask(Answer::cancel)};
        flow.run(app);
        EXPECT_EQ(prompts->calls, QList<QStringList>({{QStringLiteral("ask"), question, detail}}));
        EXPECT_EQ(app.editor(), editor);
        EXPECT_EQ(app.screen(), LWAppScreen::editor);
        EXPECT_EQ(app.sheet(), LWAppSheet::size);
        EXPECT_TRUE(editor->dirty());

        prompts->script = {ScriptedPrompts::ask(Answer::dontSave)};
        flow.run(app);
        EXPECT_EQ(app.screen(), flow.screenAfter);
        EXPECT_EQ(app.editor() != nullptr, flow.editorAfter);
        EXPECT_NE(app.editor(), editor);
        EXPECT_EQ(app.sheet(), LWAppSheet::size); // a sheet closes itself
        EXPECT_EQ(bytes(path(QStringLiteral("card.velkfolio"))), before);
    }
}

TEST_F(FlowTest, SaveAnswerWritesKnownFileOrAsksWhere)
{
    // A design with a file is written there without a panel, then the flow goes on.
    openDirty(QStringLiteral("card.velkfolio"));
    prompts->script = {ScriptedPrompts::ask(Answer::save)};
    app.close();
    EXPECT_EQ(app.editor(), nullptr);
    const auto reread = LWDocumentIO::open(url(QStringLiteral("card.velkfolio")));
    ASSERT_TRUE(reread.ok());
    EXPECT_EQ(reread.value().bleed, 12);

    // A design never saved shows the save panel: cancelled, the whole flow is; a chosen file is
    // written and the flow goes on.
    LWEditor *editor = newDirty();
    for (const std::optional<QUrl> &chosen : {std::optional<QUrl>(), std::optional(url(QStringLiteral("new.velkfolio")))}) {
        prompts->script = {ScriptedPrompts::ask(Answer::save), ScriptedPrompts::saveStep(chosen)};
        app.close();
        EXPECT_EQ(app.editor(), chosen ? nullptr : editor);
        EXPECT_EQ(editor && editor->dirty(), !chosen);
    }
    EXPECT_TRUE(LWDocumentIO::open(url(QStringLiteral("new.velkfolio"))).ok());
}

TEST_F(FlowTest, FailedWriteAlertsAndNothingProceeds)
{
    const QString advice = QStringLiteral("\n\nYour design is still open; try saving to another folder (File \u2192 Save As\u2026).");
    // To a folder that is missing: chosen in the panel, and a known file whose folder went away.
    for (bool known : {false, true}) {
        SCOPED_TRACE(known);
        app.setEditor(nullptr);
        LWEditor *editor = nullptr;
        std::optional<QUrl> location;
        if (known) {
            ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("gone")));
            editor = openDirty(QStringLiteral("gone/card.velkfolio"));
            ASSERT_TRUE(QDir(path(QStringLiteral("gone"))).removeRecursively());
            location = editor->fileURL();
            prompts->script = {ScriptedPrompts::ask(Answer::save), ScriptedPrompts::alertStep()};
        } else {
            editor = newDirty();
            prompts->script = {ScriptedPrompts::ask(Answer::save),
                               ScriptedPrompts::saveStep(url(QStringLiteral("missing/Spring Sale.velkfolio"))),
                               ScriptedPrompts::alertStep()};
        }
        const QString name = editor->doc().name;
        prompts->calls.clear();
        app.newDocument(LWDocument::blank(LWSizePreset::letter, std::nullopt));

        const QStringList alert = prompts->calls.constLast();
        EXPECT_EQ(alert.value(1), QStringLiteral("Couldn't save the design"));
        EXPECT_TRUE(alert.value(2).endsWith(advice)) << alert.value(2).toStdString();
        EXPECT_GT(alert.value(2).size(), advice.size());
        EXPECT_EQ(app.editor(), editor);
        EXPECT_EQ(editor->doc().name, name);
        EXPECT_EQ(editor->fileURL(), location);
        EXPECT_TRUE(editor->dirty());
        EXPECT_TRUE(app.notice() == std::nullopt);
    }
}

TEST_F(FlowTest, UnreadableFileAlertsAndChangesNothing)
{
    QFile text(path(QStringLiteral("x.velkfolio")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some words\n");
    text.close();

    LWEditor *editor = newDirty();
    app.setSheet(LWAppSheet::exportSheet);
    prompts->script = {ScriptedPrompts::ask(Answer::dontSave), ScriptedPrompts::alertStep()};
    app.open(url(QStringLiteral("x.velkfolio")));
    EXPECT_EQ(prompts->calls.constLast(),
              QStringList({QStringLiteral("alert"), QStringLiteral("Couldn't open x.velkfolio"), notADesign}));
    EXPECT_EQ(app.editor(), editor);
    EXPECT_TRUE(editor->dirty());
    EXPECT_EQ(app.screen(), LWAppScreen::editor);
    EXPECT_EQ(app.sheet(), LWAppSheet::exportSheet);
}

// A design whose page the program could not show or make is refused like any bad file: the
// same alert, the open design kept.
TEST_F(FlowTest, ImpossiblePageSizesAreRefused)
{
    const QString sized = QStringLiteral("The design couldn't be opened: the page size ");
    const QString margin = QStringLiteral("The design couldn't be opened: the ");
    const struct {
        const char *key, *value;
        QString says; // how the alert's text begins
    } cases[] = {
        {"width", "0", sized + QStringLiteral("0 × 792 pt lies outside 36 to 2592 pt")},
        {"width", "35", sized + QStringLiteral("35 × 792 pt lies outside 36 to 2592 pt")},
        {"width", "2593", sized + QStringLiteral("2593 × 792 pt lies outside 36 to 2592 pt")},
        {"width", "1e9", sized + QStringLiteral("1000000000 × 792 pt lies outside 36 to 2592 pt")},
        {"width", "NaN", notADesign}, // no JSON number
        {"width", "1e999", notADesign}, // out of the parser's range
        {"height", "-792", sized},
        {"bleed", "306", margin + QStringLiteral("bleed of 306 pt is not a length under half the page")},
        {"bleed", "-9", margin + QStringLiteral("bleed of -9 pt")},
        {"safe", "400", margin + QStringLiteral("safe margin of 400 pt")},
    };
    const QByteArray good = [] {
        LWDocument letter = LWDocument::blank(LWSizePreset::letter, std::nullopt);
        letter.safe = 9;
        return LWDocumentIO::encode(letter).value();
    }();
    const QUrl file = url(QStringLiteral("bad.velkfolio"));
    LWEditor *editor = newDirty();
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.value);
        const QByteArray key = QByteArray("\"") + c.key + "\":";
        const qsizetype at = good.lastIndexOf(key) + key.size(); // the top level's key comes last
        qsizetype end = at;
        while (good[end] != ',' && good[end] != '}')
            ++end;
        QByteArray bytes = good;
        bytes.replace(at, end - at, c.value);
        QFile out(file.toLocalFile());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();

        prompts->script = {ScriptedPrompts::ask(Answer::dontSave), ScriptedPrompts::alertStep()};
        app.open(file);
        ASSERT_EQ(prompts->calls.constLast().value(1), QStringLiteral("Couldn't open bad.velkfolio"));
        EXPECT_TRUE(prompts->calls.constLast().value(2).startsWith(c.says)) << prompts->calls.constLast().value(2).toStdString();
        EXPECT_EQ(app.editor(), editor);
    }
    // The limits themselves open.
    for (const char *width : {"36", "2592"}) {
        QByteArray bytes = good;
        bytes.replace("\"width\":612", QByteArray("\"width\":") + width);
        EXPECT_TRUE(LWDocumentIO::decode(bytes).ok()) << width;
    }
}

TEST_F(FlowTest, OpenPanelAndReopeningReadTheFileAfresh)
{
    const QUrl file = url(QStringLiteral("card.velkfolio"));
    const auto saveNamed = [&](const QString &name) {
        ASSERT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::usCard, std::nullopt, name), file).ok());
    };
    saveNamed(QStringLiteral("First"));
    prompts->script = {ScriptedPrompts::openStep(std::nullopt), ScriptedPrompts::openStep(file)};
    app.openPanel();
    EXPECT_EQ(app.editor(), nullptr);
    EXPECT_EQ(prompts->calls.constFirst(),
              QStringList({QStringLiteral("open"), QStringLiteral("Choose an VELK Leafwrighter design (.velkfolio)")}));
    app.openPanel();
    LWEditor *first = app.editor();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->doc().name, QStringLiteral("First"));

    saveNamed(QStringLiteral("Second"));
    app.open(file);
    ASSERT_NE(app.editor(), nullptr);
    EXPECT_NE(app.editor(), first);
    EXPECT_EQ(app.editor()->doc().name, QStringLiteral("Second"));
    EXPECT_EQ(app.editor()->fileURL(), file);
    EXPECT_FALSE(app.editor()->dirty());
}

TEST_F(FlowTest, TestModeNeverPrompts)
{
    VELKTestFlags::running = true;
    app.open(url(QStringLiteral("missing.velkfolio")));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("ALERT: Couldn't open missing.velkfolio \u2014 "))) << lines[0].toStdString();

    lines.clear();
    LWEditor *editor = openDirty(QStringLiteral("card.velkfolio"));
    editor->setDoc([&] { LWDocument d = editor->doc(); d.name = QStringLiteral("Untitled"); return d; }());
    const QByteArray before = bytes(path(QStringLiteral("card.velkfolio")));
    app.newDocument(LWDocument::blank(LWSizePreset::letter, std::nullopt));
    EXPECT_EQ(lines, QStringList({QStringLiteral("ALERT: ") + question + QStringLiteral(" \u2014 ") + detail}));
    EXPECT_NE(app.editor(), editor);
    EXPECT_EQ(bytes(path(QStringLiteral("card.velkfolio"))), before);

    lines.clear();
    app.openPanel();
    EXPECT_FALSE(app.saveAs());
    app.print(false);
    EXPECT_FALSE(app.chooseExport(QStringLiteral("Card.pdf"), QStringLiteral("PDF document (*.pdf)"), QStringLiteral("pdf")));
    EXPECT_FALSE(app.confirm(QStringLiteral("Replace 2 existing files?"), QStringLiteral("a\nb"), QStringLiteral("Replace")));
    EXPECT_EQ(lines, QStringList({QStringLiteral("PANEL: Choose an VELK Leafwrighter design (.velkfolio)"),
                                  QStringLiteral("PANEL: Save your design. Everything (pictures too) is kept in this one file."),
                                  QStringLiteral("PRINT: skipped during a test run (1 pages)"),
                                  QStringLiteral("PANEL: Export Card.pdf"),
                                  QStringLiteral("PANEL: Replace 2 existing files?")}));
    EXPECT_TRUE(prompts->calls.isEmpty());
}

TEST_F(FlowTest, SheetTextsAreExact)
{
    const QList<std::pair<QString, std::optional<LWAppSheet>>> cases = {
        {QStringLiteral("export"), LWAppSheet::exportSheet}, {QStringLiteral("preflight"), LWAppSheet::preflight},
        {QStringLiteral("size"), LWAppSheet::size},          {QStringLiteral("newCustom"), LWAppSheet::newCustom},
        {QStringLiteral("NewCustom"), std::nullopt},          {QString(), std::nullopt},
        {QStringLiteral("exportSheet"), std::nullopt},        {QStringLiteral("size "), std::nullopt},
    };
    for (const auto &[text, sheet] : cases) {
        EXPECT_EQ(LWApp::sheetFrom(text), sheet) << text.toStdString();
        if (sheet) {
            EXPECT_EQ(LWApp::rawValue(*sheet), text);
        }
    }
}

TEST_F(FlowTest, EveryAssignmentNotifiesAndReplacedEditorsGoLater)
{
    QSignalSpy screen(&app, &LWApp::screenChanged), sheet(&app, &LWApp::sheetChanged),
        notice(&app, &LWApp::noticeChanged), editors(&app, &LWApp::editorChanged);
    app.setScreen(app.screen());
    app.setSheet(std::nullopt);
    app.setNotice(std::nullopt);
    EXPECT_EQ(screen.size() + sheet.size() + notice.size(), 3);

    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    QPointer<LWEditor> first = app.editor();
    bool readable = false;
    QObject::connect(&app, &LWApp::editorChanged, &app, [&] { readable = first && first->doc().pages.size() == 2; });
    app.newDocument(LWDocument::blank(LWSizePreset::letter, std::nullopt));
    EXPECT_TRUE(readable);
    EXPECT_EQ(app.editor()->parent(), &app);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(editors.size(), 2);
}

TEST_F(AppTest, SavePanelProposesAUsableNameAndFirstSaveNamesAnUntitledDesign)
{
    const struct {
        QString name, proposed, file, saved; // no file: the panel is cancelled
    } cases[] = {
        {QString(), QStringLiteral("Untitled"), {}, {}},
        {QStringLiteral("A/B"), QStringLiteral("A-B"), {}, {}},
        {QStringLiteral("A") + QChar(0) + QStringLiteral("B/"), QStringLiteral("A-B-"), {}, {}},
        {QStringLiteral("Café · Menu"), QStringLiteral("Café · Menu"), {}, {}},
        {QStringLiteral("Untitled"), QStringLiteral("Untitled"), QStringLiteral("Spring Sale.velkfolio"), QStringLiteral("Spring Sale")},
        {QStringLiteral("Untitled"), QStringLiteral("Untitled"), QStringLiteral("Spring.Sale.velkfolio"), QStringLiteral("Spring.Sale")},
        {QStringLiteral("untitled"), QStringLiteral("untitled"), QStringLiteral("a.velkfolio"), QStringLiteral("untitled")},
        {QStringLiteral("Untitled "), QStringLiteral("Untitled "), QStringLiteral("b.velkfolio"), QStringLiteral("Untitled ")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " to " + c.file.toStdString());
        app.setEditor(nullptr);
        LWEditor *editor = newDirty(c.name);
        const bool couldUndo = editor->canUndo();
        prompts->script = {ScriptedPrompts::saveStep(c.file.isEmpty() ? std::nullopt : std::optional(url(c.file)))};
        EXPECT_EQ(c.file.isEmpty() ? app.saveAs() : app.save(), !c.file.isEmpty());
        EXPECT_EQ(prompts->calls.constLast(),
                  QStringList({QStringLiteral("save"), c.proposed,
                               QStringLiteral("Save your design. Everything (pictures too) is kept in this one file.")}));
        EXPECT_EQ(editor->dirty(), c.file.isEmpty());
        if (c.file.isEmpty())
            continue;
        EXPECT_EQ(editor->doc().name, c.saved);
        EXPECT_EQ(editor->canUndo(), couldUndo);
        EXPECT_EQ(editor->fileURL(), url(c.file));
        EXPECT_EQ(app.notice(), QStringLiteral("Saved ") + c.file);
        const auto written = LWDocumentIO::open(url(c.file));
        ASSERT_TRUE(written.ok());
        EXPECT_EQ(written.value().name, c.saved);
        EXPECT_EQ(written.value().bleed, 12);
    }
}

TEST_F(AppTest, NoticeIsClearedOnlyByItsOwnTextAndNeverAfterTheState)
{
    const QString saved = QStringLiteral("Saved Spring Sale.velkfolio"), exported = QStringLiteral("Exported card.pdf");
    const struct {
        QString second;
        std::optional<QString> afterFirst;
    } cases[] = {{saved, std::nullopt}, {exported, exported}};
    for (const auto &c : cases) {
        deferred.clear();
        app.flash(saved);
        app.flash(c.second);
        ASSERT_EQ(deferred.size(), 2);
        EXPECT_EQ(deferred[0].ms, LWApp::noticeMs);
        deferred[0].task();
        EXPECT_EQ(app.notice(), c.afterFirst);
        deferred[1].task();
        EXPECT_EQ(app.notice(), std::nullopt);
    }

    std::function<void()> task;
    auto other = std::make_unique<LWApp>();
    other->setDefer([&](int, std::function<void()> t) { task = std::move(t); });
    other->flash(saved);
    other.reset();
    ASSERT_TRUE(task);
    task(); // does nothing
}

TEST_F(AppTest, AFileChangedOnDiskIsOnlyReplacedWhenTheUserSaysSo)
{
    const QString file = path(QStringLiteral("card.velkfolio"));
    const QString changed = QStringLiteral("\"card.velkfolio\" has changed on disk.");
    const QString why = QStringLiteral("Another program changed the file after you opened or saved it. Saving replaces "
                                       "those changes with this design.");
    // Another program's change: a replacement (a new inode) or an edit in place (the same one).
    const std::function<void()> changes[] = {
        [&] { ASSERT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::a4, std::nullopt, "Theirs"), url("card.velkfolio")).ok()); },
        [&] {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(" ");
        },
    };
    for (const auto &change : changes) {
        LWEditor *editor = openDirty(QStringLiteral("card.velkfolio"));
        change();
        const QByteArray theirs = bytes(file);

        // "Cancel" keeps both: their file and the open design with its changes.
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::overwrite(false)};
        EXPECT_FALSE(app.save());
        EXPECT_EQ(prompts->calls, QList<QStringList>({{QStringLiteral("overwrite"), changed, why}}));
        EXPECT_EQ(bytes(file), theirs);
        EXPECT_TRUE(editor->dirty());
        EXPECT_EQ(editor->doc().bleed, 12);

        // "Save Anyway" writes; the saved file is then the one known, so a second save asks nothing.
        prompts->script = {ScriptedPrompts::overwrite(true)};
        EXPECT_TRUE(app.save());
        EXPECT_EQ(LWDocumentIO::open(url(QStringLiteral("card.velkfolio"))).value().bleed, 12);
        EXPECT_FALSE(editor->dirty());
        EXPECT_TRUE(app.save());

        // A change after that save is noticed too; a test run answers on the console and saves.
        change();
        VELKTestFlags::running = true;
        lines.clear();
        EXPECT_TRUE(app.save());
        EXPECT_EQ(lines, QStringList({QStringLiteral("ALERT: ") + changed + QStringLiteral(" \u2014 ") + why}));
        VELKTestFlags::running = false;
        EXPECT_EQ(LWDocumentIO::open(url(QStringLiteral("card.velkfolio"))).value().bleed, 12);
    }
}
