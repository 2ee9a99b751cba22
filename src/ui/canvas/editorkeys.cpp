#include "ui/canvas/editorkeys.h"

#include "app/app.h"
#include "editor/editor.h"
#include "kit/host/focusedtext.h"
#include "kit/controls/popover.h"
#include "kit/zoom/zoomhost.h"
#include "ui/canvas/inlinetexteditor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>

#include <algorithm>

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
    // view and then the proxied focus widget. A consumed press goes no further, so nothing acts
    // twice; a press passed on stays passed on, for the popup it closed on the way is gone by the
    // time it reaches the inner widgets.
    if (event->type() == QEvent::KeyRelease) {
        m_passed = {};
    } else if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Press press{key, key->timestamp(), key->key()};
        if (press == m_passed)
            return false;
        if (handle(*key))
            return true;
        m_passed = press;
    }
    return false;
}

namespace {

// Popups and menus that Qt embeds in a zoom host's scene are no active popup widget, though they
// take the keys: look for them among the shown windows too.
bool popupShown()
{
    if (QApplication::activePopupWidget())
        return true;
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](const QWidget *w) { return w->windowType() == Qt::Popup && w->isVisible(); });
}

} // namespace

bool EditorKeys::mayAct(const QKeyEvent &event) const
{
    return m_app.screen() == LWAppScreen::editor && !m_app.sheet() &&
           QApplication::activeWindow() == VKZoomHost::outerWindow(m_screen) && !popupShown() &&
           !VKPopover::isAnyOpen() && !QApplication::activeModalWidget() && !vkFocusedTextInput() &&
           !qobject_cast<const QMenuBar *>(QApplication::focusWidget()) && // the bar, lit from the keyboard
           !(event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

bool EditorKeys::handle(const QKeyEvent &event)
{
    if (!mayAct(event))
        return false;
    // Keys meant for a text on the page never act on elements or tools; Escape still ends it.
    const auto *typing = m_screen->findChild<InlineEditorHost *>();
    if (typing && typing->isVisible() && event.key() != Qt::Key_Escape)
        return false;
    const double step = event.modifiers().testFlag(Qt::ShiftModifier) ? 10 : 1;
    // A control that takes the arrows (a slider, the layers list) keeps them; Escape there hands
    // them back to the page and leaves the selection alone.
    QWidget *focus = vkFocusedWidget();
    if (focus && focus->property(vkArrowKeysProperty).toBool()) {
        if (event.key() == Qt::Key_Escape && vkGiveKeyboardHome(focus))
            return true;
        if (event.key() >= Qt::Key_Left && event.key() <= Qt::Key_Down)
            return false;
    }
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
    // Alt with a letter is the menu bar's.
    if (event.key() < Qt::Key_A || event.key() > Qt::Key_Z || event.modifiers().testFlag(Qt::AltModifier))
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
