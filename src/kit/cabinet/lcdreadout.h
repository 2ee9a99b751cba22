#pragma once
#include "kit/paint/paint.h"

#include <QStringList>
#include <QWidget>
#include <optional>

// A glowing multi-line display: the first line 12.5 px bold mono in lcdText, later lines 10.5 px
// medium mono in lcdDim, 1 px apart, each with a soft lcdText glow and cut with "…" when the
// widget is narrower; padding 12 × 6 on a recessed rounded window (radius 10) of lcdBG with a
// glass highlight over the top half. At least minWidth wide, no maximum.
class LCDReadout : public QWidget {
    Q_OBJECT
public:
    explicit LCDReadout(const QStringList &lines = {}, double minWidth = 220, QWidget *parent = nullptr);

    QStringList lines() const { return lines_; }
    void setLines(const QStringList &lines);
    double minWidth() const { return minWidth_; }
    void setMinWidth(double minWidth);
    // The first line's colour (and its glow) instead of lcdText, as a warning; none: lcdText.
    std::optional<QColor> textColour() const { return textColour_; }
    void setTextColour(const std::optional<QColor> &colour);

    // max(minWidth, widest row + 24) × (rows + 1 px between them + 12).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static QFont rowFont(qsizetype row);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paint(QPainter &p) const;

    QStringList lines_;
    VKPaint::Layer layer_;
    double minWidth_;
    std::optional<QColor> textColour_;
};
