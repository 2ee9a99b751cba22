#include "kit/host/closekeys.h"

#include "kit/host/shortcuts.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace VKCloseKeys {

void install(QWidget *window)
{
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), LWShortcuts::closeWindow}) {
        auto *shortcut = new QShortcut(keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
    }
}

} // namespace VKCloseKeys
