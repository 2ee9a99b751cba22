#include "kit/host/shortcuts.h"

namespace LWShortcuts {

QString help(const QString &text, const QKeySequence &keys)
{
    return QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText));
}

} // namespace LWShortcuts
