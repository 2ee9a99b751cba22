#include "app/app.h"
#include "app/prompts.h"
#include "app/sheets/exportsheet.h"
#include "modalanswerer.h"
#include "model/file/documentio.h"
#include "model/file/prefs.h"
#include "model/testflags.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

QStringList texts(const QList<QAbstractButton *> &buttons)
{
    QStringList out;
    for (const QAbstractButton *b : buttons)
        out.append(b->text());
    return out;
}

using Answerer = ModalAnswerer;

void click(QWidget *modal, const QString &text)
{
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        for (QAbstractButton *b : box->buttons())
            if (b->text() == text)
                return b->click();
}

// The button of that text, or "escape".
void press(QWidget *modal, const QString &button)
{
    if (button == QStringLiteral("escape"))
        QTest::keyClick(modal, Qt::Key_Escape);
    else
        click(modal, button);
}

} // namespace

TEST(Prompts, DialogsAsBuilt)
{
    std::unique_ptr<QMessageBox> box(LWQtPrompts::makeQuestion(nullptr, QStringLiteral("Q"), QStringLiteral("D")));
    EXPECT_EQ(box->text(), QStringLiteral("Q"));
    EXPECT_EQ(box->informativeText(), QStringLiteral("D"));
    EXPECT_EQ(texts(box->buttons()),
              QStringList({QStringLiteral("Save\u2026"), QStringLiteral("Cancel"), QStringLiteral("Don't Save")}));
    const QList<QMessageBox::ButtonRole> roles = {QMessageBox::AcceptRole, QMessageBox::RejectRole,
                                                  QMessageBox::DestructiveRole};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(box->buttonRole(box->buttons()[i]), roles[i]);
    EXPECT_EQ(box->defaultButton(), box->buttons()[0]);
    EXPECT_EQ(box->escapeButton(), box->buttons()[1]);

    std::unique_ptr<QMessageBox> alert(LWQtPrompts::makeAlert(nullptr, QStringLiteral("T"), QStringLiteral("M")));
    EXPECT_EQ(alert->text(), QStringLiteral("T"));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("M"));
    EXPECT_EQ(alert->buttons().size(), 1);

    std::unique_ptr<QFileDialog> dialog(LWQtPrompts::makeFileDialog(nullptr, QStringLiteral("Pick"), true));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Pick"));
    EXPECT_EQ(dialog->nameFilters(), QStringList({QStringLiteral("VELK Leafwrighter Design (*.velkfolio)")}));
}

TEST(Prompts, ExportDialogAndConfirmAsBuilt)
{
    std::unique_ptr<QFileDialog> dialog(LWQtPrompts::makeExportDialog(nullptr, QStringLiteral("Card.png"),
                                                                      QStringLiteral("PNG image (*.png)"),
                                                                      QStringLiteral("png")));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("PNG image (*.png)")});
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("png"));
    // The name may still change its extension: the prompts ask about the final one themselves.
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));

    std::unique_ptr<QMessageBox> box(LWQtPrompts::makeConfirm(nullptr, QStringLiteral("Q"), QStringLiteral("D"),
                                                              QStringLiteral("Replace")));
    EXPECT_EQ(texts(box->buttons()).size(), 2);
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(box->escapeButton(), box->defaultButton());
    EXPECT_EQ(box->buttonRole(box->buttons().value(texts(box->buttons()).indexOf(QStringLiteral("Replace")))),
              QMessageBox::DestructiveRole);
}

TEST(Prompts, EachButtonGivesItsAnswer)
{
    using Answer = LWPrompts::Answer;
    const QList<std::pair<QString, Answer>> cases = {{QStringLiteral("Save\u2026"), Answer::save},
                                                     {QStringLiteral("Cancel"), Answer::cancel},
                                                     {QStringLiteral("Don't Save"), Answer::dontSave},
                                                     {QStringLiteral("escape"), Answer::cancel}};
    LWQtPrompts prompts;
    for (const auto &[button, answer] : cases) {
        Answerer answerer([button = button](QWidget *modal) { press(modal, button); });
        EXPECT_EQ(prompts.askToSave(QStringLiteral("Q"), QStringLiteral("D")), answer) << button.toStdString();
    }
}

