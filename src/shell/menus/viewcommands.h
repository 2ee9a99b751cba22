#pragma once
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class LWApp;
class QAction;
class QMenu;

// Fills the Page menu: zoom in, zoom out and fit (the canvas toolbar's own steps), "Show Front",
// "Show Back", the five display switches, the two guide items and "Clear Guides", with the keys
// of LWShortcuts; and appends a separator and "Show Font License Files" to the Help menu. Page
// items act on the application's open editor, read when they fire (nothing without one). Only
// "Show Back" is ever disabled: while there is no editor or its design has one page, kept in
// step with the editor and its design. The switches write the opposite through the editor, whose
// setters store the setting; their titles never change. Lives as the page menu's child. Main
// thread only.
class LWViewCommands : public QObject {
    Q_OBJECT
public:
    // Where the font licences live and how a folder is shown; empty members take the bundled
    // font folder and the desktop's file manager.
    struct FontFolder {
        std::function<std::optional<QString>()> lookup;
        std::function<void(const QUrl &)> open;
    };

    LWViewCommands(QMenu *page, QMenu *help, LWApp &app, FontFolder fonts = {});

    QAction *showBack() const { return m_showBack; }
    // Opens the font folder, when there is one.
    void showFontLicenses() const;

private:
    void followEditor();
    void updateShowBack();

    LWApp &m_app;
    FontFolder m_fonts;
    QAction *m_showBack = nullptr;
    QMetaObject::Connection m_docWatch;
};
