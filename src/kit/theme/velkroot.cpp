#include "kit/theme/velkroot.h"

#include "kit/host/kithost.h"
#include "kit/theme/themeroot.h"

#include <QLabel>
#include <QWidget>

void velkRoot(QWidget *widget)
{
    widget->setPalette(VELKThemeRoot::themePalette(VELKKitHost::theme()));
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

QString vkPlain(const QString &text)
{
    QString out = text;
    return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void vkPlain(QLabel *label, const QString &text)
{
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

void VKHelpWindow::show(const QString &page)
{
    VELKKitHost::showHelp(page);
}
