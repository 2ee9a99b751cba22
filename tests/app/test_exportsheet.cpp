#include "app_fixture.h"

#include "app/sheets/exportsheet.h"
#include "app/sheets/preflightsheet.h"
#include "app/sheets/sheetpresenter.h"
#include "kit/chromebutton.h"
#include "kit/labeledslider.h"
#include "kit/lcdreadout.h"
#include "kit/led.h"
#include "kit/segmentedpicker.h"
#include "kit/style.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

namespace {

using Fmt = ExportSheet::Fmt;

LWDocument card(const QString &name = QStringLiteral("Card"))
{
    return LWDocument::blank(LWSizePreset::usCard, std::nullopt, name);
}

LWDocument flyer(const QString &name = QStringLiteral("Flyer"))
{
    return LWDocument::blank(LWSizePreset::letter, std::nullopt, name);
}

LWElement photo(const QString &name)
{
    return LWElement::makePhoto(LWRect(20, 20, 40, 40), LWMask::none, 0, name);
}

QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class ExportTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
        ExportSheet::setFolderOpener([this](const QString &folder) { opened.append(folder); });
    }
    void TearDown() override
    {
        ExportSheet::setFolderOpener({});
        AppTest::TearDown();
    }
    QString out(const QString &name = {}) const
    {
        return name.isEmpty() ? path(QStringLiteral("out")) : path(QStringLiteral("out/") + name);
    }
    // One export to `name` in the out folder.
    void exportTo(ExportSheet &sheet, const QString &name)
    {
        prompts->script.append(ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(name))));
        sheet.runExport();
    }

    QStringList opened;
};

TEST_F(ExportTest, ResolutionAndBleedAreSettingsWrittenAtOnce)
{
    LWEditor *editor = openNew(card());
    {
        ExportSheet sheet(app, editor);
        EXPECT_EQ(sheet.dpi(), 300);
        EXPECT_TRUE(sheet.bleed());
        EXPECT_FALSE(LWPrefs::store().contains(LWPrefs::exportDPIKey));
        sheet.setFormat(Fmt::jpeg);
        EXPECT_EQ(sheet.resolutionBox()->currentText(), QStringLiteral("300 DPI (standard print)"));
        sheet.resolutionBox()->setCurrentIndex(1);
        Q_EMIT sheet.resolutionBox()->activated(1);
        EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 600);
        sheet.rasterBleedBox()->click();
        EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::exportBleedKey));
        EXPECT_TRUE(LWPrefs::store().contains(LWPrefs::exportBleedKey));
        EXPECT_EQ(sheet.summary().value(1), QStringLiteral("600 DPI \u00B7 2 pages"));
    }
    ExportSheet next(app, editor);
    EXPECT_EQ(next.dpi(), 600);
    EXPECT_FALSE(next.bleed());
    EXPECT_FALSE(next.pdfBleedBox()->isChecked());
    EXPECT_EQ(next.format(), Fmt::pdf);
    EXPECT_EQ(next.sides(), -1);
    EXPECT_DOUBLE_EQ(next.quality(), 0.92);
}

