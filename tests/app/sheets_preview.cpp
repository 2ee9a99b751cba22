// Shows one sheet over a window, for checking by eye:
//   sheets_preview [export-pdf|export-jpeg|export-png|export-sheet|preflight-clean|preflight|size-preset|
//                   size-custom] [out.png] [interface zoom]
// The window's content sits in the zoom host at the zoom; the sheet is its own window over it, as
// in the application. With an output file it saves a grab of the whole screen once shown and quits.
#include "app/app.h"
#include "app/sheets/exportsheet.h"
#include "app/sheets/sheetpresenter.h"
#include "app/textlabel.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoom.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

namespace {

LWDocument design(const QString &mode)
{
    if (mode == QLatin1String("size-custom"))
        return LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 360, 504, 18, QStringLiteral("Poster"));
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Joe's Plumbing"));
    if (mode == QLatin1String("preflight")) {
        LWElement text = LWElement::makeText(LWText(QStringLiteral("Call today"), QStringLiteral("NoSuch-Regular"), 12,
                                                    LWColor::black),
                                             LWRect(30, 30, 150, 30), QStringLiteral("Phone"));
        LWElement hidden = LWElement::makePhoto(LWRect(20, 60, 40, 40), LWMask::none, 0, QStringLiteral("Old logo"));
        hidden.hidden = true;
        doc.pages[0].elements = {text, LWElement::makePhoto(LWRect(150, 60, 60, 60), LWMask::ellipse, 0,
                                                            QStringLiteral("Portrait")), hidden};
        doc.pages[1].elements = {LWElement::makePhoto(LWRect(20, 20, 60, 60), LWMask::none, 0, QStringLiteral("Map"))};
    }
    return doc;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    LWFonts::registerBundled();
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKThemes::registerThemes(LWThemes::extras());
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("export-pdf");
    const double zoom = argc > 3 ? QString::fromLocal8Bit(argv[3]).toDouble() : 1.0;
    VKZoom::setValue(zoom);

    LWApp state;
    const QSize logical(760, 640);
    VELKThemeRoot root([logical] {
        QLabel *label = lwTextLabel(QStringLiteral("The main window's content, in the zoom host"), 16);
        label->setAlignment(Qt::AlignCenter);
        return static_cast<QWidget *>(new VKZoomHost(label, QSizeF(logical)));
    });
    // The window keeps its size; at a higher zoom its content scrolls.
    root.resize(logical);
    root.move(0, 60);
    root.show();
    LWSheetPresenter presenter(state, &root);
    state.newDocument(design(mode));
    if (mode.startsWith(QLatin1String("export")))
        state.setSheet(LWAppSheet::exportSheet);
    else if (mode.startsWith(QLatin1String("preflight")))
        state.setSheet(LWAppSheet::preflight);
    else
        state.setSheet(LWAppSheet::size);
    if (auto *sheet = qobject_cast<ExportSheet *>(presenter.dialog())) {
        const QStringList formats = {QStringLiteral("export-pdf"), QStringLiteral("export-jpeg"),
                                     QStringLiteral("export-png"), QStringLiteral("export-sheet")};
        sheet->setFormat(ExportSheet::Fmt(std::max<qsizetype>(0, formats.indexOf(mode))));
    }
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(800, &qapp, [&qapp, out] {
            if (!QGuiApplication::primaryScreen()->grabWindow(0).save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
    }
    return qapp.exec();
}
