// Shows the start screen in a window, for checking by eye:
//   start_preview [wide|tall|dialog] [out.png] [interface zoom]
// A few recent designs are listed from a throw-away folder. With an output file it saves a grab
// of the window (or of the custom-size dialog) once shown and quits. With a zoom the screen sits
// in the zoom host, in a window as much larger.
#include "app/app.h"
#include "app/newcustomdialog.h"
#include "app/startscreen.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/documentio.h"
#include "model/file/prefs.h"
#include "model/file/recent.h"
#include "render/text/fonts.h"

#include <QAbstractButton>
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
    for (const char *name : {"Spring Sale", "Joe's Plumbing card", "a.b", "A much longer name for a yard sale flyer"}) {
        const QUrl url = QUrl::fromLocalFile(dir.filePath(QString::fromUtf8(name) + QStringLiteral(".velkfolio")));
        if (!LWDocumentIO::save(LWDocument::blank(LWSizePreset::letter, false), url).ok())
            qWarning("could not save %s", name);
    }
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("wide");
    LWApp state;
    const double zoom = argc > 3 ? QString::fromLocal8Bit(argv[3]).toDouble() : 0;
    if (zoom > 0)
        VKZoom::setValue(zoom);
    VELKThemeRoot root([&state, zoom]() -> QWidget * {
        if (zoom > 0)
            return new VKZoomHost(new StartScreen(state));
        return new StartScreen(state);
    });
    root.resize(QSize(1180, 760) * std::max(zoom, 1.0));
    root.show();
    // In the zoom host the screen is no child of the window: look through every widget.
    if (mode == QLatin1String("tall"))
        for (QWidget *w : QApplication::allWidgets())
            if (auto *picker = qobject_cast<SegmentedPicker *>(w))
                picker->segment(1)->click();
    QWidget *shown = &root;
    if (mode == QLatin1String("dialog"))
        shown = NewCustomDialog::present(state, &root);
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(500, &qapp, [shown, &qapp, out] {
            if (!shown->grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
    }
    return qapp.exec();
}
