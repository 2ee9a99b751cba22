#pragma once
#include "app/app.h"

#include <QPointer>
#include <QWidget>

class HeaderBar;
class LWEditor;
class QVBoxLayout;
class StatusStrip;

// The root of the main window's content: a walnut cheek on each side, and between them the
// header bar, the current screen (all the stretch) and the status strip. The screen follows the
// app: `start` the start screen, `templates` the template browser, `editor` the editor screen of
// the open design (the start screen while none is open). It is replaced only when that choice or
// the open editor changes, so setting the same screen again keeps it and what was typed into it.
//
// It keeps nothing the app does not know and presents no sheet (the shell window does): the theme
// root rebuilds it on every theme change, and the screenshots build it without a window. Main
// thread only.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(LWApp &app, QWidget *parent = nullptr);

    // The bars above and below the screen: the same widgets on every screen.
    HeaderBar *headerBar() const { return m_header; }
    StatusStrip *statusStrip() const { return m_status; }
    // The screen shown now (StartScreen, TemplateBrowser or EditorScreen).
    QWidget *screen() const { return m_screen; }

private:
    void sync();
    [[nodiscard]] QWidget *makeScreen(LWAppScreen kind, LWEditor *editor);

    LWApp &m_app;
    HeaderBar *m_header;
    StatusStrip *m_status;
    QVBoxLayout *m_column;
    QPointer<QWidget> m_screen;
    LWAppScreen m_kind = LWAppScreen::start;
    QPointer<LWEditor> m_editor; // the editor the editor screen shows, else null
};
