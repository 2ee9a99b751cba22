#include "app/sheets/exportsheet.h"

#include "app/app.h"
#include "app/sheets/exporthandoff.h"
#include "app/sheets/sheetparts.h"
#include "app/textlabel.h"
#include "editor/editor.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/progressbar.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/cabinet/led.h"
#include "kit/host/kithost.h"
#include "kit/views/overhangitem.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/theme/velkroot.h"
#include "model/file/fileaccess.h"
#include "model/file/folders.h"
#include "model/format.h"
#include "model/file/prefs.h"
#include "model/units.h"
#include "render/export.h"
#include "render/pictures/picturequeue.h"
#include "render/preflight.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <array>
#include <cmath>

namespace {

constexpr int sheetWidth = 560;
const QString advice = QStringLiteral("\n\nTry another folder, or check that the disk has free space.");
const std::array<QString, 4> formatTitles = {QStringLiteral("PDF"), QStringLiteral("JPEG"), QStringLiteral("PNG"),
                                             QStringLiteral("10-up Card Sheet")};

ExportSheet::FolderOpener &folderOpener()
{
    static ExportSheet::FolderOpener opener;
    return opener;
}

void openFolder(const QString &folder)
{
    if (folderOpener())
        folderOpener()(folder);
    else
        (void)VELKKitHost::openExternal(QUrl::fromLocalFile(folder));
}

QString plural(qsizetype n, const QString &word, const QString &s)
{
    return QString::number(n) + u' ' + word + (n == 1 ? QString() : s);
}

QLabel *optionText(const QString &text, QWidget *parent)
{
    return lwTextLabel(text, 12, VKWeight::Normal, LWStyle::t().text, true, parent);
}

QCheckBox *optionBox(const QString &text, QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setFont(vkFont(12));
    return box;
}

// The save dialog's filter and suffix, and the name proposed, by format.
struct Proposal {
    QString suffix, filter, tail;
};

Proposal proposal(ExportSheet::Fmt format)
{
    switch (format) {
    case ExportSheet::Fmt::jpeg:
        return {QStringLiteral("jpg"), QStringLiteral("JPEG image (*.jpg *.jpeg)"), QStringLiteral(".jpg")};
    case ExportSheet::Fmt::png:
        return {QStringLiteral("png"), QStringLiteral("PNG image (*.png)"), QStringLiteral(".png")};
    case ExportSheet::Fmt::sheet:
        return {QStringLiteral("pdf"), QStringLiteral("PDF document (*.pdf)"), QStringLiteral(" - print sheet.pdf")};
    case ExportSheet::Fmt::pdf:
        break;
    }
    return {QStringLiteral("pdf"), QStringLiteral("PDF document (*.pdf)"), QStringLiteral(".pdf")};
}

} // namespace

QString ExportSheet::rawValue(Fmt format) { return formatTitles[size_t(format)]; }

void ExportSheet::setFolderOpener(FolderOpener opener) { folderOpener() = std::move(opener); }