TEST(Prompts, AddedExtensionAsksBeforeReplacing)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("Spring.Sale.velkfolio"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    LWQtPrompts prompts;
    // Typed with and without the extension: one question either way, under a short title.
    for (const QString &typed : {QStringLiteral("Spring.Sale"), QStringLiteral("Spring.Sale.velkfolio")})
        for (bool replace : {false, true}) {
            QStringList questions;
            Answerer answerer([&](QWidget *modal) {
                if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                    dialog->selectFile(dir.filePath(typed));
                    QMetaObject::invokeMethod(dialog, "accept");
                } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                    questions.append(box->windowTitle() + u'|' + box->text());
                    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
                    box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                }
            });
            const std::optional<QUrl> url = prompts.chooseSave(QStringLiteral("Spring.Sale"), QStringLiteral("Save"));
            EXPECT_EQ(questions, QStringList({QStringLiteral("Replace File|Spring.Sale.velkfolio already exists.\nDo "
                                                             "you want to replace it?")}));
            EXPECT_EQ(url, replace ? std::optional<QUrl>(QUrl::fromLocalFile(existing)) : std::nullopt);
        }
    EXPECT_EQ(LWQtPrompts::finalName(QStringLiteral("/d/x.VELKFOLIO"), {QStringLiteral("velkfolio")}, QStringLiteral("x")),
              QStringLiteral("/d/x.VELKFOLIO"));
}

TEST(Prompts, OverwriteQuestionDefaultsToCancel)
{
    std::unique_ptr<QMessageBox> box(
        LWQtPrompts::makeOverwriteQuestion(nullptr, QStringLiteral("Q"), QStringLiteral("D")));
    QStringList buttons = texts(box->buttons());
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({QStringLiteral("Cancel"), QStringLiteral("Save Anyway")}));
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(box->escapeButton(), box->defaultButton());

    const QList<std::pair<QString, bool>> cases = {
        {QStringLiteral("Save Anyway"), true}, {QStringLiteral("Cancel"), false}, {QStringLiteral("escape"), false}};
    LWQtPrompts prompts;
    for (const auto &[button, anyway] : cases) {
        Answerer answerer([button = button](QWidget *modal) { press(modal, button); });
        EXPECT_EQ(prompts.askToOverwrite(QStringLiteral("Q"), QStringLiteral("D")), anyway) << button.toStdString();
    }
}

