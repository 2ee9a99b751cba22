// Answering the modal file dialogs the program opens (Qt's own, not the system's).
#pragma once
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

// Acts on the next modal file dialog once it is up. With LW_CHOOSER_HOLD=<ms> it stays open that
// long first, for a look at it under xvfb-run.
inline void whenFileDialogShown(const std::function<void(QFileDialog &)> &act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->deleteLater();
        poll->stop();
        QTimer::singleShot(qEnvironmentVariableIntValue("LW_CHOOSER_HOLD"), dialog, [dialog, act] { act(*dialog); });
    });
    poll->start(10);
}

// The next file dialog takes `path` as typed into its name field (selectFile leaves a focused
// name field alone) and is confirmed.
inline void chooseInFileDialog(const QString &path)
{
    whenFileDialogShown([path](QFileDialog &dialog) {
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!name) {
            ADD_FAILURE() << "no file name field";
            dialog.reject();
            return;
        }
        name->setText(path);
        static_cast<QDialog &>(dialog).accept(); // QFileDialog checks the name first
    });
}
