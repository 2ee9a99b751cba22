#include "kit/cabinet/chromeroundbutton.h"

#include "kit/theme/focusring.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"

#include <QDataStream>
#include <QIODevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double glowRadius = 6;
constexpr double shadowRadius = 2.5;
constexpr QPointF shadowOffset(0, 2);
} // namespace

ChromeRoundButton::ChromeRoundButton(const QString &symbol, const QString &help, std::function<void()> action,
                                     bool selected, double size, bool disabled, QWidget *parent)
    : QAbstractButton(parent), symbol_(symbol), help_(help), selected_(selected), size_(size)
{
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setEnabled(!disabled);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void ChromeRoundButton::setHelp(const QString &help)
{
    help_ = help;
    setToolTip(help);
    setAccessibleName(help);
}

void ChromeRoundButton::setSelected(bool selected)
{
    selected_ = selected;
    updateGeometry();
    update();
}

void ChromeRoundButton::setFaceSize(double size)
{
    size_ = size;
    updateGeometry();
    update();
}

QMargins ChromeRoundButton::shadowMargins()
{
    const int m = std::max(VKPaint::shadowMargin(glowRadius, {}), VKPaint::shadowMargin(shadowRadius, shadowOffset));
    return {m, m, m, m};
}

QRectF ChromeRoundButton::faceRect() const
{
    const QMargins m = shadowMargins();
    return QRectF(m.left(), m.top(), size_, size_);
}

QSize ChromeRoundButton::sizeHint() const
{
    const int edge = static_cast<int>(std::ceil(size_));
    return QSize(edge, edge).grownBy(shadowMargins());
}

bool ChromeRoundButton::hitButton(const QPoint &pos) const
{
    const QRectF face = faceRect();
    const QPointF d = QPointF(pos) + QPointF(0.5, 0.5) - face.center();
    return std::hypot(d.x(), d.y()) <= face.width() / 2;
}

void ChromeRoundButton::paint(QPainter &p, const QRectF &face, const QString &symbol, bool selected)
{
    const VKKitTheme theme = LWStyle::t();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(face);
    if (selected) {
        QColor glow = theme.accent;
        glow.setAlphaF(0.8f);
        VKPaint::drawShadow(p, circle, glow, glowRadius, {});
        QColor top = theme.accent, bottom = theme.accent;
        top.setAlphaF(0.95f);
        bottom.setAlphaF(0.55f);
        p.fillPath(circle, VKPaint::vertical(face, {top, bottom}));
    } else {
        VKPaint::drawShadow(p, circle, QColor(0, 0, 0, 115), shadowRadius, shadowOffset);
        p.fillPath(circle, VKPaint::vertical(face, {QColor::fromRgbF(0.48f, 0.48f, 0.48f), QColor::fromRgbF(0.16f, 0.16f, 0.16f)}));
    }
    QPainterPath rim;
    rim.addEllipse(VKPaint::edgeRect(face, 1.2));
    p.strokePath(rim, QPen(QBrush(LWStyle::chromeRim(face)), 1.2));
    const double glyph = 0.4 * face.width();
    VKSymbols::paint(p, symbol, QRectF(face.center() - QPointF(glyph, glyph) / 2, QSizeF(glyph, glyph)), Qt::white);
    p.restore();
}

void ChromeRoundButton::paintEvent(QPaintEvent *)
{
    const VKKitTheme theme = LWStyle::t();
    QByteArray key;
    {
        QDataStream s(&key, QIODevice::WriteOnly);
        s << symbol_ << selected_ << size_ << theme.accent;
    }
    const double opacity = isEnabled() ? (isDown() ? 0.75 : 1.0) : VKPaint::disabledOpacity;
    QPainter p(this);
    layer_.draw(p, size(), key, opacity, [this](QPainter &layer) { paint(layer, faceRect(), symbol_, selected_); });
    if (hasFocus()) { // in the shadow's room, a pixel clear of the face
        QPainterPath ring;
        ring.addEllipse(faceRect().adjusted(-3, -3, 3, 3));
        VKFocusRing::paint(p, ring);
    }
}
