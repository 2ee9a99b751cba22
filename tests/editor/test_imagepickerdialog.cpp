#include "editor_fixture.h"

#include "editor/widgets/imagepickerdialog.h"
#include "support/filedialogs.h"
#include "support/testpictures.h"
#include "support/waitfor.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>

TEST_F(EditorTest, ChooserShowsTheMessageAndPlacesTheChosenFile)
{
    const QString path = dir.filePath(QStringLiteral("IMG_1.HEIC"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LWTestPictures::heic(LWTestPictures::twoTone(64, 48)));
    f.close();
    auto ed = make(LWDocument::blank(LWSizePreset::letter, std::nullopt));

    whenFileDialogShown([&](QFileDialog &dialog) {
        const auto *label = dialog.findChild<QLabel *>(QStringLiteral("message"));
        EXPECT_TRUE(label && label->isVisible() && label->text() == LWImagePicker::message);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        dialog.reject();
    });
    LWImagePicker::choose(*ed);
    EXPECT_EQ(ed->undoStack().size(), 0);

    chooseInFileDialog(path);
    LWImagePicker::choose(*ed);
    ASSERT_TRUE(waitFor([&] { return ed->elements().size() == 1; })); // read off the main thread
    EXPECT_EQ(ed->elements().first().frame.width(), 15.36);

    // The next chooser starts in the folder the picture came from.
    QString started;
    whenFileDialogShown([&](QFileDialog &dialog) {
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
    chooseInFileDialog(notPicture.fileName());
    LWImagePicker::choose(*ed);
    ASSERT_TRUE(waitFor([&] { return ed->message() == LWEditor::unreadablePictureMessage; }));
    whenFileDialogShown([&](QFileDialog &dialog) {
        started = dialog.directory().absolutePath();
        dialog.reject();
    });
    LWImagePicker::choose(*ed);
    EXPECT_EQ(started, QDir(dir.path()).absolutePath());
}
