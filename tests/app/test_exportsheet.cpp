#include "exportsheetfixture.h"
#include "modalanswerer.h"

#include "app/sheets/exportsheet.h"
#include "app/sheets/preflightsheet.h"
#include "app/sheets/sheetpresenter.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/labeledslider.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/cabinet/led.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/host/kithost.h"
#include "kit/theme/style.h"
#include "render/export.h"
#include "render/pdf/pdffile.h"
#include "render/sheet.h"
#include "support/pngcheck.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <optional>

using namespace ExportSheetTests;

TEST_F(ExportTest, ResolutionAndBleedAreSettingsWrittenAtOnce)
{
    LWEditor *editor = openNew(card());
    {
        ExportSheet sheet(app, editor);
        EXPECT_EQ(sheet.dpi(), 300);
        EXPECT_TRUE(sheet.bleed());
        EXPECT_FALSE(LWPrefs::store().contains(LWPrefs::exportDPIKey));
        sheet.setFormat(Fmt::jpeg);
        sheet.resolutionBox()->setCurrentIndex(1);
        Q_EMIT sheet.resolutionBox()->activated(1);
        EXPECT_EQ(LWPrefs::intValue(LWPrefs::exportDPIKey), 600);
        sheet.rasterBleedBox()->click();
        EXPECT_TRUE(LWPrefs::store().contains(LWPrefs::exportBleedKey));
        EXPECT_FALSE(LWPrefs::boolValue(LWPrefs::exportBleedKey));
        EXPECT_EQ(sheet.summary().value(1), QStringLiteral("600 DPI \u00B7 2 pages"));
    }
    ExportSheet next(app, editor);
    EXPECT_EQ(next.dpi(), 600);
    EXPECT_FALSE(next.bleed());
    EXPECT_FALSE(next.pdfBleedBox()->isChecked());
}

TEST_F(ExportTest, OptionsFollowFormatAndDesign)
{
    for (bool isCard : {false, true})
        for (Fmt format : {Fmt::pdf, Fmt::jpeg, Fmt::png, Fmt::sheet}) {
            SCOPED_TRACE(testing::Message() << isCard << " " << int(format));
            ExportSheet sheet(app, openNew(isCard ? card() : flyer()));
            sheet.formatPicker()->segment(int(format))->click();
            EXPECT_EQ(sheet.format(), format);
            EXPECT_EQ(sheet.sidesPicker()->isVisibleTo(&sheet), isCard);
            const bool exportable = isCard || format != Fmt::sheet; // the sheet is for cards only
            EXPECT_EQ(sheet.exportButton()->isEnabled(), exportable);
            EXPECT_EQ(sheet.qualitySlider()->isVisibleTo(&sheet), format == Fmt::jpeg);
            EXPECT_EQ(sheet.sheetText()->isVisibleTo(&sheet), format == Fmt::sheet);
            EXPECT_EQ(sheet.sheetText()->palette().color(QPalette::WindowText) == LWStyle::amber(), !isCard);
            // Return exports only when enabled: a disabled one asks nothing (an unscripted prompt fails).
            if (!exportable)
                QTest::keyClick(&sheet, Qt::Key_Return);
        }
}

// Clicking through the formats never resizes the sheet or moves its rows, so the next click lands
// where it was aimed: for a two-sided card (sides shown) and a one-page flyer (never shown).
TEST_F(ExportTest, OneSizeAndFixedRowsInEveryFormat)
{
    for (bool isCard : {true, false}) {
        SCOPED_TRACE(isCard ? "card" : "flyer");
        ExportSheet sheet(app, openNew(isCard ? card() : flyer()));
        sheet.show();
        std::optional<QList<QRect>> first;
        for (Fmt format : {Fmt::pdf, Fmt::png, Fmt::pdf, Fmt::jpeg, Fmt::pdf, Fmt::sheet, Fmt::png, Fmt::pdf}) {
            SCOPED_TRACE(int(format));
            QTest::mouseClick(sheet.formatPicker()->segment(int(format)), Qt::LeftButton);
            QCoreApplication::processEvents();
            ASSERT_EQ(sheet.format(), format);
            const QList<QRect> places = {sheet.geometry(), sheet.readout()->geometry(), sheet.exportButton()->geometry(),
                                         sheet.closeButton()->geometry(), sheet.sidesPicker()->geometry()};
            if (!first)
                first = places;
            EXPECT_EQ(places[0].size(), first->at(0).size());
            EXPECT_EQ(places.mid(1, isCard ? 4 : 3), first->mid(1, isCard ? 4 : 3));
        }
    }
}

