#include "kit/appmenucommands.h"

#include "kit/about.h"
#include "kit/helpcommands.h"
#include "kit/kithost.h"
#include "kit/velkroot.h"

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
