#pragma once
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <functional>

class LWApp;
class LWEditor;
class QAction;
class QMenu;
class QWidget;

// Fills the File menu: new, open, recent and close; save, the export, print-check and size
// sheets and placing a picture; the two print items; and "Close Window" (the window's close()).
// Every action reads the open design from the state when it fires. Items that need a design are
// disabled without one, so their keys are dead too. A child of the menu. Main thread only.
class LWFileCommands : public QObject
{
    Q_OBJECT
  public:
    // Shows the picture chooser for the editor over the window; LWImagePicker::choose by default.
    using PictureChooser = std::function<void(LWEditor &editor, QWidget *window)>;

    LWFileCommands(QMenu *menu, LWApp &app, QWidget *window);

    void setPictureChooser(PictureChooser chooser);
    // The "Open Recent" submenu, filled each time it is about to show.
    QMenu *recentMenu() const { return m_recent; }

  private:
    QAction *add(const QString &title, const QKeySequence &keys, bool needsDesign,
                 std::function<void()> action);
    void updateEnabled();
    void fillRecent();

    LWApp &m_app;
    QPointer<QWidget> m_window;
    QMenu *m_menu;
    QMenu *m_recent = nullptr;
    QAction *m_sheet10up = nullptr;
    QList<QAction *> m_needDesign;
    PictureChooser m_chooser;
};
