#include "app/printing.h"
#include "app/sheets/exportsheet.h"
#include "app_fixture.h"
#include "modalanswerer.h"
#include "model/file/folders.h"
#include "render/export.h"

#include <QComboBox>
#include <QTest>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>

namespace {

// A user's hand in Qt's print dialog: the file printer, `file` typed into its file field, the
// `pages` typed into its Pages field (unless empty), then a click on Print. A dialog still up
// after that (it refused something) is cancelled.
void printToFile(QPrintDialog &dialog, const QString &file, const QString &pages)
{
    if (dialog.property("answered").toBool())
        return dialog.reject();
    dialog.setProperty("answered", true);
    auto *printers = dialog.findChild<QComboBox *>(QStringLiteral("printers"));
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("filename"));
    auto *pagesRadio = dialog.findChild<QRadioButton *>(QStringLiteral("pagesRadioButton"));
    auto *pagesField = dialog.findChild<QLineEdit *>(QStringLiteral("pagesLineEdit"));
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    if (!printers || !field || !pagesRadio || !pagesField || !buttons) {
        ADD_FAILURE() << "the print dialog lacks a field";
        return dialog.reject();
    }
    printers->setCurrentIndex(printers->count() - 1); // "Print to File (PDF)"
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, file);
    if (!pages.isEmpty()) {
        EXPECT_TRUE(pagesRadio->isEnabled());
        pagesRadio->click();
        QTest::keyClicks(pagesField, pages);
    }
    // Queued: a question it raises runs its own loop, which this answer's timer must be free to answer.
    QPushButton *print = buttons->button(QDialogButtonBox::Ok);
    QMetaObject::invokeMethod(print, [print] { QTest::mouseClick(print, Qt::LeftButton); }, Qt::QueuedConnection);
}

// The message boxes that came up, each answered with Yes, else OK.
void answerBox(QMessageBox &box, QStringList &texts)
{
    texts.append(box.text());
    QAbstractButton *button = box.button(QMessageBox::Yes);
    if (!button)
        button = box.button(QMessageBox::Ok);
    if (!button)
        button = box.defaultButton();
    if (button)
        button->click();
}

const QString pdfFilter = QStringLiteral("PDF document (*.pdf)");

} // namespace

