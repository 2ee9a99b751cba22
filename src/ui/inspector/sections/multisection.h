#pragma once
#include "model/element.h"
#include "ui/inspector/inspectorsection.h"

class InspectorGroup;
class Swatches;

// Below the arrange group for two or more selected items: "Color for all selected shapes" with
// the document colours as swatches. A pick is one "Fill" step over the selected unlocked items:
// a text box takes it as its text colour, a line as its stroke colour (no stroke stays none),
// an image is left alone, anything else (a group's own fill included) gets a solid fill of it.
class MultiSection : public InspectorSection {
    Q_OBJECT
public:
    explicit MultiSection(LWEditor &editor, QWidget *parent = nullptr);

    void refresh() override;

    InspectorGroup *group() const { return group_; }
    Swatches *swatches() const { return swatches_; }

    // The colour as one element of the selection takes it.
    static void apply(LWElement &element, const LWColor &color);

private:
    InspectorGroup *group_;
    Swatches *swatches_;
};
