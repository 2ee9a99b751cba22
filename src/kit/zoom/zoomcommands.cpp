#include "kit/zoom/zoomcommands.h"

#include "kit/zoom/zoom.h"
#include "model/file/prefs.h"

#include <QMenu>
#include <cmath>

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
    for (const int percent : VKZoom::levels) {
        QAction *level = levels->addAction(VKZoom::levelTitle(percent), [percent] { VKZoom::setValue(percent / 100.0); });
        level->setData(percent);
        level->setCheckable(true);
    }
    // Checks the current level (none between levels); choosing the checked one keeps its check.
    const auto sync = [levels] {
        const int current = int(std::lround(VKZoom::value() * 100));
        for (QAction *level : levels->actions())
            level->setChecked(level->data().toInt() == current);
    };
    sync();
    QObject::connect(&LWSettings::shared(), &LWSettings::changed, levels, [sync](const QString &key) {
        if (key == VKZoom::key)
            sync();
    });
    QObject::connect(levels, &QMenu::triggered, levels, sync);
    menu->addSeparator();
}
