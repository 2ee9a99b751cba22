#pragma once
#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class LWApp;
class LWEditor;
class QAction;
class QMenu;

// Appends a plain item that reads the application's open editor when it fires and runs `act` on
// it; without an editor it does nothing. The action belongs to `menu`.
QAction *lwAddEditorItem(QMenu *menu, const QString &title, LWApp &app, std::function<void(LWEditor &)> act,
                         const QList<QKeySequence> &keys = {});
