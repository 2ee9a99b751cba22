#include "kit/help/helpwindow.h"

#include "kit/help/helpviewer.h"
#include "kit/host/closekeys.h"
#include "kit/host/kithost.h"
#include "kit/theme/themeroot.h"
#include "model/file/prefs.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

namespace {

void storeFrame(QWidget *window)
{
    LWSettings::shared().setValue(VELKHelpWindow::frameKey, window->saveGeometry());
}

class HelpWindow : public QWidget {
public:
    HelpWindow()
    {
        setAttribute(Qt::WA_QuitOnClose, false);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        VELKHelpWindow::placeNew(*this);
        VKCloseKeys::install(this);
        connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { storeFrame(this); });
    }

    void setContent(QWidget *content)
    {
        if (content_) {
            content_->hide();
            content_->deleteLater();
        }
        content_ = content;
        layout()->addWidget(content);
    }

protected:
    void hideEvent(QHideEvent *event) override
    {
        storeFrame(this);
        QWidget::hideEvent(event);
    }

private:
    QPointer<QWidget> content_;
};

// Kept for the life of the process, never deleted.
QPointer<HelpWindow> &theWindow()
{
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

namespace VELKHelpWindow {

void open(const std::optional<QString> &topicID)
{
    QPointer<HelpWindow> &window = theWindow();
    if (!window)
        window = new HelpWindow;
    window->setWindowTitle(VELKKitHost::appName() + QStringLiteral(" Help"));
    window->setContent(new VELKThemeRoot([topicID] { return new VELKHelpViewer(topicID); }));
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

QWidget *window()
{
    return theWindow();
}

void placeNew(QWidget &window)
{
    window.resize(860, 600);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    // A stored frame wins; one that does not restore leaves the centred frame.
    (void)window.restoreGeometry(LWSettings::shared().value(frameKey).toByteArray());
}

} // namespace VELKHelpWindow
