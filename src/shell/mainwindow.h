#pragma once
#include "app/app.h"

#include <QPointer>
#include <QWidget>

class LWEditor;
class QVBoxLayout;

// The root of the main window's content: a walnut cheek on each side, and between them the
// header row, the current screen (all the stretch) and the status row. The screen follows the
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

    // The rows around the screen: the same widgets on every screen.
    QWidget *headerRow() const { return m_header; }
    QWidget *statusRow() const { return m_status; }
    // The screen shown now (StartScreen, TemplateBrowser or EditorScreen).
    QWidget *screen() const { return m_screen; }

    // What fills the rows above and below the screen.
    static QWidget *makeHeaderRow(LWApp &app);
    static QWidget *makeStatusRow(LWApp &app);

private:
    void sync();
    [[nodiscard]] QWidget *makeScreen(LWAppScreen kind, LWEditor *editor);

    LWApp &m_app;
    QWidget *m_header;
    QWidget *m_status;
    QVBoxLayout *m_column;
    QPointer<QWidget> m_screen;
    LWAppScreen m_kind = LWAppScreen::start;
    QPointer<LWEditor> m_editor; // the editor the editor screen shows, else null
};
