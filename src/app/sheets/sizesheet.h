#pragma once
#include <QDialog>
#include <QPointer>
#include <QString>

class LWEditor;
class NumberField;
class QCheckBox;
class QComboBox;
class SegmentedPicker;
class VKChromeButton;
class QWidget;

// The change-size sheet: a ready-made size in either orientation, or a custom width and height
// in inches or millimetres (numbers kept as typed when the unit changes), with or without
// scaling the content. It starts from the open design each time; Apply is one editor resize
// (one undo step), Cancel and Escape change nothing. Window-modal, 460 wide; Return applies.
class SizeSheet : public QDialog {
    Q_OBJECT
public:
    static inline const QString custom = QStringLiteral("custom");

    explicit SizeSheet(LWEditor *editor, QWidget *parent = nullptr);

    QString presetID() const { return presetID_; }
    bool landscape() const { return landscape_; }
    double widthNumber() const { return w_; }
    double heightNumber() const { return h_; }
    bool millimetres() const { return mm_; }
    bool scale() const;

    // Takes the numbers still being typed, resizes the design and closes.
    void apply();

    QComboBox *sizeBox() const { return size_; }
    SegmentedPicker *unitPicker() const { return units_; }
    SegmentedPicker *orientationPicker() const { return orientation_; }
    NumberField *widthField() const { return wField_; }
    NumberField *heightField() const { return hField_; }
    QCheckBox *scaleBox() const { return scale_; }
    VKChromeButton *cancelButton() const { return cancel_; }
    VKChromeButton *applyButton() const { return apply_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void choose(const QString &id);
    void setMillimetres(bool mm);

    QPointer<LWEditor> editor_;
    QString presetID_;
    bool landscape_ = true;
    double w_ = 0, h_ = 0;
    bool mm_ = false;

    QComboBox *size_;
    QWidget *customBox_;
    SegmentedPicker *units_;
    NumberField *wField_;
    NumberField *hField_;
    SegmentedPicker *orientation_;
    QCheckBox *scale_;
    VKChromeButton *cancel_;
    VKChromeButton *apply_;
};
