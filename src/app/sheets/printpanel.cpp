#include "app/sheets/printpanel.h"

#include "app/sheets/sheetparts.h"
#include "app/textlabel.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/progressbar.h"
#include "kit/theme/velkroot.h"
#include "kit/views/overhangitem.h"

#include <QAction>
#include <QEventLoop>
#include <QKeySequence>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>
#include <QCoreApplication>
#include <thread>

namespace {
constexpr int panelWidth = 440;
}

LWPrintPanel::LWPrintPanel(QWidget *parent) : QDialog(parent)
{
    auto *form = lwSheetForm(this, QStringLiteral("Print"), 14);
    text_ = lwTextLabel(QString(), 12.5, VKWeight::Semibold, std::nullopt, true, this);
    form->addWidget(text_);
    bar_ = new VKProgressBar(this);
    form->addWidget(bar_);
    auto *footer = new QHBoxLayout;
    footer->addStretch(1);
    cancel_ = new VKChromeButton(QStringLiteral("Cancel"), this);
    connect(cancel_, &QAbstractButton::clicked, this, &LWPrintPanel::reject);
    VKOverhangItem::add(footer, cancel_, VKChromeButton::shadowMargins());
    form->addLayout(footer);
    // The window's Quit is out of reach while the panel blocks it: the panel takes its key and
    // closes the window as Quit does (a hand-over then stops, and the program ends).
    auto *quit = new QAction(this);
    quit->setShortcut(QKeySequence::Quit);
    addAction(quit);
    connect(quit, &QAction::triggered, this, [this] {
        if (QWidget *owner = parentWidget())
            owner->window()->close();
    });
}

void LWPrintPanel::begin(const QString &what)
{
    vkPlain(text_, what);
    bar_->setValue(0);
    cancel_->setEnabled(true);
    lwFitDialog(this, panelWidth);
    if (!isVisible()) {
        show();
        activateWindow();
    }
    cancel_->setFocus(Qt::OtherFocusReason);
}

void LWPrintPanel::reject()
{
    if (!stop_)
        return QDialog::reject();
    if (gone_)
        return;
    stop_();
    cancel_->setEnabled(false);
    vkPlain(text_, QStringLiteral("Cancelling\u2026"));
}

std::optional<LWExportJob::Result> LWPrintPanel::prepare(LWExportJob &job, const QString &what)
{
    begin(what);
    std::optional<LWExportJob::Result> result;
    QEventLoop loop;
    // The panel may go with its window meanwhile: the loop ends, and nothing of it is touched.
    const QPointer<LWPrintPanel> self(this);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    connect(&job, &LWExportJob::progressed, this,
            [this](int file, int files, double done) {
                if (cancel_->isEnabled())
                    bar_->setValue((file + done) / std::max(files, 1));
            });
    connect(&job, &LWExportJob::finished, &loop, [&](const LWExportJob::Result &r) {
        result = r;
        loop.quit();
    });
    stop_ = [&job] { job.cancel(); };
    job.start();
    loop.exec();
    job.disconnect(&loop);
    if (!result)
        job.end(); // the application is quitting: waited for, as its Cancel is heard at once
    if (!self)
        return std::nullopt;
    job.disconnect(this);
    stop_ = {};
    hide();
    if (!result || result->cancelled)
        return std::nullopt;
    return result;
}

bool LWPrintPanel::waitForHandOvers(std::chrono::milliseconds limit)
{
    return LWPrinting::Unfinished::waitForAll(limit);
}

LWPrintPanel::Handed LWPrintPanel::hand(const Work &work, const QString &what, const QString &goneText)
{
    begin(what);
    // Shared with the work's thread, which may outlive this call: when the panel goes or the
    // application quits, the work is told to stop and left to end by itself.
    struct Shared {
        std::atomic<bool> stop{false};
        std::atomic<bool> cancelled{false};
        std::atomic<int> shown{0}; // in thousandths, so that the bar is not asked more often
        std::optional<QString> answer; // these two on the interface thread only
        bool done = false;
        QPointer<QEventLoop> waiter;
    };
    const auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    shared->waiter = &loop;
    const QPointer<LWPrintPanel> self(this);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    stop_ = [shared] {
        shared->stop = true;
        shared->cancelled = true;
    };
    gone_ = false;
    // The work's news goes to the interface thread only while someone waits for it there.
    const auto post = [shared](auto call) {
        QMetaObject::invokeMethod(
            qApp,
            [shared, call] {
                if (shared->waiter)
                    call();
            },
            Qt::QueuedConnection);
    };
    LWPrintSteps steps;
    steps.stop = &shared->stop;
    steps.progress = [shared, self, post](double done) {
        const int now = int(std::clamp(done, 0.0, 1.0) * 1000);
        if (shared->shown.exchange(now) != now)
            post([self, now] {
                if (self && self->cancel_->isEnabled())
                    self->bar_->setValue(now / 1000.0);
            });
    };
    steps.gone = [self, goneText, post] {
        post([self, goneText] {
            if (!self || self->gone_)
                return;
            self->gone_ = true;
            self->cancel_->setEnabled(false);
            vkPlain(self->text_, goneText);
        });
    };
    std::thread([shared, work = Work(work), steps, post, counted = std::make_unique<LWPrinting::Unfinished>()]() mutable {
        std::optional<QString> answer = work(steps);
        post([shared, answer] {
            shared->answer = answer;
            shared->done = true;
            shared->waiter->quit();
        });
        // What the work holds goes before the hand-over counts as ended.
        work = {};
        steps = {};
        counted.reset();
    }).detach();
    // The answer ends the loop; anything else that ends it (the panel's window gone, the
    // application quitting) leaves the work to stop on its own, unwaited for.
    loop.exec();
    shared->waiter = nullptr;
    if (!shared->done)
        shared->stop = true;
    if (!self)
        return {};
    stop_ = {};
    gone_ = false;
    hide();
    if (!shared->done)
        return {};
    return {shared->answer, shared->cancelled};
}
