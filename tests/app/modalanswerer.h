#pragma once
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

// Answers each modal dialog that comes up with `answer`, until destroyed.
struct ModalAnswerer {
    QTimer timer;
    explicit ModalAnswerer(std::function<void(QWidget *)> answer)
    {
        QObject::connect(&timer, &QTimer::timeout, [answer] {
            if (QWidget *modal = QApplication::activeModalWidget())
                answer(modal);
        });
        timer.start(10);
    }
};

// What a user does in a file dialog: goes to `folder` (unless empty), types `name` into the name
// field and confirms.
inline void typeAndAccept(QFileDialog &dialog, const QString &folder, const QString &name)
{
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!field) {
        ADD_FAILURE() << "no file name field";
        return dialog.reject();
    }
    field->selectAll();
    QTest::keyClicks(field, name);
    if (field->text() != name) // the dialog's completer filled in an existing file's name
        field->setText(name);
    QMetaObject::invokeMethod(&dialog, "accept");
}
