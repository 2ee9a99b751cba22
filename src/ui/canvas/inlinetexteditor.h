#pragma once
#include "editor/editor.h"

#include <QGraphicsView>
#include <QPlainTextEdit>
#include <QSizeF>

class QGraphicsProxyWidget;

// Where the inline editor of a text element lies in the page view: its size, its centre (over
// the element's centre, nudged 1 right and 4 down) and its turn about that centre. The height
// takes the requested type size on screen (size x scale) x 1.4 when that exceeds the box.
struct InlineGeometry {
    QSizeF size;
    QPointF centre;
    double rotation = 0;
    static InlineGeometry of(const LWElement &element, double bleed, double scale);
};

// Typing into one text element in place: every change goes to LWEditor::setText, and a stored
// string that differs (a locked box refuses the change, an undo) is put back without a signal.
// Opens with a sample text wholly selected, any other with the cursor at its end. Escape ends
// editing and hands the focus back to the page view.
class InlineTextEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    InlineTextEditor(LWEditor &editor, const QUuid &id, QWidget *pageView);
    const QUuid &id() const { return m_id; }
    void setScale(double scale); // font size follows
    void syncFromDesign();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    LWEditor &m_editor;
    QUuid m_id;
    QWidget *m_pageView;
    double m_scale = 1;
};

// The page view's child that shows the editor turned with its element: a frameless, transparent
// graphics view over the turned box's bounds, masked to the box, so clicks beside it reach the
// page view. Used for every angle.
//
// The editor on screen has the keyboard: a press on a control whose vkTypingTargetProperty is
// this text's id (its style buttons) gives the keyboard back to the text; the keyboard going to
// any other widget of the same window (a click on a field, a list, the page) ends the editing
// before that press acts, the words kept. Dialogs, popups and menus, which hold the keyboard only
// while open, end nothing: once one closes (Escape or a choice), and whenever its window becomes
// active again, the keyboard goes back to the text, away from the menu bar too.
class InlineEditorHost : public QGraphicsView {
    Q_OBJECT
public:
    InlineEditorHost(LWEditor &editor, const QUuid &id, QWidget *pageView);
    InlineTextEditor *editor() const { return m_text; }
    void place(const InlineGeometry &g);
    void focusText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    class Keeper;
    bool holds(const QWidget *w) const;
    void keyboardMoved(QWidget *now);
    void pressed(QWidget *w);
    void endEditing();
    // Gives the keyboard back to the text once the events being handled are done, if by then its
    // window is active with no menu, popup or dialog up.
    void reclaimSoon();
    void reclaim();

    LWEditor &m_editor;
    InlineTextEditor *m_text;
    QGraphicsProxyWidget *m_proxy;
    bool m_leaving = false; // the keyboard went elsewhere; ends the editing unless a style press takes it back
    bool m_reclaiming = false; // a reclaim() is queued
    bool m_focusing = false;   // focusText() is moving the keyboard on its way to the text
};
