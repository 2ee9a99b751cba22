#pragma once
#include "ui/inspector/sections/elementsection.h"

#include <functional>

class ChipButton;
class InspectorCombo;
class InspectorGroup;
class InspectorNote;
class LabeledSlider;
class LCDReadout;
class SegmentedPicker;
class StrokeEditor;

// The section of one image element, a placed picture or a photo frame. "Picture": "Choose
// Picture…" (empty frame, with an amber hint) or "Replace…", which runs the chooser, and the
// print resolution when LWExport::pictureSoon gives one (while the picture is checked beside the
// window, "… DPI"), in ruby with why below when it would not print whole in every export (the
// JPEG and PNG foreseen as the export sheet is set), as the print check says; the fit and the
// "Shape" mask. "Crop":
// four sides in percent (0 ... 45) sharing one key ("crop-"), and "Reset Crop". "Border": the
// outline (1 pt when switched on) and, for the plain rectangle mask alone, "Corners".
// Fit, mask and crop edits leave an element without an image record alone; an empty frame shows
// the values of an empty picture without storing one.
class ImageSection : public ElementSection {
    Q_OBJECT
public:
    // Asks for a picture and places it into the editor's selected frame.
    using Chooser = std::function<void(LWEditor &, QWidget *parent)>;

    ImageSection(LWEditor &editor, QUuid id, QWidget *parent = nullptr);

    // LWImagePicker::choose for this element, parented to the window around the inspector,
    // unless replaced.
    void setChooser(Chooser chooser);
    // The value truncated toward zero, then " DPI" (299.9 reads "299 DPI").
    [[nodiscard]] static QString dpiText(double dpi);

    void refresh() override;

    ChipButton *chooseButton() const { return choose_; }
    LCDReadout *dpiReadout() const { return dpi_; }
    InspectorNote *emptyHint() const { return hint_; }
    InspectorNote *undrawnNote() const { return undrawn_; }
    SegmentedPicker *fitPicker() const { return fit_; }
    InspectorCombo *maskPicker() const { return mask_; }
    // Left, Right, Top, Bottom.
    const QList<LabeledSlider *> &cropSliders() const { return crops_; }
    ChipButton *resetCropButton() const { return reset_; }
    StrokeEditor *borderEditor() const { return border_; }
    LabeledSlider *cornersSlider() const { return corners_; }

private:
    // The picture shown: the element's, or an empty one.
    LWImage picture() const;
    // One step on the element's picture, none when the element has no image record.
    void editPicture(const QString &label, const std::optional<QString> &key, const std::function<void(LWImage &)> &body);
    LabeledSlider *cropSlider(const QString &label, double LWImage::*side);

    Chooser chooser_;
    ChipButton *choose_;
    LCDReadout *dpi_;
    InspectorNote *hint_;
    InspectorNote *undrawn_;
    bool checking_ = false; // the picture is being checked: refreshed when an answer comes
    bool answerQueued_ = false;
    SegmentedPicker *fit_;
    InspectorCombo *mask_;
    QList<LabeledSlider *> crops_;
    ChipButton *reset_;
    StrokeEditor *border_;
    LabeledSlider *corners_;
};
