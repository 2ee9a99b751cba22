#pragma once
#include "model/document.h"

#include <QDialog>

class LWApp;
class NumberField;
class QCheckBox;
class SegmentedPicker;
class VKChromeButton;

// The custom-size dialog: width and height in inches or millimetres (numbers kept as typed;
// switching the unit does not convert them), one- or two-sided. Every showing starts from
// 5 × 7 in, one-sided. Create closes the dialog and then, on a later turn of the event loop,
// hands the new design to the app, so the unsaved-changes question comes with the dialog gone.
// Return and Enter create too; Escape and Cancel create nothing.
class NewCustomDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr double minSide = LWDocument::minSide, maxSide = LWDocument::maxSide; // points
    static constexpr double minNumber = 0.5;

    // Window-modal over `window`.
    explicit NewCustomDialog(LWApp &app, QWidget *window = nullptr);

    // A new dialog opened over `window`; it deletes itself when closed and then sets the app's
    // sheet to none.
    static NewCustomDialog *present(LWApp &app, QWidget *window);

    // A width and height in the unit as points, each clamped to minSide … maxSide, with a safe
    // margin of a sixteenth of the shorter side but at most 18 pt.
    struct Size {
        double width, height, safe;
    };
    [[nodiscard]] static Size customSize(double w, double h, bool mm);
    // "mm" or "in".
    [[nodiscard]] static QString unitText(bool mm);
    // A W or H field (70 wide, 3 digits) showing *number; a commit stores the larger of the typed
    // number and minNumber there and shows it. `number` must outlive the field.
    [[nodiscard]] static NumberField *sizeField(const QString &label, double *number, bool mm);
    // The design of customSize(w, h, mm). Always kind custom.
    [[nodiscard]] static LWDocument design(double w, double h, bool mm, bool twoSided);

    double widthNumber() const { return w_; }
    double heightNumber() const { return h_; }
    bool millimetres() const { return mm_; }

    NumberField *widthField() const { return wField_; }
    NumberField *heightField() const { return hField_; }
    SegmentedPicker *unitPicker() const { return units_; }
    QCheckBox *twoSidedBox() const { return card_; }
    VKChromeButton *createButton() const { return create_; }
    VKChromeButton *cancelButton() const { return cancel_; }

    // Takes the numbers still being typed, then closes and hands the design over.
    void create();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setMillimetres(bool mm);

    LWApp &app_;
    double w_ = 5, h_ = 7;
    bool mm_ = false;
    NumberField *wField_;
    NumberField *hField_;
    SegmentedPicker *units_;
    QCheckBox *card_;
    VKChromeButton *cancel_;
    VKChromeButton *create_;
};
