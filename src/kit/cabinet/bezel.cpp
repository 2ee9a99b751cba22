#include "kit/cabinet/bezel.h"

#include "kit/cabinet/decorative.h"
#include "kit/cabinet/engravedlabel.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"

#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {
constexpr double shadowRadius = 6;
constexpr QPointF shadowOffset(0, 3);
constexpr double screwInset = 7;
constexpr double screwSize = 7;
} // namespace

Screw::Screw(QWidget *parent) : QWidget(parent)
{
    vkHideDecorationsFromAccessibility();
    setFixedSize(7, 7);
}

void Screw::paint(QPainter &p, const QRectF &frame)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient lit(frame.topLeft(), frame.bottomRight());
    lit.setColorAt(0, QColor::fromRgbF(0.85f, 0.85f, 0.85f));
    lit.setColorAt(1, QColor::fromRgbF(0.35f, 0.35f, 0.35f));
    p.setPen(Qt::NoPen);
    p.setBrush(lit);
    p.drawEllipse(frame);
    p.translate(frame.center());
    p.rotate(35); // clockwise: y grows downwards
    p.fillRect(QRectF(-2.5, -0.5, 5, 1), QColor(0, 0, 0, 115));
    p.restore();
}

void Screw::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paint(p, QRectF(rect()));
}

Bezel::Bezel(QWidget *content, const std::optional<QString> &title, double radius, double padding, bool screws,
             QWidget *parent)
    : QWidget(parent), content_(content), radius_(radius), screws_(screws)
{
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(8);
    const int pad = static_cast<int>(std::lround(padding));
    stack->setContentsMargins(QMargins(pad, pad, pad, pad) + shadowMargins());
    if (title) {
        title_ = new EngravedLabel(*title, this);
        stack->addWidget(title_);
    }
    // No alignment flag: expanding content must fill the panel.
    if (content_)
        stack->addWidget(content_);
}

QMargins Bezel::shadowMargins()
{
    return VKPaint::shadowMargins(shadowRadius, shadowOffset);
}

QString Bezel::title() const
{
    return title_ ? title_->text() : QString();
}

void Bezel::setTitle(const QString &title)
{
    if (title_)
        title_->setText(title);
}

void Bezel::setScrews(bool screws)
{
    screws_ = screws;
    updateGeometry();
    update();
}

QRectF Bezel::panelRect() const
{
    return QRectF(rect().marginsRemoved(shadowMargins()));
}

void Bezel::paint(QPainter &p, const QRectF &panel, double radius, bool screws)
{
    const VKKitTheme theme = LWStyle::t();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = VKPaint::roundedRect(panel, radius);
    VKPaint::drawRoundedShadow(p, panel, radius, QColor(0, 0, 0, 89), shadowRadius, shadowOffset);
    p.fillPath(shape, VKPaint::vertical(panel, {theme.panelTop, theme.panelBottom}));
    p.strokePath(VKPaint::roundedEdge(panel, radius, 1.2), QPen(QBrush(LWStyle::chromeRim(panel)), 1.2));
    if (screws) {
        Screw::paint(p, QRectF(panel.left() + screwInset, panel.top() + screwInset, screwSize, screwSize));
        Screw::paint(p, QRectF(panel.right() - screwInset - screwSize, panel.top() + screwInset, screwSize, screwSize));
    }
    p.restore();
}

void Bezel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paint(p, panelRect(), radius_, screws_);
}
