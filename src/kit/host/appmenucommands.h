#pragma once
#include <QObject>

class QAction;
class QMenu;

// Fills the application menu the shell shows first, titled with the application name: "About
// <app name>" (VELKAbout::show) and "Velkmoor Website", no shortcuts, no separators. Titles
// follow the application name each time the menu is about to show. Lives as the menu's child.
class VELKAppMenuCommands : public QObject {
    Q_OBJECT
public:
    explicit VELKAppMenuCommands(QMenu *menu);

    void refresh();

private:
    QMenu *menu_;
    QAction *about_;
};
