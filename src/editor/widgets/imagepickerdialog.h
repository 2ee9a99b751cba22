#pragma once
#include "editor/imagepicker.h"

class QWidget;

namespace LWImagePicker {

// A modal file dialog for one picture (Qt's own dialog, the message shown inside it); a
// confirmed choice goes to placeFile, which reads it off the main thread. Cancelling does
// nothing. Blocks until the dialog closes.
void choose(LWEditor &editor, QWidget *parent = nullptr);

} // namespace LWImagePicker
