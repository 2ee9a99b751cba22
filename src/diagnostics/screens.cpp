#include "diagnostics/screens.h"

#include "render/pictures/picturequeue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>

namespace LWScreens
{

std::optional<QImage> render(QWidget *view, QSize size, double settle)
{
    if (!view)
        return std::nullopt;
    const std::unique_ptr<QWidget> window(view);
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->setFixedSize(size); // exact, whatever the content's minimum
    window->show();

    QElapsedTimer clock;
    clock.start();
    const qint64 until = qint64(std::max(0.0, settle) * 1000);
    QEventLoop loop;
    for (qint64 left = until - clock.elapsed(); left > 0; left = until - clock.elapsed()) {
        QTimer::singleShot(int(std::min<qint64>(50, left)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    // Pictures are decoded beside the window: a snapshot shows them drawn, not their stand-ins.
    QElapsedTimer waited;
    waited.start();
    while (LWPictureQueue::shared().busy() > 0 && waited.elapsed() < 120000) {
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(); // the views draw what came
    const QImage image = window->grab().toImage();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace LWScreens