TEST_F(ExportTest, SummaryLines)
{
    const QString dot = QStringLiteral(" \u00B7 "), x = QStringLiteral(" \u00D7 ");
    const struct {
        LWDocument doc;
        Fmt format;
        int sides;
        bool bleed;
        QStringList lines;
    } cases[] = {
        {card(), Fmt::pdf, -1, true, {"PDF" + dot + "2 pages", "PAGE 3.75" + x + "2.25 in (TRIM + BLEED)"}},
        {card(), Fmt::pdf, 1, false, {"PDF" + dot + "1 page", "PAGE 3.5" + x + "2 in (TRIM)"}},
        {card(), Fmt::jpeg, -1, true,
         {"JPEG" + dot + "1125" + x + "675 PIXELS", "300 DPI" + dot + "2 pages" + dot + "WITH BLEED"}},
        {card(), Fmt::png, 0, false, {"PNG" + dot + "1050" + x + "600 PIXELS", "300 DPI" + dot + "1 page"}},
        {card(), Fmt::sheet, 0, true,
         {"10-UP SHEET" + dot + "LETTER", "2" + x + "5 CARDS" + dot + "CROP MARKS" + dot + "1 PAGE"}},
        {flyer(), Fmt::sheet, -1, true, {"10-UP SHEET", "BUSINESS CARDS ONLY"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lines.join(QStringLiteral(" / ")).toStdString());
        LWPrefs::store().setValue(LWPrefs::exportBleedKey, c.bleed);
        ExportSheet sheet(app, openNew(c.doc));
        sheet.setFormat(c.format);
        sheet.setSides(c.sides);
        EXPECT_EQ(sheet.readout()->lines(), c.lines);
    }
}

TEST_F(ExportTest, ProposedNamesByFormatWithTheNameCleaned)
{
    const QString pdf = QStringLiteral("PDF document (*.pdf)");
    const struct {
        QString docName;
        Fmt format;
        QString proposed, filter, suffix;
    } cases[] = {
        {"", Fmt::pdf, "Design.pdf", pdf, "pdf"},
        {"", Fmt::sheet, "Design - print sheet.pdf", pdf, "pdf"},
        {"", Fmt::jpeg, "Design.jpg", "JPEG image (*.jpg *.jpeg)", "jpg"},
        {"../a/b\\c\td", Fmt::pdf, "-a-b-c-d.pdf", pdf, "pdf"},
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
        expectNothing(sheet); // cancelled: no alert either (unscripted)
    }
}

TEST_F(ExportTest, RasterFilesPerPage)
{
    LWDocument four = flyer(QStringLiteral("Four"));
    four.pages = {LWPage(), LWPage(), LWPage(), LWPage()};
    const QStringList names = {QStringLiteral("../x"), QStringLiteral("Front"), QStringLiteral("front"), QString()};
    for (int i = 0; i < 4; ++i)
        four.pages[i].name = names[i];
    // A card whose back is red, to tell the sides apart in the files.
    LWDocument sided = card();
    sided.pages[1].background = LWFill::solid(LWColor::hex(0xFF0000));
    const QColor white(Qt::white), red(Qt::red);
    const QRectF cardBox(0, 0, 252, 144), bleedBox(0, 0, 270, 162), trimInBleed(9, 9, 252, 144);
    const struct {
        const char *name;
        LWDocument doc;
        Fmt format;
        int sides; // the Sides segment sides + 1 is clicked ("Both" first) where there is one
        QStringList files;
        QString notice, first;
        QString chosen = QStringLiteral("Card.jpg");
        int dpi = 300;
        bool bleed = true;
        QSize pixels = {}; // the first file's, when given
        QColor middle = {};
        QRectF media = {}, trim = {}; // a PDF's first page's
    } cases[] = {
        {"both sides", sided, Fmt::jpeg, -1, {"Card - back.jpg", "Card - front.jpg"}, "Exported 2 files",
         "Card - front.jpg", "Card.jpg", 300, true, {1125, 675}, white},
        {"the back", sided, Fmt::jpeg, 1, {"Card.jpg"}, "Exported Card.jpg", "Card.jpg", "Card.jpg", 300, true, {}, red},
        {"the front", sided, Fmt::png, 0, {"Card.png"}, "Exported Card.png", "Card.png", "Card.png", 300, true, {}, white},
        {"a side that names no page", card(), Fmt::png, 7, {"Card - back.png", "Card - front.png"},
         "Exported 2 files", "Card - front.png"},
        {"awkward page names", four, Fmt::jpeg, -1,
         {"Card - -x.jpg", "Card - front 2.jpg", "Card - front.jpg", "Card - page 4.jpg"}, "Exported 4 files",
         "Card - -x.jpg"},
        {"a dotted name keeps its dots", card(), Fmt::png, -1, {"My.card - back.png", "My.card - front.png"},
         "Exported 2 files", "My.card - front.png", "My.card.png"},
        {"PNG at 600 DPI", sided, Fmt::png, 0, {"Card.png"}, "Exported Card.png", "Card.png", "Card.png", 600, true,
         {2250, 1350}, white},
        {"JPEG at 600 DPI without bleed", sided, Fmt::jpeg, 1, {"Card.jpg"}, "Exported Card.jpg", "Card.jpg",
         "Card.jpg", 600, false, {2100, 1200}, red},
        {"PDF", card(), Fmt::pdf, -1, {"Card.jpg"}, "Exported Card.jpg", "Card.jpg", "Card.jpg", 300, true, {}, {},
         bleedBox, trimInBleed},
        {"PDF without bleed", card(), Fmt::pdf, -1, {"Card.pdf"}, "Exported Card.pdf", "Card.pdf", "Card.pdf", 300,
         false, {}, {}, cardBox, cardBox},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &f : files(out()))
            QFile::remove(out(f));
        LWPrefs::store().setValue(LWPrefs::exportBleedKey, true);
        LWPrefs::store().setValue(LWPrefs::exportDPIKey, 300);
        ExportSheet sheet(app, openNew(c.doc));
        sheet.formatPicker()->segment(int(c.format))->click();
        if (QAbstractButton *segment = sheet.sidesPicker()->segment(c.sides + 1))
            segment->click();
        else
            sheet.setSides(c.sides);
        if (c.dpi == 600)
            QTest::keyClick(sheet.resolutionBox(), Qt::Key_Down);
        if (!c.bleed)
            (c.format == Fmt::pdf ? sheet.pdfBleedBox() : sheet.rasterBleedBox())->click();
        prompts->calls.clear();
        prompts->script = {ScriptedPrompts::exportStep(QUrl::fromLocalFile(out(c.chosen)))};
        sheet.runExport();
        finish(sheet);
        EXPECT_EQ(files(out()), c.files);
        EXPECT_EQ(app.notice().value_or(QString()), c.notice);
        EXPECT_EQ(sheet.exportedFile(), out(c.first));
        const QByteArray written = bytes(out(c.first));
        if (c.format == Fmt::pdf) {
            const QList<LWPdfFile::StoredBoxes> boxes = LWPdfFile::pageBoxes(written);
            EXPECT_EQ(boxes.size(), 2);
            EXPECT_EQ(boxes.value(0).media, c.media);
            EXPECT_EQ(boxes.value(0).trim, c.trim);
        } else {
            if (c.format == Fmt::png) {
                EXPECT_EQ(lwPngFault(written), "");
            }
            const QImage image = QImage::fromData(written);
            EXPECT_FALSE(image.isNull());
            if (!c.pixels.isEmpty()) {
                EXPECT_EQ(image.size(), c.pixels);
            }
            EXPECT_EQ(image.dotsPerMeterX(), qRound(c.dpi / 0.0254));
            EXPECT_EQ(image.dotsPerMeterY(), qRound(c.dpi / 0.0254));
            if (c.middle.isValid() && !image.isNull()) {
                const QColor got = image.pixelColor(image.width() / 2, image.height() / 2);
                EXPECT_LE(std::abs(got.red() - c.middle.red()) + std::abs(got.green() - c.middle.green()) +
                              std::abs(got.blue() - c.middle.blue()),
                          24)
                    << got.name().toStdString();
            }
        }
        opened.clear();
        sheet.showButton()->click();
        EXPECT_EQ(opened, QStringList{out()});
    }
    // Nothing landed outside the chosen folder.
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
    expectNothing(sheet);
}

