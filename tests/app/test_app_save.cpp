#include "app_fixture.h"

#include <QDir>
#include <memory>

using Answer = LWPrompts::Answer;

TEST_F(AppTest, FirstSaveNamesAnUntitledDesignAfterItsFile)
{
    const struct {
        QString name, file, expected;
    } cases[] = {
        {QStringLiteral("Untitled"), QStringLiteral("Spring Sale.velkfolio"), QStringLiteral("Spring Sale")},
        {QStringLiteral("Untitled"), QStringLiteral("Spring.Sale.velkfolio"), QStringLiteral("Spring.Sale")},
        {QStringLiteral("untitled"), QStringLiteral("a.velkfolio"), QStringLiteral("untitled")},
        {QStringLiteral("Untitled "), QStringLiteral("b.velkfolio"), QStringLiteral("Untitled ")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        app.setEditor(nullptr);
        LWEditor *editor = newDirty(c.name);
        const bool couldUndo = editor->canUndo();
        prompts->script = {ScriptedPrompts::saveStep(url(c.file))};
        EXPECT_TRUE(app.save());
        EXPECT_EQ(prompts->calls.constLast().value(1), c.name);
        EXPECT_EQ(editor->doc().name, c.expected);
        EXPECT_EQ(editor->canUndo(), couldUndo);
        EXPECT_FALSE(editor->dirty());
        EXPECT_EQ(editor->fileURL(), url(c.file));
        EXPECT_EQ(app.notice(), QStringLiteral("Saved ") + c.file);
        const auto written = LWDocumentIO::open(url(c.file));
        ASSERT_TRUE(written.ok());
        EXPECT_EQ(written.value().name, c.expected);
        EXPECT_EQ(written.value().bleed, 12);
    }
}

TEST_F(AppTest, SavePanelProposesAUsableName)
{
    const QPair<QString, QString> cases[] = {
        {QString(), QStringLiteral("Untitled")},
        {QStringLiteral("A/B"), QStringLiteral("A-B")},
        {QStringLiteral("A") + QChar(0) + QStringLiteral("B/"), QStringLiteral("A-B-")},
        {QStringLiteral("Café · Menu"), QStringLiteral("Café · Menu")},
    };
    for (const auto &[name, proposed] : cases) {
        app.setEditor(nullptr);
        newDirty(name);
        prompts->script = {ScriptedPrompts::saveStep(std::nullopt)};
        EXPECT_FALSE(app.saveAs());
        EXPECT_EQ(prompts->calls.constLast(),
                  QStringList({QStringLiteral("save"), proposed,
                               QStringLiteral("Save your design. Everything (pictures too) is kept in this one file.")}));
        EXPECT_TRUE(app.editor()->dirty());
    }
}

TEST_F(AppTest, SaveWithoutEditorDoesNothing)
{
    EXPECT_FALSE(app.save());
    EXPECT_FALSE(app.saveAs());
    EXPECT_TRUE(prompts->calls.isEmpty());
}

TEST_F(AppTest, SaveWritesAKnownFileSilently)
{
    LWEditor *editor = openDirty(QStringLiteral("card.velkfolio"));
    EXPECT_TRUE(app.save());
    EXPECT_FALSE(editor->dirty());
    EXPECT_EQ(LWDocumentIO::open(url(QStringLiteral("card.velkfolio"))).value().bleed, 12);
    EXPECT_TRUE(prompts->calls.isEmpty());
}

TEST_F(AppTest, NoticeIsClearedOnlyByItsOwnText)
{
    const QString saved = QStringLiteral("Saved Spring Sale.velkfolio");
    app.flash(saved);
    app.flash(saved);
    ASSERT_EQ(deferred.size(), 2);
    EXPECT_EQ(deferred[0].ms, 2500);
    deferred[0].task();
    EXPECT_EQ(app.notice(), std::nullopt);
    deferred[1].task();
    EXPECT_EQ(app.notice(), std::nullopt);

    deferred.clear();
    app.flash(saved);
    app.flash(QStringLiteral("Exported card.pdf"));
    deferred[0].task();
    EXPECT_EQ(app.notice(), QStringLiteral("Exported card.pdf"));
    deferred[1].task();
    EXPECT_EQ(app.notice(), std::nullopt);
}

TEST_F(AppTest, NoticeTaskOutlivingTheStateDoesNothing)
{
    std::function<void()> task;
    {
        auto other = std::make_unique<LWApp>();
        other->setDefer([&](int, std::function<void()> t) { task = std::move(t); });
        other->flash(QStringLiteral("Saved x.velkfolio"));
    }
    ASSERT_TRUE(task);
    task();
}