TEST_F(ExportTest, OptionsFollowFormatAndDesign)
{
    const struct {
        const char *name;
        LWDocument doc;
        Fmt format;
        bool sides, exportable, amber; // amber: the card-sheet text, shown or not
    } cases[] = {
        {"flyer PDF", flyer(), Fmt::pdf, false, true, true},
        {"flyer JPEG", flyer(), Fmt::jpeg, false, true, true},
        {"flyer PNG", flyer(), Fmt::png, false, true, true},
        {"flyer sheet", flyer(), Fmt::sheet, false, false, true},
        {"card PDF", card(), Fmt::pdf, true, true, false},
        {"card JPEG", card(), Fmt::jpeg, true, true, false},
        {"card PNG", card(), Fmt::png, true, true, false},
        {"card sheet", card(), Fmt::sheet, true, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ExportSheet sheet(app, openNew(c.doc));
        sheet.formatPicker()->segment(int(c.format))->click();
        EXPECT_EQ(sheet.format(), c.format);
        EXPECT_EQ(sheet.sidesPicker()->isVisibleTo(&sheet), c.sides);
        EXPECT_EQ(sheet.exportButton()->isEnabled(), c.exportable);
        EXPECT_EQ(sheet.qualitySlider()->isVisibleTo(&sheet), c.format == Fmt::jpeg);
        EXPECT_EQ(sheet.sheetText()->isVisibleTo(&sheet), c.format == Fmt::sheet);
        EXPECT_EQ(sheet.sheetText()->palette().color(QPalette::WindowText) == LWStyle::amber(), c.amber);
        EXPECT_EQ(sheet.width(), 560);
        // Return exports only when enabled: a disabled one asks nothing (an unscripted prompt fails).
        if (!c.exportable)
            QTest::keyClick(&sheet, Qt::Key_Return);
    }
    ExportSheet sheet(app, openNew(card()));
    EXPECT_EQ(sheet.qualitySlider()->readout(), QStringLiteral("92%"));
    EXPECT_EQ(sheet.pdfBleedBox()->text(),
              QStringLiteral("Include bleed (0.125 in on every side) \u2014 what print shops want"));
    EXPECT_EQ(sheet.sheetText()->text().left(39), QStringLiteral("Ten cards on one Letter sheet with crop"));
}

TEST_F(ExportTest, SummaryLines)
{
    const QString dot = QStringLiteral(" \u00B7 "), x = QStringLiteral(" \u00D7 ");
    const struct {
        const char *name;
        LWDocument doc;
        Fmt format;
        int sides;
        bool bleed;
        QStringList lines;
    } cases[] = {
        {"card PDF", card(), Fmt::pdf, -1, true,
         {"PDF" + dot + "2 pages", "PAGE 3.75" + x + "2.25 in (TRIM + BLEED)"}},
        {"card PDF back, trim", card(), Fmt::pdf, 1, false, {"PDF" + dot + "1 page", "PAGE 3.5" + x + "2 in (TRIM)"}},
        {"card JPEG", card(), Fmt::jpeg, -1, true,
         {"JPEG" + dot + "1125" + x + "675 PIXELS", "300 DPI" + dot + "2 pages" + dot + "WITH BLEED"}},
        {"card PNG front, trim", card(), Fmt::png, 0, false,
         {"PNG" + dot + "1050" + x + "600 PIXELS", "300 DPI" + dot + "1 page"}},
        {"card sheet", card(), Fmt::sheet, -1, true,
         {"10-UP SHEET" + dot + "LETTER", "2" + x + "5 CARDS" + dot + "CROP MARKS" + dot + "2 PAGES"}},
        {"card sheet front", card(), Fmt::sheet, 0, true,
         {"10-UP SHEET" + dot + "LETTER", "2" + x + "5 CARDS" + dot + "CROP MARKS" + dot + "1 PAGE"}},
        {"flyer sheet", flyer(), Fmt::sheet, -1, true, {"10-UP SHEET", "BUSINESS CARDS ONLY"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LWPrefs::store().setValue(LWPrefs::exportBleedKey, c.bleed);
        ExportSheet sheet(app, openNew(c.doc));
        sheet.setFormat(c.format);
        sheet.setSides(c.sides);
        EXPECT_EQ(sheet.summary(), c.lines);
        EXPECT_EQ(sheet.readout()->lines(), c.lines);
    }
}

TEST_F(ExportTest, ProposedNamesByFormatWithTheNameCleaned)
{
    const struct {
        QString docName;
        Fmt format;
        QString proposed, filter, suffix;
    } cases[] = {
        {"", Fmt::pdf, "Design.pdf", "PDF document (*.pdf)", "pdf"},
        {"", Fmt::sheet, "Design - print sheet.pdf", "PDF document (*.pdf)", "pdf"},
        {"", Fmt::jpeg, "Design.jpg", "JPEG image (*.jpg *.jpeg)", "jpg"},
        {"", Fmt::png, "Design.png", "PNG image (*.png)", "png"},
        {"../a/b\\c\td", Fmt::pdf, "-a-b-c-d.pdf", "PDF document (*.pdf)", "pdf"},
        {" . ", Fmt::png, "Design.png", "PNG image (*.png)", "png"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.docName.toStdString());
        ExportSheet sheet(app, openNew(card(c.docName)));
        sheet.setFormat(c.format);
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::exportStep(std::nullopt)};
        sheet.runExport();
        EXPECT_EQ(prompts->calls.value(0), (QStringList{QStringLiteral("export"), c.proposed, c.filter, c.suffix}));
        // Cancelled: nothing written, no notice, no alert (unscripted).
        EXPECT_EQ(files(out()), QStringList());
        EXPECT_FALSE(app.notice());
        EXPECT_FALSE(sheet.exportedFile());
    }
}

TEST_F(ExportTest, RasterFilesPerPage)
{
    LWDocument four = flyer(QStringLiteral("Four"));
    four.pages = {LWPage(), LWPage(), LWPage(), LWPage()};
    const QStringList names = {QStringLiteral("../x"), QStringLiteral("Front"), QStringLiteral("front"), QString()};
    for (int i = 0; i < 4; ++i)
        four.pages[i].name = names[i];
    const struct {
        const char *name;
        LWDocument doc;
        Fmt format;
        int sides;
        QStringList files;
        QString notice, first;
    } cases[] = {
        {"both sides", card(), Fmt::jpeg, -1, {"Card - back.jpg", "Card - front.jpg"}, "Exported 2 files",
         "Card - front.jpg"},
        {"the back", card(), Fmt::jpeg, 1, {"Card.jpg"}, "Exported Card.jpg", "Card.jpg"},
        {"a side that names no page", card(), Fmt::png, 7, {"Card - back.png", "Card - front.png"},
         "Exported 2 files", "Card - front.png"},
        {"awkward page names", four, Fmt::jpeg, -1,
         {"Card - -x.jpg", "Card - front 2.jpg", "Card - front.jpg", "Card - page 4.jpg"}, "Exported 4 files",
         "Card - -x.jpg"},
        {"PDF", card(), Fmt::pdf, -1, {"Card.jpg"}, "Exported Card.jpg", "Card.jpg"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &f : files(out()))
            QFile::remove(out(f));
        ExportSheet sheet(app, openNew(c.doc));
        sheet.setFormat(c.format);
        sheet.setSides(c.sides);
        EXPECT_FALSE(sheet.showButton()->isVisibleTo(&sheet));
        exportTo(sheet, QStringLiteral("Card.jpg"));
        EXPECT_EQ(files(out()), c.files);
        EXPECT_EQ(app.notice().value_or(QString()), c.notice);
        EXPECT_EQ(sheet.exportedFile(), out(c.first));
        ASSERT_TRUE(sheet.exportedFile());
        EXPECT_EQ(QFileInfo(*sheet.exportedFile()).absolutePath(), out());
        EXPECT_TRUE(sheet.showButton()->isVisibleTo(&sheet));
        opened.clear();
        sheet.showButton()->click();
        EXPECT_EQ(opened, QStringList{out()});
    }
    // The whole folder holds the exports only: nothing landed outside it.
    QStringList outside = QDir(dir.path()).entryList(QDir::Files);
    outside.removeAll(QStringLiteral("settings.ini"));
    EXPECT_EQ(outside, QStringList());
}

TEST_F(ExportTest, StopsSilentlyWhenTheDesignWasReplacedDuringTheChooser)
{
    ExportSheet sheet(app, openNew(card()));
    prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QStringLiteral("Card.pdf"))),
                                                   [this] { openNew(flyer()); })};
    sheet.runExport();
    EXPECT_EQ(files(out()), QStringList());
    EXPECT_FALSE(app.notice());
    EXPECT_FALSE(sheet.exportedFile());
}

