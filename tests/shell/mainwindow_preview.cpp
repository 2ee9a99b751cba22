// Shows the main window, for checking by eye:
//   mainwindow_preview [start|templates|editor|sheet] [out.png] [interface zoom]
// With an output file it saves a grab of the whole screen once settled and quits. Settings go to
// a throw-away file.
#include "app/app.h"
#include "model/file/prefs.h"
#include "kit/zoom/zoom.h"
#include "shell/setup.h"
#include "shell/shellwindow.h"
#include "shell/startup.h"
#include "templates/templates.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    LWStartup::prepareApplication();
    LWApp &state = LWSetup::configure();
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("start");
    VKZoom::setValue(argc > 3 ? QString::fromLocal8Bit(argv[3]).toDouble() : 1.0);

    LWShellWindow window(state);
    window.move(0, 0);
    window.show();
    if (mode == QLatin1String("templates"))
        state.setScreen(LWAppScreen::templates);
    if (mode == QLatin1String("editor") || mode == QLatin1String("sheet"))
        state.newFromTemplate(LWTemplates::cards()[0]);
    if (mode == QLatin1String("sheet"))
        state.setSheet(LWAppSheet::exportSheet);
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(1500, &qapp, [&qapp, out] {
            if (!QGuiApplication::primaryScreen()->grabWindow(0).save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
    }
    return qapp.exec();
}
