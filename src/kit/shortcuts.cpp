#include "kit/shortcuts.h"

namespace LWShortcuts {

QKeySequence duplicate() { return QKeySequence(Qt::CTRL | Qt::Key_D); }
QKeySequence group() { return QKeySequence(Qt::CTRL | Qt::Key_G); }
QKeySequence ungroup() { return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G); }
QKeySequence lock() { return QKeySequence(Qt::CTRL | Qt::Key_L); }

QString help(const QString &title, const QKeySequence &keys)
{
    if (keys.isEmpty())
        return title;
    return title + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

} // namespace LWShortcuts
