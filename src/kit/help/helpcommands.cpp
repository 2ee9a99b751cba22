#include "kit/help/helpcommands.h"

#include "kit/help/help.h"
#include "kit/host/kithost.h"
#include "kit/theme/velkroot.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

VELKHelpCommands::VELKHelpCommands(QMenu *menu) : QObject(menu), menu_(menu)
{
    // Made now, not on first show: the shortcut must work before the menu ever opens.
    helpItem_ = menu->addAction(QString());
    helpItem_->setShortcut(QKeySequence::HelpContents);
    connect(helpItem_, &QAction::triggered, this, [] { VELKHelp::show(); });
    menu->addSeparator();
    topicsEnd_ = menu->addSeparator();
    vkAddWebsiteItem(menu);
    refresh();
    connect(menu, &QMenu::aboutToShow, this, &VELKHelpCommands::refresh);
}

void VELKHelpCommands::refresh()
{
    helpItem_->setText(vkPlain(VELKKitHost::appName() + QStringLiteral(" Help")));
    for (QAction *item : std::as_const(topicItems_)) {
        menu_->removeAction(item);
        item->deleteLater();
    }
    topicItems_.clear();
    for (const VELKHelpTopic &topic : VELKHelp::allTopics()) {
        auto *item = new QAction(vkPlain(topic.title), this);
        connect(item, &QAction::triggered, this, [id = topic.id] { VELKHelp::show(id); });
        menu_->insertAction(topicsEnd_, item);
        topicItems_.append(item);
    }
}

QAction *vkAddWebsiteItem(QMenu *menu)
{
    QAction *item = menu->addAction(QStringLiteral("Velkmoor Website"));
    QObject::connect(item, &QAction::triggered, item, [] { (void)VELKKitHost::openExternal(VELKKitHost::creditURL()); });
    return item;
}
