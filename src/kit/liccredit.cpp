#include "kit/liccredit.h"

#include "kit/kithost.h"
#include "kit/uifont.h"

#include <QDesktopServices>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

VKLicCredit::VKLicCredit(QWidget *parent) : QAbstractButton(parent)
{
    setText(QStringLiteral("by Velkmoor (VELK) · ") + plainAddress(VELKKitHost::creditURL()));
    setFont(vkFont(11, VKWeight::Semibold));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [] { QDesktopServices::openUrl(VELKKitHost::creditURL()); });
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
    const QFontMetricsF fm(font(), this);
    return QSize(static_cast<int>(std::ceil(fm.horizontalAdvance(text()))), static_cast<int>(std::ceil(fm.height())));
}

void VKLicCredit::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::Link));
    p.drawText(QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, text());
}
