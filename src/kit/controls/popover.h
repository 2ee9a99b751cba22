#pragma once
#include <QWidget>

// A popover: a Qt::Popup frame in the theme's background (velkRoot) with a 1 px rim and 12 px of
// padding around one content widget. open() shows it under the anchor, centred on it and 6 px
// away, or above it when there is no room below, and keeps it inside the window (outside a zoom
// host: inside the screen). Escape or a click outside closes it; closed() follows every close,
// however it came. Closing keeps the object; its parent owns it.
//
// Inside a VKZoomHost Qt embeds the popup in the zoomed scene: it is placed from the anchor's
// position in the proxied content (mapTo(window())), because an inner mapToGlobal is off by
// (zoom − 1) × the view's screen position, and kept inside the part in view where it fits there.
// Main thread only.
class VKPopover : public QWidget {
    Q_OBJECT
public:
    static constexpr int padding = 12, gap = 6;

    // Takes ownership of `content`. `parent` is a widget of the window the popover belongs to
    // (inside a zoom host: a widget of the proxied content) and must not be null.
    VKPopover(QWidget *content, QWidget *parent);
    ~VKPopover() override;

    QWidget *content() const { return content_; }
    void open(QWidget *anchor);
    // The same, beside the anchor's trailing edge, centred on it vertically.
    void openBeside(QWidget *anchor);
    bool isOpen() const { return open_; }
    // Whether any popover is on show: the editor screen's single-key shortcuts stand down then.
    static bool isAnyOpen();

    // Where open() puts the frame's top-left corner, in `area`'s coordinates: centred under
    // `anchor` (centred over it when the frame would cross the bottom of `area` and there is room
    // above), then moved inside `area` as far as it fits.
    [[nodiscard]] static QPoint placement(const QRect &anchor, QSize frame, const QRect &area, bool beside = false);

Q_SIGNALS:
    void closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setOpen(bool open);
    void openAt(QWidget *anchor, bool beside);

    QWidget *content_;
    bool open_ = false;
};
