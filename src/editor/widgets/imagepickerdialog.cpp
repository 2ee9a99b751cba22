#include "editor/widgets/imagepickerdialog.h"

#include "editor/editor.h"
#include "model/file/folders.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>

namespace LWImagePicker {

void choose(LWEditor &editor, const LWPictureTarget &target, QWidget *parent)
{
    const QPointer<LWEditor> aimed(&editor);
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(nameFilter());
    dialog.setDirectory(LWFolders::start(LWFolders::Purpose::pictures));
    // Window titles are not shown everywhere (no window manager, some desktops): the message
    // is a line of the dialog itself.
    auto *label = new QLabel(message, &dialog);
    label->setObjectName(QStringLiteral("message"));
    label->setWordWrap(true);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || !aimed)
        return;
    const QString file = files.first();
    // Remembered once the picture was placed: a file that is no picture leaves the folder as it was.
    placeLater(editor, [file] { return loadFile(file); }, target,
               [file] { LWFolders::remember(LWFolders::Purpose::pictures, file); });
}

void choose(LWEditor &editor, QWidget *parent) { choose(editor, editor.pictureTarget(), parent); }

} // namespace LWImagePicker