// One rule for every name typed: Export in each format, Save As and Print to File.
TEST_F(AppTest, TypedNamesBecomeOneRulesNames)
{
    LWQtPrompts qt;
    struct Where {
        QString proposed, filter, suffix; // an export; "save" or "print" in `filter` for the others
    };
    const QMap<QString, Where> where = {
        {"PDF", {"Poster.pdf", pdfFilter, "pdf"}},
        {"PNG", {"Poster.png", "PNG image (*.png)", "png"}},
        {"JPEG", {"Poster.jpg", "JPEG image (*.jpg *.jpeg)", "jpg"}},
        {"sheet", {"Poster - print sheet.pdf", pdfFilter, "pdf"}},
        {"Save As", {"Poster", "save", {}}},
        {"Print to File", {"Poster.pdf", "print", {}}},
    };
    const struct {
        const char *typed, *where, *written;
    } cases[] = {
        {"poster.", "PDF", "poster.pdf"},
        {"poster.png.", "PDF", "poster.pdf"},
        {"poster.png.", "PNG", "poster.png"},
        {"flyer.png ", "PNG", "flyer.png"},
        {"card.png", "PDF", "card.pdf"},
        {"card.PDF", "PDF", "card.PDF"},
        {"card.pdf.png", "PDF", "card.pdf"},
        {"photo.jpeg", "JPEG", "photo.jpeg"},
        {"photo.png", "JPEG", "photo.jpg"},
        {"My.card", "PDF", "My.card.pdf"},
        {".pdf", "PDF", "Poster.pdf"},
        {".png", "PDF", "Poster.pdf"},
        {".pdf", "sheet", "Poster - print sheet.pdf"},
        {"poster.pdf", "Save As", "poster.velkfolio"},
        {"poster.", "Save As", "poster.velkfolio"},
        {"Spring.Sale", "Save As", "Spring.Sale.velkfolio"},
        {".velkfolio", "Save As", "Poster.velkfolio"},
        {"home-print", "Print to File", "home-print.pdf"},
        {"home-print.png", "Print to File", "home-print.pdf"},
        {"poster.pdf. ", "Print to File", "poster.pdf"},
        {".pdf", "Print to File", "Poster.pdf"},
        // Blanks and dots at the end go before any extension is added.
        {"name  ", "PDF", "name.pdf"},
        {"name. ", "PDF", "name.pdf"},
        {"name  ", "PNG", "name.png"},
        {"name. ", "JPEG", "name.jpg"},
        {"name  ", "sheet", "name.pdf"},
        {"name  ", "Save As", "name.velkfolio"},
        {"name. ", "Save As", "name.velkfolio"},
        {"name  ", "Print to File", "name.pdf"},
        {"name. ", "Print to File", "name.pdf"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " in " + c.where);
        const Where &w = where[QString::fromUtf8(c.where)];
        const QString typed = QString::fromUtf8(c.typed);
        QStringList boxes;
        ModalAnswerer answerer([&](QWidget *modal) {
            if (auto *print = qobject_cast<QPrintDialog *>(modal))
                printToFile(*print, dir.filePath(typed), {});
            else if (auto *files = qobject_cast<QFileDialog *>(modal))
                typeAndAccept(*files, dir.path(), typed);
            else if (auto *box = qobject_cast<QMessageBox *>(modal))
                answerBox(*box, boxes);
        });
        std::optional<QString> written;
        if (w.filter == u"print") {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            if (qt.choosePrinter(printer, 2, w.proposed))
                written = printer.outputFileName();
        } else if (const std::optional<QUrl> url = w.filter == u"save"
                                                       ? qt.chooseSave(w.proposed, QStringLiteral("Save"))
                                                       : qt.chooseExport(w.proposed, w.filter, w.suffix)) {
            written = url->toLocalFile();
        }
        EXPECT_EQ(written.value_or(QStringLiteral("(cancelled)")).toStdString(),
                  dir.filePath(QString::fromUtf8(c.written)).toStdString());
        EXPECT_TRUE(boxes.isEmpty()) << boxes.join(u'\n').toStdString();
    }

    // The replace question names the file that would be replaced, once.
    for (const char *kind : {"PDF", "Print to File"}) {
        SCOPED_TRACE(kind);
        QFile existing(dir.filePath(QStringLiteral("taken.pdf")));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.close();
        const Where &w = where[QString::fromUtf8(kind)];
        QStringList boxes;
        ModalAnswerer answerer([&](QWidget *modal) {
            if (auto *print = qobject_cast<QPrintDialog *>(modal))
                printToFile(*print, dir.filePath(QStringLiteral("taken")), {});
            else if (auto *files = qobject_cast<QFileDialog *>(modal))
                typeAndAccept(*files, dir.path(), QStringLiteral("taken"));
            else if (auto *box = qobject_cast<QMessageBox *>(modal))
                answerBox(*box, boxes);
        });
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        EXPECT_TRUE(w.filter == u"print" ? qt.choosePrinter(printer, 2, w.proposed)
                                         : qt.chooseExport(w.proposed, w.filter, w.suffix).has_value());
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes.constFirst().contains(QStringLiteral("taken.pdf"))) << boxes.constFirst().toStdString();
    }
}

// Print to File starts in the export folder with the design's name, as Export names the same pages.
TEST_F(AppTest, PrintToFileProposesTheExportFolderAndName)
{
    const QString exports = dir.filePath(QStringLiteral("exports"));
    ASSERT_TRUE(QDir().mkpath(exports));
    LWFolders::remember(LWFolders::Purpose::exports, exports + QStringLiteral("/last.pdf"));
    app.setPrompts(std::make_shared<LWQtPrompts>());
    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Quick card")));
    for (const bool sheet : {false, true}) {
        QString proposed;
        ModalAnswerer answerer([&](QWidget *modal) {
            auto *dialog = qobject_cast<QPrintDialog *>(modal); // not the panel while the pages are made
            if (auto *field = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("filename")) : nullptr)
                proposed = field->text();
            if (dialog)
                dialog->reject();
        });
        app.print(sheet);
        EXPECT_EQ(proposed, exports + (sheet ? QStringLiteral("/Quick card - print sheet.pdf")
                                             : QStringLiteral("/Quick card.pdf")));
    }
}

