#include "shell/menus/viewcommands.h"

#include "app/app.h"
#include "kit/host/kithost.h"
#include "kit/host/shortcuts.h"
#include "render/text/fonts.h"
#include "shell/menus/editoritem.h"
#include "ui/canvas/canvaszoom.h"

#include <QAction>
#include <QMenu>

LWViewCommands::LWViewCommands(QMenu *page, QMenu *help, LWApp &app, FontFolder fonts)
    : QObject(page), m_app(app), m_fonts(std::move(fonts))
{
    if (!m_fonts.lookup)
        m_fonts.lookup = [] { return LWFonts::bundledFolder(); };
    if (!m_fonts.open)
        // The folder itself opens: the Linux form of revealing it in the file manager.
        m_fonts.open = [](const QUrl &url) { (void)VELKKitHost::openExternal(url); };

    lwAddEditorItem(page, QStringLiteral("Zoom In on Page"), app,
                    [](LWEditor &e) { e.setCanvasZoom(CanvasZoom::in(e.canvasZoom())); }, LWShortcuts::zoomInKeys);
    lwAddEditorItem(page, QStringLiteral("Zoom Out on Page"), app,
                    [](LWEditor &e) { e.setCanvasZoom(CanvasZoom::out(e.canvasZoom())); }, {LWShortcuts::zoomOut});
    lwAddEditorItem(page, QStringLiteral("Fit Page in Window"), app,
                    [](LWEditor &e) { e.setCanvasZoom(CanvasZoom::fit()); }, {LWShortcuts::zoomFit});
    page->addSeparator();
    lwAddEditorItem(page, QStringLiteral("Show Front"), app, [](LWEditor &e) { e.switchSide(0); },
                    {LWShortcuts::showFront});
    m_showBack = lwAddEditorItem(page, QStringLiteral("Show Back"), app, [](LWEditor &e) { e.switchSide(1); },
                                 {LWShortcuts::showBack});
    page->addSeparator();

    struct Switch {
        const char *title;
        bool (LWEditor::*get)() const;
        void (LWEditor::*set)(bool);
        QList<QKeySequence> keys;
    };
    const Switch switches[] = {
        {"Bleed Line On / Off", &LWEditor::showBleed, &LWEditor::setShowBleed, {}},
        {"Trim Line On / Off", &LWEditor::showTrim, &LWEditor::setShowTrim, {}},
        {"Safe Area On / Off", &LWEditor::showSafe, &LWEditor::setShowSafe, {}},
        {"Grid On / Off", &LWEditor::showGrid, &LWEditor::setShowGrid, {LWShortcuts::grid}},
        {"Snapping On / Off", &LWEditor::snapping, &LWEditor::setSnapping, {LWShortcuts::snapping}},
    };
    for (const Switch &s : switches)
        lwAddEditorItem(page, QString::fromLatin1(s.title), app,
                        [get = s.get, set = s.set](LWEditor &e) { (e.*set)(!(e.*get)()); }, s.keys);
    page->addSeparator();
    lwAddEditorItem(page, QStringLiteral("Add Vertical Guide"), app, [](LWEditor &e) { e.addGuide(true); });
    lwAddEditorItem(page, QStringLiteral("Add Horizontal Guide"), app, [](LWEditor &e) { e.addGuide(false); });
    lwAddEditorItem(page, QStringLiteral("Clear Guides"), app, [](LWEditor &e) { e.clearGuides(); });

    help->addSeparator();
    QAction *licenses = help->addAction(QStringLiteral("Show Font License Files"));
    connect(licenses, &QAction::triggered, this, &LWViewCommands::showFontLicenses);

    connect(&app, &LWApp::editorChanged, this, &LWViewCommands::followEditor);
    followEditor();
}

void LWViewCommands::showFontLicenses() const
{
    if (const std::optional<QString> folder = m_fonts.lookup())
        m_fonts.open(QUrl::fromLocalFile(*folder));
}

void LWViewCommands::followEditor()
{
    disconnect(m_docWatch);
    if (LWEditor *editor = m_app.editor())
        // A back side added while the same editor stays open enables the item at once.
        m_docWatch = connect(editor, &LWEditor::docChanged, this, &LWViewCommands::updateShowBack);
    updateShowBack();
}

void LWViewCommands::updateShowBack()
{
    const LWEditor *editor = m_app.editor();
    m_showBack->setEnabled(editor && editor->doc().pages.size() >= 2);
}
