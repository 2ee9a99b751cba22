#include "ui/inspector/inspector.h"

#include "app/app.h"
#include "kit/cabinet/bezel.h"
#include "kit/controls/chipbutton.h"
#include "kit/controls/popover.h"
#include "kit/host/focusedtext.h"
#include "kit/views/scrollview.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "ui/inspector/sections/arrangesection.h"
#include "ui/inspector/sections/fontsource.h"
#include "ui/inspector/sections/geometrysection.h"
#include "ui/inspector/sections/iconsection.h"
#include "ui/inspector/sections/imagesection.h"
#include "ui/inspector/inspectorlabel.h"
#include "ui/inspector/sections/multisection.h"
#include "ui/inspector/sections/pageinspector.h"
#include "ui/inspector/sections/shapesection.h"
#include "ui/inspector/sections/textsection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The banner's lock symbol, orange whatever the theme.
class OrangeLock : public QWidget {
public:
    OrangeLock() { setFixedSize(14, 14); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        VKSymbols::paint(p, VKSymbols::lockFill, QRectF(rect()), LWStyle::orange());
    }
};

QLabel *groupNote()
{
    auto *note = new QLabel(QStringLiteral("A group moves and resizes as one piece. Ungroup it to change the items inside."));
    note->setWordWrap(true);
    note->setFont(vkFont(11));
    QPalette pal = note->palette();
    pal.setColor(QPalette::WindowText, LWStyle::t().dim);
    note->setPalette(pal);
    return note;
}

QWidget *lockBanner(LWEditor &editor)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new OrangeLock);
    layout->addWidget(new InspectorLabel(QStringLiteral("Locked so it can't move by accident."), vkFont(11), false));
    layout->addStretch(1);
    auto *unlock = new ChipButton(QStringLiteral("Unlock"));
    QObject::connect(unlock, &QAbstractButton::clicked, &editor, [&editor] { editor.setLocked(false); });
    layout->addWidget(unlock);
    return row;
}

constexpr qsizetype keptStacks = 4;

} // namespace

Inspector::Inspector(LWEditor &editor, LWApp &app, QWidget *parent)
    : QWidget(parent), m_editor(editor), m_app(app), m_scroll(new VKScrollView), m_holder(new QWidget)
{
    auto *holding = new QVBoxLayout(m_holder);
    holding->setContentsMargins(0, 0, 0, 0);
    holding->setSpacing(0);
    m_scroll->setContent(m_holder);
    // A click between the controls takes nothing: typing on the page goes on. (A scroll area takes
    // the keyboard on a click by default.)
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_panel = new Bezel(m_scroll, titleOf(editor), 18, 10, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_panel);
    for (auto signal : {&LWEditor::docChanged, &LWEditor::selectionChanged, &LWEditor::sideChanged})
        connect(&editor, signal, this, &Inspector::follow);
    follow();
}

Inspector::Route Inspector::routeOf(const LWEditor &editor)
{
    if (editor.selection().isEmpty())
        return {};
    const std::optional<LWElement> e = editor.single();
    if (!e)
        return {Display::several, {}, {}, {}};
    if (e->locked)
        return {Display::locked, e->id, e->kind, {}};
    return {Display::single, e->id, e->kind,
            e->kind == LWElementKind::shape ? std::optional(e->shape) : std::nullopt};
}

QString Inspector::titleOf(const LWEditor &editor)
{
    const qsizetype n = editor.selection().size();
    if (n == 0)
        return QStringLiteral("Page");
    if (n == 1)
        return QStringLiteral("Selected item");
    return QStringLiteral("%1 items selected").arg(n);
}

void Inspector::setChooser(Chooser chooser)
{
    m_chooser = std::move(chooser);
    for (ImageSection *image : m_holder->findChildren<ImageSection *>())
        image->setChooser(m_chooser);
}

void Inspector::follow()
{
    if (m_handingOver)
        return; // the route is read again below
    const Route route = routeOf(m_editor);
    // A field of the stack about to go hands its typed text to the element it was built for.
    if (m_route != route && m_stack)
        if (QWidget *field = vkPendingEditField(); field && m_stack->isAncestorOf(field)) {
            m_handingOver = true;
            QMetaObject::invokeMethod(field, "commitPending");
            m_handingOver = false;
        }
    m_panel->setTitle(titleOf(m_editor));
    if (m_route == route) {
        for (InspectorSection *section : m_stack->findChildren<InspectorSection *>())
            section->refresh();
        return;
    }
    m_route = route;
    showStack(route);
}

void Inspector::showStack(const Route &route)
{
    if (m_stack) { // hidden first, so the focus leaves it before the next one shows
        for (VKPopover *popover : m_stack->findChildren<VKPopover *>())
            popover->close();
        m_stack->hide();
    }
    const auto kept = std::find_if(m_kept.begin(), m_kept.end(), [&](const Kept &k) { return k.route == route; });
    if (kept != m_kept.end()) {
        m_stack = kept->stack;
        m_kept.move(kept - m_kept.begin(), 0);
        for (InspectorSection *section : m_stack->findChildren<InspectorSection *>())
            section->refresh();
    } else {
        m_stack = build(route);
        // The sections keep their own heights when the column is taller than they are (an
        // alignment alone does not hold while a section can grow).
        static_cast<QVBoxLayout *>(m_stack->layout())->addStretch(1);
        m_holder->layout()->addWidget(m_stack);
        m_kept.prepend({route, m_stack});
        while (m_kept.size() > keptStacks) // goes later: the change may come from inside it
            m_kept.takeLast().stack->deleteLater();
    }
    m_stack->show();
}

QWidget *Inspector::build(const Route &route)
{
    auto *stack = new QWidget;
    auto *column = new QVBoxLayout(stack);
    column->setContentsMargins(0, 0, 4, 0);
    column->setSpacing(14);
    if (route.display == Display::page) {
        column->addWidget(new PageInspector(m_editor, m_app));
        return stack;
    }
    column->addWidget(new ArrangeSection(m_editor));
    switch (route.display) {
    case Display::several:
        column->addWidget(new MultiSection(m_editor));
        break;
    case Display::locked:
        column->addWidget(lockBanner(m_editor));
        break;
    case Display::single:
        column->addWidget(new GeometrySection(m_editor, route.id));
        switch (*route.kind) {
        case LWElementKind::shape:
            column->addWidget(new ShapeSection(m_editor, route.id));
            break;
        case LWElementKind::text:
            column->addWidget(new TextSection(m_editor, route.id, LWFontSource::system()));
            break;
        case LWElementKind::image:
        {
            auto *image = new ImageSection(m_editor, route.id);
            if (m_chooser)
                image->setChooser(m_chooser);
            column->addWidget(image);
            break;
        }
        case LWElementKind::icon:
            column->addWidget(new IconSection(m_editor, route.id));
            break;
        case LWElementKind::group:
            column->addWidget(groupNote());
            break;
        }
        break;
    case Display::page:
        break;
    }
    return stack;
}