TEST_F(ExportTest, ExistingFilesAreConfirmedOnce)
{
    ExportSheet sheet(app, openNew(card()));
    sheet.setFormat(Fmt::jpeg);
    QFile old(out(QStringLiteral("Card - back.jpg")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QStringLiteral("Card.jpg")))),
                       ScriptedPrompts::confirmStep(false)};
    sheet.runExport();
    EXPECT_EQ(prompts->calls.value(1), (QStringList{QStringLiteral("confirm"), QStringLiteral("Replace 1 existing file?"),
                                                    QStringLiteral("Card - back.jpg"), QStringLiteral("Replace")}));
    EXPECT_EQ(files(out()), QStringList{QStringLiteral("Card - back.jpg")});
    EXPECT_EQ(bytes(out(QStringLiteral("Card - back.jpg"))), QByteArray("old"));
    EXPECT_FALSE(app.notice());

    prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QStringLiteral("Card.jpg")))),
                       ScriptedPrompts::confirmStep(true)};
    sheet.runExport();
    EXPECT_EQ(files(out()), (QStringList{QStringLiteral("Card - back.jpg"), QStringLiteral("Card - front.jpg")}));
    EXPECT_NE(bytes(out(QStringLiteral("Card - back.jpg"))), QByteArray("old"));
}

