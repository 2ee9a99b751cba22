#pragma once
#include "ui/inspector/sections/elementsection.h"

class InspectorGroup;
class InspectorLabel;
class LabeledSlider;
class NumberField;
class QLineEdit;

// Position, size, rotation, opacity and layer name of the one selected, unlocked element.
// "Position & size (mm|in)": X and Y; for a line the
// dim "Length <n> <unit>" line instead of W, H and Rotation; W and H; "Rotation" (not for
// groups); "Opacity"; the name field. Fields show the stored (unrotated) frame in the display
// unit; a commit is one step without a key: X/Y move the element and all it holds by the
// difference, W keeps the origin and height and lets text grow, H is taken as typed.
//
// Typed positions are clamped to ±100,000 pt and sizes to 1 ... 100,000 pt after conversion, so
// an enormous number never reaches a frame. The sliders ("rot-", "op-") and the name field
// ("name-", sent on each user edit) coalesce per element.
class GeometrySection : public ElementSection {
    Q_OBJECT
public:
    static constexpr double maxPosition = 100000, maxSize = 100000, minSize = 1;

    GeometrySection(LWEditor &editor, QUuid id, QWidget *parent = nullptr);

    void refresh() override;

    InspectorGroup *group() const { return group_; }
    NumberField *xField() const { return x_; }
    NumberField *yField() const { return y_; }
    NumberField *wField() const { return w_; }
    NumberField *hField() const { return h_; }
    InspectorLabel *lengthLabel() const { return length_; }
    LabeledSlider *rotationSlider() const { return rotation_; }
    LabeledSlider *opacitySlider() const { return opacity_; }
    QLineEdit *nameField() const { return name_; }

private:
    void commitPosition(bool horizontal, double value);
    void commitSize(bool horizontal, double value);

    InspectorGroup *group_;
    NumberField *x_, *y_, *w_, *h_;
    QWidget *sizeRow_;
    InspectorLabel *length_;
    LabeledSlider *rotation_, *opacity_;
    QLineEdit *name_;
};