ExportSheet::ExportSheet(LWApp &app, LWEditor *editor, QWidget *parent) : QDialog(parent), app_(app), editor_(editor)
{
    auto *form = lwSheetForm(this, QStringLiteral("Export for print"), 14);
    // Values stored by hand that the controls cannot show read as the defaults.
    dpi_ = LWPrefs::intValue(LWPrefs::exportDPIKey) == 600 ? 600 : 300;
    bleed_ = LWPrefs::boolValue(LWPrefs::exportBleedKey);


    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(new LWSymbolLabel(VKSymbols::squareAndArrowUp, 20, LWStyle::t().accent, this));
    header->addWidget(lwTextLabel(QStringLiteral("Export for print"), 20, VKWeight::Heavy));
    header->addStretch(1);
    lamp_ = new LED(LWStyle::moss(), true, 9, this);
    header->addWidget(lamp_, 0, Qt::AlignVCenter);
    checkText_ = lwTextLabel(QString(), 11.5, VKWeight::Semibold);
    header->addWidget(checkText_, 0, Qt::AlignVCenter);
    review_ = lwLinkButton(QStringLiteral("Review"), 11.5, this);
    connect(review_, &QPushButton::clicked, &app_, [app = &app_] { app->setSheet(LWAppSheet::preflight); });
    header->addWidget(review_, 0, Qt::AlignVCenter);
    form->addLayout(header);

    formatPicker_ = new SegmentedPicker(QString(), {formatTitles.begin(), formatTitles.end()}, 0, this);
    formatPicker_->setCurrent(0);
    connect(formatPicker_, &SegmentedPicker::picked, this, [this](int i) { setFormat(Fmt(i)); });
    form->addWidget(formatPicker_);
    // The keyboard starts on the chosen format, whatever the print check shows by the time the
    // sheet is active (its "Review" comes first in Tab order): the first arrow picks a format.
    formatPicker_->segment(0)->setFocus(Qt::OtherFocusReason);

    form->addWidget(buildOptions());

    sidesHolder_ = new QVBoxLayout;
    sidesHolder_->setContentsMargins(0, 0, 0, 0);
    form->addLayout(sidesHolder_);

    readout_ = new LCDReadout({}, 440, this);
    form->addWidget(readout_);

    auto *footer = new QHBoxLayout;
    show_ = new VKChromeButton(QStringLiteral("Show in Folder"), this);
    show_->setSymbol(VKSymbols::folder);
    connect(show_, &QAbstractButton::clicked, this, [this] {
        if (done_)
            openFolder(QFileInfo(*done_).absolutePath());
    });
    VKOverhangItem::add(footer, show_, VKChromeButton::shadowMargins());
    // While an export runs, its progress takes the place of "Show in Folder" and the space.
    progressRow_ = new QWidget(this);
    auto *progressLine = new QHBoxLayout(progressRow_);
    progressLine->setContentsMargins(0, 0, 8, 0);
    progressLine->setSpacing(10);
    progressText_ = lwTextLabel(QString(), 11.5, VKWeight::Semibold, LWStyle::t().text, false, progressRow_);
    progressLine->addWidget(progressText_);
    progress_ = new VKProgressBar(progressRow_);
    progressLine->addWidget(progress_, 1);
    progressRow_->hide();
    footer->addWidget(progressRow_, 1);
    footer->addStretch(0);
    close_ = new VKChromeButton(QStringLiteral("Close"), this);
    connect(close_, &QAbstractButton::clicked, this, &QDialog::reject);
    cancel_ = new VKChromeButton(QStringLiteral("Cancel"), this);
    connect(cancel_, &QAbstractButton::clicked, this, &ExportSheet::reject);
    cancel_->hide();
    export_ = new VKChromeButton(QStringLiteral("Export\u2026"), this);
    export_->setProminent(true);
    connect(export_, &QAbstractButton::clicked, this, &ExportSheet::runExport);
    for (VKChromeButton *b : {close_, cancel_, export_})
        VKOverhangItem::add(footer, b, VKChromeButton::shadowMargins());
    form->addLayout(footer);

    if (editor_)
        connect(editor_, &LWEditor::docChanged, this, &ExportSheet::refreshDoc);
    // Pictures checked beside the window: the check's line follows as the answers come.
    connect(&LWPictureQueue::shared(), &LWPictureQueue::finished, this, [this] {
        if (!checking_ || std::exchange(checkQueued_, true))
            return;
        QTimer::singleShot(50, this, [this] {
            checkQueued_ = false;
            refreshCheck();
        });
    });
    refreshDoc();
    // The export of a window that was lost goes on here.
    if (LWExportJob *job = editor_ ? LWExportHandOff::of(app_).take(editor_) : nullptr)
        watch(job, 1);
}

ExportSheet::~ExportSheet()
{
    if (job_)
        job_->release(); // ends the export without waiting for it
}

