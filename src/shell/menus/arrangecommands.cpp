#include "shell/menus/arrangecommands.h"

#include "app/app.h"
#include "kit/host/shortcuts.h"
#include "shell/menus/editoritem.h"

#include <QMenu>

LWArrangeCommands::LWArrangeCommands(QMenu *menu, LWApp &app) : QObject(menu)
{
    const auto arrange = [&](const char *title, LWArrange how, const QList<QKeySequence> &keys) {
        lwAddEditorItem(menu, QString::fromLatin1(title), app, [how](LWEditor &e) { e.arrange(how); }, keys);
    };
    arrange("Bring to Front", LWArrange::front, LWShortcuts::bringToFrontKeys);
    arrange("Bring Forward", LWArrange::forward, {LWShortcuts::bringForward});
    arrange("Send Backward", LWArrange::backward, {LWShortcuts::sendBackward});
    arrange("Send to Back", LWArrange::back, LWShortcuts::sendToBackKeys);
    menu->addSeparator();

    QMenu *align = menu->addMenu(QStringLiteral("Align"));
    const auto alignItem = [&](const char *title, LWAlign how) {
        lwAddEditorItem(align, QString::fromLatin1(title), app, [how](LWEditor &e) { e.align(how); });
    };
    alignItem("Left Edges", LWAlign::left);
    alignItem("Centers", LWAlign::hCenter);
    alignItem("Right Edges", LWAlign::right);
    align->addSeparator();
    alignItem("Top Edges", LWAlign::top);
    alignItem("Middles", LWAlign::vMiddle);
    alignItem("Bottom Edges", LWAlign::bottom);

    QMenu *distribute = menu->addMenu(QStringLiteral("Distribute"));
    lwAddEditorItem(distribute, QStringLiteral("Horizontally"), app, [](LWEditor &e) { e.distribute(true); });
    lwAddEditorItem(distribute, QStringLiteral("Vertically"), app, [](LWEditor &e) { e.distribute(false); });
    menu->addSeparator();

    lwAddEditorItem(menu, QStringLiteral("Group"), app, [](LWEditor &e) { e.group(); }, {LWShortcuts::group});
    lwAddEditorItem(menu, QStringLiteral("Ungroup"), app, [](LWEditor &e) { e.ungroup(); }, {LWShortcuts::ungroup});
    lwAddEditorItem(menu, QStringLiteral("Lock"), app, [](LWEditor &e) { e.setLocked(true); }, {LWShortcuts::lock});
    lwAddEditorItem(menu, QStringLiteral("Unlock"), app, [](LWEditor &e) { e.setLocked(false); },
                    {LWShortcuts::unlock});
    menu->addSeparator();
    lwAddEditorItem(menu, QStringLiteral("Fit Text Box to Text"), app, [](LWEditor &e) { e.fitBoxToText(); });
}
