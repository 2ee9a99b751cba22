#include "app_fixture.h"

#include "app/sheets/preflightsheet.h"
#include "app/sheets/sheetparts.h"
#include "app/sheets/sheetpresenter.h"
#include "kit/controls/chromebutton.h"
#include "kit/help/help.h"
#include "kit/cabinet/led.h"
#include "kit/theme/style.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

using Issue = LWExport::Issue;
using Level = LWExport::Issue::Level;

LWElement frame(const QString &name, double x = 20)
{
    return LWElement::makePhoto(LWRect(x, 20, 40, 40), LWMask::none, 0, name);
}

LWElement hiddenFrame()
{
    LWElement e = frame(QStringLiteral("Hidden"));
    e.hidden = true;
    return e;
}

Issue issue(Level level, int page, std::optional<QUuid> id = std::nullopt, const char *message = "x")
{
    return Issue(level, page, id, QString::fromLatin1(message));
}

// A card with these elements on its front and back.
LWDocument card(const QList<LWElement> &front, const QList<LWElement> &back = {})
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    doc.pages[0].elements = front;
    doc.pages[1].elements = back;
    return doc;
}

} // namespace

using PreflightTest = AppTest;

TEST(PreflightSort, ProblemsThenWarningsThenInfosInFoundOrder)
{
    QStringList order;
    for (const Issue &i : PreflightSheet::sorted({issue(Level::info, 0, {}, "info"),
                                                  issue(Level::problem, 0, {}, "problem A"),
                                                  issue(Level::warning, 0, {}, "warning"),
                                                  issue(Level::problem, 1, {}, "problem B")}))
        order.append(i.message);
    EXPECT_EQ(order, (QStringList{"problem A", "problem B", "warning", "info"}));
}

TEST_F(PreflightTest, VerdictSealAndLamps)
{
    const struct {
        const char *name;
        LWDocument doc;
        QString verdict;
        QColor seal;
        QList<QColor> lamps;
    } cases[] = {
        {"clean", card({}), "Ready to print. Nothing to report.", LWStyle::moss(), {}},
        {"infos only", card({hiddenFrame()}), "Ready to print. A few notes below.", LWStyle::moss(), {LWStyle::moss()}},
        {"one warning", card({frame("A")}), "1 thing to look at before printing.", LWStyle::amber(), {LWStyle::amber()}},
        {"two warnings and an info", card({hiddenFrame(), frame("A")}, {frame("B")}),
         "2 things to look at before printing.", LWStyle::amber(),
         {LWStyle::amber(), LWStyle::amber(), LWStyle::moss()}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PreflightSheet sheet(openNew(c.doc));
        EXPECT_EQ(sheet.verdictLabel()->text(), c.verdict);
        EXPECT_EQ(sheet.seal()->colour(), c.seal);
        QList<QColor> lamps;
        for (const PreflightSheet::Row &row : sheet.rows())
            lamps.append(row.lamp->colour());
        EXPECT_EQ(lamps, c.lamps);
    }
    // A problem lights ruby.
    PreflightSheet sheet(openNew(card({})));
    sheet.setIssues({issue(Level::problem, 0)});
    EXPECT_EQ(sheet.rows().value(0).lamp->colour(), LWStyle::ruby());
}

TEST_F(PreflightTest, RowsNamePagesOnlyForSeveralShowOnlyForItemsAndFollowTheDesign)
{
    PreflightSheet one(openNew(LWDocument::blank(LWSizePreset::letter, std::nullopt)));
    one.setIssues({issue(Level::warning, 0, QUuid::createUuid())});
    ASSERT_EQ(one.rows().size(), 1);
    EXPECT_EQ(one.rows()[0].page, nullptr);
    EXPECT_NE(one.rows()[0].show, nullptr);

    const LWElement flagged = frame("A");
    LWEditor *editor = openNew(card({flagged}, {frame("B")}));
    PreflightSheet two(editor);
    QStringList pages;
    for (const PreflightSheet::Row &row : two.rows())
        pages.append(row.page ? row.page->text() : QStringLiteral("none"));
    EXPECT_EQ(pages, (QStringList{"Front", "Back"}));
    editor->setSelection({flagged.id});
    editor->deleteSelection();
    EXPECT_EQ(two.rows().size(), 1);
    two.setIssues({issue(Level::info, 1)});
    ASSERT_EQ(two.rows().size(), 1);
    EXPECT_EQ(two.rows()[0].show, nullptr);
}

TEST_F(PreflightTest, ShowSelectsTheItemOnItsSideAndCloses)
{
    const LWElement back = frame("Back item"), a = frame("A", 10), b = frame("B", 100);
    LWEditor *editor = openNew(card({}, {back, a, b}));
    editor->switchSide(1);
    editor->setSelection({a.id, b.id});
    editor->group();
    const QUuid group = editor->selection().value(0);
    editor->switchSide(0);

    QWidget window;
    LWSheetPresenter presenter(app, &window);
    const struct {
        const char *name;
        Issue issue;
        std::optional<QUuid> selected; // none: nothing changes, the sheet stays
    } cases[] = {
        {"an item on the back", issue(Level::warning, 1, back.id), back.id},
        {"a member of a group", issue(Level::warning, 1, b.id), group},
        {"page 5 of a card", issue(Level::warning, 5, back.id), std::nullopt},
        {"an item gone from its page", issue(Level::warning, 0, back.id), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        editor->switchSide(0);
        app.setSheet(LWAppSheet::preflight);
        QPointer<PreflightSheet> sheet = qobject_cast<PreflightSheet *>(presenter.dialog());
        ASSERT_TRUE(sheet);
        sheet->showIssue(c.issue);
        runPosted();
        if (c.selected) {
            EXPECT_EQ(editor->side(), 1);
            EXPECT_EQ(editor->selection(), QList<QUuid>{*c.selected});
            EXPECT_TRUE(sheet.isNull());
            EXPECT_FALSE(app.sheet());
        } else {
            EXPECT_EQ(editor->side(), 0);
            EXPECT_TRUE(editor->selection().isEmpty());
            ASSERT_TRUE(sheet);
            EXPECT_EQ(app.sheet(), LWAppSheet::preflight);
            sheet->doneButton()->click();
            runPosted();
            EXPECT_FALSE(app.sheet());
        }
    }
}

TEST_F(PreflightTest, HelpOpensThePreflightTopicAndReturnIsDone)
{
    std::optional<QString> topic;
    VELKHelp::setOpener([&topic](const std::optional<QString> &id) { topic = id; });
    PreflightSheet sheet(openNew(card({})));
    sheet.open();
    sheet.helpButton()->click();
    VELKHelp::setOpener({});
    EXPECT_EQ(topic, QStringLiteral("preflight"));
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}