TEST_F(ExportTest, FailuresAlertAndWriteNothingMore)
{
    // Far over the bitmap cap: nothing can be drawn.
    LWSettings::shared().setValue(LWPrefs::exportDPIKey, 600);
    ExportSheet huge(app, openNew(LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 2592, 2592, 18,
                                                 QStringLiteral("Huge"))));
    huge.setFormat(Fmt::png);
    prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QStringLiteral("Huge.png")))),
                       ScriptedPrompts::alertStep()};
    huge.runExport();
    EXPECT_EQ(prompts->calls.value(1),
              (QStringList{QStringLiteral("alert"), ExportSheet::failedTitle, ExportSheet::nothingDrawn}));
    EXPECT_EQ(files(out()), QStringList());
    EXPECT_FALSE(app.notice());
    EXPECT_FALSE(huge.exportedFile());

    // A file that cannot be replaced: the system's reason and the advice, no second file tried.
    prompts->calls.clear();
    ExportSheet sheet(app, openNew(card()));
    sheet.setFormat(Fmt::jpeg);
    ASSERT_TRUE(QDir(out()).mkdir(QStringLiteral("Card - front.jpg")));
    prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QStringLiteral("Card.jpg")))),
                       ScriptedPrompts::confirmStep(true), ScriptedPrompts::alertStep()};
    sheet.runExport();
    const QStringList alert = prompts->calls.value(2);
    ASSERT_EQ(alert.value(0), QStringLiteral("alert"));
    EXPECT_EQ(alert.value(1), ExportSheet::failedTitle);
    EXPECT_TRUE(alert.value(2).startsWith(QStringLiteral("The file \"Card - front.jpg\" couldn't be saved: ")))
        << alert.value(2).toStdString();
    EXPECT_TRUE(alert.value(2).endsWith(QStringLiteral("\n\nTry another folder, or check that the disk has free space.")));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Card - back.jpg"))));
    EXPECT_FALSE(sheet.exportedFile());
    EXPECT_FALSE(app.notice());
}

