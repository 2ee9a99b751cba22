#include "kit/controls/colorwell.h"

#include "kit/theme/focusring.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"

#include <QColorDialog>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

constexpr QSize wellSize(38, 24);
constexpr double radius = 5;
constexpr int checker = 6;

struct Shared {
    QPointer<QWidget> parent;
    QPointer<QColorDialog> dialog;
    QMetaObject::Connection listener;
};

Shared &shared()
{
    static Shared s;
    return s;
}

float shown(double component)
{
    return std::isfinite(component) ? static_cast<float>(std::clamp(component, 0.0, 1.0)) : 0.0f;
}

QColor toQColor(const LWColor &c)
{
    return QColor::fromRgbF(shown(c.r), shown(c.g), shown(c.b), shown(c.a));
}

} // namespace

LWColorWell::LWColorWell(const LWColor &color, QWidget *parent) : QAbstractButton(parent), color_(color)
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, &LWColorWell::openPanel);
}

void LWColorWell::setColor(const LWColor &color)
{
    color_ = color;
    update();
}

void LWColorWell::setPanelParent(QWidget *window)
{
    Shared &s = shared();
    s.parent = window;
    if (s.dialog && s.dialog->parentWidget() != window)
        s.dialog->setParent(window, s.dialog->windowFlags());
}

QColorDialog *LWColorWell::panel()
{
    return shared().dialog;
}

LWColor LWColorWell::reported(const QColor &colour)
{
    if (!colour.isValid())
        return LWColor(0, 0, 0, 1);
    const QColor rgb = colour.toRgb();
    return LWColor(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

QSize LWColorWell::sizeHint() const
{
    return wellSize;
}

void LWColorWell::openPanel()
{
    Shared &s = shared();
    if (!s.dialog) {
        s.dialog = new QColorDialog(s.parent);
        s.dialog->setOptions(QColorDialog::ShowAlphaChannel | QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
        s.dialog->setWindowFlag(Qt::BypassGraphicsProxyWidget);
        s.dialog->setModal(false);
    }
    QObject::disconnect(s.listener);
    {
        // Showing the well's colour is no pick: a report would cost the caller an undo step.
        const QSignalBlocker quiet(s.dialog);
        s.dialog->setCurrentColor(toQColor(color_));
    }
    s.listener = connect(s.dialog, &QColorDialog::currentColorChanged, this,
                         [this](const QColor &c) { Q_EMIT colorPicked(reported(c)); });
    s.dialog->show();
    s.dialog->raise();
    s.dialog->activateWindow();
}

void LWColorWell::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    const QPainterPath shape = VKPaint::roundedRect(r, radius);
    p.save();
    p.setClipPath(shape);
    p.fillRect(r, Qt::white);
    const QColor dark = QColor::fromRgbF(0.75f, 0.75f, 0.75f);
    for (int y = 0; y < height(); y += checker)
        for (int x = (y / checker) % 2 * checker; x < width(); x += 2 * checker)
            p.fillRect(QRect(x, y, checker, checker), dark);
    p.fillRect(r, toQColor(color_));
    p.restore();
    p.strokePath(VKPaint::roundedEdge(r, radius, 1), QPen(QBrush(LWStyle::chromeRim(r)), 1));
    if (isDown())
        p.fillPath(shape, QColor(0, 0, 0, 60));
    if (hasFocus())
        VKFocusRing::paint(p, shape);
}
