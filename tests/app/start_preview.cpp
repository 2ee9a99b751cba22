// Shows the start screen in a window, for checking by eye:
//   start_preview [wide|tall|dialog] [out.png]
// A few recent designs are listed from a throw-away folder. With an output file it saves a grab
// of the window (or of the custom-size dialog) once shown and quits. Zoom with QT_SCALE_FACTOR.
#include "app/app.h"
#include "app/newcustomdialog.h"
#include "app/startscreen.h"
#include "kit/segmentedpicker.h"
#include "kit/themeroot.h"
#include "kit/themes.h"
#include "model/documentio.h"
#include "model/prefs.h"
#include "model/recent.h"
#include "render/fonts.h"

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
    VELKThemeRoot root([&state] { return new StartScreen(state); });
    root.resize(1180, 760);
    root.show();
    if (mode == QLatin1String("tall"))
        if (auto *picker = root.findChild<SegmentedPicker *>())
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
