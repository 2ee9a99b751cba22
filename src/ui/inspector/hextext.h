#pragma once
#include "model/color.h"
#include "ui/inspector/inspectorlabel.h"

// A colour's hexString() beside its well: mono 10.5 in the theme's `dim`, drawn at its exact size.
class HexText : public InspectorLabel {
    Q_OBJECT
public:
    explicit HexText(const LWColor &color = LWColor::black, QWidget *parent = nullptr);

    void setColor(const LWColor &color) { setText(color.hexString()); }
};
