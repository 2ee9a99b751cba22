#include "kit/theme/appstyle.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/theme/focusring.h"

#include <QAbstractButton>
#include <QPainter>
#include <QStyleOption>

namespace {

double contrast(const QColor &a, const QColor &b)
{
    return LWColor::contrast(LWColor{a.redF(), a.greenF(), a.blueF(), 1}, LWColor{b.redF(), b.greenF(), b.blueF(), 1});
}

} // namespace

VKAppStyle::VKAppStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

QColor VKAppStyle::checkOutline(const VKKitTheme &theme)
{
    return contrast(theme.dim, theme.bg) >= 3 ? theme.dim : theme.text;
}

QColor VKAppStyle::accentText(const VKKitTheme &theme)
{
    const QColor a = theme.accent;
    for (int step = 0; step <= 20; ++step) {
        const double w = step / 20.0;
        const QColor c = QColor::fromRgbF(float(a.redF() + (1 - a.redF()) * w), float(a.greenF() + (1 - a.greenF()) * w),
                                          float(a.blueF() + (1 - a.blueF()) * w));
        if (contrast(c, theme.panelTop) >= 3)
            return c;
    }
    return Qt::white;
}

namespace {

bool accessLettersShown = false;

// Fusion outlines a focused control in the accent only after the keyboard moved the focus; the
// kit shows the keyboard wherever it is (arrows act on a control that took it from a click too).
class FocusShown {
public:
    explicit FocusShown(const QStyleOption *option) : option_(const_cast<QStyleOption *>(option))
    {
        if (option_) {
            saved_ = option_->state;
            if (saved_ & QStyle::State_HasFocus)
                option_->state |= QStyle::State_KeyboardFocusChange;
        }
    }
    ~FocusShown()
    {
        if (option_)
            option_->state = saved_;
    }
    FocusShown(const FocusShown &) = delete;
    FocusShown &operator=(const FocusShown &) = delete;

private:
    QStyleOption *option_;
    QStyle::State saved_;
};

} // namespace

void VKAppStyle::setAccessLettersShown(bool shown)
{
    accessLettersShown = shown;
}

int VKAppStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                          QStyleHintReturn *returnData) const
{
    if (hint == SH_UnderlineShortcut)
        return accessLettersShown ? 1 : 0;
    // Off, as on the Linux desktop: a lone Alt does not arm the menu bar, and Escape from a menu
    // leaves no title holding the keyboard unseen; Alt with a letter and F10 still open menus.
    if (hint == SH_MenuBar_AltKeyNavigation)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void VKAppStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    const FocusShown shown(option);
    QProxyStyle::drawControl(element, option, painter, widget);
}

void VKAppStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                                    const QWidget *widget) const
{
    const FocusShown shown(option);
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    // Fusion's one faint line is hard to see on the kit's dark panels: the kit's ring over it.
    if (control == CC_ComboBox && option && option->state & State_HasFocus)
        VKFocusRing::paint(*painter, VKPaint::roundedRect(QRectF(option->rect), 3));
}

void VKAppStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    const FocusShown shown(option);
    if (element == PE_FrameFocusRect && option && qobject_cast<const QAbstractButton *>(widget)) {
        // A check box's or radio button's title, ringed as the kit's controls are.
        VKFocusRing::paint(*painter, VKPaint::roundedRect(QRectF(option->rect).adjusted(-2, -1, 2, 1), 3));
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element != PE_IndicatorCheckBox || !option ||
        (option->state & State_HasFocus && option->state & State_KeyboardFocusChange))
        return;
    // Over Fusion's own outline, on the same pixels (its focus outline stays).
    QColor outline = checkOutline(VELKKitHost::theme());
    if (!(option->state & State_Enabled))
        outline.setAlphaF(static_cast<float>(VKPaint::disabledOpacity));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->translate(0.5, 0.5);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(outline, 1));
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}
