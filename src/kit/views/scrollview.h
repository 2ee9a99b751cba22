#pragma once
#include <QScrollArea>

// A frameless vertical scroll view that lets the background behind it show: its viewport and
// content paint nothing of their own. The content follows the view's width; the kit's scroll
// indicator (VKScrollStyle) lies over it while it is taller than the view. It is no Tab stop (a
// click takes the keyboard); it scrolls to the control inside that Tab reaches.
class VKScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit VKScrollView(QWidget *content = nullptr, QWidget *parent = nullptr);

    // Replaces the content; the old one is deleted later, so a handler inside it may call this.
    void setContent(QWidget *content);

    // For a value control (a combo box, a slider) that may sit in a scroll view: the wheel over it
    // changes its value only while it has the keyboard focus it took from a click on it; any other
    // wheel is left to its parents, so the view scrolls. A wheel never gives it focus.
    static void guardWheel(QWidget *control);
};
