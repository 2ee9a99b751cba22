// Shows the canvas area in a window, for checking by eye:
//   canvas_preview [interface zoom] [out.png] [canvas zoom] [flyer|card|text|turned|drop|rail]
// The card shows the grid, two guides, a turned selection, a locked and a hidden item, a marquee
// and its two sides in the layers list; text and
// turned type into a straight and a 30-degree box; drop shows the outline of a hovering picture.
// With an output file it saves a grab of the window once shown and quits. With an interface zoom
// the area sits in the zoom host, in a window as much larger.
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"
#include "templates/templates.h"
#include "ui/canvas/canvasarea.h"
#include "ui/canvas/canvastoolbar.h"
#include "ui/canvas/layerspanel.h"
#include "ui/canvas/toolrail.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/theme/themeroot.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

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
    const QString mode = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("flyer");
    const bool card = mode == QLatin1String("card");
    LWEditor editor(card ? LWDocument::blank(LWSizePreset::usCard, std::nullopt) : LWTemplates::flyers().first().make());
    if (card) {
        LWDocument doc = editor.doc();
        doc.guides = {{QUuid::createUuid(), true, 126}, {QUuid::createUuid(), false, 40}};
        LWElement turned = LWElement::makeShape(LWShapeKind::star, {150, 60, 50, 50}, LWFill::solid(LWColor::hex(0x2F6FB0)),
                                                std::nullopt);
        turned.rotation = 20;
        LWElement locked = LWElement::makeShape(LWShapeKind::ellipse, {30, 95, 40, 30}, LWFill::solid(LWColor::hex(0xE0A030)),
                                                std::nullopt);
        locked.locked = true;
        LWElement hidden = LWElement::makeShape(LWShapeKind::triangle, {200, 90, 30, 30}, LWFill::solid(LWColor::hex(0x1D2733)),
                                                std::nullopt, 0, QStringLiteral("Hidden corner mark"));
        hidden.hidden = true;
        doc.pages[0].elements << hidden << turned << locked;
        editor.setDoc(doc);
        editor.setShowGrid(true);
        editor.setSelection({turned.id});
    } else if (!editor.elements().isEmpty()) {
        editor.setSelection({editor.elements().last().id});
    }
    if (argc > 3)
        editor.setCanvasZoom(QString::fromLocal8Bit(argv[3]).toDouble());
    // The rail and the layers at the left, the toolbar over the canvas, as the editor screen lays them out.
    auto *area = new CanvasArea(editor);
    auto *rail = new ToolRail(editor);
    auto *screen = new QWidget;
    auto *row = new QHBoxLayout(screen);
    auto *column = new QVBoxLayout;
    column->addWidget(new CanvasToolbar(editor));
    column->addWidget(area, 1);
    row->addWidget(rail);
    auto *layers = new LayersPanel(editor);
    layers->setFixedWidth(220);
    row->addWidget(layers);
    row->addLayout(column, 1);
    QWidget *shown = new VELKThemeRoot([&]() -> QWidget * {
        if (zoom > 0)
            return new VKZoomHost(screen, {1120, 780});
        return screen;
    });
    shown->resize(QSize(1120, 780) * std::max(zoom, 1.0));
    shown->show();
    if (mode == QLatin1String("text") || mode == QLatin1String("turned")) {
        editor.addText(QStringLiteral("Grand opening\nthis Saturday"), {150, 300}, 300);
        const QUuid id = editor.selection().first();
        if (mode == QLatin1String("turned"))
            editor.updateElements({id}, QStringLiteral("Rotate"), std::nullopt, [](LWElement &e) { e.rotation = 30; });
        editor.setEditingTextID(id);
    }
    if (mode == QLatin1String("rail"))
        QTimer::singleShot(300, rail, [rail] { rail->toolButton(LWTool::icon)->click(); });
    if (mode == QLatin1String("drop"))
        area->page()->setDropTarget(true);
    if (card) { // a marquee being dragged over the lower right
        CanvasGestures &g = area->page()->gestures();
        g.changed(g.toView({100, 20}), g.toView({100, 20}), Qt::NoModifier);
        g.changed(g.toView({100, 20}), g.toView({135, 45}), Qt::NoModifier);
        editor.setSelection({editor.elements().at(editor.elements().size() - 2).id, editor.elements().last().id});
    }
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(700, &qapp, [shown, &qapp, out] {
            if (!shown->grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            qapp.quit();
        });
    }
    return qapp.exec();
}