QWidget *ExportSheet::buildOptions()
{
    // Every format's options share one cell and keep their room while hidden: the cell is as tall
    // as the tallest, whichever is shown, so nothing below ever moves.
    auto *options = new QWidget(this);
    auto *cell = new QGridLayout(options);
    cell->setContentsMargins(0, 0, 0, 0);
    const auto keepRoom = [](QWidget *w) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    };

    pdfBox_ = new QWidget(options);
    auto *pdf = new QVBoxLayout(pdfBox_);
    pdf->setContentsMargins(0, 0, 0, 0);
    pdf->setSpacing(8);
    pdfBleed_ = optionBox(QString(), pdfBox_);
    connect(pdfBleed_, &QCheckBox::toggled, this, &ExportSheet::setBleed);
    pdf->addWidget(pdfBleed_);
    pdf->addWidget(optionText(QStringLiteral("Text and shapes stay sharp vector art; pictures keep all their pixels. "
                                             "The PDF also records the trim size (TrimBox) so print software knows "
                                             "where to cut."),
                              pdfBox_));
    cell->addWidget(pdfBox_, 0, 0, Qt::AlignTop);

    rasterBox_ = new QWidget(options);
    auto *raster = new QVBoxLayout(rasterBox_);
    raster->setContentsMargins(0, 0, 0, 0);
    raster->setSpacing(8);
    auto *resolutionRow = new QWidget(rasterBox_);
    resolutionRow->setFixedWidth(320);
    auto *row = new QHBoxLayout(resolutionRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(lwTextLabel(QStringLiteral("Resolution"), 12, VKWeight::Normal, LWStyle::t().text));
    resolution_ = new QComboBox(resolutionRow);
    resolution_->setFont(vkFont(12));
    resolution_->addItem(QStringLiteral("300 DPI (standard print)"), 300);
    resolution_->addItem(QStringLiteral("600 DPI (extra sharp)"), 600);
    connect(resolution_, &QComboBox::activated, this, [this](int i) { setDpi(resolution_->itemData(i).toInt()); });
    row->addWidget(resolution_, 1);
    raster->addWidget(resolutionRow);
    rasterBleed_ = optionBox(QStringLiteral("Include bleed"), rasterBox_);
    connect(rasterBleed_, &QCheckBox::toggled, this, &ExportSheet::setBleed);
    raster->addWidget(rasterBleed_);
    qualitySlider_ = new LabeledSlider(
        QStringLiteral("Quality"), [this] { return quality_ * 100; },
        [this](double v) {
            quality_ = std::round(v) / 100;
            qualitySlider_->update();
        },
        60, 100, 1, QStringLiteral("%.0f"), QStringLiteral("%"), rasterBox_);
    qualitySlider_->setFixedWidth(360);
    keepRoom(qualitySlider_); // PNG leaves its place empty
    raster->addWidget(qualitySlider_);
    rasterNote_ = optionText(QString(), rasterBox_);
    raster->addWidget(rasterNote_);
    cell->addWidget(rasterBox_, 0, 0, Qt::AlignTop);

    sheetBox_ = new QWidget(options);
    auto *sheet = new QVBoxLayout(sheetBox_);
    sheet->setContentsMargins(0, 0, 0, 0);
    sheetText_ = optionText(QString(), sheetBox_);
    sheet->addWidget(sheetText_);
    cell->addWidget(sheetBox_, 0, 0, Qt::AlignTop);
    for (QWidget *box : {pdfBox_, rasterBox_, sheetBox_})
        keepRoom(box);
    options_ = options;
    return options;
}

void ExportSheet::showRasterOptions()
{
    const Fmt format = format_;
    qualitySlider_->setVisible(format == Fmt::jpeg);
    // A page too large for the chosen format says so in the note's place (one line, same height).
    const QString overLimit = rasterOverLimit();
    vkPlain(rasterNote_, !overLimit.isEmpty() ? overLimit
                         : format == Fmt::jpeg
                             ? QStringLiteral("JPEG makes smaller files \u2014 great for emailing a proof or uploading "
                                              "to online printers.")
                             : QStringLiteral("PNG keeps every pixel exactly (bigger files)."));
    QPalette notePal = rasterNote_->palette();
    notePal.setColor(QPalette::WindowText, overLimit.isEmpty() ? LWStyle::t().text : LWStyle::amber());
    rasterNote_->setPalette(notePal);
}

void ExportSheet::setFormat(Fmt format)
{
    format_ = format;
    formatPicker_->setCurrent(int(format));
    refreshCheck();
    refreshView();
}

void ExportSheet::setSides(int sides)
{
    sides_ = sides;
    refreshView();
}

void ExportSheet::setDpi(int dpi)
{
    dpi_ = dpi;
    LWSettings::shared().setValue(LWPrefs::exportDPIKey, dpi);
    refreshCheck(); // the check foresees the export at this resolution
    refreshView();
}

