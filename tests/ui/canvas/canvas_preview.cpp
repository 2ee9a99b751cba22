// Shows the canvas area with a flyer in a window, for checking by eye:
//   canvas_preview [interface zoom] [out.png] [canvas zoom]
// With an output file it saves a grab of the window once shown and quits. With an interface zoom
// the area sits in the zoom host, in a window as much larger.
#include "kit/zoomhost.h"
#include "model/prefs.h"
#include "render/fonts.h"
#include "templates/templates.h"
#include "ui/canvas/canvasarea.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    LWFonts::registerBundled();
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    const double zoom = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 0;
    if (zoom > 0)
        VKZoom::setValue(zoom);
    LWEditor editor(LWTemplates::flyers().first().make());
    if (!editor.elements().isEmpty())
        editor.setSelection({editor.elements().last().id});
    if (argc > 3)
        editor.setCanvasZoom(QString::fromLocal8Bit(argv[3]).toDouble());
    auto *area = new CanvasArea(editor);
    QWidget *shown = area;
    if (zoom > 0)
        shown = new VKZoomHost(area, {900, 640});
    shown->resize(QSize(900, 640) * std::max(zoom, 1.0));
    shown->show();
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(700, &qapp, [shown, &qapp, out] {
            if (!shown->grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
    }
    const int code = qapp.exec();
    delete shown;
    return code;
}
