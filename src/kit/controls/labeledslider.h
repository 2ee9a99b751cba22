#pragma once
#include "kit/controls/slider.h"

#include <QString>
#include <QWidget>

// One slider row: the caption (64 px, 10.5 bold, theme `dim`), an LWSlider taking the rest, the
// read-out (46 px, right-aligned, mono 10.5, `LWStyle::lcdText`), 8 px apart.
//
// It keeps no value: slider and read-out read `get` whenever they paint, so an owner that changed
// the value elsewhere calls update(). `set` receives every value the slider writes during a drag,
// not the drag's start or end; the row never writes the value itself. Rebuilding the row ends a
// drag, so owners keep it and update it in place.
class LabeledSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int captionWidth = 64, readoutWidth = 46, gap = 8;

    // `format` is printf-style with exactly one floating-point conversion ("%.2f"); any other
    // format reads as "%.0f". `unit` follows the number without a space.
    LabeledSlider(const QString &label, LWSlider::Getter get, LWSlider::Setter set, double lower,
                  double upper, double step, const QString &format = QStringLiteral("%.0f"),
                  const QString &unit = {}, QWidget *parent = nullptr);

    QString label() const { return label_; }
    LWSlider *slider() const { return slider_; }
    // New bounds for ranges that follow the element; the value is left alone.
    void setRange(double lower, double upper);

    // The read-out of the current value.
    QString readout() const;
    // `format` applied by the C library (its rounding: 62.5 with "%.0f" reads "62"), then `unit`.
    [[nodiscard]] static QString readout(const QString &format, double value, const QString &unit);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString label_;
    LWSlider::Getter get_;
    QByteArray format_;
    QString unit_;
    LWSlider *slider_;
};
