#include "kit/host/appmenucommands.h"

#include "kit/host/about.h"
#include "kit/help/helpcommands.h"
#include "kit/host/kithost.h"
#include "kit/theme/velkroot.h"

#include <QAction>
#include <QMenu>

VELKAppMenuCommands::VELKAppMenuCommands(QMenu *menu) : QObject(menu), menu_(menu)
{
    about_ = menu->addAction(QString());
    connect(about_, &QAction::triggered, this, [] { VELKAbout::show(); });
    vkAddWebsiteItem(menu);
    refresh();
    connect(menu, &QMenu::aboutToShow, this, &VELKAppMenuCommands::refresh);
}

void VELKAppMenuCommands::refresh()
{
    const QString name = vkPlain(VELKKitHost::appName());
    // The same title with an access letter added by the menu bar stays: retitling an open menu's
    // title would make the bar forget it is open.
    if (QString(menu_->title()).remove(u'&') != QString(name).remove(u'&'))
        menu_->setTitle(name);
    about_->setText(QStringLiteral("About ") + name);
}
