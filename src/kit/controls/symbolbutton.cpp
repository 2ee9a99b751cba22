#include "kit/controls/symbolbutton.h"

#include "kit/theme/focusring.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr int margin = 3; // room for the press without clipping the glyph's antialiasing

} // namespace

VKSymbolButton::VKSymbolButton(const QString &symbol, double size, const QString &help, bool dimmed,
                               QWidget *parent)
    : QAbstractButton(parent), symbol_(symbol), size_(size), dimmed_(dimmed)
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (!help.isEmpty()) {
        setToolTip(help);
        setAccessibleName(help);
    }
}

void VKSymbolButton::setDecorative(bool decorative)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, decorative);
    setFocusPolicy(decorative ? Qt::NoFocus : Qt::TabFocus);
}

QSize VKSymbolButton::sizeHint() const
{
    const int edge = static_cast<int>(std::ceil(size_)) + 2 * margin;
    return QSize(edge, edge);
}

void VKSymbolButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(VKPaint::disabledOpacity);
    else if (isDown())
        p.setOpacity(0.75);
    const VKKitTheme theme = LWStyle::t();
    const QRectF box((width() - size_) / 2, (height() - size_) / 2, size_, size_);
    VKSymbols::paint(p, symbol_, box, dimmed_ ? theme.dim : theme.text);
    if (hasFocus()) {
        p.setOpacity(1);
        VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()), 4));
    }
}
