#pragma once
#include "model/style.h"

#include <QList>
#include <QWidget>
#include <optional>

class HexText;
class LabeledSlider;
class LWColorWell;
class SegmentedPicker;
class Swatches;
class VKSymbolButton;

// The inspector's control block for one paint: the kind picker ("None", "Color", "Linear",
// "Radial"); unless the kind is none, a row of the first colour's well, for gradients an arrow,
// the second colour's well and a swap button, then the first colour's hex text; the swatches; and
// for linear fills alone the "Angle" slider (0 ... 360 by 5).
//
// It never writes the paint it shows: each user action emits changed() once with the whole new
// paint and its coalescing key, and the caller answers with setFill(). setFill() emits nothing
// and updates the controls in place; only a change of kind shows or hides rows, so an angle drag
// or the colour dialog of a well goes on across the caller's updates.
//
// Keys: "fill-color" (first well; a solid fill gets the colour twice), "fill-color2" (second
// well), "fill-angle" (slider); none for the kind picker, a chip (as the first well) and swap.
// Choosing a gradient kind while both colours are equal derives the second as the first mixed 45 %
// toward white; changing the kind keeps the colours and the angle otherwise.
class FillEditor : public QWidget {
    Q_OBJECT
public:
    explicit FillEditor(QWidget *parent = nullptr);

    const LWFill &fill() const { return fill_; }
    // The paint shown and the colours offered as chips (callers pass LWEditor::docColors).
    void setFill(const LWFill &fill, const QList<LWColor> &swatches);

    SegmentedPicker *kindPicker() const { return picker_; }
    LWColorWell *firstWell() const { return well1_; }
    LWColorWell *secondWell() const { return well2_; }
    VKSymbolButton *arrow() const { return arrow_; }
    VKSymbolButton *swapButton() const { return swap_; }
    HexText *hexText() const { return hex_; }
    Swatches *swatches() const { return swatches_; }
    LabeledSlider *angleSlider() const { return angle_; }

Q_SIGNALS:
    void changed(const LWFill &fill, const std::optional<QString> &key);

private:
    void showKind();
    void pickKind(int index);
    void setFirst(const LWColor &color, const std::optional<QString> &key);

    LWFill fill_;
    SegmentedPicker *picker_;
    QWidget *colorRow_;
    LWColorWell *well1_;
    VKSymbolButton *arrow_;
    LWColorWell *well2_;
    VKSymbolButton *swap_;
    HexText *hex_;
    Swatches *swatches_;
    LabeledSlider *angle_;
};
