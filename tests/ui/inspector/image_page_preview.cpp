// The image section and the page inspector in a window, for checking by eye:
//   image_page_preview [zoom] [out.png] [image-empty|image-filled|page-card|page-flyer]
// With a zoom the section sits in a zoom host; with an output file it saves a grab of the window
// once shown and quits.
#include "app/app.h"
#include "editor/editor.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "ui/inspector/sections/imagesection.h"
#include "ui/inspector/sections/pageinspector.h"

#include "previewshot.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {

QByteArray picture()
{
    QImage img(1200, 800, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 1200, 800);
    g.setColorAt(0, QColor(0x2F6FB0));
    g.setColorAt(1, QColor(0xE8B04A));
    p.fillRect(img.rect(), g);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

QWidget *build(LWEditor &editor, LWApp &app, const QByteArray &mode)
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(20, 20, 20, 20);
    InspectorSection *section = nullptr;
    if (mode.startsWith("image"))
        section = new ImageSection(editor, editor.selection().value(0));
    else
        section = new PageInspector(editor, app);
    QObject::connect(&editor, &LWEditor::docChanged, section, &InspectorSection::refresh);
    // Full width (276, the inspector's 300 less its bezel padding and scroll room): an aligned
    // item would have its wrapped notes measured at the column's width.
    column->addWidget(section);
    column->addStretch();
    return page;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKThemes::registerThemes(LWThemes::extras());
    const double zoom = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 0;
    const QByteArray mode = argc > 3 ? QByteArray(argv[3]) : QByteArray("image-filled");
    const bool zoomed = zoom > 0;
    if (zoomed)
        VKZoom::setValue(zoom);

    LWDocument doc = LWDocument::blank(mode == "page-card" ? LWSizePreset::usCard : LWSizePreset::letter, std::nullopt);
    doc.guides = {{QUuid::createUuid(), true, 306}};
    LWElement photo = LWElement::makePhoto({72, 72, 288, 192});
    if (mode == "image-filled") {
        photo.image->data = picture();
        photo.image->cropL = 0.05;
        photo.stroke = LWStroke(LWColor::hex(0x1D2733), 1);
    }
    doc.pages[0].elements = {photo};
    LWEditor editor(doc);
    if (mode.startsWith("image"))
        editor.setSelection({photo.id});
    LWApp app;

    const QSize logical(316, mode.startsWith("image") ? 760 : 860);
    VELKThemeRoot root(zoomed ? VELKThemeRoot::Builder([&] {
        return static_cast<QWidget *>(new VKZoomHost(build(editor, app, mode), logical));
    })
                              : VELKThemeRoot::Builder([&] { return build(editor, app, mode); }));
    root.resize(zoomed ? logical * VKZoom::value() : logical);
    root.show();
    if (argc > 2)
        saveShotLater(qapp, root, QString::fromLocal8Bit(argv[2]), false, 500);
    return qapp.exec();
}
