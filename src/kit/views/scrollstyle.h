#pragma once
#include <QProxyStyle>

class QAbstractScrollArea;
class QWheelEvent;

// The interface's one scroll indicator look: a thin capsule in the theme's text colour, drawn over
// the content at the trailing edge, without groove or arrow buttons, widening a little under the
// pointer. The bars stay QScrollBars (dragging, page clicks, wheel, keys and accessibility as Qt
// gives them) and take no room from the viewport; they show only while the content exceeds the
// view. Colours are read afresh on each paint, so every theme applies. A vertical wheel turned with
// Shift over an area that can scroll sideways scrolls it sideways. Main thread only.
class VKScrollStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int extent = 12;                    // the bar's strip, over the content
    static constexpr double thin = 6, wide = 9, inset = 2; // the capsule's breadth and its gap to the edges
    static constexpr int sliderMin = 24;
    // Room a scrolled column leaves free at its trailing edge so its content stays clear of the bar.
    static constexpr int clearance = extent + 4;

    // The one instance, a child of the application object.
    static VKScrollStyle *shared();
    // Gives an area's bars this look (a graphics view also stops reserving room for them). Call
    // again after replacing a bar.
    static void apply(QAbstractScrollArea *area);

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                         const QWidget *widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override;
    void polish(QWidget *widget) override;
    void unpolish(QWidget *widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    VKScrollStyle();
    // Turns a Shift + vertical wheel over an area's viewport into a horizontal one; false when it
    // leaves the event alone.
    static bool sideways(QObject *viewport, QWheelEvent *event);
};
