#pragma once
#include "model/color.h"

#include <QWidget>

// A colour's hexString() beside its well: mono 10.5 in the theme's `dim`, drawn at its exact size.
class HexText : public QWidget {
    Q_OBJECT
public:
    explicit HexText(const LWColor &color = LWColor::black, QWidget *parent = nullptr);

    QString text() const { return text_; }
    void setColor(const LWColor &color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
};
