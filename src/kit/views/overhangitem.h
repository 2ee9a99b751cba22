#pragma once
#include <QMargins>
#include <QWidgetItem>

class QBoxLayout;

// A layout item for a widget that keeps room for its shadow round the shape it draws (bezels,
// chrome buttons): the layout places the shape, the margins overhang that place, so shapes line
// up and sit as far apart as drawn. The widget goes at the top left of its place, no larger than
// its maximum; with `fitHeight` no taller than its preferred height either.
class VKOverhangItem : public QWidgetItem {
public:
    VKOverhangItem(QWidget *widget, QMargins margins, bool fitHeight = false);

    // Adds `widget` to the end of `layout` in such an item.
    static void add(QBoxLayout *layout, QWidget *widget, QMargins margins, bool fitHeight = false, int stretch = 0);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    int heightForWidth(int w) const override;
    void setGeometry(const QRect &r) override;
    QRect geometry() const override;

private:
    QMargins margins_;
    bool fitHeight_;
};
