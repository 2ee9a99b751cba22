#pragma once
#include <QWidget>

// A bar that shows how much of a long task is done, in the slider's look: the dark capsule track,
// filled from the left in the theme's accent. 12 px high, as wide as its layout allows. The value
// is a fraction from 0 to 1; others draw at the nearer end. Assistive technology reads it as a
// percentage.
class VKProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit VKProgressBar(QWidget *parent = nullptr);

    double value() const { return value_; }
    // Repaints only when the value changed.
    void setValue(double fraction);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double value_ = 0;
};
