// The text section and its font picker in a window, for checking by eye:
//   text_preview [zoom] [out.png] [sample|plain|picker]
// "sample" shows a template's sample text (the amber note), "plain" a typed text, "picker" the
// typed text with the font family popover open. With a zoom the section sits in a zoom host; with
// an output file it saves a grab of the window once shown and quits.
#include "editor/editor.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"
#include "render/text/fonts.h"
#include "ui/inspector/sections/fontsource.h"
#include "ui/inspector/sections/textsection.h"

#include "previewshot.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

namespace {

TextSection *section = nullptr;

QWidget *build(LWEditor &editor, const QUuid &id)
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(20, 20, 20, 20);
    section = new TextSection(editor, id, LWFontSource::system());
    section->setFixedWidth(276); // the inspector's 300 less its bezel padding and scroll room
    QObject::connect(&editor, &LWEditor::docChanged, section, [] { section->refresh(); });
    column->addWidget(section, 0, Qt::AlignHCenter);
    column->addStretch();
    return page;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKThemes::registerThemes(LWThemes::extras());
    const double zoom = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 0;
    const QByteArray mode = argc > 3 ? QByteArray(argv[3]) : QByteArray("plain");
    const bool zoomed = zoom > 0;
    if (zoomed)
        VKZoom::setValue(zoom);

    LWText t(mode == "sample" ? QStringLiteral("Your Business Name") : QStringLiteral("Harbour Bakery\nFresh bread daily"),
             LWEditor::houseFont, 18, LWColor::hex(0x1F3A5F), 20, 1.15, LWTextAlign::center);
    t.placeholder = mode == "sample";
    LWFonts::registerBundled();
    // A listed face of the house family, so that "Style" shows its entry.
    for (const auto &m : LWFonts::members(LWFonts::familyName(t.fontName)))
        if (m.second == QStringLiteral("SemiBold"))
            t.fontName = m.first;
    // With the picker open, an included family, so that its highlighted row is in view.
    if (mode == "picker" && !LWFonts::members(QStringLiteral("Arvo")).isEmpty())
        t.fontName = LWFonts::members(QStringLiteral("Arvo")).first().first;
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    const LWElement e = LWElement::makeText(t, {20, 40, 200, 60});
    doc.pages[0].elements = {e};
    LWEditor editor(doc);
    editor.setSelection({e.id});

    const QSize logical(640, 700);
    VELKThemeRoot root(zoomed ? VELKThemeRoot::Builder([&] {
        return static_cast<QWidget *>(new VKZoomHost(build(editor, e.id), logical));
    })
                              : VELKThemeRoot::Builder([&] { return build(editor, e.id); }));
    root.resize(zoomed ? logical * VKZoom::value() : logical);
    root.show();
    const bool withPicker = mode == "picker";
    if (withPicker)
        QTimer::singleShot(100, &app, [] { section->openFontPicker(); });
    if (argc > 2)
        saveShotLater(app, root, QString::fromLocal8Bit(argv[2]), withPicker, 500);
    return app.exec();
}
