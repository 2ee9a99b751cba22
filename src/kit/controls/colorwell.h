#pragma once
#include "model/color.h"

#include <QAbstractButton>

class QColorDialog;

// A colour well 38 × 24: a rounded swatch of the colour over a checkerboard (components shown
// clamped to 0…1). It shows the caller's colour and never changes it itself: a click opens the
// one shared colour dialog (modeless, with opacity) on the well's colour, and every colour the
// dialog then reports comes out of colorPicked() as sRGB components (opaque black for a colour
// without them), unthrottled. Opening reports nothing. The dialog reports to the well that last
// opened it, and to no one once that well is gone. Takes focus by Tab only; Space opens the dialog.
class LWColorWell : public QAbstractButton {
    Q_OBJECT
public:
    explicit LWColorWell(const LWColor &color, QWidget *parent = nullptr);

    LWColor color() const { return color_; }
    void setColor(const LWColor &color);

    // The window the dialog belongs to: the main window, never a widget inside the zoom host, or
    // the dialog would be drawn into the zoomed scene. The shell sets it once.
    static void setPanelParent(QWidget *window);
    // The shared dialog, or null before the first click (or after its parent closed).
    static QColorDialog *panel();
    // The colour a dialog colour reports.
    [[nodiscard]] static LWColor reported(const QColor &colour);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void colorPicked(const LWColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void openPanel();

    LWColor color_;
};
