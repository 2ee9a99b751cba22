#pragma once
#include "editor/imagepicker.h"

class QWidget;

namespace LWImagePicker {

// A modal file dialog for one picture (Qt's own dialog, the message shown inside it); a
// confirmed choice goes to placeFile for `target`, fixed before the dialog opens, and is read
// off the main thread. Cancelling does nothing. Blocks until the dialog closes.
void choose(LWEditor &editor, const LWPictureTarget &target, QWidget *parent = nullptr);
// Place Picture: aimed at the selection it is chosen with (LWEditor::pictureTarget).
void choose(LWEditor &editor, QWidget *parent = nullptr);

} // namespace LWImagePicker
