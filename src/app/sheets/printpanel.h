#pragma once
#include "app/printing.h"
#include "app/sheets/exportjob.h"

#include <QDialog>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

class QLabel;
class VKChromeButton;
class VKProgressBar;

// What printing shows over the window while its pages are prepared and handed over: what is
// being done, how far it got and "Cancel" (Escape too). Window-modal to its parent (free-standing
// without one); shown only while a step runs. The work runs on a thread of its own while the
// interface thread turns its event loop, so the window repaints and Cancel is heard at once.
// The preparation returns once its job has ended; see hand for the hand-over. Main thread only.
class LWPrintPanel : public QDialog {
    Q_OBJECT
public:
    explicit LWPrintPanel(QWidget *parent = nullptr);

    // Starts `job` (a PDF or card sheet without a file) and shows its progress under `what`; its
    // result, or none when it was cancelled or the application is quitting.
    [[nodiscard]] std::optional<LWExportJob::Result> prepare(LWExportJob &job, const QString &what);
    // Runs `work` under `what`; its steps hear Cancel as their stop, move the bar, and once they
    // say nothing can be stopped any more, `goneText` replaces `what` and Cancel is off.
    using Work = std::function<std::optional<QString>(const LWPrintSteps &steps)>;
    struct Handed {
        std::optional<QString> answer; // the work's: none when it stopped
        bool cancelled = false;        // Cancel was pressed while it ran
    };
    // The work runs on a thread of its own and must hold copies of all it uses: when the panel's
    // window goes or the application quits meanwhile, this returns at once (nothing handed), the
    // work hears its stop and ends unwaited for.
    [[nodiscard]] Handed hand(const Work &work, const QString &what, const QString &goneText);
    // Waits at most `limit` until every hand-over left to stop on its own has ended: whether they
    // have. For the end of the program.
    [[nodiscard]] static bool waitForHandOvers(std::chrono::milliseconds limit);

    QLabel *text() const { return text_; }
    VKProgressBar *progressBar() const { return bar_; }
    VKChromeButton *cancelButton() const { return cancel_; }

public Q_SLOTS:
    // While a step runs: asks it to stop, and says so until it has; nothing once its work said
    // that nothing can be stopped any more.
    void reject() override;

private:
    void begin(const QString &what);

    QLabel *text_ = nullptr;
    VKProgressBar *bar_ = nullptr;
    VKChromeButton *cancel_ = nullptr;
    std::function<void()> stop_; // the running step's Cancel
    bool gone_ = false;          // the running step can no longer be stopped
};
