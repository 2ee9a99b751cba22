#pragma once
#include "app/app.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <optional>



// Shows the app's sheet as a window-modal dialog over `window` (the main window, never a widget
// inside the zoom host). Every assignment of the sheet is looked at: the case on show keeps its
// dialog, another case closes it (without telling the app) and opens its own. Closing a dialog
// sets the sheet to none only while the sheet still names that dialog. The sheets of the open
// design (export, preflight, size) need an editor: without one the sheet goes back to none, and
// a replaced editor closes its sheet. A closed export sheet ends its export before the call
// returns. A window lost (not closed by the user) hands a running export on to the sheet over the
// window that replaces it. A sheet opened while the window has the keyboard takes it at once: the
// keys that work its controls reach it also while the system still sends them to the window.
// Main thread only.
class LWSheetPresenter : public QObject {
    Q_OBJECT
public:
    LWSheetPresenter(LWApp &app, QWidget *window);
    ~LWSheetPresenter() override;

    QDialog *dialog() const { return dialog_; }
    std::optional<LWAppSheet> shown() const { return dialog_ ? shown_ : std::nullopt; }
    // The window is lost: closes the dialog without telling the state, hands its export on, and
    // follows the state no more.
    void handOver();

private:
    void sync();
    void editorReplaced();
    void dismiss(bool windowLost = false);
    // Never null.
    [[nodiscard]] QDialog *make(LWAppSheet sheet, LWEditor *editor);

    LWApp &app_;
    QPointer<QWidget> window_;
    QPointer<QDialog> dialog_;
    std::optional<LWAppSheet> shown_;
    QPointer<LWEditor> editor_; // the editor the dialog was made for
};