namespace {

// HOME and the settings pointed at a fresh folder for one test; both restored after.
struct FreshHome {
    QTemporaryDir home;
    QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    FreshHome()
    {
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
        LWPrefs::setStore(LWPrefs::makeStore(home.filePath(QStringLiteral("settings.ini"))));
    }
    ~FreshHome()
    {
        LWPrefs::setStore(LWPrefs::makeStore(home.filePath(QStringLiteral("spent.ini"))));
        qputenv("HOME", oldHome);
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    QString folder(const QString &name) const
    {
        EXPECT_TRUE(QDir(home.path()).mkpath(name));
        return home.filePath(name);
    }
};

} // namespace

TEST(Prompts, DialogsStartWhereTheUserWorks)
{
    FreshHome fresh;
    LWQtPrompts prompts;
    // Each dialog: where it started and what its name field held; then `folder`/`name` typed in,
    // or cancelled when `name` is empty.
    QString started, field, folder, name;
    Answerer answerer([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        started = dialog->directory().absolutePath();
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            field = edit->text();
        if (name.isEmpty())
            dialog->reject();
        else
            typeAndAccept(*dialog, folder, name);
    });
    const auto answer = [&](const QString &f, const QString &n) {
        folder = f;
        name = n;
        started.clear();
    };
    const QString pdf = QStringLiteral("PDF document (*.pdf)");

    // A first save starts at home without a Documents folder, in Documents once there is one.
    answer({}, {});
    EXPECT_FALSE(prompts.chooseSave(QStringLiteral("Untitled"), QStringLiteral("Save")));
    EXPECT_EQ(started, fresh.home.path());
    EXPECT_EQ(field, QStringLiteral("Untitled"));
    const QString documents = fresh.folder(QStringLiteral("Documents"));
    EXPECT_FALSE(prompts.chooseSave(QStringLiteral("Untitled"), QStringLiteral("Save")));
    EXPECT_EQ(started, documents);

    // Exports: the first in Documents, each next one where the last was written.
    VELKTestFlags::running = false;
    LWApp app;
    app.setPrompts(std::make_shared<LWQtPrompts>());
    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card")));
    ExportSheet sheet(app, app.editor());
    const QString a = fresh.folder(QStringLiteral("a")), b = fresh.folder(QStringLiteral("b"));
    answer(a, QStringLiteral("one"));
    sheet.runExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.exporting(); }, 60000));
    EXPECT_TRUE(QFileInfo::exists(a + QStringLiteral("/one.pdf")));
    EXPECT_EQ(started, documents);
    answer(b, QStringLiteral("two.pdf"));
    sheet.runExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.exporting(); }, 60000));
    EXPECT_EQ(started, a);
    answer({}, {});
    sheet.runExport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.exporting(); }, 60000));
    EXPECT_EQ(started, b);

    // Designs: opened from one folder, the next open and a first save start there; exports
    // keep their own folder.
    const QString c = fresh.folder(QStringLiteral("c"));
    const QString design = c + QStringLiteral("/Menu.velkfolio");
    ASSERT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Menu")),
                                   QUrl::fromLocalFile(design)).ok());
    answer(c, QStringLiteral("Menu.velkfolio"));
    app.openPanel();
    ASSERT_NE(app.editor(), nullptr);
    EXPECT_EQ(app.editor()->fileURL(), QUrl::fromLocalFile(design));
    EXPECT_EQ(started, documents);
    answer({}, {});
    app.openPanel();
    EXPECT_EQ(started, c);
    EXPECT_FALSE(prompts.chooseSave(QStringLiteral("Untitled"), QStringLiteral("Save")));
    EXPECT_EQ(started, c);
    EXPECT_FALSE(prompts.chooseExport(QStringLiteral("Card.pdf"), pdf, QStringLiteral("pdf")));
    EXPECT_EQ(started, b);

    // Save As of a design opened from another folder starts beside it, with its name.
    const QString d = fresh.folder(QStringLiteral("d"));
    const QUrl saved = QUrl::fromLocalFile(d + QStringLiteral("/Card.velkfolio"));
    ASSERT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card")), saved).ok());
    app.open(saved);
    ASSERT_NE(app.editor(), nullptr);
    EXPECT_FALSE(app.saveAs());
    EXPECT_EQ(started, d);
    EXPECT_EQ(field, QStringLiteral("Card"));
}

// Every question and alert window is wide enough for its whole title, the application's name,
// whatever short text it asks (the window manager would cut the title short otherwise).
TEST(Prompts, WindowsFitTheirTitle)
{
    const QString name = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("VELK Leafwrighter"));
    struct Case {
        const char *what;
        std::function<QMessageBox *()> make;
    };
    const Case cases[] = {
        {"replace", [] {
             return LWQtPrompts::makeConfirm(nullptr, QStringLiteral("Replace 2 existing files?"),
                                             QStringLiteral("a.jpg\nb.jpg"), QStringLiteral("Replace"));
         }},
        {"alert", [] { return LWQtPrompts::makeAlert(nullptr, QStringLiteral("No"), QStringLiteral("x")); }},
        {"save", [] { return LWQtPrompts::makeQuestion(nullptr, QStringLiteral("Save?"), QString()); }},
        {"overwrite", [] { return LWQtPrompts::makeOverwriteQuestion(nullptr, QStringLiteral("Q"), QStringLiteral("D")); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<QMessageBox> box(c.make());
        box->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        const QFontMetrics bold([&] {
            QFont f = box->font();
            f.setBold(true);
            return f;
        }());
        EXPECT_GE(box->width(), bold.horizontalAdvance(QStringLiteral("VELK Leafwrighter")) + 100) << box->width();
        box->close();
    }
    QGuiApplication::setApplicationDisplayName(name);
}
