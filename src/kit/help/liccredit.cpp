#include "kit/help/liccredit.h"

#include "kit/host/kithost.h"
#include "kit/paint/uifont.h"

#include <QPainter>

#include <cmath>

VKLicCredit::VKLicCredit(QWidget *parent) : QAbstractButton(parent)
{
    setText(QStringLiteral("by Velkmoor (VELK) · ") + plainAddress(VELKKitHost::creditURL()));
    setFont(vkFont(11, VKWeight::Semibold));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [] { (void)VELKKitHost::openExternal(VELKKitHost::creditURL()); });
}

QString VKLicCredit::plainAddress(const QUrl &url)
{
    QString s = url.toString(QUrl::RemoveScheme | QUrl::StripTrailingSlash);
    if (s.startsWith(QLatin1String("//")))
        s.remove(0, 2);
    return s;
}

QSize VKLicCredit::sizeHint() const
{
    const QSizeF size = vkTextSize(font(), text());
    return QSize(static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())));
}

void VKLicCredit::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::Link));
    vkDrawText(p, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, text(), font());
}