void ExportSheet::setBleed(bool bleed)
{
    bleed_ = bleed;
    LWSettings::shared().setValue(LWPrefs::exportBleedKey, bleed);
    refreshCheck();
    refreshView();
}

QList<int> ExportSheet::pages() const
{
    const qsizetype count = editor_ ? editor_->doc().pages.size() : 0;
    if (sides_ >= 0 && sides_ < count)
        return {sides_};
    QList<int> all;
    for (int i = 0; i < count; ++i)
        all.append(i);
    return all;
}

QStringList ExportSheet::summary() const
{
    if (!editor_)
        return {};
    const LWDocument &doc = editor_->doc();
    const qsizetype n = pages().size();
    const QString dot = QStringLiteral(" \u00B7 "), times = QStringLiteral(" \u00D7 ");
    switch (format_) {
    case Fmt::pdf: {
        const LWRect box = bleed_ ? doc.bleedRect() : doc.trimRect();
        return {QStringLiteral("PDF") + dot + plural(n, QStringLiteral("page"), QStringLiteral("s")),
                QStringLiteral("PAGE ") + LWFormat::num(LWUnits::inches(box.width()), 3) + times +
                    LWFormat::num(LWUnits::inches(box.height()), 3) + QStringLiteral(" in ") +
                    (bleed_ ? QStringLiteral("(TRIM + BLEED)") : QStringLiteral("(TRIM)"))};
    }
    case Fmt::jpeg:
    case Fmt::png: {
        const LWExport::PixelSize px = LWExport::pixelSize(doc, dpi_, bleed_);
        return {rawValue(format_) + dot + QString::number(px.width) + times + QString::number(px.height) +
                    QStringLiteral(" PIXELS"),
                QString::number(dpi_) + QStringLiteral(" DPI") + dot +
                    plural(n, QStringLiteral("page"), QStringLiteral("s")) +
                    (bleed_ ? dot + QStringLiteral("WITH BLEED") : QString())};
    }
    case Fmt::sheet:
        break;
    }
    if (!layout_)
        return {QStringLiteral("10-UP SHEET"), QStringLiteral("BUSINESS CARDS ONLY")};
    return {QStringLiteral("10-UP SHEET") + dot + layout_->paperName.toUpper(),
            QString::number(layout_->cols) + times + QString::number(layout_->rows) +
                QStringLiteral(" CARDS \u00B7 CROP MARKS \u00B7 ") + plural(n, QStringLiteral("PAGE"), QStringLiteral("S"))};
}

void ExportSheet::refreshCheck()
{
    reviewCount_ = 0;
    // The JPEG and PNG export at the chosen resolution is foreseen only when it is the format.
    const bool raster = format_ == Fmt::jpeg || format_ == Fmt::png;
    const QList<LWExport::Issue> issues =
        editor_ ? LWExport::preflightSoon(editor_->doc(), raster ? std::optional(LWExport::RasterPlan{double(dpi_), bleed_})
                                                                 : std::nullopt)
                : QList<LWExport::Issue>();
    for (const LWExport::Issue &issue : issues)
        if (issue.level != LWExport::Issue::Level::info)
            ++reviewCount_;
    checking_ = LWExport::checking(issues);
    lamp_->setColour(reviewCount_ > 0 ? LWStyle::amber() : checking_ ? LWStyle::t().dim : LWStyle::moss());
    vkPlain(checkText_, reviewCount_ > 0 ? QStringLiteral("Print check: %1 to review").arg(reviewCount_)
                        : checking_      ? QStringLiteral("Print check: checking pictures\u2026")
                                         : QStringLiteral("Print check: ready"));
    review_->setVisible(reviewCount_ > 0);
}

void ExportSheet::refreshDoc()
{
    layout_.reset();
    QStringList names;
    if (editor_) {
        const LWDocument &doc = editor_->doc();
        layout_ = LWExport::SheetLayout::make(doc);
        for (const LWPage &page : doc.pages)
            names.append(page.name);
    }
    refreshCheck();
    if (names != pageNames_ || !sidesPicker_)
        rebuildSides(names);
    refreshView();
}

