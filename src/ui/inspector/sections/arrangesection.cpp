#include "ui/inspector/sections/arrangesection.h"

#include "editor/editor.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/host/shortcuts.h"
#include "kit/paint/symbols.h"
#include "ui/inspector/buttonrow.h"
#include "ui/inspector/inspectorgroup.h"

#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

constexpr double buttonSize = 30;
constexpr int buttonGap = 5;

struct AlignRow {
    LWAlign how;
    const QString &symbol;
    const char *help;
};

const std::array<AlignRow, 6> &alignRows()
{
    static const std::array<AlignRow, 6> rows = {{
        {LWAlign::left, VKSymbols::alignLeft, "Align left edges"},
        {LWAlign::hCenter, VKSymbols::alignHCenter, "Align centers"},
        {LWAlign::right, VKSymbols::alignRight, "Align right edges"},
        {LWAlign::top, VKSymbols::alignTop, "Align top edges"},
        {LWAlign::vMiddle, VKSymbols::alignVCenter, "Align middles"},
        {LWAlign::bottom, VKSymbols::alignBottom, "Align bottom edges"},
    }};
    return rows;
}

ChromeRoundButton *button(const QString &symbol, const QString &help, std::function<void()> action)
{
    return new ChromeRoundButton(symbol, help, std::move(action), false, buttonSize);
}

} // namespace

ArrangeSection::ArrangeSection(LWEditor &editor, QWidget *parent)
    : InspectorSection(editor, parent), group_(new InspectorGroup(QStringLiteral("Align to page")))
{
    LWEditor *ed = &editor;
    for (const AlignRow &row : alignRows()) {
        const LWAlign how = row.how;
        align_ << button(row.symbol, QString::fromUtf8(row.help), [ed, how] { ed->align(how); });
    }
    distH_ = button(VKSymbols::distributeHorizontal, QStringLiteral("Space evenly left to right (3 or more items)"),
                    [ed] { ed->distribute(true); });
    distV_ = button(VKSymbols::distributeVertical, QStringLiteral("Space evenly top to bottom (3 or more items)"),
                    [ed] { ed->distribute(false); });
    duplicate_ = button(VKSymbols::squareOnSquare, LWShortcuts::help(QStringLiteral("Duplicate"), LWShortcuts::duplicate),
                        [ed] { ed->duplicate(); });
    groupButton_ = button(VKSymbols::group, LWShortcuts::help(QStringLiteral("Group"), LWShortcuts::group),
                          [ed] { ed->group(); });
    ungroup_ = button(VKSymbols::groupFill, LWShortcuts::help(QStringLiteral("Ungroup"), LWShortcuts::ungroup),
                      [ed] { ed->ungroup(); });
    lock_ = button(VKSymbols::lock, LWShortcuts::help(QStringLiteral("Lock"), LWShortcuts::lock),
                   [ed] { ed->setLocked(true); });

    group_->addRow(new ButtonRow(align_, buttonGap));
    group_->addRow(new ButtonRow({distH_, distV_, duplicate_, groupButton_, ungroup_, lock_}, buttonGap, 2));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(group_);
    refresh();
}

void ArrangeSection::refresh()
{
    const qsizetype n = editor().selection().size();
    group_->setTitle(n >= 2 ? QStringLiteral("Align & distribute") : QStringLiteral("Align to page"));
    const QString suffix = n == 1 ? QStringLiteral(" (to the page)") : QString();
    for (qsizetype i = 0; i < align_.size(); ++i)
        align_[i]->setHelp(QString::fromUtf8(alignRows()[static_cast<size_t>(i)].help) + suffix);
    distH_->setDisabled(n < 3);
    distV_->setDisabled(n < 3);
    groupButton_->setDisabled(n < 2);
    const QList<LWElement> selected = editor().selected();
    ungroup_->setDisabled(std::none_of(selected.begin(), selected.end(),
                                       [](const LWElement &e) { return e.kind == LWElementKind::group; }));
}
