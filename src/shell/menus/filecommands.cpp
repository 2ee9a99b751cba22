#include "shell/menus/filecommands.h"

#include "app/app.h"
#include "editor/widgets/imagepickerdialog.h"
#include "kit/host/shortcuts.h"
#include "kit/theme/velkroot.h"
#include "model/file/recent.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>

LWFileCommands::LWFileCommands(QMenu *menu, LWApp &app, QWidget *window)
    : QObject(menu), m_app(app), m_window(window), m_menu(menu),
      m_chooser([](LWEditor &editor, QWidget *parent) { LWImagePicker::choose(editor, parent); })
{
    LWApp *state = &m_app;
    add(QStringLiteral("New Design\u2026"), LWShortcuts::newDesign, false,
        [state] { state->setScreen(LWApp::Screen::start); });
    add(QStringLiteral("New from Template\u2026"), LWShortcuts::newFromTemplate, false,
        [state] { state->setScreen(LWApp::Screen::templates); });
    add(QStringLiteral("Open\u2026"), LWShortcuts::open, false, [state] { state->openPanel(); });
    m_recent = menu->addMenu(QStringLiteral("Open Recent"));
    // Filled when shown (a desktop's global menu emits it too): the list changes without notice.
    connect(m_recent, &QMenu::aboutToShow, this, &LWFileCommands::fillRecent);
    fillRecent();
    menu->addSeparator();
    add(QStringLiteral("Close Design"), {}, true, [state] { state->close(); });
    menu->addSeparator();
    add(QStringLiteral("Close Window"), LWShortcuts::closeWindow, false, [this] {
        if (m_window)
            m_window->close();
    });
    menu->addSeparator();

    add(QStringLiteral("Save"), LWShortcuts::save, true, [state] { (void)state->save(); });
    add(QStringLiteral("Save As\u2026"), LWShortcuts::saveAs, true, [state] { (void)state->saveAs(); });
    menu->addSeparator();
    add(QStringLiteral("Export\u2026"), LWShortcuts::exportDesign, true,
        [state] { state->setSheet(LWApp::Sheet::exportSheet); });
    add(QStringLiteral("Preflight (Print Check)\u2026"), LWShortcuts::preflight, true,
        [state] { state->setSheet(LWApp::Sheet::preflight); });
    add(QStringLiteral("Change Size\u2026"), {}, true, [state] { state->setSheet(LWApp::Sheet::size); });
    menu->addSeparator();
    add(QStringLiteral("Place Picture\u2026"), LWShortcuts::placePicture, true, [this] {
        if (LWEditor *editor = m_app.editor(); editor && m_chooser)
            m_chooser(*editor, m_window);
    });
    menu->addSeparator();

    add(QStringLiteral("Print\u2026"), LWShortcuts::print, true, [state] { state->print(false); });
    m_sheet10up =
        add(QStringLiteral("Print 10-up Card Sheet\u2026"), {}, true, [state] { state->print(true); });

    connect(&m_app, &LWApp::editorChanged, this, &LWFileCommands::updateEnabled);
    // A card resized to a flyer size becomes a flyer without a new editor.
    connect(menu, &QMenu::aboutToShow, this, &LWFileCommands::updateEnabled);
    updateEnabled();
}

void LWFileCommands::setPictureChooser(PictureChooser chooser)
{
    m_chooser = std::move(chooser);
}

QAction *LWFileCommands::add(const QString &title, const QKeySequence &keys, bool needsDesign,
                             std::function<void()> action)
{
    QAction *item = m_menu->addAction(title);
    item->setShortcut(keys);
    connect(item, &QAction::triggered, this, std::move(action));
    if (needsDesign)
        m_needDesign.append(item);
    return item;
}

void LWFileCommands::updateEnabled()
{
    const LWEditor *editor = m_app.editor();
    for (QAction *item : std::as_const(m_needDesign))
        item->setEnabled(editor != nullptr);
    m_sheet10up->setEnabled(editor && editor->doc().kind == LWDocKind::businessCard);
}

void LWFileCommands::fillRecent()
{
    m_recent->clear();
    LWApp *state = &m_app;
    for (const QUrl &url : LWRecent::urls()) {
        QAction *item = m_recent->addAction(vkPlain(QFileInfo(url.toLocalFile()).completeBaseName()));
        connect(item, &QAction::triggered, this, [state, url] { state->open(url); });
    }
    m_recent->addSeparator();
    QAction *clear = m_recent->addAction(QStringLiteral("Clear Menu"));
    connect(clear, &QAction::triggered, this, [] { LWRecent::clear(); });
}
