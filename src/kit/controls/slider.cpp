#include "kit/controls/slider.h"

#include "kit/host/focusedtext.h"
#include "kit/paint/paint.h"
#include "kit/theme/focusring.h"
#include "kit/theme/style.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr double inset = 8;
constexpr double sliderHeight = 20;
constexpr double trackHeight = 6;
constexpr double knobSize = 16;
constexpr double glowRadius = 3;
constexpr double knobShadowRadius = 2;
constexpr QPointF knobShadowOffset(0, 1);

double within(double v, double lower, double upper)
{
    return std::min(std::max(v, lower), upper);
}

double adjustAmount(const LWSlider &s)
{
    return s.step() > 0 ? s.step() : (s.upper() - s.lower()) / 20;
}

class SliderAccessible : public QAccessibleWidget {
public:
    explicit SliderAccessible(LWSlider *s) : QAccessibleWidget(s, QAccessible::Slider) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::asprintf("%.2f", slider()->value());
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << increaseAction() << decreaseAction();
    }
    void doAction(const QString &name) override
    {
        if (name == increaseAction() || name == decreaseAction())
            slider()->adjust(name == increaseAction());
        else
            QAccessibleWidget::doAction(name);
    }

private:
    LWSlider *slider() const { return static_cast<LWSlider *>(widget()); }
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *s = qobject_cast<LWSlider *>(object))
        return new SliderAccessible(s);
    return nullptr;
}

} // namespace

LWSlider::LWSlider(Getter get, Setter set, double lower, double upper, double step, QWidget *parent)
    : QWidget(parent), get_(std::move(get)), set_(std::move(set)), lower_(lower), upper_(upper), step_(step)
{
    // Installed from the constructor: a static library drops static initialisers.
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Tab and a click give it the keyboard: a value being fine-tuned takes the arrows.
    setFocusPolicy(Qt::StrongFocus);
    setProperty(vkArrowKeysProperty, true); // not the page's nudge while it has the keyboard
    VKFocusRing::repaintOnFocus(this);
}

double LWSlider::fraction(double value, double lower, double upper)
{
    return (within(value, lower, upper) - lower) / std::max(upper - lower, 0.0001);
}

double LWSlider::valueAt(double x, double width, double lower, double upper, double step)
{
    const double track = width - 2 * inset;
    const double t = track >= 1 ? (x - inset) / track : x - inset;
    const double raw = lower + (upper - lower) * std::clamp(t, 0.0, 1.0);
    if (step <= 0)
        return raw;
    // Multiples of the step counted from zero; an end that is no multiple keeps the bound itself.
    return within(std::round(raw / step) * step, lower, upper);
}

void LWSlider::setRange(double lower, double upper)
{
    lower_ = lower;
    upper_ = upper;
    update();
}

void LWSlider::adjust(bool increase)
{
    const double amount = adjustAmount(*this);
    set_(within(get_() + (increase ? amount : -amount), lower_, upper_));
    update();
}

QSize LWSlider::sizeHint() const
{
    return QSize(160, static_cast<int>(sliderHeight));
}

QSize LWSlider::minimumSizeHint() const
{
    return QSize(static_cast<int>(2 * inset), static_cast<int>(sliderHeight));
}

void LWSlider::writeAt(double x)
{
    set_(valueAt(x, width(), lower_, upper_, step_));
    update();
}

void LWSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    endDrag(); // a release lost to a popup must not leave the drag open
    dragging_ = true;
    Q_EMIT editingChanged(true);
    writeAt(event->position().x());
}

void LWSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        writeAt(event->position().x());
}

void LWSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        endDrag();
}

void LWSlider::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        adjust(false);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        adjust(true);
        break;
    case Qt::Key_Home:
    case Qt::Key_End:
        set_(event->key() == Qt::Key_Home ? lower_ : upper_);
        update();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void LWSlider::hideEvent(QHideEvent *)
{
    endDrag();
}

void LWSlider::endDrag()
{
    if (!dragging_)
        return;
    dragging_ = false;
    Q_EMIT editingChanged(false);
}

void LWSlider::paintTrack(QPainter &p, const QRectF &trackRect, double fraction, const QRectF &area)
{
    p.fillPath(VKPaint::capsule(trackRect), QColor(0, 0, 0, 140));
    p.strokePath(VKPaint::capsuleEdge(trackRect, 0.6), QPen(QColor(255, 255, 255, 38), 0.6));
    const double filled = std::max(0.0, trackRect.width() * std::clamp(fraction, 0.0, 1.0));
    if (filled <= 0)
        return;
    const VKKitTheme theme = LWStyle::t();
    QColor glow = theme.accent, faded = theme.accent;
    glow.setAlphaF(0.6f);
    faded.setAlphaF(0.6f);
    // The glow of the whole track, its right end moved to where the fill ends: one cached
    // mask serves every value, where the fill's own shape would make a new one per move.
    const QPainterPath whole = VKPaint::capsule(trackRect);
    const double split = trackRect.left() + filled / 2;
    p.save();
    p.setClipRect(QRectF(area.left(), area.top(), split - area.left(), area.height()));
    VKPaint::drawShadow(p, whole, glow, glowRadius, {});
    p.setClipRect(QRectF(split, area.top(), area.right() - split, area.height()));
    VKPaint::drawShadow(p, whole, glow, glowRadius, QPointF(filled - trackRect.width(), 0));
    p.restore();
    const QRectF fillRect(trackRect.left(), trackRect.top(), filled, trackRect.height());
    QLinearGradient paint(fillRect.topLeft(), fillRect.topRight());
    paint.setStops({{0.0, theme.accent}, {1.0, faded}});
    p.fillPath(VKPaint::capsule(fillRect), paint);
}

void LWSlider::paintEvent(QPaintEvent *)
{
    const double track = width() - 2 * inset;
    const double f = fraction(get_(), lower_, upper_);
    const double middle = sliderHeight / 2;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF trackRect(inset, middle - trackHeight / 2, std::max(0.0, track), trackHeight);
    paintTrack(p, trackRect, f, rect());

    // The knob drawn at the origin and moved, so its shadow mask is cached once.
    const QRectF knob(0, 0, knobSize, knobSize);
    QPainterPath circle;
    circle.addEllipse(knob);
    p.translate(track * f, middle - knobSize / 2);
    VKPaint::drawShadow(p, circle, QColor(0, 0, 0, 128), knobShadowRadius, knobShadowOffset);
    p.fillPath(circle, VKPaint::vertical(knob, {QColor::fromRgbF(0.95f, 0.95f, 0.95f), QColor::fromRgbF(0.55f, 0.55f, 0.55f)}));
    QPainterPath rim;
    rim.addEllipse(VKPaint::edgeRect(knob, 0.8));
    p.strokePath(rim, QPen(QColor(0, 0, 0, 115), 0.8));
    if (hasFocus()) { // in the slider's 2 px of room around the knob
        QPainterPath ring;
        ring.addEllipse(knob.adjusted(-2, -2, 2, 2));
        VKFocusRing::paint(p, ring);
    }
}
