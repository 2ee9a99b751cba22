#pragma once
#include <QPolygonF>
#include <QWidget>

// A walnut side strip, 20 px wide and as tall as its container gives it: a walnut gradient across,
// nine grain lines whose large wave is shifted by `seed`, a light-to-dark shade down and a dark
// line along the right edge. Decorative: invisible to assistive technology.
class WoodCheek : public QWidget {
    Q_OBJECT
public:
    explicit WoodCheek(double seed = 0, QWidget *parent = nullptr);

    double seed() const { return seed_; }
    void setSeed(double seed);

    // Grain line i (0 to 8) on a w × h strip: from (x0, 0), x0 = (0.08 + 0.11 i) w, down in steps
    // of 6 to the first point at or below h, each point (but the first) displaced by the waves.
    // Only the start point when h <= 0.
    static QPolygonF grainLine(int i, double w, double h, double seed);
    static void paint(QPainter &painter, const QRectF &rect, double seed);

    QSize sizeHint() const override { return QSize(20, 20); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double seed_;
};