void ExportSheet::rebuildSides(const QStringList &names)
{
    pageNames_ = names;
    if (sidesPicker_) {
        sidesHolder_->removeWidget(sidesPicker_);
        sidesPicker_->hide();
        sidesPicker_->deleteLater();
    }
    QStringList segments{QStringLiteral("Both")};
    segments.append(names);
    sidesPicker_ = new SegmentedPicker(QStringLiteral("Sides"), segments, 300, this);
    connect(sidesPicker_, &SegmentedPicker::picked, this, [this](int i) { setSides(i - 1); });
    sidesHolder_->addWidget(sidesPicker_);
    // Tab reaches it where it shows, after the options and before the buttons, made earlier.
    QWidget *before = qualitySlider_->slider(); // the last of the options
    for (int i = 0; i < sidesPicker_->count(); ++i) {
        QWidget::setTabOrder(before, sidesPicker_->segment(i));
        before = sidesPicker_->segment(i);
    }
}

void ExportSheet::refreshView()
{
    const bool sheet = format_ == Fmt::sheet, raster = format_ == Fmt::jpeg || format_ == Fmt::png;
    pdfBox_->setVisible(format_ == Fmt::pdf);
    rasterBox_->setVisible(raster);
    sheetBox_->setVisible(sheet);
    const QSignalBlocker b1(pdfBleed_), b2(rasterBleed_), b3(resolution_);
    pdfBleed_->setText(QStringLiteral("Include bleed (%1 on every side) \u2014 what print shops want")
                           .arg(editor_ ? editor_->bleedText() : QStringLiteral("0.125 in")));
    pdfBleed_->setChecked(bleed_);
    rasterBleed_->setChecked(bleed_);
    resolution_->setCurrentIndex(dpi_ == 600 ? 1 : 0);
    qualitySlider_->update();
    const QString overLimit = rasterOverLimit();
    if (layout_) {
        vkPlain(sheetText_, QStringLiteral("Ten cards on one ") + layout_->paperName +
                                QStringLiteral(" sheet with crop marks. Page 1 holds the fronts, page 2 the backs "
                                               "(mirrored so they line up when you print double-sided and flip on "
                                               "the long edge). Cut on the marks."));
    } else {
        vkPlain(sheetText_,
                QStringLiteral("The 10-up sheet is for business cards. Open or start a business card to use it."));
    }
    QPalette pal = sheetText_->palette();
    pal.setColor(QPalette::WindowText, layout_ ? LWStyle::t().text : LWStyle::amber());
    sheetText_->setPalette(pal);

    // One size for every format, rows in fixed places: the options keep the room of the tallest
    // format (see buildOptions), and the sides row keeps its place when any format shows it.
    showRasterOptions();
    QSizePolicy sidesPolicy = sidesPicker_->sizePolicy();
    sidesPolicy.setRetainSizeWhenHidden(layout_.has_value() || pageNames_.size() >= 2);
    sidesPicker_->setSizePolicy(sidesPolicy);
    sidesPicker_->setVisible(sheet ? layout_.has_value() : pageNames_.size() >= 2);
    const QList<int> chosen = pages();
    sidesPicker_->setCurrent(chosen.size() == 1 && pageNames_.size() >= 2 ? chosen.constFirst() + 1 : 0);
    readout_->setLines(summary());
    const bool busy = job_ != nullptr;
    export_->setEnabled(editor_ && !(sheet && !layout_) && overLimit.isEmpty() && !busy);
    show_->setVisible(done_.has_value() && !busy);
    progressRow_->setVisible(busy);
    close_->setVisible(!busy);
    cancel_->setVisible(busy);
    // What is being written was fixed when it started: the options wait for the next export.
    for (QWidget *w : {static_cast<QWidget *>(formatPicker_), options_, static_cast<QWidget *>(sidesPicker_),
                       static_cast<QWidget *>(review_)})
        w->setEnabled(!busy);
    lwFitDialog(this, sheetWidth);

}

QString ExportSheet::rasterOverLimit() const
{
    if (!editor_ || (format_ != Fmt::jpeg && format_ != Fmt::png))
        return {};
    const LWExport::RasterType type = format_ == Fmt::jpeg ? LWExport::RasterType::jpeg : LWExport::RasterType::png;
    const LWExport::PixelSize px = LWExport::pixelSize(editor_->doc(), dpi_, bleed_);
    const int most = LWExport::maxRasterSide(type);
    if (px.width <= most && px.height <= most)
        return {};
    // One line, beside the readout that shows the pixel size.
    return QStringLiteral("Too large for %1 at %2 DPI: at most %3 pixels on a side.")
        .arg(rawValue(format_))
        .arg(dpi_)
        .arg(QLocale(QLocale::English).toString(most));
}

