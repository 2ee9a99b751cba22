#pragma once
#include "ui/inspector/sections/elementsection.h"

class FillEditor;
class InspectorGroup;
class LabeledSlider;
class StrokeEditor;

// The section of one shape element. "Fill" (not for lines); "Shape" for rectangles ("Corners",
// 0 ... half the shorter side, following the frame at each refresh), polygons ("Sides") and stars
// ("Points", then "Inner"); the outline, titled "Line" for a line, whose newly switched-on
// outline is 2 pt wide on a line and 1 pt otherwise. A line whose outline is switched off keeps
// a black 0.5 pt stroke. Sliders coalesce per element ("rad-", "sides-", "inner-"); fill and
// outline edits carry their editors' keys extended with the id.
class ShapeSection : public ElementSection {
    Q_OBJECT
public:
    ShapeSection(LWEditor &editor, QUuid id, QWidget *parent = nullptr);

    void refresh() override;

    InspectorGroup *fillGroup() const { return fillGroup_; }
    InspectorGroup *shapeGroup() const { return shapeGroup_; }
    InspectorGroup *strokeGroup() const { return strokeGroup_; }
    FillEditor *fillEditor() const { return fill_; }
    StrokeEditor *strokeEditor() const { return stroke_; }
    LabeledSlider *cornersSlider() const { return corners_; }
    LabeledSlider *sidesSlider() const { return sides_; } // "Sides", or "Points" on a star
    LabeledSlider *innerSlider() const { return inner_; }

private:
    InspectorGroup *fillGroup_, *shapeGroup_, *strokeGroup_;
    FillEditor *fill_;
    StrokeEditor *stroke_;
    LabeledSlider *corners_, *sides_, *inner_;
};
