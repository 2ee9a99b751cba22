#include "ui/canvas/toolrail.h"

#include "editor/widgets/imagepickerdialog.h"
#include "kit/cabinet/bezel.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/views/divider.h"
#include "kit/controls/iconpicker.h"
#include "kit/controls/popover.h"
#include "kit/host/shortcuts.h"
#include "kit/paint/symbols.h"
#include "kit/zoom/zoomhost.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

ToolRail::ToolRail(LWEditor &editor, QWidget *parent)
    : QWidget(parent), m_editor(editor),
      m_chooser([](LWEditor &e, QWidget *p) { LWImagePicker::choose(e, p); })
{
    // Choosing a tool takes the keyboard, so typing into a text on the page ends first.
    setFocusPolicy(Qt::ClickFocus);
    auto *column = new QWidget;
    auto *stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(9);
    for (LWTool tool : LWEnum::allCases<LWTool>()) {
        const LWTools::Info &info = LWTools::info(tool);
        auto *button = new ChromeRoundButton(
            info.symbol, QStringLiteral("%1 (%2)").arg(info.title, info.key.toUpper()),
            [this, tool] {
                m_editor.setTool(tool);
                if (tool == LWTool::icon)
                    openIconPicker();
            },
            editor.tool() == tool, 38);
        m_tools << button;
        stack->addWidget(button, 0, Qt::AlignHCenter);
    }
    auto *rule = new VKDivider;
    rule->setFixedWidth(30);
    stack->addWidget(rule, 0, Qt::AlignHCenter);
    m_picture = new ChromeRoundButton(
        VKSymbols::photoBadgePlus, LWShortcuts::help(QStringLiteral("Place a picture…"), LWShortcuts::placePicture),
        [this] {
            if (m_chooser)
                m_chooser(m_editor, VKZoomHost::outerWindow(this));
        },
        false, 38);
    stack->addWidget(m_picture, 0, Qt::AlignHCenter);

    m_panel = new Bezel(column, std::nullopt, 26, 8);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_panel, 0, Qt::AlignLeft | Qt::AlignTop);
    connect(&editor, &LWEditor::toolChanged, this, [this] {
        const QList<LWTool> tools = LWEnum::allCases<LWTool>();
        for (int i = 0; i < m_tools.size(); ++i)
            m_tools[i]->setSelected(m_editor.tool() == tools[i]);
    });
}

ChromeRoundButton *ToolRail::toolButton(LWTool tool) const
{
    return m_tools.value(int(tool));
}

void ToolRail::openIconPicker()
{
    if (m_popover)
        return m_popover->openBeside(m_panel);
    auto *picker = new IconPicker;
    m_popover = new VKPopover(picker, this);
    connect(picker, &IconPicker::pick, this, [this](const QString &id) {
        m_editor.setIconForTool(id);
        m_editor.setTool(LWTool::icon);
        m_popover->close(); // the pick is the picker's last act, so it may go now
    });
    connect(m_popover, &VKPopover::closed, this, [this] {
        m_popover->deleteLater();
        m_popover = nullptr;
    });
    m_popover->openBeside(m_panel);
}
