#include "diagnostics/groupfixture.h"
#include "diagnostics/groups/editingchecks.h"
#include "diagnostics/selftestgroups.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

using EditingGroups = SelfTestGroupTest;

TEST_F(EditingGroups, CopyAndPasteLeaveTheUsersClipboardAlone)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("the user's own text"));
    EXPECT_EQ(verdicts(checks({LWSelfTest::undoRedo, LWSelfTest::editing, LWSelfTest::pictures})), QString(34, u'P'));
    EXPECT_EQ(clipboard->text(), QStringLiteral("the user's own text"));
}

TEST_F(EditingGroups, MissingPrerequisitesFailOnlyTheirChecks)
{
    const LWDocument blankCard = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    // Cards without a text item or any element; no flyer design.
    EXPECT_EQ(verdicts(checks({[blankCard](LWTestRun &run) { LWSelfTest::undoRedoChecks(run, blankCard, blankCard); }})),
              QStringLiteral("FFPFFF"));
    EXPECT_EQ(verdicts(checks({[](LWTestRun &run) { LWSelfTest::editingChecks(run, std::nullopt); }})),
              QString(19, u'P') + u'F');
}

} // namespace
