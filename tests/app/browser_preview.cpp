// Shows the template browser in a window, for checking by eye:
//   browser_preview [none|card|flyer] [zoom] [out.png]
// "card" selects card-001; "flyer" shows the Flyers category and selects flyer-001. A zoom other
// than 1 puts the browser in the zoom host at that zoom, the window sized for it. With an output
// file it saves a grab of the window once no thumbnail is pending and quits.
#include "app/app.h"
#include "app/templatebrowser.h"
#include "app/templategrid.h"
#include "app/thumbs.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoom.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"
#include "templates/templates.h"

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
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("none");
    const double zoom = argc > 2 ? QString::fromLocal8Bit(argv[2]).toDouble() : 1.0;
    VKZoom::setValue(zoom);
    const QSize logical(1480, 760);

    LWApp state;
    TemplateBrowser *browser = nullptr;
    const auto build = [&state, &browser] { return browser = new TemplateBrowser(state); };
    VELKThemeRoot root(zoom == 1.0 ? VELKThemeRoot::Builder(build) : [&build, logical] {
        return static_cast<QWidget *>(new VKZoomHost(build(), QSizeF(logical)));
    });
    root.resize(logical * VKZoom::value());
    root.show();
    const QString id = mode == QLatin1String("card")    ? QStringLiteral("card-001")
                       : mode == QLatin1String("flyer") ? QStringLiteral("flyer-001")
                                                        : QString();
    if (mode == QLatin1String("flyer"))
        browser->categoryRow(QStringLiteral("Flyers"))->click();
    if (const std::optional<LWTemplate> t = LWTemplates::named(id))
        Q_EMIT browser->grid()->clicked(*t);
    if (argc > 3) {
        const QString out = QString::fromLocal8Bit(argv[3]);
        auto *poll = new QTimer(&qapp);
        QObject::connect(poll, &QTimer::timeout, &qapp, [&root, &qapp, out] {
            if (!LWThumbs::shared().pending().isEmpty())
                return;
            if (!root.grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
        QTimer::singleShot(500, poll, [poll] { poll->start(100); });
    }
    return qapp.exec();
}
