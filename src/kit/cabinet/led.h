#pragma once
#include <QColor>
#include <QWidget>

// An indicator lamp of diameter `size`: lit, a radial white → colour → colour 70 % with a glow of
// the colour (90 %, radius 4); off, grey 0.35 → 0.15 without glow. A 0.8 rim in black 60 %.
// The widget keeps shadowMargins() around the lamp. Decorative: invisible to assistive technology.
class LED : public QWidget {
    Q_OBJECT
public:
    explicit LED(const QColor &colour, bool on = true, double size = 9, QWidget *parent = nullptr);

    QColor colour() const { return colour_; }
    void setColour(const QColor &colour);
    bool isOn() const { return on_; }
    void setOn(bool on);
    double lampSize() const { return size_; }
    void setLampSize(double size);

    static QMargins shadowMargins();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // Paints the lamp in `frame` (its glow reaches outside it).
    static void paint(QPainter &painter, const QRectF &frame, const QColor &colour, bool on);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor colour_;
    bool on_;
    double size_;
};
