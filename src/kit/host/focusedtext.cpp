#include "kit/host/focusedtext.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

namespace {

bool isTextInput(const QWidget *w)
{
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTextEdit *>(w) ||
        qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w))
        return true;
    if (const auto *combo = qobject_cast<const QComboBox *>(w))
        return combo->isEditable();
    return w->property("lwTextInput").toBool();
}

// Whether `w` is `field`, lies inside it, or is a popup opened from it (its context menu).
bool belongsTo(const QWidget *w, const QWidget *field)
{
    for (; w; w = w->parentWidget())
        if (w == field)
            return true;
    return false;
}

// The widget a view's scene gives the keyboard to; none when `w` is no such view.
QWidget *focusInside(const QWidget *w)
{
    const auto *view = qobject_cast<const QGraphicsView *>(w);
    const auto *proxy =
        view && view->scene() ? dynamic_cast<const QGraphicsProxyWidget *>(view->scene()->focusItem()) : nullptr;
    if (!proxy || !proxy->widget())
        return nullptr;
    return proxy->widget()->focusWidget() ? proxy->widget()->focusWidget() : proxy->widget();
}

bool isTextCommand(const QAction *action)
{
    return action && action->property(VKPendingEdits::textCommandProperty).toBool() && vkFocusedTextInput();
}

} // namespace

QWidget *vkFocusedTextInput()
{
    QWidget *w = QApplication::focusWidget();
    // Views nest (a turned editor inside the zoom host): follow each scene's focus item down.
    for (int depth = 0; w && depth < 8; ++depth) {
        // A text edit's viewport can hold the focus for it.
        for (QWidget *up = w; up; up = up->parentWidget())
            if (isTextInput(up))
                return up;
        w = focusInside(w);
    }
    return nullptr;
}

QWidget *vkFocusedWidget()
{
    QWidget *w = QApplication::focusWidget();
    for (int depth = 0; w && depth < 8; ++depth) {
        QWidget *inner = focusInside(w);
        if (!inner)
            return w;
        w = inner;
    }
    return w;
}

bool vkGiveKeyboardHome(QWidget *from)
{
    if (!from)
        return false;
    for (QWidget *w : from->window()->findChildren<QWidget *>()) {
        if (w->property(vkKeyboardHomeProperty).toBool() && w->isVisible()) {
            // Once the key has gone its way: a Return that reached the home would act there too.
            QTimer::singleShot(0, w, [w] { w->setFocus(Qt::OtherFocusReason); });
            return true;
        }
    }
    return false;
}

QWidget *vkPendingEditField()
{
    for (QWidget *w = vkFocusedTextInput(); w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (w->metaObject()->indexOfMethod("commitPending()") >= 0)
            return w;
    return nullptr;
}

bool vkCommitPendingEdit()
{
    QWidget *field = vkPendingEditField();
    if (!field)
        return false;
    QMetaObject::invokeMethod(field, "commitPending");
    return true;
}

void VKPendingEdits::install()
{
    static VKPendingEdits *filter = nullptr;
    if (filter)
        return;
    filter = new VKPendingEdits(qApp);
    qApp->installEventFilter(filter);
}

bool VKPendingEdits::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Shortcut:
        if (!isTextCommand(qobject_cast<QAction *>(watched)))
            vkCommitPendingEdit();
        break;
    case QEvent::Close:
        if (watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow())
            vkCommitPendingEdit();
        break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
        // A menu item chosen by the mouse or the keyboard.
        if (auto *menu = qobject_cast<QMenu *>(watched)) {
            QAction *action = nullptr;
            if (event->type() == QEvent::MouseButtonRelease)
                action = menu->actionAt(static_cast<QMouseEvent *>(event)->position().toPoint());
            else if (const int key = static_cast<QKeyEvent *>(event)->key(); key == Qt::Key_Return || key == Qt::Key_Enter)
                action = menu->activeAction();
            QWidget *field = vkPendingEditField();
            if (action && !action->menu() && !action->isSeparator() && field && !belongsTo(menu, field) &&
                !isTextCommand(action))
                vkCommitPendingEdit();
        }
        break;
    case QEvent::MouseButtonPress: {
        if (!watched->isWidgetType())
            break;
        auto *w = static_cast<QWidget *>(watched);
        // A view passes the press on to the widget under it, which is judged then; menus commit
        // when an item is chosen.
        auto *view = qobject_cast<QGraphicsView *>(w->parentWidget());
        if ((view && view->viewport() == w) || qobject_cast<QMenu *>(w) || qobject_cast<QMenuBar *>(w))
            break;
        if (QWidget *field = vkPendingEditField(); field && !belongsTo(w, field))
            vkCommitPendingEdit();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