// A folder is remembered once its file was written or read: a failed save, export or open leaves
// the next dialog where the last successful one started.
TEST_F(AppTest, FailedSaveExportAndOpenKeepTheLastGoodFolder)
{
    const QString good = dir.filePath(QStringLiteral("good")), bad = dir.filePath(QStringLiteral("bad"));
    ASSERT_TRUE(QDir().mkpath(good) && QDir().mkpath(bad));
    // Files no one may write, the administrator included.
    for (const char *name : {"locked.velkfolio", "locked.pdf"}) {
        QFile locked(bad + u'/' + QString::fromUtf8(name));
        ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
        locked.close();
        ASSERT_TRUE(locked.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    QFile broken(bad + QStringLiteral("/broken.velkfolio"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("not a design") > 0);
    broken.close();

    app.setPrompts(std::make_shared<LWQtPrompts>());
    newDirty(QStringLiteral("Poster"));
    ExportSheet sheet(app, app.editor());

    QString started, folder, name;
    QStringList alerts;
    ModalAnswerer answerer([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            return answerBox(*box, alerts);
        auto *files = qobject_cast<QFileDialog *>(modal);
        if (!files)
            return;
        if (files->property("answered").toBool())
            return;
        files->setProperty("answered", true);
        started = files->directory().absolutePath();
        // Queued: the dialog's own replace question runs a loop this timer must be free to answer.
        QMetaObject::invokeMethod(files, [&, files] {
            if (name.isEmpty())
                files->reject();
            else
                typeAndAccept(*files, folder, name);
        }, Qt::QueuedConnection);
    });
    const struct {
        const char *what;
        std::function<void()> run;
        QString goodName, badName, failure;
    } flows[] = {
        {"save", [&] { (void)app.saveAs(); }, "saved", "locked.velkfolio", "Couldn't save the design"},
        {"export",
         [&] {
             sheet.runExport();
             EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet.exporting(); }, 60000));
         },
         "exported", "locked.pdf", ExportSheet::failedTitle},
        {"open", [&] { app.openPanel(); }, "saved.velkfolio", "broken.velkfolio", "Couldn't open broken.velkfolio"},
    };
    for (const auto &f : flows) {
        SCOPED_TRACE(f.what);
        folder = good;
        name = f.goodName;
        f.run();
        folder = bad;
        name = f.badName;
        alerts.clear();
        f.run();
        EXPECT_TRUE(alerts.contains(f.failure)) << alerts.join(u'\n').toStdString();
        name.clear();
        started.clear();
        f.run();
        EXPECT_EQ(started, good);
    }
}

// The Pages field takes a page, a range and a list, and prints those pages, here to a file.
TEST_F(AppTest, PrintDialogPagesFieldPrintsThePagesTyped)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    for (LWPage &page : doc.pages)
        page.background = LWFill::solid(LWColor::black);
    ASSERT_EQ(doc.pages.size(), 2);
    app.newDocument(doc);
    app.setPrompts(std::make_shared<LWQtPrompts>());
    const struct {
        const char *pages;
        QList<int> printed;
    } cases[] = {{"2", {1}}, {"1-2", {0, 1}}, {"1,2", {0, 1}}, {"2-2", {1}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pages);
        const QString out = dir.filePath(QStringLiteral("pages %1.pdf").arg(QString::fromUtf8(c.pages)));
        QStringList refusals;
        ModalAnswerer answerer([&](QWidget *modal) {
            if (auto *print = qobject_cast<QPrintDialog *>(modal))
                printToFile(*print, out, QString::fromUtf8(c.pages));
            else if (auto *box = qobject_cast<QMessageBox *>(modal))
                answerBox(*box, refusals);
        });
        app.print(false);
        EXPECT_TRUE(refusals.isEmpty()) << refusals.join(u'\n').toStdString();
        const std::optional<QByteArray> expected = LWExport::pdfData(doc, c.printed, false);
        ASSERT_TRUE(expected);
        const QList<QImage> printed = drawnPages(bytes(out));
        EXPECT_EQ(printed.size(), c.printed.size());
        EXPECT_EQ(printed, drawnPages(*expected));
    }
    EXPECT_TRUE(backend->jobs.isEmpty());
}
