#include "app/app_fixture.h"
#include "app/sheets/preflightsheet.h"
#include "app/sheets/sheetpresenter.h"
#include "kit/controls/chromebutton.h"
#include "kit/cabinet/led.h"
#include "kit/theme/style.h"
#include "kit/windowfixture.h"
#include "model/info.h"
#include "shell/shelltext.h"
#include "shell/statusstrip.h"
#include "support/undrawnpictures.h"
#include "support/waitfor.h"

#include <QDesktopServices>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

namespace {

using Level = LWExport::Issue::Level;

QList<LWExport::Issue> issues(const QList<Level> &levels)
{
    QList<LWExport::Issue> out;
    for (Level level : levels)
        out.append(LWExport::Issue(level, 0, std::nullopt, QStringLiteral("finding")));
    return out;
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

} // namespace

// A strip under test: its deferrals kept for the test to run, its print check counted.
class StatusStripTest : public AppTest {
protected:
    EditorStatus::Hooks hooks(int delayMs = 150)
    {
        EditorStatus::Hooks h;
        h.checkDelayMs = delayMs;
        h.preflight = [this](const LWDocument &doc) {
            ++checks;
            return fake ? fake(doc) : LWExport::preflightSoon(doc);
        };
        h.defer = [this](int ms, std::function<void()> task) { later.append({ms, std::move(task)}); };
        return h;
    }
    static bool shown(QWidget *w, QWidget *in) { return w && w->isVisibleTo(in); }

