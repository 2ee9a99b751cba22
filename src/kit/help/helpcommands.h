#pragma once
#include <QList>
#include <QObject>

class QAction;
class QMenu;

// Fills the shell's Help menu: "<app name> Help" (QKeySequence::HelpContents), a separator, one
// item per topic of VELKHelp::allTopics(), a separator, "Velkmoor Website". Titles and topic
// items are brought up to date each time the menu is about to show; items the shell adds after
// the website item stay. Every item opens help through VELKHelp::show. Lives as the menu's child.
class VELKHelpCommands : public QObject {
    Q_OBJECT
public:
    explicit VELKHelpCommands(QMenu *menu);

    void refresh();

private:
    QMenu *menu_;
    QAction *helpItem_;
    QAction *topicsEnd_;
    QList<QAction *> topicItems_;
};

// Appends "Velkmoor Website", which opens VELKKitHost::creditURL() in the default browser.
QAction *vkAddWebsiteItem(QMenu *menu);
