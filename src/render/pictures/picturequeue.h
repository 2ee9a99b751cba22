#pragma once
#include "render/pictures/pictureclock.h"

#include <QByteArray>
#include <QObject>
#include <functional>

// Picture work the interface thread must not wait for, run beside it on a few threads of its own:
// the waiting job of the highest priority first, among equals the one asked for last (what the
// user looks at now is asked again at every paint, so it goes before what scrolled away). A job
// is known by its name: asking again for one waiting, at its priority or above, raises it to that
// priority, makes it the latest and puts the new job in the old one's place (a lower ask changes
// nothing); one waiting or running is not queued twice. A job may wait until a time of
// LWPictureClock (the end of a pause) before it is run. `finished`
// comes from the job's thread once it has ended (connect with a queued or automatic connection).
// Thread-safe. At the application object's end the waiting jobs are dropped and the running ones
// waited for.
class LWPictureQueue : public QObject {
    Q_OBJECT
public:
    static LWPictureQueue &shared();

    // Whether the job was queued now (false: it was already waiting, or is running). Run no
    // sooner than `notBefore`; asked again with an earlier time, the earlier one holds.
    bool ask(const QByteArray &name, int priority, std::function<void()> job, LWPictureClock::Time notBefore = {});
    // Starts the jobs whose time has come (the clock was moved on).
    void wake();
    // Drops the waiting jobs and waits for the running ones (tests, the program's end).
    void drain();
    // Jobs waiting or running; not those that wait for a time still to come.
    [[nodiscard]] int busy() const;
    // Jobs run at once at most.
    [[nodiscard]] int threads() const;

Q_SIGNALS:
    void finished(const QByteArray &name);

private:
    LWPictureQueue();
    void runNext();
    void armTimer();
    struct Private;
    Private *d; // never freed: jobs may still end while static objects go
};
