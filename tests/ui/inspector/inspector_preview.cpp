// The inspector's building blocks in every state, in one window, for checking by eye:
//   inspector_preview [zoom] [out.png] [popover|geometry|shapes|icon]
// With a zoom the pieces sit in a zoom host, as in the application; with an output file it saves
// a grab of the window once shown and quits; "popover" opens the sample popover first. Instead of
// the pieces, "geometry" shows the arrange and geometry sections of a shape, a line and a group,
// "shapes" the shape section of a rectangle, a star and a line, and "icon" the icon section with
// its picker open right of the sections of a multiple selection.
#include "kit/controls/chipbutton.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/popover.h"
#include "kit/theme/style.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/paint/uifont.h"
#include "kit/zoom/zoomhost.h"
#include "editor/editor.h"
#include "model/file/prefs.h"
#include "ui/inspector/sections/arrangesection.h"
#include "ui/inspector/sections/geometrysection.h"
#include "ui/inspector/sections/iconsection.h"
#include "ui/inspector/sections/multisection.h"
#include "ui/inspector/sections/shapesection.h"
#include "ui/inspector/filleditor.h"
#include "ui/inspector/inspectorgroup.h"
#include "ui/inspector/strokeeditor.h"
#include "ui/inspector/swatches.h"

#include "previewshot.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {

const QList<LWColor> docColors = {LWColor::hex(0xF4EFE6), LWColor::hex(0x2F6FB0), LWColor::hex(0x1D2733),
                                  LWColor::hex(0xC8553D)};

InspectorGroup *fillGroup(const QString &title, const LWFill &fill)
{
    auto *group = new InspectorGroup(title);
    auto *editor = new FillEditor;
    editor->setFill(fill, docColors);
    QObject::connect(
        editor, &FillEditor::changed, editor,
        [editor](const LWFill &f, const std::optional<QString> &) { editor->setFill(f, docColors); });
    group->addRow(editor);
    return group;
}

InspectorGroup *strokeGroup(const QString &title, const std::optional<LWStroke> &stroke, double defaultWidth)
{
    auto *group = new InspectorGroup(title);
    auto *editor = new StrokeEditor(defaultWidth);
    editor->setStroke(stroke, docColors);
    QObject::connect(editor, &StrokeEditor::changed, editor,
                     [editor](const std::optional<LWStroke> &s, const std::optional<QString> &) {
                         editor->setStroke(s, docColors);
                     });
    group->addRow(editor);
    return group;
}

InspectorGroup *sliderGroup(QWidget **popoverButton)
{
    static double values[] = {45, 62.5, 12.25};
    auto *group = new InspectorGroup(QStringLiteral("Geometry"));
    const struct {
        const char *label;
        double lower, upper, step;
        const char *format, *unit;
    } rows[] = {{"Rotation", -180, 180, 1, "%.0f", "°"},
                {"Opacity", 0, 100, 1, "%.0f", "%"},
                {"Size", 4, 96, 0.25, "%.1f", "pt"}};
    for (int i = 0; i < 3; ++i)
        group->addRow(new LabeledSlider(
            QString::fromUtf8(rows[i].label), [i] { return values[i]; },
            [i, group](double v) {
                values[i] = v;
                group->update();
            },
            rows[i].lower, rows[i].upper, rows[i].step, QString::fromUtf8(rows[i].format),
            QString::fromUtf8(rows[i].unit)));
    auto *chip = new ChipButton(QStringLiteral("Choose Icon…"));
    group->addRow(chip);
    *popoverButton = chip;
    return group;
}

QWidget *column(std::initializer_list<QWidget *> widgets)
{
    auto *w = new QWidget;
    w->setFixedWidth(276); // the inspector's 300 less its bezel padding and scroll room
    auto *l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(14);
    for (QWidget *item : widgets)
        l->addWidget(item);
    l->addStretch();
    return w;
}

QWidget *popoverButton = nullptr;
QByteArray mode;

// A page laid out as a row of columns, 20 apart.
QHBoxLayout *pageRow(QWidget *page)
{
    auto *row = new QHBoxLayout(page);
    row->setContentsMargins(20, 20, 20, 20);
    row->setSpacing(20);
    return row;
}

// One column of sections built on an editor of its own with a selection.
struct SectionColumn {
    QList<QUuid> selection;
    std::function<QList<InspectorSection *>(LWEditor &)> make;
};

// A Letter flyer holding `elements`, shown in columns of sections refreshed after every editor
// change as the inspector's routing does.
QWidget *sectionsPage(const QList<LWElement> &elements, const QList<SectionColumn> &columns)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = elements;
    auto *page = new QWidget;
    QHBoxLayout *row = pageRow(page);
    for (const SectionColumn &c : columns) {
        auto *editor = new LWEditor(doc, std::nullopt, {}, page);
        editor->setSelection(c.selection);
        const QList<InspectorSection *> sections = c.make(*editor);
        auto *col = column({});
        auto *layout = static_cast<QVBoxLayout *>(col->layout());
        for (qsizetype i = 0; i < sections.size(); ++i) {
            layout->insertWidget(static_cast<int>(i), sections[i]);
            QObject::connect(editor, &LWEditor::docChanged, sections[i], &InspectorSection::refresh);
            QObject::connect(editor, &LWEditor::selectionChanged, sections[i], &InspectorSection::refresh);
        }
        row->addWidget(col);
    }
    row->addStretch();
    return page;
}

