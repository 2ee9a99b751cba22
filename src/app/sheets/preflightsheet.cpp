#include "app/sheets/preflightsheet.h"

#include "app/sheets/sheetparts.h"
#include "app/textlabel.h"
#include "editor/editor.h"
#include "kit/controls/chromebutton.h"
#include "kit/help/help.h"
#include "kit/cabinet/led.h"
#include "kit/views/overhangitem.h"
#include "kit/paint/paint.h"
#include "kit/views/scrollstyle.h"
#include "kit/views/scrollview.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/theme/velkroot.h"
#include "model/document.h"
#include "render/pictures/picturequeue.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

using Issue = LWExport::Issue;
using Level = LWExport::Issue::Level;

constexpr int sheetWidth = 580;

// A row's plate: black at 20 % on continuous corners of radius 10.
class Plate : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(VKPaint::roundedRect(QRectF(rect()), 10), QColor(0, 0, 0, 51));
    }
};

QColor levelColour(const Issue &issue)
{
    if (issue.checking)
        return LWStyle::t().dim;
    switch (issue.level) {
    case Level::problem:
        return LWStyle::ruby();
    case Level::warning:
        return LWStyle::amber();
    case Level::info:
        break;
    }
    return LWStyle::moss();
}

qsizetype reviewCount(const QList<Issue> &issues)
{
    return std::count_if(issues.begin(), issues.end(), [](const Issue &i) { return i.level != Level::info; });
}

// The top-level element of `page` whose subtree holds `id`.
std::optional<QUuid> topLevelHolding(const LWPage &page, const QUuid &id)
{
    const std::function<bool(const LWElement &)> holds = [&](const LWElement &e) {
        if (e.id == id)
            return true;
        if (e.children)
            for (const LWElement &child : *e.children)
                if (holds(child))
                    return true;
        return false;
    };
    for (const LWElement &e : page.elements)
        if (holds(e))
            return e.id;
    return std::nullopt;
}

} // namespace

PreflightSheet::PreflightSheet(LWEditor *editor, QWidget *parent) : QDialog(parent), editor_(editor)
{
    auto *form = lwSheetForm(this, QStringLiteral("Preflight"), 12);


    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    seal_ = new LWSymbolLabel(VKSymbols::checkmarkSeal, 20, LWStyle::moss(), this);
    header->addWidget(seal_);
    header->addWidget(lwTextLabel(QStringLiteral("Preflight \u2014 print check"), 20, VKWeight::Heavy));
    header->addStretch(1);
    form->addLayout(header);

    verdict_ = lwTextLabel(QString(), 13, VKWeight::Semibold);
    form->addWidget(verdict_);

    list_ = new VKScrollView(nullptr, this);
    list_->setFixedHeight(320);
    // No Tab stop of its own, which would show no focus: Tab goes through its rows' buttons, and
    // the list scrolls to the one that has the keyboard.
    list_->setFocusPolicy(Qt::NoFocus);
    form->addWidget(list_);

    form->addWidget(lwTextLabel(
        QStringLiteral("What it checks: words inside the safe area, text that doesn't fit its box, picture sharpness "
                       "(300 DPI), empty photo frames, sample text left in place, shapes that stop short of the "
                       "bleed, hidden items and missing fonts."),
        10.5, VKWeight::Normal, LWStyle::t().dim, true));

    auto *footer = new QHBoxLayout;
    help_ = lwLinkButton(QStringLiteral("Preflight help"), 12, this);
    connect(help_, &QPushButton::clicked, this, [] { VELKHelp::show(QStringLiteral("preflight")); });
    help_->installEventFilter(this); // Return is "Done" here too: Space opens the help
    footer->addWidget(help_, 0, Qt::AlignVCenter);
    footer->addStretch(1);
    done_ = new VKChromeButton(QStringLiteral("Done"), this);
    done_->setProminent(true);
    connect(done_, &QAbstractButton::clicked, this, &QDialog::accept);
    VKOverhangItem::add(footer, done_, VKChromeButton::shadowMargins());
    form->addLayout(footer);

    if (editor_)
        connect(editor_, &LWEditor::docChanged, this, &PreflightSheet::refresh);
    // Pictures checked beside the window: the list follows as their answers come, a few at once.
    answers_.setSingleShot(true);
    answers_.setInterval(50);
    connect(&answers_, &QTimer::timeout, this, &PreflightSheet::refresh);
    connect(&LWPictureQueue::shared(), &LWPictureQueue::finished, this, [this] {
        if (checking_ && !answers_.isActive())
            answers_.start();
    });
    refresh();
    lwFitDialog(this, sheetWidth);
    // The keyboard starts on the default button, not on the first control (the help link).
    done_->setFocus(Qt::OtherFocusReason);
}

