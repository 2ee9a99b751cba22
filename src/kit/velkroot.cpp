#include "kit/velkroot.h"

#include "kit/kithost.h"

#include <QLabel>
#include <QWidget>

QPalette vkPalette(const VKKitTheme &t)
{
    QPalette pal;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, t.bg);
        pal.setColor(group, QPalette::WindowText, t.text);
        pal.setColor(group, QPalette::Base, t.panelBottom);
        pal.setColor(group, QPalette::AlternateBase, t.panelTop);
        pal.setColor(group, QPalette::Text, t.text);
        pal.setColor(group, QPalette::Button, t.panelTop);
        pal.setColor(group, QPalette::ButtonText, t.text);
        pal.setColor(group, QPalette::BrightText, Qt::white);
        pal.setColor(group, QPalette::Highlight, t.accent);
        pal.setColor(group, QPalette::HighlightedText, Qt::white);
        pal.setColor(group, QPalette::ToolTipBase, t.panelTop);
        pal.setColor(group, QPalette::ToolTipText, t.text);
        pal.setColor(group, QPalette::PlaceholderText, t.dim);
        pal.setColor(group, QPalette::Link, QColor(0x9E, 0xCF, 0xFF));
        pal.setColor(group, QPalette::LinkVisited, QColor(0x9E, 0xCF, 0xFF));
    }
    pal.setColor(QPalette::Disabled, QPalette::WindowText, t.dim);
    pal.setColor(QPalette::Disabled, QPalette::Text, t.dim);
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, t.dim);
    return pal;
}

void velkRoot(QWidget *widget)
{
    widget->setPalette(vkPalette(VELKKitHost::theme()));
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
