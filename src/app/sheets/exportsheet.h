#pragma once
#include "app/sheets/exportjob.h"
#include "render/sheet.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class LCDReadout;
class LED;
class LWApp;
class LWEditor;
class LabeledSlider;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class SegmentedPicker;
class VKChromeButton;
class VKProgressBar;
struct LWDocument;

// The export sheet: print PDF, JPEG or PNG per page, or the 10-up card sheet of the open design,
// written where the user chooses. Window-modal, 560 wide. Resolution and bleed are settings
// (written at each change); format, sides and quality start afresh with every sheet. The
// print-check count, the card-sheet layout and the sides follow the design while open.
// Return runs "Export…" when it is enabled, Escape closes. The sheet stays open after an export.
// It keeps one size in every format (the largest), its rows in fixed places.
// The files are made off the interface thread from the design as it was when the user chose
// where: meanwhile the footer shows the progress and "Cancel" (Escape cancels too), and the
// options, "Review" and "Export…" wait. Deleting the sheet ends its export first, unless it was
// handed on to the sheet over a window that replaces a lost one. The sheet keeps the keyboard
// through its save panel (its child), the export and its end.
class ExportSheet : public QDialog {
    Q_OBJECT
public:
    enum class Fmt { pdf, jpeg, png, sheet };
    static QString rawValue(Fmt format); // "PDF", "JPEG", "PNG", "10-up Card Sheet"

    static inline const QString failedTitle = QStringLiteral("Export didn't finish");
    static inline const QString nothingDrawn =
        QStringLiteral("Nothing could be drawn for this export, so no file was written.");
    // After an export whose file shows a picture as the placeholder or only in part.
    static inline const QString undrawnTitle = QStringLiteral("Exported, but not every picture was drawn");

    // Opens a folder in the file manager; replaceable for tests (empty restores the default).
    using FolderOpener = std::function<void(const QString &folder)>;
    static void setFolderOpener(FolderOpener opener);

    ExportSheet(LWApp &app, LWEditor *editor, QWidget *parent = nullptr);
    ~ExportSheet() override;

    Fmt format() const { return format_; }
    void setFormat(Fmt format);
    int dpi() const { return dpi_; }
    bool bleed() const { return bleed_; }
    int sides() const { return sides_; }
    void setSides(int sides);
    double quality() const { return quality_; }
    // The first file the last successful export wrote.
    std::optional<QString> exportedFile() const { return done_; }

    // Every page for "Both" or a side that names no page, else that one page.
    QList<int> pages() const;
    QStringList summary() const;
    int reviewCount() const { return reviewCount_; }
    bool sheetOK() const { return layout_.has_value(); }

    // Asks where, then starts writing; see the .cpp for the files and the messages.
    void runExport();
    bool exporting() const { return job_ != nullptr; }
    // Stops a running export without waiting for its thread: nothing more is reported, and no file
    // of it is put in place unless it was already being put in place.
    void endExport();
    // Hands a running export on to the sheet that comes back over a new window (the window was
    // lost, not closed): it goes on meanwhile and still says how it ended.
    void parkExport();
    // What an export's end tells the user: its notice, or an alert naming the cause.
    static void announce(LWApp &app, const LWExportJob::Result &result);

    // A file-name part from a user's text: "/", "\" and control characters become "-", leading
    // dots and blanks go.
    [[nodiscard]] static QString cleanName(const QString &name);
    // The files of a raster export of several pages, in `pages` order: beside `chosen`, its name
    // without extension, " - ", the page's cleaned name in lower case ("page N" when empty; a
    // repeated one gets " 2", " 3" …), "." and `ext`.
    [[nodiscard]] static QStringList pageFiles(const QString &chosen, const LWDocument &doc, const QList<int> &pages,
                                               const QString &ext);

    // For tests.
    SegmentedPicker *formatPicker() const { return formatPicker_; }
    SegmentedPicker *sidesPicker() const { return sidesPicker_; }
    QCheckBox *pdfBleedBox() const { return pdfBleed_; }
    QCheckBox *rasterBleedBox() const { return rasterBleed_; }
    QComboBox *resolutionBox() const { return resolution_; }
    LabeledSlider *qualitySlider() const { return qualitySlider_; }
    QLabel *sheetText() const { return sheetText_; }
    LCDReadout *readout() const { return readout_; }
    LED *lamp() const { return lamp_; }
    QLabel *checkText() const { return checkText_; }
    QPushButton *reviewButton() const { return review_; }
    VKChromeButton *showButton() const { return show_; }
    VKChromeButton *closeButton() const { return close_; }
    VKChromeButton *exportButton() const { return export_; }
    VKChromeButton *cancelButton() const { return cancel_; }
    VKProgressBar *progressBar() const { return progress_; }
    QLabel *progressText() const { return progressText_; }

public Q_SLOTS:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *buildOptions();
    // The JPEG or PNG look of the raster options: quality slider and note.
    void showRasterOptions();
    void setDpi(int dpi);
    void setBleed(bool bleed);
    void refreshDoc();  // after a change of the design
    void refreshCheck(); // the print check's line, pictures not known yet asked for beside
    void refreshView(); // after a change of any option
    void rebuildSides(const QStringList &names);
    void start(const LWDocument &doc, const QString &chosen);
    void progressed(int file, int files, double done);
    void finished(const LWExportJob::Result &result);
    // Shows the job's progress and end in this sheet.
    void watch(LWExportJob *job, int files);
    // Back to the sheet when the keyboard went to the window under it (or, as its save panel
    // closed, nowhere); once no export runs, to the control that had it when Export was asked
    // for, else to the Export button (else Close) when no visible control has it.
    void takeKeyboard(bool panelClosed);
    // Why a JPEG or PNG of this size cannot be made (the note that replaces the format's text
    // while Export is disabled), or empty.
    QString rasterOverLimit() const;

    LWApp &app_;
    QPointer<LWEditor> editor_;
    Fmt format_ = Fmt::pdf;
    int dpi_ = 300;
    bool bleed_ = true;
    int sides_ = -1;
    double quality_ = 0.92;
    std::optional<QString> done_;
    int reviewCount_ = 0;
    bool checking_ = false; // pictures still being checked
    bool checkQueued_ = false;
    std::optional<LWExport::SheetLayout> layout_;
    QStringList pageNames_;

    SegmentedPicker *formatPicker_ = nullptr;
    QWidget *options_ = nullptr;
    QWidget *pdfBox_ = nullptr;
    QWidget *rasterBox_ = nullptr;
    QWidget *sheetBox_ = nullptr;
    QCheckBox *pdfBleed_ = nullptr;
    QCheckBox *rasterBleed_ = nullptr;
    QComboBox *resolution_ = nullptr;
    LabeledSlider *qualitySlider_ = nullptr;
    QLabel *rasterNote_ = nullptr;
    QLabel *sheetText_ = nullptr;
    QVBoxLayout *sidesHolder_ = nullptr;
    SegmentedPicker *sidesPicker_ = nullptr;
    LCDReadout *readout_ = nullptr;
    LED *lamp_ = nullptr;
    QLabel *checkText_ = nullptr;
    QPushButton *review_ = nullptr;
    VKChromeButton *show_ = nullptr;
    VKChromeButton *close_ = nullptr;
    VKChromeButton *export_ = nullptr;
    VKChromeButton *cancel_ = nullptr;
    QWidget *progressRow_ = nullptr;
    QLabel *progressText_ = nullptr;
    VKProgressBar *progress_ = nullptr;
    LWExportJob *job_ = nullptr;
    QPointer<QWidget> keyboardAt_; // what had the keyboard when Export was asked for
};