QList<Issue> PreflightSheet::sorted(QList<Issue> issues)
{
    std::stable_sort(issues.begin(), issues.end(), [](const Issue &a, const Issue &b) { return a.level > b.level; });
    return issues;
}

QString PreflightSheet::verdict(const QList<Issue> &issues)
{
    const qsizetype n = reviewCount(issues);
    if (LWExport::checking(issues))
        return n > 0 ? QString::number(n) + (n == 1 ? QStringLiteral(" thing") : QStringLiteral(" things")) +
                           QStringLiteral(" to look at so far; still checking pictures\u2026")
                     : QStringLiteral("Checking pictures\u2026");
    if (n > 0)
        return QString::number(n) + (n == 1 ? QStringLiteral(" thing") : QStringLiteral(" things")) +
               QStringLiteral(" to look at before printing.");
    return QStringLiteral("Ready to print. ") +
           (issues.isEmpty() ? QStringLiteral("Nothing to report.") : QStringLiteral("A few notes below."));
}

void PreflightSheet::refresh()
{
    setIssues(editor_ ? LWExport::preflightSoon(editor_->doc()) : QList<Issue>());
    checking_ = LWExport::checking(issues_);
}

void PreflightSheet::setIssues(const QList<Issue> &issues)
{
    issues_ = sorted(issues);
    checking_ = false; // findings set from outside stay until the design changes
    seal_->setColour(reviewCount(issues_) > 0   ? LWStyle::amber()
                     : LWExport::checking(issues_) ? LWStyle::t().dim
                                                  : LWStyle::moss());
    vkPlain(verdict_, verdict(issues_));

    rows_.clear();
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, VKScrollStyle::clearance, 0);
    column->setSpacing(6);
    const bool pageNames = editor_ && editor_->doc().pages.size() >= 2;
    for (const Issue &issue : issues_)
        column->addWidget(makeRow(issue, pageNames, content));
    column->addStretch(1);
    list_->setContent(content);
}

QWidget *PreflightSheet::makeRow(const Issue &issue, bool pageNames, QWidget *parent)
{
    Row row;
    auto *plate = new Plate(parent);
    auto *line = new QHBoxLayout(plate);
    line->setContentsMargins(8, 8, 8, 8);
    line->setSpacing(8);

    row.lamp = new LED(levelColour(issue), true, 8, plate);
    auto *lampBox = new QVBoxLayout;
    lampBox->setContentsMargins(0, 3, 0, 0);
    VKOverhangItem::add(lampBox, row.lamp, LED::shadowMargins());
    lampBox->addStretch(1);
    line->addLayout(lampBox);

    auto *text = new QVBoxLayout;
    text->setSpacing(2);
    row.message = lwTextLabel(issue.message, 12, VKWeight::Normal, std::nullopt, true, plate);
    row.message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->addWidget(row.message);
    if (pageNames && editor_) {
        const QList<LWPage> &pages = editor_->doc().pages;
        const QString name = issue.page >= 0 && issue.page < pages.size() ? pages[issue.page].name : QString();
        row.page = lwTextLabel(name, 10, VKWeight::Normal, LWStyle::t().dim, false, plate);
        text->addWidget(row.page);
    }
    text->addStretch(1);
    line->addLayout(text, 1);

    if (issue.elementID) {
        row.show = new VKChromeButton(QStringLiteral("Show"), plate);
        row.show->setCompact(true);
        connect(row.show, &QAbstractButton::clicked, this, [this, issue] { showIssue(issue); });
        row.show->installEventFilter(this);
        line->addWidget(row.show, 0, Qt::AlignTop);
    }
    rows_.append(row);
    return plate;
}

void PreflightSheet::showIssue(const Issue &issue)
{
    if (!editor_ || !issue.elementID || issue.page < 0 || issue.page >= editor_->doc().pages.size())
        return;
    const std::optional<QUuid> target = topLevelHolding(editor_->doc().pages[issue.page], *issue.elementID);
    if (!target)
        return;
    editor_->switchSide(issue.page);
    editor_->setSelection({*target});
    accept();
}

// Some platform themes let Return press the focused button: on the sheet's it is still "Done".
bool PreflightSheet::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && lwIsReturn(static_cast<QKeyEvent *>(event))) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void PreflightSheet::keyPressEvent(QKeyEvent *event)
{
    if (lwIsReturn(event)) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
