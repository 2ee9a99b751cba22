#include "shell/handover.h"

#include "app/app.h"

#include <QApplication>
#include <QThread>
#include <QUrl>

LWHandOver::LWHandOver(LWApp &app, QObject *parent) : QObject(parent), m_app(app)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LWHandOver::next);
}

void LWHandOver::request(const QString &path)
{
    m_pending.append(path);
    if (!m_timer.isActive())
        m_timer.start(0);
}

bool LWHandOver::busy() const
{
    // The program's own loop is level 1 (none in tests); a deeper one is a modal panel's.
    return QApplication::activeModalWidget() || m_app.sheet() || QThread::currentThread()->loopLevel() > 1;
}

void LWHandOver::next()
{
    if (m_pending.isEmpty())
        return;
    if (busy()) {
        m_timer.start(retryMs);
        return;
    }
    const QString path = m_pending.takeFirst();
    m_app.open(QUrl::fromLocalFile(path));
    if (!m_pending.isEmpty())
        m_timer.start(0);
}
