#pragma once
#include <QWidget>
#include <functional>

class QPainter;

// The application's horizontal slider, 20 px high and as wide as its layout allows. It keeps no
// copy of the value: `get` is read on every paint and `set` is called while dragging, so callers
// update() it after changing the value elsewhere. A value outside the range draws at the nearer
// end and stays as it is until the user drags.
//
// The track runs from x = 8 to x = width − 8. A press (a click counts) starts a drag: dragging
// becomes true, editingChanged(true), and the value under the pointer is written; every move with
// the button down writes again, equal values too; the release writes nothing and sends
// editingChanged(false). With step > 0 a written value is the multiple of step nearest the
// pointer's (halves away from zero), kept inside the range. Assistive technology reads the value
// with two decimals and can raise or lower it by step (without one, by a twentieth of the range).
// Tab and a click (a drag too) give it the keyboard; while it has it, it shows the kit's ring
// round the knob, and the arrows adjust it as assistive technology does (Left and Down
// lower it), Home and End write the bounds.
class LWSlider : public QWidget {
    Q_OBJECT
public:
    using Getter = std::function<double()>;
    using Setter = std::function<void(double)>;

    LWSlider(Getter get, Setter set, double lower, double upper, double step = 0, QWidget *parent = nullptr);

    double value() const { return get_(); }
    double lower() const { return lower_; }
    double upper() const { return upper_; }
    double step() const { return step_; }
    // New bounds (for ranges that follow the element); the value is not touched, only redrawn.
    void setRange(double lower, double upper);
    bool isDragging() const { return dragging_; }

    // The value a pointer at `x` (widget coordinates) writes on a slider `width` wide.
    [[nodiscard]] static double valueAt(double x, double width, double lower, double upper, double step);
    // Where `value` draws, 0 at the left end of the track and 1 at the right.
    [[nodiscard]] static double fraction(double value, double lower, double upper);
    // The assistive adjustment: one amount up or down, clamped to the range, written unsnapped.
    void adjust(bool increase);

    // The track of `trackRect` filled up to `fraction` (0...1) in the theme's accent, with its glow,
    // which is drawn within `area`: the slider's and the progress bar's one look.
    static void paintTrack(QPainter &painter, const QRectF &trackRect, double fraction, const QRectF &area);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void editingChanged(bool editing);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void writeAt(double x);
    void endDrag();

    Getter get_;
    Setter set_;
    double lower_;
    double upper_;
    double step_;
    bool dragging_ = false;
};
