#include "kit/host/focusedtext.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

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
        const auto *view = qobject_cast<const QGraphicsView *>(w);
        const auto *proxy =
            view && view->scene() ? dynamic_cast<const QGraphicsProxyWidget *>(view->scene()->focusItem()) : nullptr;
        if (!proxy || !proxy->widget())
            return nullptr;
        w = proxy->widget()->focusWidget() ? proxy->widget()->focusWidget() : proxy->widget();
    }
    return nullptr;
}
