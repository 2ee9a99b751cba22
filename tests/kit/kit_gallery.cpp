// Shows every kit piece in one window, for checking by eye:
//   kit_gallery [theme id] [out.png]
// With an output file it saves a grab of the window once shown and quits.
// A third argument, a zoom factor, puts the gallery in a zoom host with the shell's minimum size,
// in a window of that size.
#include "kit/cabinet/bezel.h"
#include "kit/views/caption.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/chromebutton.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/controls/colorwell.h"
#include "kit/cabinet/engravedlabel.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/controls/ledtoggle.h"
#include "kit/cabinet/led.h"
#include "kit/help/liccredit.h"
#include "kit/controls/numberfield.h"
#include "kit/views/panel.h"
#include "kit/controls/searchfield.h"
#include "kit/controls/slider.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"
#include "kit/cabinet/woodcheek.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"

#include <QApplication>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Every symbol of the table in the theme's text colour, at 16 and 26.
class SymbolStrip : public QWidget {
public:
    QSize sizeHint() const override { return QSize(VKSymbols::table().size() * 34, 46); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QColor ink = palette().color(QPalette::WindowText);
        double x = 0;
        for (const VKSymbols::Entry &e : VKSymbols::table()) {
            VKSymbols::paint(p, e.name, QRectF(x + 5, 0, 16, 16), ink);
            VKSymbols::paint(p, e.name, QRectF(x, 20, 26, 26), ink);
            x += 34;
        }
    }
};

QWidget *row(std::initializer_list<QWidget *> widgets)
{
    auto *w = new QWidget;
    auto *l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    for (QWidget *item : widgets)
        l->addWidget(item);
    l->addStretch();
    return w;
}

// Sliders over a value each, and number fields as the dialogs and the inspector use them.
QWidget *numericControls()
{
    static double values[] = {35, -2, 0};
    auto *w = new QWidget;
    auto *l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    const double ranges[][3] = {{0, 100, 1}, {-5, 5, 0}, {0, 10, 1}};
    for (int i = 0; i < 3; ++i) {
        auto *slider = new LWSlider([i] { return values[i]; }, [i](double v) { values[i] = v; }, ranges[i][0],
                                    ranges[i][1], ranges[i][2]);
        slider->setMaximumWidth(360);
        l->addWidget(slider);
    }
    l->addWidget(row({new NumberField(QStringLiteral("W"), 3.5, QStringLiteral("in"), 3, 70),
                      new NumberField(QStringLiteral("H"), 2, QStringLiteral("in"), 3, 70),
                      new NumberField(QStringLiteral("X"), 0.125, {}, 3, 64),
                      new NumberField(QStringLiteral("Size"), 11.5, QStringLiteral("pt"), 1, 52)}));
    return w;
}

// The view switches, chips and colour wells of the inspector and the canvas toolbar.
QWidget *switchesAndWells()
{
    static bool flags[] = {true, false, true, false, true};
    const QString titles[] = {QStringLiteral("Bleed"), QStringLiteral("Trim"), QStringLiteral("Safe"),
                              QStringLiteral("Grid"), QStringLiteral("Snap")};
    const QColor colours[] = {LWStyle::ruby(), LWStyle::amber(), LWStyle::moss(), LWStyle::moss(), LWStyle::moss()};
    auto *toggles = new QWidget;
    auto *l = new QHBoxLayout(toggles);
    l->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 5; ++i)
        l->addWidget(new LEDToggle(titles[i], [i] { return flags[i]; }, [i](bool on) { flags[i] = on; }, colours[i]));
    auto *well = new LWColorWell(LWColor(1, 0, 0, 0.5));
    QObject::connect(well, &LWColorWell::colorPicked, well, &LWColorWell::setColor);
    return row({toggles, new ChipButton(QStringLiteral("Fit")), new ChipButton(QStringLiteral("Reset Crop"), VKSymbols::photo),
                new ChipButton(QStringLiteral("Change Size…"), {}, true), well,
                new LWColorWell(LWColor::hex(0x2F7BF2)), new LWColorWell(LWColor(0.2, 0.8, 0.4, 0.2))});
}

