#include "app/app.h"
#include "app/prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
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

// Answers each modal dialog that comes up with `answer`, until the test ends.
struct Answerer {
    QTimer timer;
    explicit Answerer(std::function<void(QWidget *)> answer)
    {
        QObject::connect(&timer, &QTimer::timeout, [answer] {
            if (QWidget *modal = QApplication::activeModalWidget())
                answer(modal);
        });
        timer.start(10);
    }
};

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
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));

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
    for (bool replace : {false, true}) {
        QStringList questions;
        Answerer answerer([&](QWidget *modal) {
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                dialog->selectFile(dir.filePath(QStringLiteral("Spring.Sale")));
                QMetaObject::invokeMethod(dialog, "accept");
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                questions.append(box->text());
                box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
            }
        });
        const std::optional<QUrl> url = prompts.chooseSave(QStringLiteral("Spring.Sale"), QStringLiteral("Save"));
        EXPECT_EQ(questions, QStringList({QStringLiteral("Spring.Sale.velkfolio already exists.\nDo you want to replace it?")}));
        EXPECT_EQ(url, replace ? std::optional<QUrl>(QUrl::fromLocalFile(existing)) : std::nullopt);
    }
    EXPECT_EQ(LWQtPrompts::withExtension(QStringLiteral("/d/x.VELKFOLIO")), QStringLiteral("/d/x.VELKFOLIO"));
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
