#pragma once
#include <QWidget>

class LWEditor;

// The base of every inspector section. A section builds its controls once and hands each user
// action to one LWEditor operation (an undo name, and a coalescing key from keys.h or none); it
// never writes the document itself. The inspector's routing calls refresh() after every editor
// change that keeps the section on show, instead of building it anew: refresh() re-reads the
// editor (its single element, page or selection) and updates the controls in place without
// emitting anything, so a slider drag or an open colour dialog survives the change.
class InspectorSection : public QWidget {
    Q_OBJECT
public:
    explicit InspectorSection(LWEditor &editor, QWidget *parent = nullptr);

    LWEditor &editor() const { return editor_; }
    virtual void refresh() = 0;

private:
    LWEditor &editor_;
};
