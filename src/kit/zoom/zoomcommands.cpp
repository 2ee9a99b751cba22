#include "kit/zoom/zoomcommands.h"

#include "kit/zoom/zoom.h"

#include <QMenu>

void VKZoomCommands::addTo(QMenu *menu)
{
    QAction *in = menu->addAction(QStringLiteral("Zoom In"), [] { VKZoom::setValue(VKZoom::value() + VKZoom::step); });
    // "+" needs Shift on most keyboards: Ctrl+= reaches the same item without it.
    in->setShortcuts({QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QAction *out = menu->addAction(QStringLiteral("Zoom Out"), [] { VKZoom::setValue(VKZoom::value() - VKZoom::step); });
    out->setShortcuts(QKeySequence::ZoomOut);
    QAction *actual = menu->addAction(QStringLiteral("Actual Size (100%)"), [] { VKZoom::setValue(1.0); });
    actual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));

    QMenu *levels = menu->addMenu(QStringLiteral("Zoom Level"));
    for (const int percent : VKZoom::levels)
        levels->addAction(VKZoom::levelTitle(percent), [percent] { VKZoom::setValue(percent / 100.0); });
    menu->addSeparator();
}
