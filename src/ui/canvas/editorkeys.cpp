#include "ui/canvas/editorkeys.h"

#include "app/app.h"
#include "editor/editor.h"
#include "kit/host/focusedtext.h"
#include "kit/controls/popover.h"
#include "kit/zoom/zoomhost.h"

#include <QApplication>
#include <QKeyEvent>

EditorKeys::EditorKeys(LWApp &app, LWEditor &editor, QWidget *screen)
    : QObject(screen), m_app(app), m_editor(editor), m_screen(screen)
{
}

EditorKeys::~EditorKeys()
{
    uninstall();
}

void EditorKeys::install()
{
    if (m_installed)
        return;
    qApp->installEventFilter(this);
    m_installed = true;
}

void EditorKeys::uninstall()
{
    if (!m_installed)
        return;
    qApp->removeEventFilter(this);
    m_installed = false;
}

bool EditorKeys::eventFilter(QObject *watched, QEvent *event)
{
    // Widgets only: the same press reaches the window object first, and in the zoom host the
    // view and then the proxied focus widget; each is judged by the same state, and a consumed
    // press goes no further, so nothing acts twice.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType())
        return handle(*static_cast<QKeyEvent *>(event));
    return false;
}

bool EditorKeys::mayAct(const QKeyEvent &event) const
{
    return m_app.screen() == LWAppScreen::editor && !m_app.sheet() &&
           QApplication::activeWindow() == VKZoomHost::outerWindow(m_screen) && !QApplication::activePopupWidget() &&
           !VKPopover::isAnyOpen() && !QApplication::activeModalWidget() && !vkFocusedTextInput() &&
           !(event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

bool EditorKeys::handle(const QKeyEvent &event)
{
    if (!mayAct(event))
        return false;
    const double step = event.modifiers().testFlag(Qt::ShiftModifier) ? 10 : 1;
    switch (event.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        m_editor.deleteSelection();
        return true;
    case Qt::Key_Escape:
        m_editor.setEditingTextID(std::nullopt);
        if (m_editor.tool() == LWTool::select)
            m_editor.setSelection({});
        else
            m_editor.setTool(LWTool::select);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const std::optional<LWElement> one = m_editor.single(); one && one->kind == LWElementKind::text) {
            m_editor.setEditingTextID(one->id);
            return true;
        }
        return false;
    case Qt::Key_Left:
        m_editor.nudge(-step, 0);
        return true;
    case Qt::Key_Right:
        m_editor.nudge(step, 0);
        return true;
    case Qt::Key_Up:
        m_editor.nudge(0, -step);
        return true;
    case Qt::Key_Down:
        m_editor.nudge(0, step);
        return true;
    default:
        break;
    }
    if (event.key() < Qt::Key_A || event.key() > Qt::Key_Z)
        return false;
    const QString letter = QString(QChar(u'a' + (event.key() - Qt::Key_A)));
    for (LWTool tool : LWEnum::allCases<LWTool>()) {
        if (LWTools::info(tool).key == letter) {
            m_editor.setTool(tool);
            return true;
        }
    }
    return false;
}
