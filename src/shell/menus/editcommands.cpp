#include "shell/menus/editcommands.h"

#include "app/app.h"
#include "kit/host/focusedtext.h"
#include "kit/host/shortcuts.h"
#include "shell/menus/textaware.h"

#include <QAction>
#include <QMenu>

#include <optional>

LWEditCommands::LWEditCommands(QMenu *menu, LWApp &app) : QObject(menu), m_app(app)
{
    struct Item {
        const char *title;
        QKeySequence keys;
        std::optional<LWTextCommand> routed; // none: always the design
        void (LWEditor::*operation)();
    };
    const Item items[] = {
        {"Undo", LWShortcuts::undo, LWTextCommand::undo, &LWEditor::undo},
        {"Redo", LWShortcuts::redo, LWTextCommand::redo, &LWEditor::redo},
        {nullptr, {}, std::nullopt, nullptr},
        {"Cut", LWShortcuts::cut, LWTextCommand::cut, &LWEditor::cut},
        {"Copy", LWShortcuts::copy, LWTextCommand::copy, &LWEditor::copy},
        {"Paste", LWShortcuts::paste, LWTextCommand::paste, &LWEditor::paste},
        {"Duplicate", LWShortcuts::duplicate, std::nullopt, &LWEditor::duplicate},
        {"Delete", {}, LWTextCommand::del, &LWEditor::deleteSelection},
        {"Select All", LWShortcuts::selectAll, LWTextCommand::selectAll, &LWEditor::selectAll},
    };
    for (const Item &item : items) {
        if (!item.title) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(QString::fromLatin1(item.title));
        action->setShortcut(item.keys);
        const auto onEditor = [this, operation = item.operation] {
            if (LWEditor *editor = m_app.editor())
                (editor->*operation)();
        };
        // Routed ones act on a focused field's own text and leave its typed text pending.
        action->setProperty(VKPendingEdits::textCommandProperty, item.routed.has_value());
        if (item.routed)
            connect(action, &QAction::triggered, this,
                    [command = *item.routed, onEditor] { LWTextAware::run(command, onEditor); });
        else
            connect(action, &QAction::triggered, this, onEditor);
    }
}
