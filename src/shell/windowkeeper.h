#pragma once
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <functional>

class LWApp;
class LWShellWindow;

// Keeps a main window on screen for the program's life. A window destroyed other than by the
// user closing it (deleted, or its native window destroyed by another program) is replaced by a
// new one over the same state, so the open design, its unsaved changes and its sheet stay; at
// the latest the next hand-over (`bringToFront`) makes it. The new window stands where the lost
// one stood, at its size, and a running export goes on into it. Closing the window as the user
// does ends the program as before and is never undone. Main thread only.
class LWWindowKeeper : public QObject, private QAbstractNativeEventFilter
{
    Q_OBJECT
  public:
    // `made` runs for every window made (the first one too), before it is shown.
    explicit LWWindowKeeper(LWApp &app, std::function<void(LWShellWindow &)> made = {},
                            QObject *parent = nullptr);
    ~LWWindowKeeper() override;

    // The window now; null only between a loss and its replacement.
    [[nodiscard]] LWShellWindow *window() const { return m_window; }
    // Ends the program after the user closed the window; QCoreApplication::quit by default.
    void setQuit(std::function<void()> quit);
    // Shows the window, first making a new one if it was lost, and brings it to the front.
    void bringToFront();

  private:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void build();
    // Drops a window that is gone or going and makes the next one.
    void replace();

    LWApp &m_app;
    std::function<void(LWShellWindow &)> m_made;
    std::function<void()> m_quit;
    QPointer<LWShellWindow> m_window;
    QObject *m_watched = nullptr; // the window, to know its events by
    QByteArray m_geometry;        // the window's place and size, as last seen
    bool m_lost = false;          // its native window was destroyed under it
    bool m_closed = false;        // the user closed it: the program is ending
};
