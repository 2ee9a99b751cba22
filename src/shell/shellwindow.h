#pragma once
#include "shell/mainwindow.h"

#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <functional>

class LWApp;
class LWFileCommands;
class LWSheetPresenter;
class QMenu;
class VELKThemeRoot;

// The one main window: object name "main", titled with the application name, its content in the
// theme root and interface zoom host, and the menu bar in its fixed order (application menu,
// File, Edit, Arrange, View, Page, Theme, Help). Build it after LWSetup::configure(): the Theme
// and Help menus read the registered themes and topics. Closing it (Quit, Close Window, the
// window manager) first asks about unsaved changes; once allowed, the sheet closes (ending a
// running export) and the program quits, whatever other windows (help, about) are open. It
// installs VKPendingEdits, so that a field's typed value is handed over before any command, the
// closing question included. Main thread only.
class LWShellWindow : public QMainWindow
{
    Q_OBJECT
  public:
    static constexpr QSize contentSize{1500, 940};
    static constexpr QSize minimumContentSize{900, 600};
    static constexpr QSize zoomMinimum{1480, 760};

    explicit LWShellWindow(LWApp &app, QWidget *parent = nullptr);

    // The content's first size within a screen area whose top `chromeHeight` points the menu
    // bar takes; never below the minimum.
    [[nodiscard]] static QSize firstContentSize(const QSize &available, int chromeHeight);

    // Ends the program after the window closed; QCoreApplication::quit by default.
    void setQuit(std::function<void()> quit);
    // Un-minimised, shown, raised and activated (as far as the window manager lets it); a modal
    // sheet or dialog that is up is raised and activated instead, so that it keeps the keyboard.
    void bringToFront();

    LWApp &app() const { return m_app; }
    VELKThemeRoot *root() const { return m_root; }
    // The menus other commands fill.
    QMenu *fileMenu() const { return m_file; }
    QMenu *editMenu() const { return m_edit; }
    QMenu *arrangeMenu() const { return m_arrange; }
    QMenu *viewMenu() const { return m_view; }
    QMenu *pageMenu() const { return m_page; }
    LWFileCommands *fileCommands() const { return m_fileCommands; }
    // Shows the app's sheet over this window.
    LWSheetPresenter *sheets() const { return m_sheets; }
    // The content now in the zoom host.
    MainWindow *mainWidget() const { return m_main; }

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void buildMenus();
    QWidget *buildContent();

    LWApp &m_app;
    QPointer<MainWindow> m_main; // before m_root, whose builder sets it
    VELKThemeRoot *m_root;
    QMenu *m_file = nullptr;
    QMenu *m_edit = nullptr;
    QMenu *m_arrange = nullptr;
    QMenu *m_view = nullptr;
    QMenu *m_page = nullptr;
    LWSheetPresenter *m_sheets = nullptr;
    LWFileCommands *m_fileCommands = nullptr;
    std::function<void()> m_quit;
};