void ExportSheet::keyPressEvent(QKeyEvent *event)
{
    if (lwIsReturn(event)) {
        if (export_->isEnabled())
            runExport();
        return;
    }
    QDialog::keyPressEvent(event);
}

QString ExportSheet::cleanName(const QString &name)
{
    QString out = name;
    for (QChar &c : out)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'-';
    qsizetype start = 0;
    while (start < out.size() && (out[start] == u'.' || out[start].isSpace()))
        ++start;
    return out.mid(start);
}

QStringList ExportSheet::pageFiles(const QString &chosen, const LWDocument &doc, const QList<int> &pages,
                                   const QString &ext)
{
    const QFileInfo info(chosen);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QDir folder = info.absoluteDir();
    QSet<QString> taken;
    QStringList files;
    for (int p : pages) {
        QString part = p >= 0 && p < doc.pages.size() ? cleanName(doc.pages[p].name).toLower() : QString();
        if (part.isEmpty())
            part = QStringLiteral("page %1").arg(p + 1);
        QString unique = part;
        for (int n = 2; taken.contains(unique); ++n)
            unique = part + u' ' + QString::number(n);
        taken.insert(unique);
        files.append(folder.filePath(stem + QStringLiteral(" - ") + unique + u'.' + ext));
    }
    return files;
}

void ExportSheet::runExport()
{
    if (!editor_ || !export_->isEnabled() || job_)
        return;
    QString base = cleanName(editor_->doc().name);
    if (base.isEmpty())
        base = QStringLiteral("Design");
    const Proposal p = proposal(format_);
    keyboardAt_ = focusWidget();
    // The dialog runs an event loop in which the sheet or its editor may go.
    const QPointer<ExportSheet> self(this);
    const std::optional<QUrl> url = app_.chooseExport(base + p.tail, p.filter, p.suffix);
    if (self)
        takeKeyboard(true);
    if (!self || !editor_ || app_.editor() != editor_ || !url || !url->isLocalFile() || job_)
        return;
    start(editor_->doc(), url->toLocalFile());
}

void ExportSheet::takeKeyboard(bool panelClosed)
{
    // Back where the user was before the export (its options were off meanwhile), so an alert
    // that follows hands the keyboard back there too. Only the sheet's own choice: no activation.
    if (!job_ && isVisible() && keyboardAt_ && keyboardAt_->isVisible() && keyboardAt_->isEnabled())
        keyboardAt_->setFocus(Qt::OtherFocusReason);
    if (!isVisible() || QApplication::activeModalWidget() != this)
        return;
    // Our own window under the sheet, or none as a panel of ours has just closed; never another
    // program's window or another window of ours in front.
    const QWidget *active = QApplication::activeWindow();
    if (active != this && active != window()->parentWidget() && (active || !panelClosed))
        return;
    if (active != this)
        activateWindow();
    if (!focusWidget() || !focusWidget()->isVisible() || !focusWidget()->isEnabled())
        (export_->isEnabled() ? export_ : close_)->setFocus(Qt::OtherFocusReason);
}

void ExportSheet::reject()
{
    if (!job_)
        return QDialog::reject();
    job_->cancel();
    cancel_->setEnabled(false);
    vkPlain(progressText_, QStringLiteral("Cancelling\u2026"));
}

void ExportSheet::parkExport()
{
    if (!job_ || !editor_)
        return endExport();
    LWExportJob *job = std::exchange(job_, nullptr);
    job->disconnect(this);
    LWExportHandOff::of(app_).park(job, editor_);
    cancel_->setEnabled(true);
    refreshView();
}

void ExportSheet::endExport()
{
    if (!job_)
        return;
    // Not waited for: nothing of the file is put in place once it is cancelled.
    std::exchange(job_, nullptr)->release();
    cancel_->setEnabled(true);
    refreshView();
}

