#include "shell/mainwindow.h"

#include "app/startscreen.h"
#include "app/templatebrowser.h"
#include "kit/cabinet/woodcheek.h"
#include "kit/zoom/zoomhost.h"
#include "shell/headerbar.h"
#include "shell/statusstrip.h"
#include "ui/canvas/editorscreen.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

MainWindow::MainWindow(LWApp &app, QWidget *parent)
    : QWidget(parent), m_app(app), m_header(new HeaderBar(app)), m_status(new StatusStrip(app)),
      m_column(new QVBoxLayout)
{
    setObjectName(QStringLiteral("mainWindow"));
    // The theme root's background shows through.
    setAttribute(Qt::WA_NoSystemBackground);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(new WoodCheek(1));
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(0);
    m_column->addWidget(m_header);
    m_column->addWidget(m_status);
    row->addLayout(m_column, 1);
    row->addWidget(new WoodCheek(4));

    sync();
    connect(&app, &LWApp::screenChanged, this, &MainWindow::sync);
    connect(&app, &LWApp::editorChanged, this, &MainWindow::sync);
}

void MainWindow::sync()
{
    LWEditor *editor = m_app.screen() == LWAppScreen::editor ? m_app.editor() : nullptr;
    const LWAppScreen kind = editor ? LWAppScreen::editor
                             : m_app.screen() == LWAppScreen::templates ? LWAppScreen::templates
                                                                         : LWAppScreen::start;
    if (m_screen && kind == m_kind && editor == m_editor.data())
        return;
    const bool replacing = m_screen;
    if (m_screen) {
        // Hidden now, so that an editor screen drops its keys before the next one takes them;
        // deleted later, since the switch may come from inside it.
        m_column->removeWidget(m_screen);
        m_screen->hide();
        m_screen->deleteLater();
    }
    m_kind = kind;
    m_editor = editor;
    m_screen = makeScreen(kind, editor);
    m_column->insertWidget(1, m_screen, 1);
    // Shown at once when the window already is: the layout would show it only later.
    if (isVisible())
        m_screen->show();
    if (replacing) // the new screen starts at its top left, wherever the last one was scrolled to
        VKZoomHost::home(this);
}

QWidget *MainWindow::makeScreen(LWAppScreen kind, LWEditor *editor)
{
    if (kind == LWAppScreen::editor && editor)
        return new EditorScreen(m_app, *editor);
    if (kind == LWAppScreen::templates)
        return new TemplateBrowser(m_app);
    return new StartScreen(m_app);
}
