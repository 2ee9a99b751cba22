#include "kit/views/panel.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"

#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

VKPanel::VKPanel(QWidget *content, double radius, double padding, QWidget *parent)
    : QWidget(parent), content_(content), radius_(radius), padding_(padding)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    if (content_)
        layout->addWidget(content_);
    setPadding(padding);
}

void VKPanel::setRadius(double radius)
{
    radius_ = radius;
    update();
}

void VKPanel::setPadding(double padding)
{
    padding_ = padding;
    const int m = static_cast<int>(std::lround(padding));
    layout()->setContentsMargins(m, m, m, m);
    update();
}

void VKPanel::paintEvent(QPaintEvent *)
{
    const VKKitTheme theme = VELKKitHost::theme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(rect());
    p.fillPath(VKPaint::roundedRect(shape, radius_), VKPaint::vertical(shape, {theme.panelTop, theme.panelBottom}));
    p.strokePath(VKPaint::roundedEdge(shape, radius_, 1),
                 QPen(QBrush(VKPaint::vertical(shape, {QColor(255, 255, 255, 89), QColor(0, 0, 0, 128)})), 1));
}
