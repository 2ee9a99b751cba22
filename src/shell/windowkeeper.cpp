#include "shell/windowkeeper.h"

#include "app/app.h"
#include "app/sheets/sheetpresenter.h"
#include "shell/shellwindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <cstdint>
#include <cstring>

namespace {

// X11's DestroyNotify as xcb hands it to native event filters; the layout is the protocol's.
constexpr std::uint8_t destroyNotify = 17;
struct DestroyNotifyEvent {
    std::uint8_t responseType;
    std::uint8_t pad;
    std::uint16_t sequence;
    std::uint32_t event;
    std::uint32_t window;
};

constexpr int retryMs = 200;

// Deleted once no nested event loop runs: a dialog of the old window running its own loop
// would otherwise be deleted under its caller. The program's own loop is level 1.
void deleteWhenIdle(QPointer<QWidget> widget)
{
    if (!widget)
        return;
    if (QThread::currentThread()->loopLevel() > 1) {
        QTimer::singleShot(retryMs, widget, [widget] { deleteWhenIdle(widget); });
        return;
    }
    delete widget.data();
}

} // namespace

LWWindowKeeper::LWWindowKeeper(LWApp &app, std::function<void(LWShellWindow &)> made, QObject *parent)
    : QObject(parent), m_app(app), m_made(std::move(made)), m_quit([] { QCoreApplication::quit(); })
{
    QCoreApplication::instance()->installNativeEventFilter(this);
    build();
}

LWWindowKeeper::~LWWindowKeeper()
{
    QCoreApplication::instance()->removeNativeEventFilter(this);
    if (m_window) {
        m_window->disconnect(this);
        delete m_window.data();
    }
}

void LWWindowKeeper::setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

void LWWindowKeeper::build()
{
    m_lost = false;
    auto *window = new LWShellWindow(m_app);
    window->setQuit([this] {
        m_closed = true;
        if (m_quit)
            m_quit();
    });
    connect(window, &QObject::destroyed, this, [this] {
        if (!m_closed)
            QTimer::singleShot(0, this, &LWWindowKeeper::replace);
    });
    m_window = window;
    m_watched = window;
    // Where it stands is known even after it was deleted under us.
    window->installEventFilter(this);
    if (m_made)
        m_made(*window);
}

bool LWWindowKeeper::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: while the window is being destroyed its pointer must not be cast back.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowStateChange || type == QEvent::Show) &&
        !m_lost && watched == m_watched)
        m_geometry = static_cast<QWidget *>(watched)->saveGeometry();
    return QObject::eventFilter(watched, event);
}

void LWWindowKeeper::replace()
{
    if (m_closed || (m_window && !m_lost))
        return;
    if (m_window) {
        if (m_geometry.isEmpty())
            m_geometry = m_window->saveGeometry();
        m_window->disconnect(this);
        m_window->removeEventFilter(this);
        // Its export goes on over the next window.
        m_window->sheets()->handOver();
        m_window->hide();
        deleteWhenIdle(m_window.data());
    }
    const QByteArray geometry = m_geometry;
    // The sheet comes back over the new window once that is placed, not before.
    const std::optional<LWAppSheet> sheet = m_app.sheet();
    if (sheet)
        m_app.setSheet(std::nullopt);
    build();
    if (!geometry.isEmpty())
        m_window->restoreGeometry(geometry);
    m_window->show();
    if (sheet)
        m_app.setSheet(sheet);
}

void LWWindowKeeper::bringToFront()
{
    replace();
    if (m_window)
        m_window->bringToFront();
}

bool LWWindowKeeper::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || !m_window || m_lost || m_closed)
        return false;
    DestroyNotifyEvent event{};
    std::memcpy(&event, message, sizeof event);
    if ((event.responseType & 0x7f) == destroyNotify && event.window != 0 &&
        event.window == m_window->internalWinId()) {
        m_lost = true;
        QTimer::singleShot(0, this, &LWWindowKeeper::replace);
    }
    return false;
}