    int checks = 0;
    EditorStatus::Preflight fake;
    QList<Deferred> later;
};

TEST_F(StatusStripTest, TipFaceWithoutADesign)
{
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
    StatusStrip strip(app, hooks());
    strip.resize(1200, strip.sizeHint().height());
    strip.show();
    EXPECT_EQ(strip.tipText()->text(),
              QStringLiteral("Tip: start from a template or a blank size. Help \u2192 VELK Leafwrighter Help explains every step."));
    EXPECT_TRUE(shown(strip.tipText(), &strip));
    EXPECT_EQ(strip.editorStatus(), nullptr);
    EXPECT_EQ(strip.findChild<EditorStatus *>(), nullptr);
    EXPECT_FALSE(shown(strip.notice(), &strip));
    EXPECT_EQ(strip.creditLink()->text(), QStringLiteral("by Velkmoor (VELK)"));
    click(strip.creditLink());
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    EXPECT_EQ(sink.opened, QList<QUrl>({LWInfo::website()}));
    EXPECT_EQ(checks, 0);
}

TEST_F(StatusStripTest, FileNameFollowsTheFirstSave)
{
    StatusStrip strip(app, hooks());
    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card")));
    EditorStatus *status = strip.editorStatus();
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(shown(strip.tipText(), &strip));
    EXPECT_EQ(status->fileName()->text(), QStringLiteral("Not saved yet"));
    prompts->script = {ScriptedPrompts::saveStep(url(QStringLiteral("Card.velkfolio")))};
    ASSERT_TRUE(app.saveAs());
    EXPECT_EQ(status->fileName()->text(), QStringLiteral("Card.velkfolio"));

    // The same editor set again keeps its status; another one replaces it, none brings the tip back.
    app.setEditor(app.editor());
    EXPECT_EQ(strip.editorStatus(), status);
    app.newDocument(LWDocument::blank(LWSizePreset::letter, std::nullopt));
    EXPECT_NE(strip.editorStatus(), nullptr);
    EXPECT_NE(strip.editorStatus(), status);
    EXPECT_EQ(soleChild<EditorStatus>(&strip), strip.editorStatus());
    app.setEditor(nullptr);
    EXPECT_EQ(soleChild<EditorStatus>(&strip), nullptr);
    EXPECT_TRUE(shown(strip.tipText(), &strip));
}

TEST_F(StatusStripTest, PrintCheckCountsWarningsAndProblems)
{
    struct Case {
        QList<Level> levels;
        QString text;
        QColor lamp;
    };
    const QList<Case> cases = {
        {{}, QStringLiteral("Print check: ready"), LWStyle::moss()},
        {{Level::info}, QStringLiteral("Print check: ready"), LWStyle::moss()},
        {{Level::warning, Level::problem, Level::problem, Level::info}, QStringLiteral("Print check: 3 to review"),
         LWStyle::amber()},
    };
    LWEditor editor(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    for (const Case &c : cases) {
        fake = [levels = c.levels](const LWDocument &) { return issues(levels); };
        EditorStatus status(editor, app, hooks());
        EXPECT_EQ(status.printCheckFace()->label()->text(), c.text);
        EXPECT_EQ(status.printCheckFace()->lamp()->colour(), c.lamp);
        EXPECT_EQ(status.printCheck()->toolTip(), QStringLiteral("Open Preflight"));
    }
    fake = {};
    EditorStatus real(editor, app, hooks());
    EXPECT_EQ(real.printCheckFace()->label()->text(), QStringLiteral("Print check: ready"));
    real.resize(real.sizeHint());
    real.show();
    click(real.printCheck());
    EXPECT_EQ(app.sheet(), LWAppSheet::preflight);
}

// A picture the print would show as the placeholder is a problem: counted by the lamp, listed
// in ruby, and its Show goes to the frame.
TEST_F(StatusStripTest, PicturesThatDoNotDrawAreCountedAndShown)
{
    QWidget window;
    LWSheetPresenter presenter(app, &window);
    StatusStrip strip(app, hooks());
    strip.show();
    for (const LWUndrawnPictures::Case &c : LWUndrawnPictures::cases()) {
        SCOPED_TRACE(c.name);
        // On the back of a card, small enough to print sharp at 400 pixels.
        LWElement photo = LWElement::makePhoto(LWRect(30, 30, 48, 36), LWMask::none, 0, QStringLiteral("Photo"));
        photo.image->data = c.bytes;
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
        doc.pages[1].elements = {photo};
        app.newDocument(doc);
        EditorStatus *status = strip.editorStatus();
        ASSERT_NE(status, nullptr);
        // Checked beside the window: the lamp says so until the answer comes.
        EXPECT_EQ(status->printCheckFace()->label()->text(), QStringLiteral("Print check: checking pictures\u2026"));
        EXPECT_EQ(status->printCheckFace()->lamp()->colour(), LWStyle::t().dim);
        EXPECT_TRUE(waitFor(
            [&] { return status->printCheckFace()->label()->text() == QStringLiteral("Print check: 1 to review"); }));
        EXPECT_EQ(status->printCheckFace()->lamp()->colour(), LWStyle::amber());

        click(status->printCheck());
        QPointer<PreflightSheet> sheet = qobject_cast<PreflightSheet *>(presenter.dialog());
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet->rows().size(), 1);
        const PreflightSheet::Row row = sheet->rows()[0];
        EXPECT_EQ(row.message->text(), c.message);
        EXPECT_EQ(row.lamp->colour(), LWStyle::ruby());
        ASSERT_NE(row.show, nullptr);
        click(row.show);
        runPosted();
        EXPECT_TRUE(sheet.isNull());
        EXPECT_EQ(app.editor()->side(), 1);
        EXPECT_EQ(app.editor()->selection(), QList<QUuid>{photo.id});
    }
}

// A drag's live steps only restart the check's timer; it runs once the design rests.
TEST_F(StatusStripTest, PrintCheckWaitsForChangesToPause)
{
    fake = [](const LWDocument &doc) { return issues(QList<Level>(qsizetype(doc.bleed), Level::warning)); };
    StatusStrip strip(app, hooks(1000));
    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    LWEditor *e = app.editor();
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(e->beginInteraction());
    for (int i = 1; i <= 100; ++i) {
        e->liveUpdate([i](LWDocument &d) { d.bleed = i % 7 + 1; });
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return checks == 2; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(strip.editorStatus()->printCheckFace()->label()->text(), QStringLiteral("Print check: 3 to review"));
}

// Each new message text is cleared 4 s later unless another replaced it; the same text again
// does not prolong it.
TEST_F(StatusStripTest, MessagesClearThemselves)
{
    struct Case {
        const char *what;
        QList<std::optional<QString>> writes;
        // The message after each task has run, in order.
        QList<std::optional<QString>> after;
    };
    const std::optional<QString> none, a = QStringLiteral("A"), b = QStringLiteral("B");
    const QList<Case> cases = {
        {"one text", {a}, {none}},
        {"the same text again", {a, a}, {none}},
        {"replaced", {a, b}, {b, none}},
        {"cleared elsewhere, set again", {a, none, a}, {a, none}},
    };
    StatusStrip strip(app, hooks());
    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    LWEditor *e = app.editor();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        later.clear();
        for (const std::optional<QString> &m : c.writes)
            e->setMessage(m);
        ASSERT_EQ(later.size(), c.after.size());
        EXPECT_TRUE(shown(strip.editorStatus()->messageText(), &strip));
        for (qsizetype i = 0; i < later.size(); ++i) {
            EXPECT_EQ(later[i].ms, 4000);
            later[i].task();
            EXPECT_EQ(e->message(), c.after[i]) << "after task " << i;
        }
        EXPECT_FALSE(shown(strip.editorStatus()->messageText(), &strip));
    }

    // A strip built while a message shows (a theme change) schedules its own clearing.
    e->setMessage(a);
    later.clear();
    StatusStrip rebuilt(app, hooks());
    ASSERT_EQ(later.size(), 1);
    EXPECT_EQ(rebuilt.editorStatus()->messageText()->text(), QStringLiteral("A"));
    later[0].task();
    EXPECT_EQ(e->message(), none);
}

TEST_F(StatusStripTest, NoticeOnBothFaces)
{
    StatusStrip strip(app, hooks());
    app.flash(QStringLiteral("Saved Card.velkfolio"));
    EXPECT_TRUE(shown(strip.notice(), &strip));
    EXPECT_EQ(strip.notice()->label()->text(), QStringLiteral("Saved Card.velkfolio"));
    EXPECT_EQ(strip.notice()->lamp()->colour(), LWStyle::moss());
    app.setNotice(std::nullopt);
    EXPECT_FALSE(shown(strip.notice(), &strip));

    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    app.flash(QStringLiteral("Saved Card.velkfolio"));
    EXPECT_TRUE(shown(strip.notice(), &strip));
    EXPECT_TRUE(shown(strip.editorStatus(), &strip));
    app.setNotice(std::nullopt);
    EXPECT_FALSE(shown(strip.notice(), &strip));
}
