#include "kit/controls/ledtoggle.h"

#include "kit/theme/focusring.h"
#include "kit/cabinet/led.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/uifont.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include <cmath>
#include <mutex>

namespace {

constexpr double lampSize = 7;
constexpr double spacing = 6;
constexpr QSizeF padding(10, 5);

QFont titleFont()
{
    return vkFont(11, VKWeight::Bold);
}

class ToggleAccessible : public QAccessibleWidget {
public:
    explicit ToggleAccessible(LEDToggle *t) : QAccessibleWidget(t, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<LEDToggle *>(widget())->isOn() ? QStringLiteral("on") : QStringLiteral("off");
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            static_cast<LEDToggle *>(widget())->click();
        else
            QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *t = qobject_cast<LEDToggle *>(object))
        return new ToggleAccessible(t);
    return nullptr;
}

} // namespace

LEDToggle::LEDToggle(const QString &title, Getter get, Setter set, const QColor &color, const QString &help,
                     QWidget *parent)
    : QAbstractButton(parent), title_(title), get_(std::move(get)), set_(std::move(set)), color_(color)
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
    // The title stays out of QAbstractButton's text, which would read "&" as a mnemonic.
    setToolTip(help);
    setAccessibleName(title);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] {
        set_(!get_());
        update();
    });
}

QSize LEDToggle::sizeHint() const
{
    const QSizeF t = vkTextSize(titleFont(), title_);
    return QSize(static_cast<int>(std::ceil(2 * padding.width() + lampSize + spacing + t.width())),
                 static_cast<int>(std::ceil(2 * padding.height() + std::max(lampSize, t.height()))));
}

QRectF LEDToggle::lampRect() const
{
    return QRectF(padding.width(), (height() - lampSize) / 2, lampSize, lampSize);
}

bool LEDToggle::hitButton(const QPoint &pos) const
{
    return VKPaint::capsule(QRectF(rect())).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void LEDToggle::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(VKPaint::disabledOpacity);
    const QRectF shape(rect());
    p.fillPath(VKPaint::capsule(shape),
               VKPaint::vertical(shape, {QColor::fromRgbF(0.36f, 0.36f, 0.36f), QColor::fromRgbF(0.14f, 0.14f, 0.14f)}));
    p.strokePath(VKPaint::capsuleEdge(shape, 1), QPen(QBrush(LWStyle::chromeRim(shape)), 1));
    const QRectF lamp = lampRect();
    LED::paint(p, lamp, color_, get_());
    p.setPen(LWStyle::t().text);
    const double x = lamp.right() + spacing;
    vkDrawText(p, QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, title_, titleFont());
    if (hasFocus())
        VKFocusRing::paint(p, VKPaint::capsule(shape));
}
