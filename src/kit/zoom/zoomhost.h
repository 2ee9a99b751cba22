#pragma once
#include "kit/zoom/zoom.h"

#include <QGraphicsView>

class QGraphicsProxyWidget;

// Shows a window's content scaled by the interface zoom. The content is laid out at the host's
// size divided by the zoom (never below `minSize`, nor below the content's own minimum size: the
// scrolled area follows it), drawn scaled from its top-left corner, and scrolls once the scaled
// content no longer fits, so every part of it can be brought into view. The scroll bars lie over the content and never
// take space from it; the host itself may be smaller than `minSize`.
//
// Lays out again on every resize and every write of the zoom setting, and scrolls home when first
// shown, when its size or the zoom changes (VKZoom::ScrollHome: never over the user's own scroll,
// the keyboard's following included).
// The view paints no background, so the window's own shows through.
//
// The content lives in a graphics scene. Clicks, keys, hover cursors, tooltips and file drops reach
// its widgets at scaled positions, and its popups and menus are drawn scaled inside the view. An
// inner drop target accepts the drag move events as well as the enter. The content's window() is
// the content itself: dialogs take the main window as parent, and the content holds no native or
// OpenGL child. Qt scales the view's own screen offset too in an inner widget's mapToGlobal():
// place things from event positions instead. A press that opens a popup (a combo box's list) leaves
// no hold on the control behind: the next press goes where it lands. Tab goes round the content's
// controls, from the last to the first (Backtab the other way), and the view scrolls to the
// control that Tab, a shortcut or an opening popup gave the keyboard. Main thread only.
class VKZoomHost : public QGraphicsView {
    Q_OBJECT
public:
    // Takes ownership of `content`, which must have no parent.
    explicit VKZoomHost(QWidget *content, QSizeF minSize = {960, 640}, QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }
    // The window around the host that shows `inner` (inner's own window when no host shows it):
    // the parent for dialogs opened from inside, whose window() is only the embedded content.
    static QWidget *outerWindow(QWidget *inner);
    QGraphicsProxyWidget *proxy() const { return m_proxy; }
    // Scrolls the host that shows `inner` (if any) so that `inner` (or `part` of it, in its own
    // coordinates) is in view: for a control that moves the keyboard's spot without a change of
    // focus (a list's current row, a grid's current cell).
    static void reveal(const QWidget *inner, const QRect &part = {});
    // The part of `inner`'s window that the host showing it has in view, in that window's
    // coordinates (the whole window when no host shows it): where popups should go.
    [[nodiscard]] static QRect visiblePart(const QWidget *inner);
    // Scrolls the host that shows `inner` (if any) home, as a zoom change does: for content that
    // replaced what was scrolled to (another screen).
    static void home(const QWidget *inner);
    // The layout applied last; `scaled` and `indicators` as the content's minimum size made them.
    const VKZoom::Layout &currentLayout() const { return m_layout; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    static VKZoomHost *showing(const QWidget *inner);
    void relayout();
    void fitScene();
    void showControl(const QWidget *w, const QRect &part = {});

    QWidget *m_content;
    QGraphicsProxyWidget *m_proxy = nullptr;
    QSizeF m_minSize;
    VKZoom::Layout m_layout;
    VKZoom::ScrollHome *m_home;
    QSize m_homedSize;
    bool m_shown = false;
    bool m_homed = false; // scrolled home since first shown
};