TEST_F(ExportTest, ExistingFilesAreConfirmedOnce)
{
    ExportSheet sheet(app, openNew(card()));
    sheet.setFormat(Fmt::jpeg);
    const QString back = out(QStringLiteral("Card - back.jpg"));
    QFile old(back);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    exportCard(sheet, {ScriptedPrompts::confirmStep(false)});
    EXPECT_EQ(prompts->calls.value(1), (QStringList{QStringLiteral("confirm"), QStringLiteral("Replace 1 existing file?"),
                                                    QStringLiteral("Card - back.jpg"), QStringLiteral("Replace")}));
    EXPECT_EQ(files(out()), QStringList{QStringLiteral("Card - back.jpg")});
    EXPECT_EQ(bytes(back), QByteArray("old"));
    EXPECT_FALSE(app.notice());

    exportCard(sheet, {ScriptedPrompts::confirmStep(true)});
    EXPECT_EQ(files(out()), (QStringList{QStringLiteral("Card - back.jpg"), QStringLiteral("Card - front.jpg")}));
    EXPECT_NE(bytes(back), QByteArray("old"));
}

TEST_F(ExportTest, FailuresAlertAndWriteNothingMore)
{
    // Longer than a raster export can be (a hand-made size): the sheet says so before Export,
    // which is disabled, and picking 300 DPI enables it again.
    LWSettings::shared().setValue(LWPrefs::exportDPIKey, 600);
    ExportSheet huge(app, openNew(LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 4000, 2592, 18,
                                                 QStringLiteral("Huge"))));
    huge.formatPicker()->segment(int(Fmt::png))->click();
    EXPECT_FALSE(huge.exportButton()->isEnabled());
    const auto shownNote = [&huge] {
        for (QLabel *label : huge.findChildren<QLabel *>())
            if (label->isVisibleTo(&huge) && label->text().startsWith(QStringLiteral("Too large")))
                return label->text();
        return QString();
    };
    EXPECT_EQ(shownNote(), QStringLiteral("Too large for PNG at 600 DPI: at most 32,767 pixels on a side."));
    QTest::keyClick(&huge, Qt::Key_Return);
    expectNothing(huge);
    EXPECT_TRUE(prompts->calls.isEmpty());
    huge.resolutionBox()->setCurrentIndex(0);
    Q_EMIT huge.resolutionBox()->activated(0);
    EXPECT_TRUE(huge.exportButton()->isEnabled());
    EXPECT_EQ(shownNote(), QString());

    // A file that cannot be replaced: the system's reason and the advice, no second file tried.
    ExportSheet sheet(app, openNew(card()));
    sheet.setFormat(Fmt::jpeg);
    ASSERT_TRUE(QDir(out()).mkdir(QStringLiteral("Card - front.jpg")));
    exportCard(sheet, {ScriptedPrompts::confirmStep(true), ScriptedPrompts::alertStep()});
    const QStringList alert = prompts->calls.value(2);
    ASSERT_EQ(alert.value(0), QStringLiteral("alert"));
    EXPECT_EQ(alert.value(1), ExportSheet::failedTitle);
    EXPECT_TRUE(alert.value(2).startsWith(QStringLiteral("The file \"Card - front.jpg\" couldn't be saved: ")))
        << alert.value(2).toStdString();
    EXPECT_TRUE(alert.value(2).endsWith(QStringLiteral("\n\nTry another folder, or check that the disk has free space.")));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("Card - back.jpg"))));
    EXPECT_FALSE(sheet.exportedFile());
    EXPECT_FALSE(app.notice());

    if (geteuid() == 0)
        return; // the administrator writes into read-only folders
    QDir(out()).rmdir(QStringLiteral("Card - front.jpg"));
    ASSERT_TRUE(QFile::setPermissions(out(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    exportCard(sheet, {ScriptedPrompts::alertStep()});
    QFile::setPermissions(out(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(prompts->calls.value(1).value(2).contains(QStringLiteral("couldn't be saved: ")));
    EXPECT_EQ(files(out()), QStringList());
}

TEST_F(ExportTest, HeaderCountsWarningsAndFollowsTheDesign)
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
    EXPECT_TRUE(sheet.reviewButton()->isVisibleTo(&sheet));

    // A renamed side renames its choice in place.
    editor->change(QStringLiteral("Rename"), std::nullopt, [](LWDocument &d) { d.pages[1].name = QStringLiteral("Inside"); });
    EXPECT_EQ(sheet.sidesPicker()->segment(2)->accessibleName(), QStringLiteral("Inside"));
    // With the warnings gone only the info is left.
    editor->change(QStringLiteral("Clear"), std::nullopt, [](LWDocument &d) { d.pages[0].elements.clear(); });
    EXPECT_EQ(sheet.lamp()->colour(), LWStyle::moss());
    EXPECT_FALSE(sheet.reviewButton()->isVisibleTo(&sheet));
}

// While an export runs the "Review" link cannot be clicked and looks so: its text fades.
TEST_F(ExportTest, ReviewLinkFadesWhileAnExportRuns)
{
    LWDocument doc = card();
    doc.pages[0].elements.append(photo(QStringLiteral("Empty"))); // a warning: the link shows
    ExportSheet sheet(app, openNew(doc));
    sheet.setFormat(Fmt::png);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    sheet.closeButton()->setFocus(); // the link's focus ring is not its ink
    // How far the link's most distinct pixel is from its corner, the background.
    const auto ink = [&sheet] {
        const QImage image = sheet.reviewButton()->grab().toImage();
        const QColor back = image.pixelColor(0, 0);
        int most = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                most = std::max(most, std::abs(c.red() - back.red()) + std::abs(c.green() - back.green()) +
                                          std::abs(c.blue() - back.blue()));
            }
        return most;
    };
    const int enabled = ink();
    std::optional<int> during;
    bool clickable = true;
    LWFileAccess::ReplaceProbe probe;
    probe.writeFault = [&](qint64) {
        if (!during)
            QMetaObject::invokeMethod(
                &sheet, [&] { during = ink(), clickable = sheet.reviewButton()->isEnabled(); },
                Qt::BlockingQueuedConnection);
        return 0;
    };
    LWExportJob::setProbe(probe);
    exportCard(sheet);
    LWExportJob::setProbe({});
    EXPECT_FALSE(clickable);
    ASSERT_TRUE(during);
    EXPECT_LT(*during, enabled * 6 / 10) << enabled;
    EXPECT_EQ(ink(), enabled);
}

TEST_F(ExportTest, PresenterReviewSwitchesToThePreflightSheetInPlace)
{
    LWDocument doc = card();
    doc.pages[0].elements.append(photo(QStringLiteral("Empty")));
    openNew(doc);
    QWidget window;
    LWSheetPresenter presenter(app, &window);
    app.setSheet(LWAppSheet::exportSheet);
    QPointer<ExportSheet> sheet = qobject_cast<ExportSheet *>(presenter.dialog());
    ASSERT_TRUE(sheet);
    QList<std::optional<LWAppSheet>> seen;
    QObject::connect(&app, &LWApp::sheetChanged, &app, [&] { seen.append(app.sheet()); });
    sheet->reviewButton()->click();
    EXPECT_NE(qobject_cast<PreflightSheet *>(presenter.dialog()), nullptr);
    runPosted();
    EXPECT_EQ(seen, (QList<std::optional<LWAppSheet>>{LWAppSheet::preflight}));
    EXPECT_TRUE(sheet.isNull());
}

TEST_F(ExportTest, PresenterOneDialogPerCaseAndBackToNone)
{
    QWidget window;
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
    app.setSheet(LWAppSheet::exportSheet);
    EXPECT_EQ(presenter.dialog(), first.data());
    QTest::keyClick(first, Qt::Key_Escape);
    runPosted();
    EXPECT_FALSE(app.sheet());
    EXPECT_TRUE(first.isNull());

    // A new design replaces the open one: its sheet goes with it.
    app.setSheet(LWAppSheet::exportSheet);
    QPointer<QDialog> second = presenter.dialog();
    openNew(flyer());
    runPosted();
    EXPECT_TRUE(second.isNull());
    EXPECT_FALSE(app.sheet());

    // The custom-size dialog needs no design and stays when the design changes.
    app.setSheet(LWAppSheet::newCustom);
    QPointer<QDialog> custom = presenter.dialog();
    ASSERT_TRUE(custom);
    openNew(card());
    runPosted();
    EXPECT_EQ(app.sheet(), LWAppSheet::newCustom);
    custom->reject();
    runPosted();
    EXPECT_FALSE(app.sheet());
    EXPECT_TRUE(custom.isNull());
}

// Through the real export dialog: the user picks a format, types a name and confirms.
TEST_F(ExportTest, WrittenNamesCarryTheChosenFormatsExtension)
{
    const QByteArray pdf("%PDF-"), jpeg("\xFF\xD8\xFF"), png("\x89PNG\r\n\x1A\n");
    const struct {
        Fmt format;
        const char *typed;
        const char *written;
        QByteArray magic;
    } cases[] = {
        {Fmt::pdf, "poster.png", "poster.pdf", pdf},
        {Fmt::pdf, "poster", "poster.pdf", pdf},
        {Fmt::pdf, "My.card", "My.card.pdf", pdf},
        {Fmt::pdf, "Print.PDF", "Print.PDF", pdf},
        {Fmt::png, "card.jpg", "card.png", png},
        {Fmt::png, "card.jpeg", "card.png", png},
        {Fmt::jpeg, "card.jpeg", "card.jpeg", jpeg},
        {Fmt::jpeg, "card.JPG", "card.JPG", jpeg},
        {Fmt::jpeg, "photo.png", "photo.jpg", jpeg},
        {Fmt::jpeg, "scan.tiff", "scan.jpg", jpeg},
        {Fmt::sheet, "sheet.png", "sheet.pdf", pdf},
    };
    app.setPrompts(std::make_shared<LWQtPrompts>());
    QString typed;
    ModalAnswerer answerer([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal))
            typeAndAccept(*dialog, out(), typed);
    });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        for (const QString &f : files(out()))
            QFile::remove(out(f));
        ExportSheet sheet(app, openNew(card()));
        sheet.formatPicker()->segment(int(c.format))->click();
        sheet.sidesPicker()->segment(1)->click(); // the front alone: one file
        typed = QString::fromLatin1(c.typed);
        sheet.exportButton()->click();
        finish(sheet);
        EXPECT_EQ(files(out()), QStringList{QString::fromLatin1(c.written)});
        EXPECT_TRUE(bytes(out(QString::fromLatin1(c.written))).startsWith(c.magic));
        EXPECT_EQ(app.notice().value_or(QString()), QStringLiteral("Exported ") + QString::fromLatin1(c.written));
    }

    // The replace question names the file written: none for an old poster.png, one for poster.pdf.
    for (const QString &f : files(out()))
        QFile::remove(out(f));
    QFile old(out(QStringLiteral("poster.png")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    QStringList questions;
    bool replace = false;
    ModalAnswerer questionAnswerer([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            questions.append(box->text());
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        }
    });
    typed = QStringLiteral("poster.png");
    ExportSheet sheet(app, openNew(card()));
    sheet.sidesPicker()->segment(1)->click();
    sheet.exportButton()->click();
    finish(sheet);
    EXPECT_EQ(questions, QStringList());
    EXPECT_EQ(files(out()), (QStringList{QStringLiteral("poster.pdf"), QStringLiteral("poster.png")}));
    EXPECT_EQ(bytes(out(QStringLiteral("poster.png"))), QByteArray("old"));

    const QByteArray first = bytes(out(QStringLiteral("poster.pdf")));
    sheet.pdfBleedBox()->click(); // another file, so a replacement shows
    sheet.exportButton()->click();
    finish(sheet);
    EXPECT_EQ(questions, QStringList{QStringLiteral("poster.pdf already exists.\nDo you want to replace it?")});
    EXPECT_EQ(bytes(out(QStringLiteral("poster.pdf"))), first);
    replace = true;
    sheet.exportButton()->click();
    finish(sheet);
    EXPECT_NE(bytes(out(QStringLiteral("poster.pdf"))), first);
}

TEST_F(ExportTest, AFolderNothingOpensIsNamedInAnAlert)
{
    ExportSheet::setFolderOpener({});
    QList<QUrl> asked;
    VELKKitHost::setOpener([&](const QUrl &url) {
        asked.append(url);
        return false;
    });
    VELKKitHost::setAlertHandler([this](const QString &title, const QString &message) { app.alert(title, message); });
    ExportSheet sheet(app, openNew(card()));
    sheet.setFormat(Fmt::pdf);
    exportCard(sheet, {ScriptedPrompts::alertStep()});
    sheet.showButton()->click();
    VELKKitHost::setOpener({});
    VELKKitHost::setAlertHandler({});
    EXPECT_EQ(asked, QList<QUrl>{QUrl::fromLocalFile(out())});
    EXPECT_EQ(prompts->calls.value(1),
              (QStringList{QStringLiteral("alert"), QStringLiteral("Couldn't show the folder"),
                           QStringLiteral("No file manager opened it. You can open it yourself:\n") + out()}));
}
