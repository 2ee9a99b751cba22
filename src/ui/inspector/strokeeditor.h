#pragma once
#include "model/style.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <optional>

class HexText;
class LabeledSlider;
class LWColorWell;
class QCheckBox;
class Swatches;

// The inspector's control block for an optional outline: the "Outline" check box, and while there
// is an outline its colour well with the hex text, the swatches, "Width" (0.25 ... 24 pt by 0.25)
// and "Dashes" (0 ... 30 by 1, 0 solid).
//
// It never writes the outline it shows: each user action emits changed() once with the whole new
// outline (or none) and its key, and the caller answers with setStroke(), which emits nothing and
// updates the controls in place; only switching the outline on or off shows or hides rows.
//
// Switching on gives 0x1D2733, the default width and dash 0 (never the earlier outline);
// switching off gives none; both without a key. Keys: "stroke-color" (well), "stroke-width",
// "stroke-dash"; a chip changes only the colour, without a key. A slider keeps the other two
// properties, out-of-range values included.
class StrokeEditor : public QWidget {
    Q_OBJECT
public:
    // The colour of a newly switched-on outline.
    static constexpr LWColor ink = LWColor::hex(0x1D2733);

    // `defaultWidth`: the width of a newly switched-on outline (2 for lines, 1 otherwise).
    explicit StrokeEditor(double defaultWidth = 1, QWidget *parent = nullptr);

    const std::optional<LWStroke> &stroke() const { return stroke_; }
    // The outline shown and the colours offered as chips (callers pass LWEditor::docColors).
    void setStroke(const std::optional<LWStroke> &stroke, const QList<LWColor> &swatches);
    double defaultWidth() const { return defaultWidth_; }
    void setDefaultWidth(double width) { defaultWidth_ = width; }

    QCheckBox *toggle() const { return toggle_; }
    LWColorWell *well() const { return well_; }
    HexText *hexText() const { return hex_; }
    Swatches *swatches() const { return swatches_; }
    LabeledSlider *widthSlider() const { return width_; }
    LabeledSlider *dashSlider() const { return dash_; }

Q_SIGNALS:
    void changed(const std::optional<LWStroke> &stroke, const std::optional<QString> &key);

private:
    void showOutline();
    void switchOutline(bool on);
    // The shown outline changed by `edit`, emitted with `key`; nothing without an outline.
    void edited(const std::function<void(LWStroke &)> &edit, const std::optional<QString> &key);

    std::optional<LWStroke> stroke_;
    double defaultWidth_;
    QCheckBox *toggle_;
    QWidget *colorRow_;
    LWColorWell *well_;
    HexText *hex_;
    Swatches *swatches_;
    LabeledSlider *width_;
    LabeledSlider *dash_;
};
