#include "render/pictures/picturequeue.h"

#include "render/parallel.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <optional>

namespace {

struct Waiting {
    int priority = 0;
    quint64 order = 0;
    std::function<void()> job;
    LWPictureClock::Time due; // not run before
    bool released = false;    // its time has come: a thread was started for it
};

} // namespace

struct LWPictureQueue::Private {
    mutable QMutex lock;
    QHash<QByteArray, Waiting> waiting;
    QSet<QByteArray> running;
    quint64 clock = 0;
    QThreadPool pool;
    QCoreApplication *watched = nullptr;
    QTimer *timer = nullptr; // the queue's thread's: wakes the jobs that wait for a time
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

bool LWPictureQueue::ask(const QByteArray &name, int priority, std::function<void()> job, LWPictureClock::Time notBefore)
{
    bool queued = false, start = false, later = false;
    {
        QMutexLocker guard(&d->lock);
        if (QCoreApplication *app = QCoreApplication::instance(); app && app != d->watched) {
            d->watched = app;
            qAddPostRoutine([] { LWPictureQueue::shared().drain(); });
        }
        if (d->running.contains(name))
            return false;
        auto it = d->waiting.find(name);
        if (it != d->waiting.end()) {
            // The latest ask of at least its priority is what is wanted now (a view zoomed in
            // since wants the sharper step, not the one its first paint asked for).
            if (priority >= it->priority)
                it->priority = priority, it->order = ++d->clock, it->job = std::move(job);
            it->due = std::min(it->due, notBefore);
        } else {
            it = d->waiting.insert(name, Waiting{priority, ++d->clock, std::move(job), notBefore, false});
            queued = true;
        }
        if (!it->released && it->due <= LWPictureClock::now())
            it->released = start = true;
        later = !it->released;
    }
    if (start)
        d->pool.start([this] { runNext(); });
    if (later)
        QMetaObject::invokeMethod(this, [this] { armTimer(); }, Qt::QueuedConnection);
    return queued;
}

void LWPictureQueue::wake()
{
    int due = 0;
    {
        QMutexLocker guard(&d->lock);
        const LWPictureClock::Time now = LWPictureClock::now();
        for (Waiting &w : d->waiting)
            if (!w.released && w.due <= now)
                w.released = true, ++due;
    }
    for (int i = 0; i < due; ++i)
        d->pool.start([this] { runNext(); });
    QMetaObject::invokeMethod(this, [this] { armTimer(); }, Qt::QueuedConnection);
}

void LWPictureQueue::armTimer()
{
    std::optional<LWPictureClock::Time> next;
    {
        QMutexLocker guard(&d->lock);
        for (const Waiting &w : std::as_const(d->waiting))
            if (!w.released && (!next || w.due < *next))
                next = w.due;
    }
    if (!d->timer) {
        d->timer = new QTimer(this);
        d->timer->setSingleShot(true);
        connect(d->timer, &QTimer::timeout, this, &LWPictureQueue::wake);
    }
    if (!next)
        return d->timer->stop();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - LWPictureClock::now()).count();
    d->timer->start(int(std::clamp<qint64>(ms, 0, INT_MAX)));
}

void LWPictureQueue::runNext()
{
    QByteArray name;
    std::function<void()> job;
    {
        QMutexLocker guard(&d->lock);
        auto best = d->waiting.end();
        for (auto it = d->waiting.begin(); it != d->waiting.end(); ++it)
            if (it->released && (best == d->waiting.end() || it->priority > best->priority ||
                                 (it->priority == best->priority && it->order > best->order)))
                best = it;
        if (best == d->waiting.end())
            return; // dropped by drain
        name = best.key();
        job = std::move(best->job);
        d->waiting.erase(best);
        d->running.insert(name);
    }
    try {
        // Its scaling on this thread alone: the queue's few threads already work side by side,
        // and the cores are the interface's and the exports' first.
        const LWParallel::Alone alone;
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
    const auto ready = std::count_if(d->waiting.cbegin(), d->waiting.cend(), [](const Waiting &w) { return w.released; });
    return int(ready + d->running.size());
}
