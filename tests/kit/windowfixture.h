#pragma once
#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QUrl>
#include <QWidget>

// Receives the URLs QDesktopServices would hand to the browser.
class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

// The one T inside `window` once replaced content is gone; nothing when there is not exactly one.
template <typename T> T *soleChild(QWidget *window)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QList<T *> found = window->findChildren<T *>();
    return found.size() == 1 ? found.first() : nullptr;
}
