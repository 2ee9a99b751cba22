#include "kit/theme/themecommands.h"

#include "kit/theme/themes.h"
#include "model/file/prefs.h"

VELKThemeCommands::VELKThemeCommands(QWidget *parent) : QMenu(QStringLiteral("Theme"), parent)
{
    for (const VELKTheme &theme : VELKThemes::all()) {
        QAction *action = addAction(theme.name);
        action->setData(theme.id);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [id = theme.id] { VELKThemes::setCurrentID(id); });
    }
    syncChecks();
    connect(&LWSettings::shared(), &LWSettings::changed, this, [this](const QString &key) {
        if (key == VELKThemes::key)
            syncChecks();
    });
}

void VELKThemeCommands::syncChecks()
{
    const QString id = VELKThemes::currentID();
    for (QAction *action : actions())
        action->setChecked(action->data().toString() == id);
}