// PDF and card sheet: one file at the chosen place. Raster: one file per page, the chosen file
// itself for one page; existing files among several are confirmed in one question first. The
// design, pages, options and files are fixed here; the files are made on the export's thread.
void ExportSheet::start(const LWDocument &doc, const QString &chosen)
{
    using Kind = LWExportJob::Kind;
    const std::array<Kind, 4> kinds = {Kind::pdf, Kind::jpeg, Kind::png, Kind::sheet};
    LWExportJob::Request request{doc, kinds[size_t(format_)], pages(), {chosen}, dpi_, bleed_, quality_};
    const bool raster = format_ == Fmt::jpeg || format_ == Fmt::png;
    if (raster && request.pages.size() > 1) {
        request.files = pageFiles(chosen, doc, request.pages,
                                  LWExport::ext(format_ == Fmt::jpeg ? LWExport::RasterType::jpeg
                                                                     : LWExport::RasterType::png));
        QStringList existing;
        for (const QString &f : request.files)
            if (QFileInfo(f).exists() || QFileInfo(f).isSymLink())
                existing.append(QFileInfo(f).fileName());
        const QPointer<ExportSheet> self(this);
        if (!existing.isEmpty() &&
            !app_.confirm(existing.size() == 1 ? QStringLiteral("Replace 1 existing file?")
                                               : QStringLiteral("Replace %1 existing files?").arg(existing.size()),
                          existing.join(u'\n'), QStringLiteral("Replace")))
            return;
        if (!self || job_)
            return;
    }
    const int files = int(request.files.size());
    watch(new LWExportJob(std::move(request), this), files);
    job_->start();
}

void ExportSheet::watch(LWExportJob *job, int files)
{
    job_ = job;
    job_->setParent(this);
    connect(job_, &LWExportJob::progressed, this, &ExportSheet::progressed);
    connect(job_, &LWExportJob::finished, this, &ExportSheet::finished);
    progressed(0, files, 0);
    refreshView();
}

void ExportSheet::progressed(int file, int files, double done)
{
    if (!cancel_->isEnabled())
        return; // "Cancelling…" stays until the export has stopped
    vkPlain(progressText_, files > 1 ? QStringLiteral("Exporting page %1 of %2").arg(file + 1).arg(files)
                                     : QStringLiteral("Exporting\u2026"));
    progress_->setValue((file + done) / std::max(files, 1));
}

void ExportSheet::finished(const LWExportJob::Result &result)
{
    job_->deleteLater();
    job_ = nullptr;
    cancel_->setEnabled(true);
    if (!result.written.isEmpty() && result.reason.isEmpty() && !result.cancelled)
        done_ = result.written.constFirst();
    refreshCheck(); // what the export learnt of the pictures
    refreshView();
    takeKeyboard(false);
    announce(app_, result);
}

// A page that cannot be drawn is skipped; nothing drawn at all is a failure. The first file that
// fails stops the export with an alert, and no file is written. A cancelled export says nothing.
// Pictures drawn as the placeholder or in part are named in an alert; the files stay.
void ExportSheet::announce(LWApp &app, const LWExportJob::Result &result)
{
    if (result.cancelled)
        return;
    const auto failed = [&app](const QString &message) { app.alert(failedTitle, message); };
    if (!result.drawFailure.isEmpty()) {
        failed(result.drawFailure);
        return;
    }
    if (!result.reason.isEmpty()) {
        failed(QStringLiteral("The file \"%1\" couldn't be saved: %2").arg(QFileInfo(result.failedFile).fileName(),
                                                                           result.reason) +
               (result.unchanged ? QStringLiteral("\n\nNo file was changed.") : QString()) + advice);
        return;
    }
    if (result.nothingDrawn) {
        failed(nothingDrawn);
        return;
    }
    LWFolders::remember(LWFolders::Purpose::exports, result.written.constFirst());
    const QString exported = result.written.size() == 1
                                 ? QStringLiteral("Exported ") + QFileInfo(result.written.constFirst()).fileName()
                                 : QStringLiteral("Exported %1 files").arg(result.written.size());
    if (!result.undrawn.isEmpty()) {
        // The file is kept, but it must not pass for done.
        app.alert(undrawnTitle, exported + QStringLiteral(", but:\n\n") + LWPictureTally::describe(result.undrawn));
        return;
    }
    app.flash(exported);
}
