#include "shell/shellwindow.h"

#include "app/app.h"
#include "app/sheets/sheetpresenter.h"
#include "kit/host/appmenucommands.h"
#include "kit/host/focusedtext.h"
#include "kit/host/sheetfocus.h"
#include "kit/controls/colorwell.h"
#include "kit/help/helpcommands.h"
#include "kit/theme/themecommands.h"
#include "kit/theme/themeroot.h"
#include "kit/zoom/zoomcommands.h"
#include "kit/zoom/zoomhost.h"
#include "model/info.h"
#include "shell/menus/arrangecommands.h"
#include "shell/menus/editcommands.h"
#include "shell/menus/filecommands.h"
#include "shell/mainwindow.h"
#include "shell/menus/menukeys.h"
#include "shell/menus/viewcommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QScreen>

LWShellWindow::LWShellWindow(LWApp &app, QWidget *parent)
    : QMainWindow(parent), m_app(app),
      m_root(new VELKThemeRoot([this] { return buildContent(); })),
      m_quit([] { QCoreApplication::quit(); })
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(LWInfo::appName);
    // The sizes are the content's: the menu bar adds its own height to the window.
    m_root->setMinimumSize(minimumContentSize);
    setCentralWidget(m_root);
    buildMenus();
    // Over the window itself: a sheet inside the zoom host would be drawn into the zoomed scene.
    m_sheets = new LWSheetPresenter(app, this);
    LWColorWell::setPanelParent(this);
    VKPendingEdits::install(); // typed values count before any command
    VKSheetFocus::install();   // a click on the window leaves the keyboard with its sheet

    const int chrome = menuBar()->heightForWidth(contentSize.width());
    const int barHeight = chrome > 0 ? chrome : menuBar()->sizeHint().height();
    const QSize available = screen() ? screen()->availableGeometry().size() : contentSize;
    resize(firstContentSize(available, barHeight) + QSize(0, barHeight));
}

QWidget *LWShellWindow::buildContent()
{
    // The content a theme change replaces is only deleted later: hidden now, its editor screen
    // drops its keys before the new one takes them.
    if (m_main)
        m_main->hide();
    m_main = new MainWindow(m_app);
    return new VKZoomHost(m_main, QSizeF(zoomMinimum));
}

QSize LWShellWindow::firstContentSize(const QSize &available, int chromeHeight)
{
    const QSize room(available.width(), available.height() - chromeHeight);
    return contentSize.boundedTo(room).expandedTo(minimumContentSize);
}

void LWShellWindow::setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

void LWShellWindow::bringToFront()
{
    // Not showNormal(): a maximised window stays maximised.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    // A sheet or dialog in front keeps the keyboard: activating this window under it would
    // leave Escape and Return with nobody.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    } else {
        activateWindow();
    }
}

void LWShellWindow::closeEvent(QCloseEvent *event)
{
    // Asked while the window is still there, so that "Cancel" keeps both.
    if (!m_app.confirmDiscard()) {
        event->ignore();
        return;
    }
    event->accept();
    // A running export ends, with nothing left of its file, before the application does.
    m_app.setSheet(std::nullopt);
    if (m_quit)
        m_quit();
}

void LWShellWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *appMenu = bar->addMenu(LWInfo::appName);
    new VELKAppMenuCommands(appMenu);
    appMenu->addSeparator();
    QAction *quit = appMenu->addAction(QStringLiteral("Quit ") + LWInfo::appName);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Through close(), so that whatever guards closing the window runs first.
    connect(quit, &QAction::triggered, this, &QWidget::close);

    m_file = bar->addMenu(QStringLiteral("File"));
    m_fileCommands = new LWFileCommands(m_file, m_app, this);
    m_edit = bar->addMenu(QStringLiteral("Edit"));
    m_arrange = bar->addMenu(QStringLiteral("Arrange"));
    m_view = bar->addMenu(QStringLiteral("View"));
    VKZoomCommands::addTo(m_view);
    m_page = bar->addMenu(QStringLiteral("Page"));
    bar->addMenu(new VELKThemeCommands(this));
    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    new VELKHelpCommands(help);

    new LWEditCommands(m_edit, m_app);
    new LWArrangeCommands(m_arrange, m_app);
    new LWViewCommands(m_page, help, m_app);
    new LWMenuKeys(bar);
}
