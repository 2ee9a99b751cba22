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
    menu_->setTitle(name);
    about_->setText(QStringLiteral("About ") + name);
}
