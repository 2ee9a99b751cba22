#pragma once
#include <QObject>
#include <QtGlobal>

class LWApp;
class LWEditor;
class QKeyEvent;
class QWidget;

// The editor screen's single-key shortcuts, as an application event filter: Delete, Escape,
// Return, the arrows and the tool letters. They act only while the editor screen is shown in the
// active window with no sheet, popup or menu (embedded in the zoom host too), popover or modal
// dialog open, the menu bar not taking the keys, no text input focused, no text typed into on the
// page (only Escape, which ends that typing) and neither Control nor Meta held; a tool letter
// also not with Alt (Alt with a letter opens a menu). While a control that takes the arrows has
// the keyboard (vkArrowKeysProperty), the arrows are its own and Escape gives the keyboard back to
// the page (vkGiveKeyboardHome), nothing else. Anything else goes on unchanged to the
// focused widget and the menus, so the Escape that closes a popup ends there. Install while the
// screen is shown.
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

    // One press as it travels from widget to widget: the same event object, time and key.
    struct Press {
        const QKeyEvent *event = nullptr;
        quint64 time = 0;
        int key = 0;
        friend bool operator==(const Press &, const Press &) = default;
    };

    LWApp &m_app;
    LWEditor &m_editor;
    QWidget *m_screen;
    bool m_installed = false;
    Press m_passed; // the press last passed on, until a key is released
};
