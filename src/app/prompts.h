#pragma once
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <optional>

class QFileDialog;
class QMessageBox;
class QPrintDialog;
class QPrinter;

// Everything the document flows ask the user, so that tests can answer in their place.
// Every call is modal and returns once the user has answered. Main thread only.
class LWPrompts {
public:
    enum class Answer { save, cancel, dontSave };

    virtual ~LWPrompts() = default;
    // A failure: the title names what failed, the message says why. One OK button.
    virtual void alert(const QString &title, const QString &message) = 0;
    // The unsaved-changes question.
    [[nodiscard]] virtual Answer askToSave(const QString &question, const QString &detail) = 0;
    // Whether to save over a file that changed on disk since it was opened or saved: true for
    // "Save Anyway", false for "Cancel".
    [[nodiscard]] virtual bool askToOverwrite(const QString &question, const QString &detail) = 0;
    // A design file to open, or none when cancelled.
    [[nodiscard]] virtual std::optional<QUrl> chooseOpen(const QString &message) = 0;
    // Where to save, the proposed name already in the name field, or none when cancelled. The
    // typed name goes through finalName with the design extension. A proposed absolute path
    // starts the dialog in its folder with its name.
    [[nodiscard]] virtual std::optional<QUrl> chooseSave(const QString &proposedName, const QString &message) = 0;
    // The print dialog set up on `printer`, offering pages 1 ... pageCount; printing to a file
    // proposes `proposedFile` ("Card.pdf") in the export folder, and the file written is the
    // typed name through finalName with "pdf". False when cancelled.
    [[nodiscard]] virtual bool choosePrinter(QPrinter &printer, int pageCount, const QString &proposedFile) = 0;
    // Where to export, or none when cancelled: a save dialog offering `nameFilter` ("PNG image
    // (*.png)"); the typed name goes through finalName with `suffix` (no dot) and the filter's
    // extensions. It asks before replacing the file of the final name.
    [[nodiscard]] virtual std::optional<QUrl> chooseExport(const QString &proposedName, const QString &nameFilter,
                                                           const QString &suffix) = 0;
    // A yes-or-no question whose yes (`action`) destroys something: true for `action`, false for
    // "Cancel", the default.
    [[nodiscard]] virtual bool confirm(const QString &question, const QString &detail, const QString &action) = 0;
    // The window a flow's own panel (printing's progress) is modal to, as a dialog shown now would
    // be; none for a free-standing panel.
    [[nodiscard]] virtual QWidget *window() const { return nullptr; }
};

// The prompts as Qt dialogs, modal to the main window (or free-standing without one); while a
// sheet (or a dialog of its own) is up over the main window, they are its children, so that the
// keyboard goes back to it when they close. Open and
// first saves start in the folder designs were last opened from or saved to, exports and print
// files in the last export folder (LWFolders); the folders are remembered by whoever writes or
// reads the file, once that succeeded.
class LWQtPrompts final : public LWPrompts {
public:
    explicit LWQtPrompts(QWidget *mainWindow = nullptr);
    // The window later dialogs are modal to (a replaced main window); a dialog up stays with its own.
    void setWindow(QWidget *mainWindow) { m_window = mainWindow; }

    void alert(const QString &title, const QString &message) override;
    [[nodiscard]] Answer askToSave(const QString &question, const QString &detail) override;
    [[nodiscard]] bool askToOverwrite(const QString &question, const QString &detail) override;
    [[nodiscard]] std::optional<QUrl> chooseOpen(const QString &message) override;
    [[nodiscard]] std::optional<QUrl> chooseSave(const QString &proposedName, const QString &message) override;
    [[nodiscard]] bool choosePrinter(QPrinter &printer, int pageCount, const QString &proposedFile) override;
    [[nodiscard]] std::optional<QUrl> chooseExport(const QString &proposedName, const QString &nameFilter,
                                                   const QString &suffix) override;
    [[nodiscard]] bool confirm(const QString &question, const QString &detail, const QString &action) override;
    [[nodiscard]] QWidget *window() const override { return owner(); }

    // The dialogs as shown, not yet run; the caller owns them. Message boxes are at least
    // titleWidth() wide, so the window manager shows their whole title.
    static int titleWidth(const QMessageBox &box);
    static inline const QString replaceTitle = QStringLiteral("Replace File");
    static QMessageBox *makeAlert(QWidget *parent, const QString &title, const QString &message);
    static QMessageBox *makeQuestion(QWidget *parent, const QString &question, const QString &detail);
    // "Save Anyway" and "Cancel"; Cancel is the default, as saving would lose the other changes.
    static QMessageBox *makeOverwriteQuestion(QWidget *parent, const QString &question, const QString &detail);
    static QFileDialog *makeFileDialog(QWidget *parent, const QString &message, bool saving);
    static QFileDialog *makeExportDialog(QWidget *parent, const QString &proposedName, const QString &nameFilter,
                                         const QString &suffix);
    // `action` destructive, "Cancel" the default and the escape.
    static QMessageBox *makeConfirm(QWidget *parent, const QString &question, const QString &detail,
                                    const QString &action);
    // The print dialog as shown, not yet run: its Pages field takes "2", "1-2" and "1,2", also
    // when printing to a file, and its file field proposes `proposedFile` in the export folder
    // and shows the final name once the user leaves it.
    static QPrintDialog *makePrintDialog(QWidget *parent, QPrinter &printer, int pageCount,
                                         const QString &proposedFile);
    // The one rule for a name typed into the save, export and print-to-file dialogs, applied to
    // the name as typed (the suffix a dialog added to it taken off first). Trailing dots and
    // blanks go; a name ending in one of `extensions` (any case) is kept; another known
    // extension (pdf, velkfolio, a picture format's: png, jpg, jpeg ...) is replaced by the first
    // of `extensions`; any other name gets it added ("My.card" -> "My.card.pdf"). A name that
    // is nothing but a known extension (".pdf") gets `proposed`'s name before it, without its
    // known extension.
    static QString finalName(const QString &path, const QStringList &extensions, const QString &proposed);

private:
    // The window a dialog shown now belongs to.
    QWidget *owner() const;
    // True unless `path` exists and the user declines to replace it (asked under replaceTitle).
    bool mayReplace(const QString &path);

    QPointer<QWidget> m_window;
};
