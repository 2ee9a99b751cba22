// Shows the header bar over an empty screen area and the status strip under it, for checking by
// eye:   chrome_preview [none|card|notice] [out.png] [interface zoom] [theme id]
// "card": a dirty two-sided card with a long emoji name, a finding of the print check, the
// editor's message and a notice. "notice": no design and a notice. With an output file it saves a
// grab of the window once shown and quits.
#include "app/app.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"
#include "shell/headerbar.h"
#include "shell/statusstrip.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    LWFonts::registerBundled();
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKThemes::registerThemes(LWThemes::extras());
    if (argc > 4)
        VELKThemes::setCurrentID(QString::fromLocal8Bit(argv[4]));
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("card");
    const double zoom = argc > 3 ? QString::fromLocal8Bit(argv[3]).toDouble() : 0;
    if (zoom > 0)
        VKZoom::setValue(zoom);

    LWApp state;
    state.setDefer([](int, std::function<void()>) {}); // the notice stays
    if (mode == QLatin1String("card")) {
        const QString name = QStringLiteral("Bäckerei \U0001F469\u200D\U0001F469\u200D\U0001F467 \U0001F1E9\U0001F1EA Sonnenblume "
                                            "\U0001F33B\U0001F950\U0001F370 Brot & Kuchen");
        state.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt, name));
        LWEditor *e = state.editor();
        if (!e->add(LWElement::makePhoto(LWRect(20, 20, 60, 60))))
            qWarning("could not add the photo frame");
        e->switchSide(1);
        e->setMessage(QStringLiteral("Select two or more items to group them."));
    }
    if (mode != QLatin1String("none"))
        state.flash(QStringLiteral("Saved Card.velkfolio"));

    const EditorStatus::Hooks hooks{[](const LWDocument &d) { return LWExport::preflight(d); }, 150,
                                    [](int, std::function<void()>) {}};
    VELKThemeRoot root([&state, zoom, hooks]() -> QWidget * {
        auto *content = new QWidget;
        content->setAttribute(Qt::WA_NoSystemBackground);
        auto *column = new QVBoxLayout(content);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        column->addWidget(new HeaderBar(state));
        column->addStretch(1);
        column->addWidget(new StatusStrip(state, hooks));
        if (zoom > 0)
            return new VKZoomHost(content, QSizeF(1480, 240));
        return content;
    });
    root.resize(QSize(1480, 240) * std::max(zoom, 1.0));
    root.show();
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(700, &qapp, [&root, &qapp, out] {
            if (!root.grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
    }
    return qapp.exec();
}
