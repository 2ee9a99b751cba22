// Opens one of the kit's own windows, for checking by eye:
//   kit_windows help[:topic]|about|picker[:query] [out.png]
// With an output file it saves a grab of the window once shown and quits.
#include "kit/host/about.h"
#include "kit/help/helpwindow.h"
#include "kit/controls/iconpicker.h"
#include "kit/host/kithost.h"
#include "kit/help/lwhelp.h"
#include "kit/theme/themes.h"
#include "kit/theme/velkroot.h"
#include "kit/controls/searchfield.h"
#include "model/file/prefs.h"
#include "shell/appicon.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKKit::install(std::nullopt, LWHelp::topics(), LWThemes::extras());
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("help");

    QWidget *window = nullptr;
    if (mode.startsWith(QLatin1String("help"))) {
        const QString topic = mode.section(u':', 1);
        VELKHelpWindow::open(topic.isEmpty() ? QStringLiteral("walkthrough-card") : topic);
        window = VELKHelpWindow::window();
    } else if (mode == QLatin1String("about")) {
        QApplication::setWindowIcon(LWAppIcon::load());
        VELKKitHost::setBundleInfo({std::nullopt, std::nullopt, QStringLiteral("1.0"), QStringLiteral("12")});
        VELKKit::install(std::nullopt, LWHelp::topics(), {}); // the bundle forgets the name
        VELKAbout::setExtraLines({QStringLiteral("Business cards, flyers and posters"),
                                  QStringLiteral("Fonts: SIL Open Font License")});
        VELKAbout::show();
        window = VELKAbout::window();
    } else if (mode.startsWith(QLatin1String("picker"))) {
        auto *picker = new IconPicker;
        velkRoot(picker);
        picker->searchField()->setText(mode.section(u':', 1));
        picker->show();
        window = picker;
    } else {
        qWarning("unknown mode %s", qPrintable(mode));
        return 2;
    }
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(400, &app, [window, &app, out] {
            if (!window->grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            app.quit();
        });
    }
    return app.exec();
}
