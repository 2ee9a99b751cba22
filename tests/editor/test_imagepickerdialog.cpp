#include "editor_fixture.h"

#include "editor/widgets/imagepickerdialog.h"
#include "support/testpictures.h"
#include "support/waitfor.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

// Acts on the chooser once it is up. With LW_CHOOSER_HOLD=<ms> it stays open that long first,
// for a look at it under xvfb-run.
void whenShown(const std::function<void(QFileDialog &)> &act)
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

} // namespace

TEST_F(EditorTest, ChooserShowsTheMessageAndPlacesTheChosenFile)
{
    const QString path = dir.filePath(QStringLiteral("IMG_1.HEIC"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LWTestPictures::heic(LWTestPictures::twoTone(64, 48)));
    f.close();
    auto ed = make(LWDocument::blank(LWSizePreset::letter, std::nullopt));

    whenShown([&](QFileDialog &dialog) {
        const auto *label = dialog.findChild<QLabel *>(QStringLiteral("message"));
        EXPECT_TRUE(label && label->isVisible() && label->text() == LWImagePicker::message);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        dialog.reject();
    });
    LWImagePicker::choose(*ed);
    EXPECT_EQ(ed->undoStack().size(), 0);

    whenShown([&](QFileDialog &dialog) {
        // As typed: selectFile leaves a focused name field alone.
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!name) {
            ADD_FAILURE() << "no file name field";
            dialog.reject();
            return;
        }
        name->setText(path);
        static_cast<QDialog &>(dialog).accept(); // QFileDialog checks the name first
    });
    LWImagePicker::choose(*ed);
    ASSERT_TRUE(waitFor([&] { return ed->elements().size() == 1; })); // read off the main thread
    EXPECT_EQ(ed->elements().first().frame.width(), 15.36);

    // The next chooser starts in the folder the picture came from.
    QString started;
    whenShown([&](QFileDialog &dialog) {
        started = dialog.directory().absolutePath();
        dialog.reject();
    });
    LWImagePicker::choose(*ed);
    EXPECT_EQ(started, QDir(dir.path()).absolutePath());

    // A file that is no picture leaves the folder as it was.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("other")));
    QFile notPicture(dir.filePath(QStringLiteral("other/note.png")));
    ASSERT_TRUE(notPicture.open(QIODevice::WriteOnly) && notPicture.write("not a picture") > 0);
    notPicture.close();
    whenShown([&](QFileDialog &dialog) {
        if (auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(notPicture.fileName());
        static_cast<QDialog &>(dialog).accept();
    });
    LWImagePicker::choose(*ed);
    ASSERT_TRUE(waitFor([&] { return ed->message() == LWEditor::unreadablePictureMessage; }));
    whenShown([&](QFileDialog &dialog) {
        started = dialog.directory().absolutePath();
        dialog.reject();
    });
    LWImagePicker::choose(*ed);
    EXPECT_EQ(started, QDir(dir.path()).absolutePath());
}
