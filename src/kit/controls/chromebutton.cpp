#include "kit/controls/chromebutton.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "kit/theme/focusring.h"

#include <QDataStream>
#include <QIODevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double shadowRadius = 3;
constexpr QPointF shadowOffset(0, 2);
constexpr double symbolGap = 5;

QSizeF padding(bool compact)
{
    return compact ? QSizeF(12, 5) : QSizeF(16, 8);
}

} // namespace

VKChromeButton::VKChromeButton(const QString &title, QWidget *parent) : QAbstractButton(parent)
{
    setText(title);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void VKChromeButton::setProminent(bool prominent)
{
    prominent_ = prominent;
    changed();
}

void VKChromeButton::setCompact(bool compact)
{
    compact_ = compact;
    changed();
}

void VKChromeButton::setSymbol(const QString &name)
{
    symbol_ = name;
    changed();
}

void VKChromeButton::changed()
{
    updateGeometry();
    update();
}

QMargins VKChromeButton::shadowMargins()
{
    return VKPaint::shadowMargins(shadowRadius, shadowOffset);
}

QFont VKChromeButton::labelFont() const
{
    return vkFont(compact_ ? 11 : 12.5, VKWeight::Bold);
}

QString VKChromeButton::shownText() const
{
    QString out;
    const QString t = text();
    out.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == QLatin1Char('&') && i + 1 < t.size())
            ++i; // "&x" shows x, "&&" shows "&"
        out.append(t[i]);
    }
    return out;
}

QSize VKChromeButton::sizeHint() const
{
    const QFont font = labelFont();
    const QSizeF text = vkTextSize(font, shownText());
    double w = text.width();
    double h = text.height();
    if (!symbol_.isEmpty()) {
        const double box = vkPixelSize(font);
        w += box + symbolGap;
        h = std::max(h, box);
    }
    const QSizeF pad = padding(compact_);
    const QMargins m = shadowMargins();
    return QSize(static_cast<int>(std::ceil(w)) + static_cast<int>(2 * pad.width()) + m.left() + m.right(),
                 static_cast<int>(std::ceil(h)) + static_cast<int>(2 * pad.height()) + m.top() + m.bottom());
}

QRectF VKChromeButton::capsuleRect() const
{
    return QRectF(rect().marginsRemoved(shadowMargins()));
}

bool VKChromeButton::hitButton(const QPoint &pos) const
{
    return VKPaint::capsule(capsuleRect()).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void VKChromeButton::render(QPainter &p) const
{
    const VKKitTheme theme = VELKKitHost::theme();
    const QRectF shape = capsuleRect();
    const QPainterPath body = VKPaint::capsule(shape);
    VKPaint::drawRoundedShadow(p, shape, std::min(shape.width(), shape.height()) / 2, QColor(0, 0, 0, 102), shadowRadius,
                               shadowOffset);
    if (prominent_) {
        QColor top = theme.accent, bottom = theme.accent;
        top.setAlphaF(0.95f);
        bottom.setAlphaF(0.60f);
        p.fillPath(body, VKPaint::vertical(shape, {top, bottom}));
    } else {
        p.fillPath(body, VKPaint::vertical(shape, {QColor::fromRgbF(0.42f, 0.42f, 0.42f), QColor::fromRgbF(0.16f, 0.16f, 0.16f)}));
    }
    p.strokePath(VKPaint::capsuleEdge(shape, 1),
                 QPen(QBrush(VKPaint::vertical(shape, {QColor(255, 255, 255, 140), QColor(0, 0, 0, 128)})), 1));

    // The label: symbol then title, centred as one line.
    const QFont font = labelFont();
    const QString title = shownText();
    const double textW = vkTextSize(font, title).width();
    const double box = symbol_.isEmpty() ? 0 : vkPixelSize(font);
    const double total = textW + (box > 0 ? box + symbolGap : 0);
    double x = shape.center().x() - total / 2;
    const QColor ink = prominent_ ? QColor(Qt::white) : theme.text;
    if (box > 0) {
        VKSymbols::paint(p, symbol_, QRectF(x, shape.center().y() - box / 2, box, box), ink);
        x += box + symbolGap;
    }
    p.setPen(ink);
    vkDrawText(p, QRectF(x, shape.top(), textW + 1, shape.height()), Qt::AlignLeft | Qt::AlignVCenter, title, font);
}

void VKChromeButton::paintEvent(QPaintEvent *)
{
    const VKKitTheme theme = VELKKitHost::theme();
    QByteArray key;
    {
        QDataStream s(&key, QIODevice::WriteOnly);
        s << text() << symbol_ << prominent_ << compact_ << theme.text << theme.accent;
    }
    // Disabled: faded, and never the pressed look.
    const double opacity = isEnabled() ? (isDown() ? 0.75 : 1.0) : VKPaint::disabledOpacity;
    QPainter p(this);
    layer_.draw(p, size(), key, opacity, [this](QPainter &layer) { render(layer); });
    if (hasFocus()) // in the shadow's room, a pixel clear of the capsule
        VKFocusRing::paint(p, VKPaint::capsule(capsuleRect().adjusted(-3, -3, 3, 3)));
}