TEST_F(ExportTest, ReadOnlyFolderAlertsWithTheSystemsReason)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the administrator writes into read-only folders";
    ExportSheet sheet(app, openNew(card()));
    sheet.setFormat(Fmt::jpeg);
    ASSERT_TRUE(QFile::setPermissions(out(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(QStringLiteral("Card.jpg")))),
                       ScriptedPrompts::alertStep()};
    sheet.runExport();
    QFile::setPermissions(out(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(prompts->calls.value(1).value(2).contains(QStringLiteral("couldn't be saved: ")));
    EXPECT_EQ(files(out()), QStringList());
}

TEST_F(ExportTest, HeaderCountsWarningsAndProblems)
{
    LWDocument doc = card();
    for (const char *name : {"A", "B", "C"})
        doc.pages[0].elements.append(photo(QString::fromLatin1(name))); // empty frames: warnings
    LWElement hidden = photo(QStringLiteral("Hidden"));
    hidden.hidden = true;
    doc.pages[1].elements.append(hidden); // info only
    LWEditor *editor = openNew(doc);
    ExportSheet sheet(app, editor);
    EXPECT_EQ(sheet.reviewCount(), 3);
    EXPECT_EQ(sheet.lamp()->colour(), LWStyle::amber());
    EXPECT_EQ(sheet.checkText()->text(), QStringLiteral("Print check: 3 to review"));
    EXPECT_TRUE(sheet.reviewButton()->isVisibleTo(&sheet));

    // A renamed side renames its choice in place.
    editor->change(QStringLiteral("Rename"), std::nullopt, [](LWDocument &d) { d.pages[1].name = QStringLiteral("Inside"); });
    EXPECT_EQ(sheet.sidesPicker()->segment(2)->accessibleName(), QStringLiteral("Inside"));
    int shown = 0;
    for (const SegmentedPicker *picker : sheet.findChildren<SegmentedPicker *>())
        shown += picker->isVisibleTo(&sheet) ? 1 : 0;
    EXPECT_EQ(shown, 2); // formats and sides

    // The header follows the design: with the warnings gone only the info is left.
    editor->change(QStringLiteral("Clear"), std::nullopt, [](LWDocument &d) { d.pages[0].elements.clear(); });
    EXPECT_EQ(sheet.lamp()->colour(), LWStyle::moss());
    EXPECT_EQ(sheet.checkText()->text(), QStringLiteral("Print check: ready"));
    EXPECT_FALSE(sheet.reviewButton()->isVisibleTo(&sheet));
}

class PresenterTest : public ExportTest {
protected:
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    QWidget window;
};

TEST_F(PresenterTest, ReviewSwitchesToThePreflightSheetInPlace)
{
    LWDocument doc = card();
    doc.pages[0].elements.append(photo(QStringLiteral("Empty")));
    openNew(doc);
    LWSheetPresenter presenter(app, &window);
    app.setSheet(LWAppSheet::exportSheet);
    auto *sheet = qobject_cast<ExportSheet *>(presenter.dialog());
    ASSERT_NE(sheet, nullptr);
    QList<std::optional<LWAppSheet>> seen;
    QObject::connect(&app, &LWApp::sheetChanged, &app, [&] { seen.append(app.sheet()); });
    QPointer<QDialog> old = sheet;
    sheet->reviewButton()->click();
    EXPECT_NE(qobject_cast<PreflightSheet *>(presenter.dialog()), nullptr);
    settle();
    EXPECT_EQ(seen, (QList<std::optional<LWAppSheet>>{LWAppSheet::preflight}));
    EXPECT_EQ(app.sheet(), LWAppSheet::preflight);
    EXPECT_TRUE(old.isNull());
}

TEST_F(PresenterTest, OneDialogPerCaseAndBackToNone)
{
    LWSheetPresenter presenter(app, &window);
    // Without a design the design's sheets do not open.
    for (LWAppSheet s : {LWAppSheet::exportSheet, LWAppSheet::preflight, LWAppSheet::size}) {
        app.setSheet(s);
        EXPECT_FALSE(app.sheet());
        EXPECT_EQ(presenter.dialog(), nullptr);
    }
    openNew(card());
    app.setSheet(LWAppSheet::exportSheet);
    QPointer<QDialog> first = presenter.dialog();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->windowModality(), Qt::WindowModal);
    EXPECT_EQ(first->parentWidget(), &window);
    app.setSheet(LWAppSheet::exportSheet);
    EXPECT_EQ(presenter.dialog(), first.data());

    QTest::keyClick(first, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(app.sheet());
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(presenter.dialog(), nullptr);

    // A new design replaces the open one: its sheet goes with it.
    app.setSheet(LWAppSheet::exportSheet);
    QPointer<QDialog> second = presenter.dialog();
    ASSERT_TRUE(second);
    openNew(flyer());
    settle();
    EXPECT_TRUE(second.isNull());
    EXPECT_FALSE(app.sheet());

    // The custom-size dialog needs no design and stays when the design changes.
    app.setSheet(LWAppSheet::newCustom);
    QPointer<QDialog> custom = presenter.dialog();
    ASSERT_TRUE(custom);
    openNew(card());
    settle();
    EXPECT_TRUE(custom);
    EXPECT_EQ(app.sheet(), LWAppSheet::newCustom);
    custom->reject();
    settle();
    EXPECT_FALSE(app.sheet());
    EXPECT_TRUE(custom.isNull());
}