QWidget *buildGallery()
{
    auto *page = new QWidget;
    auto *col = new QVBoxLayout(page);
    col->setContentsMargins(20, 20, 20, 20);
    col->setSpacing(14);

    auto *regular = new VKChromeButton(QStringLiteral("Open…"));
    regular->setSymbol(VKSymbols::folder);
    auto *prominent = new VKChromeButton(QStringLiteral("New Design"));
    prominent->setProminent(true);
    auto *compact = new VKChromeButton(vkPlain(QStringLiteral("R&D Tools")));
    compact->setCompact(true);
    auto *compactProminent = new VKChromeButton(QStringLiteral("Export"));
    compactProminent->setCompact(true);
    compactProminent->setProminent(true);
    auto *pressed = new VKChromeButton(QStringLiteral("Pressed"));
    pressed->setDown(true);
    col->addWidget(row({regular, prominent, compact, compactProminent, pressed}));

    col->addWidget(row({new VKCaption(QStringLiteral("Fill and straße")),
                        new VKAnodizedPill(QStringLiteral("PRO"), QColor(0x2F, 0x7B, 0xF2)),
                        new VKAnodizedPill(QStringLiteral("NEW"), QColor(0xD3, 0x26, 0x2E))}));

    auto *search = new VKSearchField(QStringLiteral("Search help"));
    auto *filled = new VKSearchField(QStringLiteral("Search"));
    filled->setText(QStringLiteral("bleed"));
    search->setFixedWidth(240);
    filled->setFixedWidth(240);
    col->addWidget(row({search, filled}));

    auto *inner = new QWidget;
    auto *innerCol = new QVBoxLayout(inner);
    innerCol->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(QStringLiteral("Panel content"));
    title->setFont(vkFont(15, VKWeight::Bold));
    innerCol->addWidget(title);
    innerCol->addWidget(new VKLicCredit);
    auto *panel = new VKPanel(inner);
    auto *square = new VKPanel(new QLabel(QStringLiteral("radius 0")), 0);
    col->addWidget(row({panel, square}));
    col->addWidget(new SymbolStrip);

    // The cabinet controls beside the pieces, between two wood cheeks.
    auto *cabinet = new QWidget;
    auto *cabinetCol = new QVBoxLayout(cabinet);
    cabinetCol->setContentsMargins(0, 0, 0, 0);
    cabinetCol->addWidget(new EngravedLabel(QStringLiteral("Engraved label")));
    cabinetCol->addWidget(new LCDReadout({QStringLiteral("BUSINESS CARD"), QStringLiteral("3.5 × 2 in · 300 dpi"),
                                          QStringLiteral("bleed 0.125 in on every side of the trim")}));
    cabinetCol->addWidget(row({new LED(LWStyle::moss()), new LED(LWStyle::amber()), new LED(LWStyle::ruby()),
                               new LED(LWStyle::ruby(), false), new LED(LWStyle::moss(), true, 14)}));
    cabinetCol->addWidget(row({new ChromeRoundButton(VKSymbols::ruler, QStringLiteral("Rulers"), {}),
                               new ChromeRoundButton(VKSymbols::squareGrid2x2, QStringLiteral("Grid"), {}, true),
                               new ChromeRoundButton(VKSymbols::photo, QStringLiteral("Picture"), {}, false, 30),
                               new ChromeRoundButton(VKSymbols::wandAndStars, QStringLiteral("Off"), {}, false, 38, true)}));
    auto *bezels = row({new Bezel(cabinet, QStringLiteral("Bezel with screws"), 18, 12, true),
                        new Bezel(new QLabel(QStringLiteral("No title")))});
    col->addWidget(bezels);
    col->addWidget(numericControls());
    col->addWidget(switchesAndWells());
    col->addStretch();
    auto *whole = new QWidget;
    auto *sides = new QHBoxLayout(whole);
    sides->setContentsMargins(0, 0, 0, 0);
    sides->setSpacing(0);
    sides->addWidget(new WoodCheek(0));
    sides->addWidget(page, 1);
    sides->addWidget(new WoodCheek(1.3));
    return whole;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKThemes::registerThemes(LWThemes::extras());
    if (argc > 1)
        VELKThemes::setCurrentID(QString::fromLocal8Bit(argv[1]));
    const bool zoomed = argc > 3;
    if (zoomed)
        VKZoom::setValue(QString::fromLocal8Bit(argv[3]).toDouble());
    VELKThemeRoot root(zoomed ? [] { return static_cast<QWidget *>(new VKZoomHost(buildGallery(), {1480, 760})); }
                              : VELKThemeRoot::Builder(buildGallery));
    root.resize(820, 700);
    root.resize(root.size().expandedTo(root.sizeHint())); // room for every row as the gallery grows
    if (zoomed)
        root.resize(1480, 760);
    root.show();
    if (argc > 2) {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(300, &app, [&root, &app, out] {
            if (!root.grab().save(out))
                qWarning("could not write %s", qPrintable(out));
            app.quit();
        });
    }
    // KIT_GALLERY_PANEL=1: the first colour well's dialog open as well, saved beside the grab.
    if (qEnvironmentVariableIsSet("KIT_GALLERY_PANEL"))
        QTimer::singleShot(100, &app, [&root, argc, argv] {
            LWColorWell::setPanelParent(&root);
            root.findChild<LWColorWell *>()->click();
            if (argc > 2)
                QTimer::singleShot(150, [out = QString::fromLocal8Bit(argv[2])] {
                    LWColorWell::panel()->grab().save(out + QStringLiteral(".panel.png"));
                });
        });
    return app.exec();
}
