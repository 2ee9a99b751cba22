#include "render/pictures/picturequeue.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

namespace {

struct Waiting {
    int priority = 0;
    quint64 order = 0;
    std::function<void()> job;
};

} // namespace

struct LWPictureQueue::Private {
    mutable QMutex lock;
    QHash<QByteArray, Waiting> waiting;
    QSet<QByteArray> running;
    quint64 clock = 0;
    QThreadPool pool;
    QCoreApplication *watched = nullptr;
};

LWPictureQueue &LWPictureQueue::shared()
{
    static LWPictureQueue *queue = new LWPictureQueue; // see `d`
    return *queue;
}

LWPictureQueue::LWPictureQueue() : d(new Private)
{
    // The decodes run in worker processes: threads here mostly wait for them. A few more than
    // the cores would only queue in the workers' pool.
    d->pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 2, 8));
    d->pool.setExpiryTimeout(5000);
    // Made by whichever thread asks first (a loading thread, say): it belongs to the main one.
    if (QCoreApplication *app = QCoreApplication::instance())
        moveToThread(app->thread());
}

bool LWPictureQueue::ask(const QByteArray &name, int priority, std::function<void()> job)
{
    {
        QMutexLocker guard(&d->lock);
        if (QCoreApplication *app = QCoreApplication::instance(); app && app != d->watched) {
            d->watched = app;
            qAddPostRoutine([] { LWPictureQueue::shared().drain(); });
        }
        if (d->running.contains(name))
            return false;
        if (const auto it = d->waiting.find(name); it != d->waiting.end()) {
            if (priority >= it->priority)
                it->priority = priority, it->order = ++d->clock;
            return false;
        }
        d->waiting.insert(name, Waiting{priority, ++d->clock, std::move(job)});
    }
    d->pool.start([this] { runNext(); });
    return true;
}

void LWPictureQueue::runNext()
{
    QByteArray name;
    std::function<void()> job;
    {
        QMutexLocker guard(&d->lock);
        if (d->waiting.isEmpty())
            return; // dropped by drain
        auto best = d->waiting.begin();
        for (auto it = d->waiting.begin(); it != d->waiting.end(); ++it)
            if (it->priority > best->priority || (it->priority == best->priority && it->order > best->order))
                best = it;
        name = best.key();
        job = std::move(best->job);
        d->waiting.erase(best);
        d->running.insert(name);
    }
    try {
        job();
    } catch (...) { // a job must never take the process down
    }
    {
        QMutexLocker guard(&d->lock);
        d->running.remove(name);
    }
    Q_EMIT finished(name);
}

void LWPictureQueue::drain()
{
    {
        QMutexLocker guard(&d->lock);
        d->waiting.clear();
    }
    d->pool.waitForDone();
}

int LWPictureQueue::threads() const { return d->pool.maxThreadCount(); }

int LWPictureQueue::busy() const
{
    QMutexLocker guard(&d->lock);
    return int(d->waiting.size() + d->running.size());
}
