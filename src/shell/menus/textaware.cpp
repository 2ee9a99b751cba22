#include "shell/menus/textaware.h"

#include "kit/host/focusedtext.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <type_traits>

namespace {

bool changesText(LWTextCommand command)
{
    return command != LWTextCommand::copy && command != LWTextCommand::selectAll;
}

// The three text widgets share these slots but no base class that has them.
template <class Edit> void runOn(Edit *edit, LWTextCommand command)
{
    if (edit->isReadOnly() && changesText(command))
        return;
    switch (command) {
    case LWTextCommand::undo: edit->undo(); break;
    case LWTextCommand::redo: edit->redo(); break;
    case LWTextCommand::cut: edit->cut(); break;
    case LWTextCommand::copy: edit->copy(); break;
    case LWTextCommand::paste: edit->paste(); break;
    case LWTextCommand::del:
        // Only selected characters: a line edit's del() alone would remove the one after the caret.
        if constexpr (std::is_same_v<Edit, QLineEdit>) {
            if (edit->hasSelectedText())
                edit->del();
        } else {
            edit->textCursor().removeSelectedText();
        }
        break;
    case LWTextCommand::selectAll: edit->selectAll(); break;
    }
}

const char *slotName(LWTextCommand command)
{
    switch (command) {
    case LWTextCommand::undo: return "undo";
    case LWTextCommand::redo: return "redo";
    case LWTextCommand::cut: return "cut";
    case LWTextCommand::copy: return "copy";
    case LWTextCommand::paste: return "paste";
    case LWTextCommand::del: return "del";
    case LWTextCommand::selectAll: return "selectAll";
    }
    return "";
}

void send(QWidget *target, LWTextCommand command)
{
    QLineEdit *edit = qobject_cast<QLineEdit *>(target);
    if (auto *combo = qobject_cast<QComboBox *>(target))
        edit = combo->lineEdit();
    else if (qobject_cast<QAbstractSpinBox *>(target))
        edit = target->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    if (edit)
        return runOn(edit, command);
    if (auto *text = qobject_cast<QTextEdit *>(target))
        return runOn(text, command);
    if (auto *plain = qobject_cast<QPlainTextEdit *>(target))
        return runOn(plain, command);
    // A widget of its own kind marked as text input: like a message to the focused object, a
    // missing slot is no error.
    const QByteArray name(slotName(command));
    if (target->metaObject()->indexOfMethod(name + "()") >= 0)
        QMetaObject::invokeMethod(target, name.constData());
}

} // namespace

namespace LWTextAware {

bool typing()
{
    return vkFocusedTextInput() != nullptr;
}

void run(LWTextCommand command, const std::function<void()> &editorAction)
{
    QWidget *target = vkFocusedTextInput();
    // A value field showing its value (nothing typed since) has no text of its own to undo: what
    // it took last is in the design, as if the field had been left.
    const auto *edit = qobject_cast<QLineEdit *>(target);
    const bool history = command == LWTextCommand::undo || command == LWTextCommand::redo;
    if (target && !(history && edit && !edit->isModified() && vkPendingEditField()))
        send(target, command);
    else if (editorAction)
        editorAction();
}

} // namespace LWTextAware
