#include "shell/menus/editoritem.h"

#include "app/app.h"

#include <QAction>
#include <QMenu>

QAction *lwAddEditorItem(QMenu *menu, const QString &title, LWApp &app, std::function<void(LWEditor &)> act,
                         const QList<QKeySequence> &keys)
{
    QAction *action = menu->addAction(title);
    action->setShortcuts(keys);
    QObject::connect(action, &QAction::triggered, action, [&app, act = std::move(act)] {
        if (LWEditor *editor = app.editor())
            act(*editor);
    });
    return action;
}
