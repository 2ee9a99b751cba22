#pragma once
#include <QObject>

class LWApp;
class LWEditor;
class QKeyEvent;
class QWidget;

// The editor screen's single-key shortcuts, as an application event filter: Delete, Escape,
// Return, the arrows and the tool letters. They act only while the editor screen is shown in the
// active window with no sheet, popup, popover or modal dialog open, no text input focused and
// neither Control nor Meta held; anything else goes on unchanged to the focused widget and the
// menus. Install while the screen is shown.
class EditorKeys : public QObject {
    Q_OBJECT
public:
    EditorKeys(LWApp &app, LWEditor &editor, QWidget *screen);
    ~EditorKeys() override;
    void install();   // once; a second call does nothing
    void uninstall();
    bool isInstalled() const { return m_installed; }
    // What the filter does with a key press: true when it acted and consumed the event.
    bool handle(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool mayAct(const QKeyEvent &event) const;

    LWApp &m_app;
    LWEditor &m_editor;
    QWidget *m_screen;
    bool m_installed = false;
};
