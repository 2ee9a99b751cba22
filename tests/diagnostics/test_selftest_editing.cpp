#include "diagnostics/groupfixture.h"
#include "diagnostics/groups/editingchecks.h"
#include "diagnostics/selftestgroups.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

using EditingGroups = SelfTestGroupTest;

QStringList lines(const QString &verdicts, const QStringList &labels)
{
    QStringList out;
    for (qsizetype i = 0; i < labels.size(); ++i)
        out << (verdicts.at(i) == QLatin1Char('P') ? QStringLiteral("PASS  ") : QStringLiteral("FAIL  ")) + labels[i];
    return out;
}

const QStringList undoLabels{
    QStringLiteral("6 changes (add, move, type, group, delete, background) undo one by one back to the start"),
    QStringLiteral("\u2026and redo forward again to the same result"),
    QStringLiteral("a new change after undo clears redo"),
    QStringLiteral("typing a word is one undo step, not one per letter"),
    QStringLiteral("\u2026and one undo takes the whole word back"),
    QStringLiteral("dragging (many small moves) is one undo step"),
};

const QStringList editingLabels{
    QStringLiteral("align left edges"),
    QStringLiteral("align middles"),
    QStringLiteral("distribute: equal gaps between items"),
    QStringLiteral("one item aligns to the page center"),
    QStringLiteral("group: two items become one group"),
    QStringLiteral("ungroup gives the items back, moved with the group"),
    QStringLiteral("locked: can't be moved or deleted"),
    QStringLiteral("locked items can't be picked on the page (use Layers)"),
    QStringLiteral("bring to front"),
    QStringLiteral("send to back"),
    QStringLiteral("bring forward one step"),
    QStringLiteral("copy + paste: a new item, slightly offset"),
    QStringLiteral("duplicate"),
    QStringLiteral("snapping: a box near the center snaps to the page center"),
    QStringLiteral("snapping off: no snap"),
    QStringLiteral("resizing a rotated item keeps the opposite corner in place"),
    QStringLiteral("Shift-resize keeps proportions"),
    QStringLiteral("guides are added and act as snap targets"),
    QStringLiteral("change size (landscape) with content scaled to fit"),
    QStringLiteral("flyers can get a back side"),
};

const QStringList pictureLabels{
    QStringLiteral("dropping a picture on an empty photo frame fills that frame"),
    QStringLiteral("sharpness read-out: 900 px across a 200 pt (2.78 in) frame filled = 324 DPI"),
    QStringLiteral("a new picture comes in at its 300 DPI print size (900 \u00D7 600 px = 3 \u00D7 2 in)"),
    QStringLiteral("picture draws upright: red half on the left, blue half on the right"),
    QStringLiteral("crop left 50%: only the blue half is left"),
    QStringLiteral("circle mask: corners are cut away, the middle shows"),
    QStringLiteral("\"Show it all\": the whole picture fits inside, with space above and below"),
    QStringLiteral("a file that isn't a picture is refused with a message"),
};

TEST_F(EditingGroups, RealEnginePassesEveryCheckAndLeavesTheClipboardAlone)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("the user's own text"));

    const QStringList got = checks({LWSelfTest::undoRedo, LWSelfTest::editing, LWSelfTest::pictures});
    EXPECT_EQ(got, lines(QString(34, QLatin1Char('P')), undoLabels + editingLabels + pictureLabels));
    EXPECT_EQ(clipboard->text(), QStringLiteral("the user's own text"));
}

TEST_F(EditingGroups, MissingPrerequisitesFailOnlyTheirChecks)
{
    struct Case {
        const char *name;
        LWSelfTest::Group group;
        QString verdicts;
        QStringList labels;
    };
    const LWDocument blankCard = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    const QList<Case> cases{
        {"cards without a text item or any element",
         [blankCard](LWTestRun &run) { LWSelfTest::undoRedoChecks(run, blankCard, blankCard); }, QStringLiteral("FFPFFF"),
         undoLabels},
        {"no flyer design", [](LWTestRun &run) { LWSelfTest::editingChecks(run, std::nullopt); },
         QString(19, QLatin1Char('P')) + QLatin1Char('F'), editingLabels},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(checks({c.group}), lines(c.verdicts, c.labels));
    }
}

} // namespace