QWidget *shapesPage()
{
    const LWElement rect = LWElement::makeShape(LWShapeKind::rectangle, {72, 90, 144, 72},
                                                LWFill::linear(LWColor::hex(0x2F6FB0), LWColor::hex(0xF4EFE6), 45),
                                                LWStroke(LWColor::hex(0x1D2733), 1.5), 12);
    LWElement star = LWElement::makeShape(LWShapeKind::star, {300, 90, 100, 100}, LWFill::solid(LWColor::hex(0xE0B75A)),
                                          std::nullopt);
    star.sides = 5;
    const LWElement line = LWElement::makeLine({72, 300}, {216, 300}, LWStroke(LWColor::hex(0x1D2733), 2, 6));
    QList<SectionColumn> columns;
    for (const LWElement &e : {rect, star, line}) {
        const QUuid id = e.id;
        columns.append({{id}, [id](LWEditor &ed) { return QList<InspectorSection *>{new ShapeSection(ed, id)}; }});
    }
    return sectionsPage({rect, star, line}, columns);
}

IconSection *iconSection = nullptr;

QWidget *iconPage()
{
    const LWElement icon = LWElement::makeIcon(QStringLiteral("phone"), {72, 72, 60, 60},
                                               LWFill::solid(LWColor::hex(0xC8553D)));
    const LWElement text = LWElement::makeText(
        LWText(QStringLiteral("Hello"), LWEditor::houseFont, 18, LWColor::hex(0x1D2733)), {72, 200, 200, 30});
    const LWElement line = LWElement::makeLine({72, 300}, {216, 300}, LWStroke(LWColor::hex(0x1D2733), 2));
    const QUuid id = icon.id;
    return sectionsPage(
        {icon, text, line},
        {{{icon.id, text.id, line.id},
          [](LWEditor &ed) { return QList<InspectorSection *>{new ArrangeSection(ed), new MultiSection(ed)}; }},
         {{id}, [id](LWEditor &ed) {
              iconSection = new IconSection(ed, id);
              return QList<InspectorSection *>{iconSection};
          }}});
}

// A rotated shape, a line and a group, each selected in its own editor.
QWidget *geometryPage()
{
    LWElement shape = LWElement::makeShape(LWShapeKind::rectangle, {72, 90, 144, 72}, LWFill::solid(LWColor::hex(0x2F6FB0)),
                                           std::nullopt, 0, QStringLiteral("Blue panel"));
    shape.rotation = 30;
    shape.opacity = 0.8;
    const LWElement line = LWElement::makeLine({72, 300}, {216, 300}, LWStroke(LWColor::hex(0x1D2733), 2));
    LWElement child = LWElement::makeShape(LWShapeKind::ellipse, {300, 400, 60, 60}, LWFill::solid(LWColor::black),
                                           std::nullopt);
    LWElement group(LWElementKind::group, QStringLiteral("Group"), child.frame);
    group.children = QList<LWElement>{child};
    QList<SectionColumn> columns;
    for (const LWElement &e : {shape, line, group}) {
        const QUuid id = e.id;
        columns.append({{id}, [id](LWEditor &ed) {
                            return QList<InspectorSection *>{new ArrangeSection(ed), new GeometrySection(ed, id)};
                        }});
    }
    return sectionsPage({shape, line, group}, columns);
}

QWidget *build()
{
    if (mode == "geometry")
        return geometryPage();
    if (mode == "shapes")
        return shapesPage();
    if (mode == "icon")
        return iconPage();

    auto *page = new QWidget;
    QHBoxLayout *row = pageRow(page);
    row->addWidget(column({fillGroup(QStringLiteral("Fill: none"), LWFill::none()),
                           fillGroup(QStringLiteral("Fill: color"), LWFill::solid(LWColor::hex(0x2F6FB0))),
                           fillGroup(QStringLiteral("Fill: linear"),
                                     LWFill::linear(LWColor::hex(0xC8553D), LWColor::hex(0xF2C14E), 45))}));
    row->addWidget(
        column({fillGroup(QStringLiteral("Fill: radial"),
                          LWFill::radial(LWColor(1, 0, 0, 0.5), LWColor::hex(0x1F3A5F))),
                strokeGroup(QStringLiteral("Outline off"), std::nullopt, 1),
                strokeGroup(QStringLiteral("Line"), LWStroke(LWColor::hex(0x1D2733), 1.5, 6), 2)}));
    auto *chips = new InspectorGroup(QStringLiteral("Swatches: 20 chips"));
    QList<LWColor> many;
    for (int i = 0; i < 16; ++i)
        many << LWColor::hex(0x204060 + i * 0x0B0905);
    chips->addRow(new Swatches(many));
    row->addWidget(column({sliderGroup(&popoverButton), chips}));
    row->addStretch();
    return page;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    mode = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    QTemporaryDir dir;
    LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    VELKThemes::registerThemes(LWThemes::extras());
    const double zoom = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 0;
    const bool zoomed = zoom > 0;
    if (zoomed)
        VKZoom::setValue(zoom);
    VELKThemeRoot root(zoomed ? [] { return static_cast<QWidget *>(new VKZoomHost(build(), {960, 700})); }
                              : VELKThemeRoot::Builder(build));
    const QSize logical(960, 700);
    root.resize(zoomed ? logical * VKZoom::value() : logical);
    root.show();
    const bool withPopover = mode == "popover" || mode == "icon";
    if (withPopover)
        QTimer::singleShot(100, &app, [] {
            if (iconSection) {
                iconSection->openPicker();
                return;
            }
            auto *text = new QLabel(QStringLiteral("Popover content:\nEscape or a click outside closes it."));
            text->setFont(vkFont(12));
            auto *popover = new VKPopover(text, popoverButton);
            popover->open(popoverButton);
        });
    if (argc > 2) // inside a zoom host a popup is part of the zoomed scene: grab the window
        saveShotLater(app, root, QString::fromLocal8Bit(argv[2]), withPopover && !zoomed, 400);
    return app.exec();
}
