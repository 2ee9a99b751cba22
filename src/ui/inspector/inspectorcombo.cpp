#include "ui/inspector/inspectorcombo.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "kit/theme/focusring.h"
#include "kit/views/scrollview.h"

#include <QPainter>

InspectorCombo::InspectorCombo(const QString &accessibleName, QWidget *parent) : QComboBox(parent)
{
    setFont(vkFont(11));
    setAccessibleName(accessibleName);
    setStyleSheet(QStringLiteral("QComboBox { background: rgba(0, 0, 0, 77); color: palette(text);"
                                 " border: none; border-radius: 6px; padding: 3px 8px; }"
                                 "QComboBox::drop-down { border: none; width: 22px; }"
                                 "QComboBox::down-arrow { image: none; }"));
    VKScrollView::guardWheel(this); // a wheel turned over the inspector scrolls it
}

void InspectorCombo::paintEvent(QPaintEvent *event)
{
    QComboBox::paintEvent(event);
    QPainter p(this);
    constexpr double chevron = 12;
    VKSymbols::paint(p, VKSymbols::chevronDown, QRectF(width() - 8 - chevron, (height() - chevron) / 2, chevron, chevron),
                     VELKKitHost::theme().text);
    if (hasFocus()) { // its style sheet leaves out the kit's ring
        p.setRenderHint(QPainter::Antialiasing);
        VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()), 6));
    }
}
