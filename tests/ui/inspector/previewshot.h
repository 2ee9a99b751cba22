#pragma once
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

// The preview programs' screenshot: after `delayMs` saves a grab of `root` to `out` and quits.
// With a popup open outside a zoom host the popup is a window of its own, so the screen is taken.
inline void saveShotLater(QApplication &app, QWidget &root, const QString &out, bool popup, int delayMs)
{
    QTimer::singleShot(delayMs, &app, [&root, &app, out, popup] {
        const QRect area(root.mapToGlobal(QPoint(0, 0)), root.size());
        const QPixmap shot =
            popup ? root.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()) : root.grab();
        if (!shot.save(out))
            qWarning("could not write %s", qPrintable(out));
        app.quit();
    });
}
