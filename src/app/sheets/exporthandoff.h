#pragma once
#include <QObject>
#include <QPointer>

class LWApp;
class LWEditor;
class LWExportJob;

// Carries a running export from an export sheet whose window was lost to the sheet that comes
// back over the new window. While it waits, the export runs on; should it end first, its file
// and its notice or alert arrive all the same. A design closed or replaced meanwhile ends it
// without a word, as it would have ended over the old window. One per state, its child. Main
// thread only.
class LWExportHandOff : public QObject {
    Q_OBJECT
public:
    static LWExportHandOff &of(LWApp &app);

    // Takes the job (no longer connected to anything) of the export of `editor`'s design.
    void park(LWExportJob *job, LWEditor *editor);
    // The parked job of `editor`'s design, now the caller's, or null.
    [[nodiscard]] LWExportJob *take(LWEditor *editor);

private:
    explicit LWExportHandOff(LWApp &app);
    void drop();

    LWApp &app_;
    QPointer<LWExportJob> job_;
    QPointer<LWEditor> editor_;
};
