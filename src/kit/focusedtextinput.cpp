#include "kit/focusedtextinput.h"

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

// The widget that has the focus inside what `view` shows, or null when its scene's focus item
// is no proxied widget.
QWidget *innerFocus(const QGraphicsView *view)
{
    if (!view->scene())
        return nullptr;
    auto *proxy = qgraphicsitem_cast<QGraphicsProxyWidget *>(view->scene()->focusItem());
    if (!proxy || !proxy->widget())
        return nullptr;
    return proxy->widget()->focusWidget();
}

} // namespace

QWidget *vkFocusedTextInput()
{
    QWidget *w = QApplication::focusWidget();
    // Views nest (the inline editor's view inside the zoom host); a scene cannot show itself, but
    // a bound keeps a faulty nesting from looping.
    for (int depth = 0; w && depth < 16; ++depth) {
        const auto *view = qobject_cast<const QGraphicsView *>(w);
        QWidget *inner = view ? innerFocus(view) : nullptr;
        if (!inner || inner == w)
            break;
        w = inner;
    }
    return w && isTextInput(w) ? w : nullptr;
}
