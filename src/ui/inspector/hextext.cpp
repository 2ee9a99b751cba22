#include "ui/inspector/hextext.h"

#include "kit/paint/uifont.h"

HexText::HexText(const LWColor &color, QWidget *parent) : InspectorLabel(color.hexString(), vkMono(10.5), true, parent) {}
