#pragma once
#include "app/thumbs.h"
#include "templates/template.h"

#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>

// What the fake templates' builders did, shared with the worker thread.
struct MakeLog {
    std::atomic<int> calls{0};
    QMutex mutex;
    QStringList order;  // template ids in the order make() ran
    QSemaphore started; // one per make() that reached its gate
    QSemaphore gate;    // make() of a gated template waits for one of these
};

// A one-page Letter design per background colour, or a broken one.
enum class Made { pages, noPages, zeroHeight, nanHeight, throws };

inline LWTemplate fakeTemplate(const QString &id, std::shared_ptr<MakeLog> log, QList<LWColor> pages = {LWColor::white},
                               Made made = Made::pages, bool gated = false)
{
    LWTemplate t;
    t.id = id;
    t.sizeID = QStringLiteral("letter");
    t.kind = LWDocKind::flyer;
    t.make = [id, log, pages, made, gated] {
        log->calls++;
        log->mutex.lock();
        log->order << id;
        log->mutex.unlock();
        if (gated) {
            log->started.release();
            (void)log->gate.tryAcquire(1, 30000); // a failed test must not leave it waiting for ever
        }
        if (made == Made::throws)
            throw std::runtime_error("broken template");
        LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, id);
        doc.pages.clear();
        if (made != Made::noPages)
            for (const LWColor &c : pages)
                doc.pages.append(LWPage{QStringLiteral("Page"), LWFill::solid(c), {}});
        if (made == Made::zeroHeight)
            doc.height = 0;
        if (made == Made::nanHeight)
            doc.height = std::nan("");
        return doc;
    };
    return t;
}

// Runs the event loop until no job is pending (completions arrive as queued calls).
inline bool settle(const LWThumbs &store, int ms = 20000)
{
    return QTest::qWaitFor([&] { return store.pending().isEmpty(); }, ms);
}
