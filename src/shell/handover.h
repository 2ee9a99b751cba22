#pragma once
#include <QObject>
#include <QStringList>
#include <QTimer>

class LWApp;

// Opens design files handed to the program (its own arguments, a later launch's) through
// LWApp::open, in order, each after a hop through the event loop. Nothing opens while a modal
// dialog, a sheet or a nested event loop (a native panel) is up: an open inside a save panel's
// loop would replace the design being saved. Main thread only.
class LWHandOver : public QObject
{
    Q_OBJECT
  public:
    static constexpr int retryMs = 200;

    explicit LWHandOver(LWApp &app, QObject *parent = nullptr);

    void request(const QString &path);
    QStringList pending() const { return m_pending; }

  private:
    [[nodiscard]] bool busy() const;
    void next();

    LWApp &m_app;
    QStringList m_pending;
    QTimer m_timer;
};
