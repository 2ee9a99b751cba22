#pragma once
#include "kit/theme/theme.h"

#include <QProxyStyle>

// Fusion for every window, with one change: a check box's box is outlined in a colour that stands
// out from the theme's background by at least 3:1 (Fusion outlines it darker than the window,
// which vanishes on dark themes), and a focused control shows Fusion's accent focus outline
// however it got the keyboard; the menu bar never takes the keyboard (no lone-Alt arming). The
// theme is read on every paint. Main thread only.
class VKAppStyle : public QProxyStyle {
    Q_OBJECT
public:
    VKAppStyle();

    // The outline: the theme's `dim`, or its `text` where `dim` is too close to `bg`.
    [[nodiscard]] static QColor checkOutline(const VKKitTheme &theme);
    // The accent for text on panels: the theme's `accent`, mixed with white just enough to stand
    // out from `panelTop` by 3:1 (a dark accent on a light panel is otherwise unreadable).
    [[nodiscard]] static QColor accentText(const VKKitTheme &theme);

    // Whether menu titles underline their access letters (while Alt is held); off at start.
    static void setAccessLettersShown(bool shown);

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;
};
