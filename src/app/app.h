#pragma once
#include "app/printing.h"
#include "app/prompts.h"
#include "editor/editor.h"
#include "model/file/fileaccess.h"
#include "model/enums.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class LWPrintPanel;
struct LWTemplate;

// The screen the main window shows.
LW_ENUM(LWAppScreen, start, templates, editor);

// The modal sheet over the window. Stored texts "export", "preflight", "size", "newCustom"
// (the first case cannot be named after its text, which is a C++ keyword).
enum class LWAppSheet { exportSheet, preflight, size, newCustom };

// The application's state: the screen, the open design, the sheet, the status notice; and every
// flow that creates, replaces, opens, saves, closes or prints the design, with the unsaved-changes
// question guarding them. Failures reach the user as alerts; no flow fails to its caller
// silently. Main thread only.
//
// Every assignment of a published field emits its signal, equal value or not. The state owns its
// editor: a replaced one is deleted later, after editorChanged, so that observers may still read
// it. While VELKTestFlags::running, no prompt is used: alerts and the questions become console
// lines (the unsaved-changes question answers "Don't Save", the changed-on-disk question "Save
// Anyway"), panels print their message and count as cancelled, and printing prints a line instead.
class LWApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(LWAppScreen screen READ screen WRITE setScreen NOTIFY screenChanged)
    Q_PROPERTY(LWEditor *editor READ editor WRITE setEditor NOTIFY editorChanged)
    Q_PROPERTY(std::optional<LWAppSheet> sheet READ sheet WRITE setSheet NOTIFY sheetChanged)
    Q_PROPERTY(std::optional<QString> notice READ notice WRITE setNotice NOTIFY noticeChanged)

public:
    using Screen = LWAppScreen;
    using Sheet = LWAppSheet;
    // Runs `task` on the main thread `ms` milliseconds later.
    using Defer = std::function<void(int ms, std::function<void()> task)>;
    using Console = std::function<void(const QString &line)>;

    static constexpr int noticeMs = 2500;

    // The one state of the running application, a child of the application object (made on
    // first use; the shell gives it its prompts).
    static LWApp &shared();
    // Qt dialogs without a parent, the CUPS backend, QTimer, standard output. The newest state
    // flashes the notice of a picture whose design was closed while it was read.
    explicit LWApp(QObject *parent = nullptr);
    ~LWApp() override;

    static QString rawValue(Sheet sheet);
    // Exact text only: "NewCustom" and "" are none.
    static std::optional<Sheet> sheetFrom(QStringView raw);
    // The file dialogs' filter: "VELK Leafwrighter Design (*.velkfolio)".
    static QString fileType();
    // The save panel's name for a design: "Untitled" for an empty name, "/" and NUL as "-".
    static QString proposedName(const QString &name);

    void setPrompts(std::shared_ptr<LWPrompts> prompts);
    void setPrintBackend(std::shared_ptr<LWPrintBackend> backend);
    void setDefer(Defer defer);
    void setConsole(Console console);

    Screen screen() const { return m_screen; }
    LWEditor *editor() const { return m_editor; }
    const std::optional<Sheet> &sheet() const { return m_sheet; }
    const std::optional<QString> &notice() const { return m_notice; }
    void setScreen(Screen screen);
    // Takes ownership; the previous editor is deleted later.
    void setEditor(LWEditor *editor);
    void setSheet(std::optional<Sheet> sheet);
    void setNotice(std::optional<QString> notice);

    // True when the open design may be dropped: none open, no unsaved changes, "Don't Save", or
    // "Save…" and the design was written.
    [[nodiscard]] bool confirmDiscard();
    // A new editor of `doc` without a file, on the editor screen, unless the question cancels.
    void newDocument(LWDocument doc);
    // The template's design is built before the question is asked.
    void newFromTemplate(const LWTemplate &t);
    // Reads the file into a new editor (also the open design's own file, afresh). A file that
    // cannot be read alerts and leaves everything as it was.
    void open(const QUrl &url);
    void openPanel();
    // True when the design was written: to its file, or else where the save panel says. A file
    // that changed on disk since it was opened or saved here is only replaced when the user says so.
    bool save();
    bool saveAs();
    void close();
    // Prints every side of the design as it is now: its print PDF at trim size, or with
    // `sheet10up` its 10-up card sheet. The pages are made first, off the interface thread, under
    // a panel with their progress and Cancel (Escape); then, under the same panel, whether the
    // printing system answers (one that does not is told, and no dialog opens); then the print
    // dialog; then the pages are handed over, off the interface thread too. Returns when the
    // print has ended; meanwhile the event loop turns. A print asked for while one runs is ignored.
    void print(bool sheet10up);
    bool printing() const { return m_printing; }
    void alert(const QString &title, const QString &message);
    // The prompts' export dialog and destructive question; while VELKTestFlags::running a
    // "PANEL: " line and cancelled.
    [[nodiscard]] std::optional<QUrl> chooseExport(const QString &proposedName, const QString &nameFilter,
                                                   const QString &suffix);
    [[nodiscard]] bool confirm(const QString &question, const QString &detail, const QString &action);
    // Shows the notice; it is cleared noticeMs later unless another text replaced it.
    void flash(const QString &text);

Q_SIGNALS:
    void screenChanged();
    void editorChanged();
    void sheetChanged();
    void noticeChanged();

private:
    // The open design's file as this state last read or wrote it.
    struct OnDisk {
        QPointer<LWEditor> editor;
        QUrl url;
        LWFileAccess::FileIdentity identity;
    };

    bool write(LWEditor &editor, const QUrl &url);
    void remember(LWEditor *editor, const QUrl &url, std::optional<LWFileAccess::FileIdentity> identity);
    // False when the file changed on disk since then and the user chose to keep those changes.
    bool mayOverwrite(const LWEditor &editor, const QUrl &url);
    // The `chosen` pages (0-based) of `data` to the printer or file the dialog set up, under
    // `panel`; tells the user why they didn't go, or that a Cancel came too late to stop them.
    void deliver(LWPrintPanel &panel, const QString &title, const QByteArray &data, const QList<int> &chosen,
                 int pageCount, const std::shared_ptr<QPrinter> &printer, const LWPrinting::Settings &before);

    Screen m_screen = Screen::start;
    QPointer<LWEditor> m_editor;
    std::optional<Sheet> m_sheet;
    std::optional<QString> m_notice;
    std::optional<OnDisk> m_onDisk;
    bool m_printing = false;

    std::shared_ptr<LWPrompts> m_prompts;
    std::shared_ptr<LWPrintBackend> m_printBackend;
    Defer m_defer;
    Console m_console;
};
