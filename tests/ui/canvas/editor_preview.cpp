// Shows the editor screen on the first card template in a window, for checking by eye:
//   editor_preview [none|text|locked] [interface zoom] [out.png]
// text selects the first text box, locked the first item after locking it.
#include "app/app.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"
#include "templates/templates.h"
#include "ui/canvas/editorscreen.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    LWFonts::registerBundled();
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKThemes::registerThemes(LWThemes::extras());
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("none");
    const double zoom = argc > 2 ? QString::fromLocal8Bit(argv[2]).toDouble() : 0;
    if (zoom > 0)
        VKZoom::setValue(zoom);
    LWApp app;
    app.newDocument(LWTemplates::cards().first().make());
    LWEditor &editor = *app.editor();
    for (const LWElement &e : editor.elements()) {
        if (mode == QLatin1String("text") && e.kind == LWElementKind::text) {
            editor.setSelection({e.id});
            break;
        }
        if (mode == QLatin1String("locked")) {
            editor.setLocked(true, QList<QUuid>{e.id});
            editor.setSelection({e.id});
            break;
        }
    }
    VELKThemeRoot root([&]() -> QWidget * {
        auto *screen = new EditorScreen(app, editor);
        return zoom > 0 ? static_cast<QWidget *>(new VKZoomHost(screen, {1480, 760})) : screen;
    });
    root.resize(QSize(1480, 760) * std::max(zoom, 1.0));
    root.show();
    if (argc > 3) {
        const QString out = QString::fromLocal8Bit(argv[3]);
        QTimer::singleShot(800, &qapp, [&root, &qapp, out] {
            if (!root.grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
    }
    return qapp.exec();
}
