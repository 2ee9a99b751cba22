#pragma once
#include "model/color.h"

#include <QList>
#include <QWidget>

// The colour chips under every colour control of the inspector: the caller's colours first (it
// passes LWEditor::docColors), then the fixed print colours it does not already hold, at most 20.
// One painted widget: chips of 18 × 18 (radius 4, edged 0.8 px in white 40 %, filled with the
// colour as it is, so a transparent one shows what lies behind), 10 to a row, 5 apart both ways,
// the grid centred. Narrower than a full row, it puts as many to a row as fit (at least one) and
// grows taller (height for width), so it never widens the column it sits in. A click (press and release on one chip) emits picked() with that chip's colour
// as its handler's last act; a gap emits nothing. A chip's tooltip is its hexString(). No
// selected look: it does not know the caller's current colour.
class Swatches : public QWidget {
    Q_OBJECT
public:
    static constexpr int columns = 10, chipSize = 18, gap = 5, maxChips = 20;

    explicit Swatches(const QList<LWColor> &colors = {}, QWidget *parent = nullptr);

    // White, black, 0x1F3A5F navy, 0xA81D26 red, 0x2F5D46 green, 0xE0B75A gold.
    static const QList<LWColor> &fixedColors();
    // `colors`, then each fixed colour that no colour of `colors` equals exactly (all four
    // channels), cut to the first 20. Equal colours in `colors` stay two chips.
    [[nodiscard]] static QList<LWColor> chips(const QList<LWColor> &colors);

    const QList<LWColor> &colors() const { return colors_; }
    // New caller colours, redrawn in place.
    void setColors(const QList<LWColor> &colors);
    const QList<LWColor> &shownChips() const { return chips_; }

    QRect chipRect(qsizetype index) const;
    // The chip under `pos`, or -1 for a gap or outside.
    qsizetype chipAt(QPoint pos) const;

    // Chips to a row at `width`: as many as fit, 1 to 10.
    [[nodiscard]] static int columnsFor(int width);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

Q_SIGNALS:
    void picked(const LWColor &color);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int gridLeft() const;
    int rowsFor(int columns) const;

    QList<LWColor> colors_;
    QList<LWColor> chips_;
    qsizetype pressed_ = -1;
};
